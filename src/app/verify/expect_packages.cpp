// The package tree with its documents, views and requirements (their
// values, overflow texts, history and parent-child links) and the traces,
// as the run was to write them.
#include <filesystem>

#include "app/verify/expectations.h"
#include "baseline/baseline_names.h"
#include "copy/db_conventions.h"
#include "copy/xml_elements.h"
#include "host/text/convert.h"
#include "host/xml/xml_file.h"

namespace vl::verify {

namespace {

Cell Text(const pugi::xml_node& node, const char* name) {
  return StoredCell(ElementText(node, name));
}

// A requirement's key by prefix and tag number, as its children name it.
std::string TagKey(const std::string& prefix, int64_t tag) {
  return prefix + "#" + std::to_string(tag);
}

// "FEAT1.2" -> "FEAT1.#2": the tag's prefix and its trailing number; ""
// when the tag ends in no digits or its number does not fit.
std::string ParentKey(const std::string& tag) {
  size_t digits = tag.size();
  while (digits > 0 && tag[digits - 1] >= '0' && tag[digits - 1] <= '9') --digits;
  if (digits == tag.size() || tag.size() - digits > 9) return "";
  return TagKey(tag.substr(0, digits), std::stoll(tag.substr(digits)));
}

}  // namespace

void Expectations::Packages() {
  std::string problem;
  const bool walked =
      in_.baseline->WalkPackages([&](const BaselineFiles::Package& p) { Package(p); }, problem);
  if (!walked) Note(problem);
  ParentLinks();
}

void Expectations::Package(const BaselineFiles::Package& p) {
  const bool root = p.parent_guid.empty();
  ObjectRef obj{"package", ElementText(p.pkg, "PkgName"), p.guid, in_.ps.New(p.guid)};
  const Cell pkgId = db_.IdOf("vlPackages", obj.new_guid);
  // The root package row exists before the run, which sets its texts as
  // they are; new packages are written with literals.
  const std::string desc = ElementText(p.pkg, "PkgDesc");
  Add("vlPackages", obj,
      {{"VLGUID", TextCell(obj.new_guid)},
       {"PROJECTID", project_id_},
       {"PARENTID", root ? IntCell(0) : Ref("vlPackages", p.parent_guid)},
       {"NAME", root ? TextCell(obj.name) : StoredCell(obj.name)},
       {"DESCRIPTION", root ? TextCell(desc) : StoredCell(desc)}});
  if (!p.pkg) return Note("package file " + p.guid + ".XML is missing or has no PROJECT/Pkg");
  Documents(p.pkg, pkgId);
  Views(p.pkg, pkgId);
  Requirements(p.pkg, pkgId);
}

void Expectations::Documents(const pugi::xml_node& pkg, const Cell& pkgId) {
  for (const pugi::xml_node& d : DescendantsNamed(pkg.child("Docs"), "Doc")) {
    const std::string old = ElementText(d, "GUID");
    ObjectRef obj{"document", ElementText(d, "DocName"), old, in_.ps.New(old)};
    const Cell docId = db_.IdOf("vlDocuments", obj.new_guid);
    Cells cells = {{"VLGUID", TextCell(obj.new_guid)},
                   {"NAME", StoredCell(obj.name)},
                   {"DESCRIPTION", Text(d, "DocDescription")},
                   {"DOCUMENTTYPEID", Ref("vlDocumentTypes", ElementText(d, "DocTypeGUID"))},
                   {"ITEMLABEL", IntCell(IntOrZero(ElementText(d, "ItemLabel")))},
                   {"PROTECTSTATE", Text(d, "ProtectState")},
                   {"UNLOCKTOREVISE", IntCell(IntOrZero(ElementText(d, "UnlockToRevise")))},
                   {"DEFERREDRENUMBER", Text(d, "DeferredRenumber")},
                   {"DEFERREDRESTYLE", Text(d, "DeferredRestyle")},
                   {"FILENAME", Text(d, "FileName")},
                   {"FILEEXTENSION", Text(d, "FileExtension")},
                   {"FILEDATETIME", DateCell(ElementText(d, "FileDateTime"))},
                   {"FILESIZE", IntCell(LongOrZero(ElementText(d, "FileSize")))},
                   {"FILEFLAGS", Text(d, "FileFlags")},
                   {"FILEVERSION", IntCell(LongOrZero(ElementText(d, "FileVersion")))}};
    CurrentVersion(d, cells);
    Add("vlDocuments", obj, std::move(cells));
    Add("vlProjectDocuments", obj, {{"PROJECTID", project_id_}, {"DOCUMENTID", docId}});
    Add("VLPACKAGEELEMENTS", obj,
        {{"PACKAGEID", pkgId},
         {"DOCUMENTID", docId},
         {"VIEWID", NullCell()},
         {"REQUIREMENTID", NullCell()}});
    History(d, "vlDocumentHistory", 2, docId, obj);
    DocumentFile(d, obj);
  }
}

void Expectations::DocumentFile(const pugi::xml_node& doc, const ObjectRef& obj) {
  namespace fs = std::filesystem;
  const std::string name = ElementText(doc, "FileName"), ext = ElementText(doc, "FileExtension");
  if (name.empty() || !IsSafeNamePart(name) || !IsSafeNamePart(ext)) return;
  // The baseline keeps every document as NAME.DOC; the copy is NAME.EXT.
  const std::string source = FindFileNoCase(in_.baseline->folder(), name + ".DOC");
  if (source.empty()) return;
  const fs::path copy = fs::path(in_.folder) / (name + "." + ext);
  std::error_code ec;
  const auto want = fs::file_size(source, ec);
  ++files_.expected;
  if (!fs::is_regular_file(copy)) {
    ++files_.missing;
    file_differences_.push_back(
        {Difference::What::kMissing, obj, "document file", "", copy.string(), ""});
    return;
  }
  ++files_.found;
  const auto got = fs::file_size(copy, ec);
  if (got == want) return;
  ++files_.differing;
  file_differences_.push_back({Difference::What::kDiffers, obj, "document file", "size",
                               std::to_string(want), std::to_string(got)});
}

void Expectations::Views(const pugi::xml_node& pkg, const Cell& pkgId) {
  for (const pugi::xml_node& v : DescendantsNamed(pkg.child("Views"), "View")) {
    const std::string old = ElementText(v, "GUID");
    const LinkedProject* by = nullptr;
    ObjectRef obj{"view", ElementText(v, "ViewName"), old, NewGuidAnywhere(old, &by)};
    const bool waits = in_.pending.views.count(old) != 0 && obj.new_guid.empty();
    const std::string query = ElementText(v, "ViewQueryDefGUID");
    const std::string secQuery = Trim(ElementText(v, "SecQueryID"));
    const std::string secType = Trim(ElementText(v, "SecReqTypeID"));
    auto queryId = [&](const std::string& oldQuery) {
      const std::string g = NewGuidAnywhere(oldQuery, nullptr);
      return g.empty() ? UnknownCell("(query definition " + oldQuery + " not copied)")
                       : db_.IdOf("VlQueryDefinitions", g);
    };
    // A positive secondary ID is written, anything else leaves the column
    // out (NULL).
    auto positiveOrNull = [](const Cell& c) {
      return !c.unknown && !c.null && std::stoll(c.text) >= 1 ? c : NullCell();
    };
    Cells cells = {{"VLGUID", TextCell(obj.new_guid)}, {"PROJECTID", project_id_}};
    std::string props = ElementText(v, "ViewProperties");
    auto external = external_queries_.find(query);
    if (external == external_queries_.end()) {
      cells.push_back(
          {"REQUIREMENTTYPEID", Ref("vlRequirementTypes", ElementText(v, "ReqTypeID"))});
    } else if (LinkedProject* l = LinkedFor(external->second)) {
      // The requirement type is the external project's own.
      props = ReplacePropertyValue(props, ";externalProjectID=/i", std::stoll(l->row_id));
    }
    auto secExternal =
        secQuery.empty() ? external_queries_.end() : external_queries_.find(secQuery);
    if (secExternal == external_queries_.end()) {
      cells.push_back(
          {"SECONDARYREQTYPEID",
           secType.size() > 1 ? positiveOrNull(Ref("vlRequirementTypes", secType)) : NullCell()});
    } else if (LinkedProject* l = LinkedFor(secExternal->second)) {
      props = ReplacePropertyValue(props, ";externalProjectIDHoriz=/i", std::stoll(l->row_id));
    }
    Cell viewType, visibility, date;
    try {
      viewType = IntCell(CInt(ElementText(v, "Type")));
      visibility = IntCell(CInt(ElementText(v, "Visibility")));
      date = TextCell(FormatDateTime(CDate(ElementText(v, "ViewDateTime"))));
    } catch (const std::exception&) {
      Note("view " + old + " has a Type, Visibility or ViewDateTime that does not convert");
      continue;
    }
    cells.insert(cells.end(), {{"VIEWNAME", StoredCell(obj.name)},
                               {"VIEWDESCRIPTION", Text(v, "ViewDescription")},
                               {"VIEWTYPE", viewType},
                               {"VISIBILITY", visibility},
                               {"PROPERTIES", StoredCell(props)},
                               {"QUERYID", queryId(query)},
                               {"SECONDARYQUERYID",
                                secQuery.empty() ? NullCell() : positiveOrNull(queryId(secQuery))},
                               {"VIEWUSERID", Ref("vlUsers", ElementText(v, "ViewUserGUID"))},
                               {"VIEWDATETIME", date},
                               {"VIEWREASON", Text(v, "ViewReason")}});
    Add("VlViews", obj, std::move(cells), waits);
    Add("VLPACKAGEELEMENTS", obj,
        {{"PACKAGEID", pkgId},
         {"DOCUMENTID", NullCell()},
         {"VIEWID", db_.IdOf("VlViews", obj.new_guid)},
         {"REQUIREMENTID", NullCell()}},
        waits);
  }
}

void Expectations::Requirements(const pugi::xml_node& pkg, const Cell& pkgId) {
  for (const pugi::xml_node& r : DescendantsNamed(pkg.child("Requirements"), "Req")) {
    const std::string old = ElementText(r, "GUID");
    const std::string prefix = ElementText(r, "RPre");
    const int32_t tag = LongOrZero(ElementText(r, "Tag"));
    ObjectRef obj{"requirement", prefix + std::to_string(tag), old, in_.req.New(old)};
    const Cell reqId = db_.IdOf("vlRequirements", obj.new_guid);
    const SplitText text = SplitAtLimit(ElementText(r, "RText"), in_.file.req_text_size);
    const pugi::xml_node doc = r.child("RDInfo");
    const std::string bookmarkDoc = ElementText(doc, "BMDoc");
    Cells cells = {{"VLGUID", TextCell(obj.new_guid)},
                   {"REQUIREMENTTYPEID", Ref("vlRequirementTypes", ElementText(r, "RTID"))},
                   {"TAG", IntCell(tag)},
                   {"LASTCHILDTAG", IntCell(LongOrZero(ElementText(r, "LCTag")))},
                   {"LONGTAGNUMBER", Text(r, "LTNum")},
                   {"REQUIREMENTPREFIX", StoredCell(prefix)},
                   {"REQUIREMENTNAME", Text(r, "RName")},
                   {"REQUIREMENTTEXT", StoredCell(text.row)},
                   {"OVERFLOWIND", BoolCell(text.cut)},
                   {"DELETED", BoolCell(false)},
                   {"BOOKMARKNAME", Text(doc, "BM")},
                   {"BOOKMARKDOCUMENTID",
                    Trim(bookmarkDoc).empty() ? IntCell(0) : Ref("vlDocuments", bookmarkDoc)},
                   {"DOCUMENTPOSITION", IntCell(LongOrZero(ElementText(doc, "DPos")))},
                   {"LASTDOCTEXT", IntCell(LongOrZero(ElementText(doc, "LDText")))},
                   {"FLAGS", IntCell(IntOrZero(ElementText(r, "Flags")))}};
    CurrentVersion(r, cells);
    Add("vlRequirements", obj, std::move(cells));
    Add("vlProjectRequirements", obj, {{"PROJECTID", project_id_}, {"REQUIREMENTID", reqId}});
    Add("VLPACKAGEELEMENTS", obj,
        {{"PACKAGEID", pkgId},
         {"DOCUMENTID", NullCell()},
         {"VIEWID", NullCell()},
         {"REQUIREMENTID", reqId}});
    if (text.cut)
      Add("VlOverflowText", obj, {{"OVERFLOWID", reqId}, {"OVERFLOWTEXT", StoredCell(text.whole)}});
    for (const pugi::xml_node& lv : DescendantsNamed(r, "LV"))
      Add("vlUserDefinedListValues", obj,
          {{"REQUIREMENTID", reqId},
           {"FIELDID", Ref("vlUserDefinedFields", ElementText(lv, "UDF"))},
           {"LISTITEMID", Ref("vlUserDefinedListItems", ElementText(lv, "LGUID"))}});
    for (const pugi::xml_node& fv : DescendantsNamed(r, "FV")) {
      const std::string value = ElementText(fv, "FTxt");
      const Cell fieldId = Ref("vlUserDefinedFields", ElementText(fv, "FGUID"));
      const SplitText split = SplitAtLimit(value, in_.file.field_value_size);
      Add("vlUserDefinedFieldValues", obj,
          {{"REQUIREMENTID", reqId},
           {"FIELDID", fieldId},
           {"FIELDVALUE", StoredCell(split.row)},
           {"OVERFLOWIND", BoolCell(split.cut)},
           {"NUMERICVALUE", NumericValueCell(value)}});
      if (split.cut)
        Add("VlOverflowValues", obj,
            {{"OVERFLOWREQUIREMENTID", reqId},
             {"OVERFLOWFIELDID", fieldId},
             {"OVERFLOWFIELDVALUE", StoredCell(split.whole)}});
    }
    History(r, "vlRequirementHistory", 1, reqId, obj);
    tags_.emplace(TagKey(prefix, tag), reqId);
    const size_t dot = prefix.rfind('.');
    if (dot != std::string::npos)
      children_.push_back({ParentKey(prefix.substr(0, dot)), reqId, obj});
    if (in_.choices.traces) Traces(r, reqId, obj);
  }
}

void Expectations::ParentLinks() {
  for (const Child& c : children_) {
    auto parent = tags_.find(c.parent_key);
    // The parent may stand anywhere in the package tree, also after its
    // child; one the baseline does not hold leaves the child unlinked.
    if (c.parent_key.empty() || parent == tags_.end()) continue;
    Add("VlToRelationships", c.obj,
        {{"REQUIREMENTID", parent->second},
         {"EXTERNALPROJECTID", IntCell(0)},
         {"TOID", c.id},
         {"EXTERNALPROJECTTOID", IntCell(0)},
         {"TYPE", IntCell(1)},
         {"STATE", IntCell(0)},
         {"VERSIONNUMBER", TextCell("1.0000")}},
        false, "parent-child links");
  }
}

void Expectations::Traces(const pugi::xml_node& req, const Cell& reqId, const ObjectRef& obj) {
  const std::string prefix = ElementText(req, "RPre");
  auto crossTrace = [&](const pugi::xml_node& t, bool tFrom) {
    const std::string ep = ElementText(t, "EPGUID"), trid = ElementText(t, "TRID");
    const std::string key = PendingTraceKey(obj.old_guid, trid, tFrom);
    auto waiting = pending_traces_.find(key);
    const bool waits = waiting != pending_traces_.end();
    if (waits) pending_traces_.erase(waiting);
    LinkedProject* l = LinkedFor(ep);
    const Cell rowId = l ? IntCell(std::stoll(l->row_id)) : UnknownCell("(project not linked)");
    const Cell otherId = waits ? UnknownCell("(waits)") : OtherRequirementId(ep, trid);
    ObjectRef trace{"trace", obj.name, obj.old_guid, obj.new_guid};
    Add("VlToRelationships", trace,
        {{"REQUIREMENTID", tFrom ? otherId : reqId},
         {"EXTERNALPROJECTID", tFrom ? rowId : IntCell(0)},
         {"TOID", tFrom ? reqId : otherId},
         {"EXTERNALPROJECTTOID", tFrom ? IntCell(0) : rowId},
         {"TYPE", IntCell(0)},
         {"STATE", IntCell(LongOrZero(ElementText(t, "State")))},
         {"VERSIONNUMBER", Text(t, "TRVer")}},
        waits);
  };
  for (const pugi::xml_node& t : DescendantsNamed(req.child("TTo"), "TReq")) {
    if (!ElementText(t, "EPGUID").empty()) {
      crossTrace(t, false);
      continue;
    }
    // A trace to one's own child repeats the parent-child link: not
    // copied. A tag without "." has no parent part and matches nothing.
    const std::string other = ElementText(t, "TRTag");
    const size_t dot = other.rfind('.');
    if (dot != std::string::npos && dot > 0 && prefix == other.substr(0, dot)) continue;
    Cell state;
    try {
      state = IntCell(CLng(ElementText(t, "State")));
    } catch (const std::exception&) {
      state = UnknownCell("(State is no number)");
    }
    Add("VlToRelationships", ObjectRef{"trace", obj.name, obj.old_guid, obj.new_guid},
        {{"REQUIREMENTID", reqId},
         {"EXTERNALPROJECTID", IntCell(0)},
         {"TOID", ReqRef(ElementText(t, "TRID"))},
         {"EXTERNALPROJECTTOID", IntCell(0)},
         {"TYPE", IntCell(0)},
         {"STATE", state},
         {"VERSIONNUMBER", Text(t, "TRVer")}});
  }
  for (const pugi::xml_node& t : DescendantsNamed(req.child("TFrom"), "TReq"))
    if (!ElementText(t, "EPGUID").empty()) crossTrace(t, true);
}

}  // namespace vl::verify
