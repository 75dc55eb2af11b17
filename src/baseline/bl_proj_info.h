// The baseline descriptor: the chosen baseline folder and what its
// BaselineList.xml, Project.xml and ExternalProjects.xml say, the external
// projects it refers to, and the user's settings for the new project.
#pragma once

#include <memory>
#include <string>

#include "host/project/new_project_definition.h"
#include "host/text/messages.h"
#include "host/text/ordered_map.h"
#include "host/text/variant.h"

namespace vl {

// One external project named in the baseline.
class clsExtProjInfo {
 public:
  std::string GUID;  // as written in ExternalProjects.xml; the key in colExtProjs
  std::string Prefix;
  std::string Name;
  std::string Loc;  // location of its project file; "" until the user gives one
};

class BLProjInfo {
 public:
  // Messages and texts go through `messages`, which must outlive the
  // descriptor.
  explicit BLProjInfo(Messenger& messages) : messages_(&messages) {}

  // Sets BLXMLLoc to "" and resets everything else.
  void init();

  const std::string& BLXMLLoc() const { return bl_xml_loc_; }
  void SetBLXMLLoc(const std::string& v) { bl_xml_loc_ = v; }
  const std::string& VLPName() const { return vlp_name_; }
  void SetVLPName(const std::string& v) { vlp_name_ = v; }
  int32_t VLPDBType() const { return vlp_db_type_; }
  void SetVLPDBType(int32_t v) { vlp_db_type_ = v; }
  const std::string& VLPFolder() const { return vlp_folder_; }
  void SetVLPFolder(const std::string& v) { vlp_folder_ = v; }
  const std::string& VLPDesc() const { return vlp_desc_; }
  void SetVLPDesc(const std::string& v) { vlp_desc_ = v; }
  // The display text of the database entry chosen (handed to the
  // new-project definition by ValidateVLPSettings).
  const std::string& VLPDBDisplayName() const { return vlp_db_display_; }
  void SetVLPDBDisplayName(const std::string& v) { vlp_db_display_ = v; }

  bool CreateTraces() const { return create_traces_; }
  // Setting False also sets CreateExtTraces to False.
  void SetCreateTraces(bool v);
  bool CreateExtTraces() const { return create_ext_traces_; }
  void SetCreateExtTraces(bool v) { create_ext_traces_ = v; }
  bool CreateHist() const { return create_hist_; }
  void SetCreateHist(bool v) { create_hist_ = v; }
  bool CreateDisc() const { return create_disc_; }
  void SetCreateDisc(bool v) { create_disc_ = v; }
  std::string UITextCreateTraces() const;
  std::string UITextCreateExtTraces() const;
  std::string UITextCreateHist() const;
  std::string UITextCreateDisc() const;

  const std::string& ReviewHTMLLoc() const { return review_html_loc_; }
  void SetReviewHTMLLoc(const std::string& v) { review_html_loc_ = v; }

  bool isBLXMLContainsTraces() const { return contains_traces_; }
  bool isBLXMLContainsExtTraces() const { return contains_ext_traces_; }
  bool isBLXMLContainsDisc() const { return contains_disc_; }
  bool isBLXMLContainsHist() const { return contains_hist_; }
  std::string BLXMLOptionTextTraces() const;
  std::string BLXMLOptionTextDisc() const;
  std::string BLXMLOptionTextHist() const;
  const std::string& BLXMLLabel() const { return label_; }
  const std::string& BLXMLGUID() const { return guid_; }
  const std::string& BLXMLDesc() const { return desc_; }
  const std::string& BLXMLTimestamp() const { return timestamp_; }
  std::string BLXMLOptionsList() const;
  std::string BLUIOptionsList() const;

  OrderedMap<clsExtProjInfo>& colExtProjs() { return ext_projs_; }
  const OrderedMap<clsExtProjInfo>& colExtProjs() const { return ext_projs_; }
  bool isXMLValid() const { return is_xml_valid_; }

  // True when the folder is a usable baseline (messages shown otherwise).
  bool ValidateBLProj(const std::string& sLoc);
  // True when the new project's settings are usable and were handed to
  // `newProjDef`, the driver looked up in `drivers` (questions and
  // messages shown otherwise).
  bool ValidateVLPSettings(NewProjectDefinition& newProjDef,
                           const OrderedMap<std::string>& drivers);

  // VLPFolder + "/" + VLPFileName.
  std::string CompleteVLPPathName() const;
  // GetLastFolder(VLPFolder).
  std::string VLPFileName() const;

  void SetStartTime();
  const VlDate& StartDateTime() const { return start_date_time_; }

 private:
  void ResetBLProjInfo();
  std::string TextWhen(bool flag, long id) const;
  std::string JoinOptions(std::initializer_list<std::string> texts) const;
  bool UpdateBLInfoFromXML(const std::string& path);
  bool UpdateProjInfoFromXML(const std::string& path);
  bool UpdateExtProjInfoFromXML(const std::string& path);

  Messenger* messages_;
  std::string bl_xml_loc_, vlp_name_, vlp_folder_, vlp_desc_, vlp_db_display_;
  int32_t vlp_db_type_ = 0;
  bool create_traces_ = false, create_ext_traces_ = false, create_disc_ = false,
       create_hist_ = false;
  bool is_xml_valid_ = false;
  bool contains_traces_ = false, contains_ext_traces_ = false, contains_disc_ = false,
       contains_hist_ = false;
  std::string label_, timestamp_, desc_, guid_;
  OrderedMap<clsExtProjInfo> ext_projs_;
  std::string review_html_loc_;
  VlDate start_date_time_;
};

}  // namespace vl
