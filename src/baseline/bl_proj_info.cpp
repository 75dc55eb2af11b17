// The simple members of the baseline descriptor: reset, the option texts
// and lists, the new project's path and the start time of the run.
#include "baseline/bl_proj_info.h"

#include "host/project/install_settings.h"
#include "host/text/convert.h"
#include "host/text/messages.h"
#include "host/text/path_utils.h"

namespace vl {

namespace {

// Resource ids of the option texts.
constexpr long kResTraces = 1010;
constexpr long kResHistory = 1012;
constexpr long kResDiscussions = 1013;
constexpr long kResNoOptions = 1014;
constexpr long kResExtTraces = 11010;

}  // namespace

std::string BLProjInfo::TextWhen(bool flag, long id) const {
  return flag ? messages_->ResString(id) : std::string();
}

// Joins the texts for display; an empty list reads as "none" (text 1014).
std::string BLProjInfo::JoinOptions(std::initializer_list<std::string> texts) const {
  std::string list;
  for (const std::string& text : texts) list = JoinWithComma(list, text);
  list = Trim(list);
  return list.empty() ? messages_->ResString(kResNoOptions) : list;
}

void BLProjInfo::init() {
  bl_xml_loc_.clear();
  ResetBLProjInfo();
}

void BLProjInfo::ResetBLProjInfo() {
  vlp_name_.clear();
  vlp_folder_.clear();
  // Without an installation the user has to pick the folder himself.
  std::string install_dir;
  if (ReadVelloqInstallDir(install_dir, messages_)) vlp_folder_ = install_dir + "/Projects";
  vlp_db_type_ = 0;
  vlp_db_display_.clear();
  vlp_desc_.clear();
  is_xml_valid_ = false;
  create_traces_ = create_ext_traces_ = create_disc_ = create_hist_ = false;
  contains_traces_ = contains_ext_traces_ = contains_disc_ = contains_hist_ = false;
  desc_.clear();
  label_.clear();
  guid_.clear();
  timestamp_.clear();
  start_date_time_ = Now();
  ext_projs_.Clear();
  review_html_loc_.clear();
}

void BLProjInfo::SetCreateTraces(bool v) {
  create_traces_ = v;
  // Traces to external projects are a kind of trace: no traces, none of those.
  if (!v) create_ext_traces_ = false;
}

std::string BLProjInfo::UITextCreateTraces() const { return TextWhen(create_traces_, kResTraces); }
std::string BLProjInfo::UITextCreateExtTraces() const {
  return TextWhen(create_ext_traces_, kResExtTraces);
}
std::string BLProjInfo::UITextCreateHist() const { return TextWhen(create_hist_, kResHistory); }
std::string BLProjInfo::UITextCreateDisc() const { return TextWhen(create_disc_, kResDiscussions); }

std::string BLProjInfo::BLXMLOptionTextTraces() const {
  return TextWhen(contains_traces_, kResTraces);
}
std::string BLProjInfo::BLXMLOptionTextDisc() const {
  return TextWhen(contains_disc_, kResDiscussions);
}
std::string BLProjInfo::BLXMLOptionTextHist() const {
  return TextWhen(contains_hist_, kResHistory);
}

std::string BLProjInfo::BLXMLOptionsList() const {
  // Traces to external projects count as traces here; they have no entry.
  return JoinOptions({BLXMLOptionTextTraces(), BLXMLOptionTextHist(), BLXMLOptionTextDisc()});
}

std::string BLProjInfo::BLUIOptionsList() const {
  return JoinOptions(
      {UITextCreateTraces(), UITextCreateExtTraces(), UITextCreateHist(), UITextCreateDisc()});
}

std::string BLProjInfo::CompleteVLPPathName() const {
  // Not normalised: a folder ending in "/" gives "//" before the name, which
  // the file system reads as one separator.
  return vlp_folder_ + "/" + VLPFileName();
}

std::string BLProjInfo::VLPFileName() const { return GetLastFolder(vlp_folder_); }

void BLProjInfo::SetStartTime() { start_date_time_ = Now(); }

}  // namespace vl
