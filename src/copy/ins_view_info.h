// Copies the baseline's query definitions (QueryDefs.XML) and the views of
// its packages, and completes what projects created earlier left
// unresolved for the project this baseline describes.
//
// A query string names project objects by GUIDs in braces and may name an
// external project in its scope ("({project}.{requirement type}) ...").
// Every GUID is renewed to the new project's GUID for that object (or, for
// an external scope, to the external project's GUID for it, read from the
// "ResRTGUIDs.xml" beside that project), and the string is checked and
// rebuilt by the project's query services. A definition whose external
// project could not be opened in this run is written to
// "UnResQueryDefs.xml" beside the new project instead of the database; a
// view that uses such a definition goes to "UnResViews.xml". A later run
// for the missing project inserts both into the project that waited.
#pragma once

#include <cstdint>
#include <functional>
#include <pugixml.hpp>
#include <string>

#include "copy/copier.h"
#include "host/db/data_services.h"
#include "host/project/project.h"
#include "host/project/query_services.h"
#include "host/text/ordered_map.h"

namespace vl {

inline constexpr const char* kUnResQueryDefsFile = "UnResQueryDefs.xml";
inline constexpr const char* kUnResViewsFile = "UnResViews.xml";

// One object per creation run: CopyXMLQueryDefs once, after the external
// projects and group rights, then CopyXMLPkgViewInfo for every package.
// Run-wide tables: gcolUnResQDefs and gcolQDefs (copy/run_context.h), read
// from gdictExtProjMap and gcolExtProjs.
class InsViewInfo : public Copier {
 public:
  using Copier::Copier;

  // Starts gcolUnResQDefs and gcolQDefs empty and copies every QUERYDEF
  // below QUERYDEFS: one VlQueryDefinitions row each (InsertQueryDefSQL),
  // except that a definition whose scope names a project that
  // gdictExtProjMap does not map is recorded in gcolUnResQDefs
  // ("UnResQDefName:" + name), gets its owner's new GUID, and goes to
  // "UnResQueryDefs.xml" in the new project's folder (written only when
  // there is one). A definition that cannot be inserted is reported and the
  // loop goes on. True when the file was read (the other projects'
  // unresolved definitions and views are completed at the end of the run).
  // False, with nothing done, after a message ("QueryDefs.XML" + text 11011
  // + "PROJECT") when the file has no "PROJECT" element; false after a
  // report ("CopyXMLQDInfo") on any other error.
  bool CopyXMLQueryDefs(DataServices& oDS, Project& oProj);

  // Copies the "View" elements below oPkg's "Views" into VlViews, each
  // linked to package lPkgID (VLPACKAGEELEMENTS). A view whose query
  // definition (or second one) is in gcolUnResQDefs is moved, with what
  // could be translated, to "UnResViews.xml" in the new project's folder
  // (loaded when it exists, so it collects the views of every package);
  // the file is written when it holds any view. A view whose query
  // definition has a specification in gcolQDefs takes its requirement type
  // from it, and its properties name the external project's row.
  // True when done (a view whose insert failed is reported and skipped);
  // false after the look-up's message when a view's user or query
  // definition is not found (views copied before stay, unresolved views
  // found so far are still written), and false after a report
  // ("CopyXMLPkgViewInfo") on any other error.
  bool CopyXMLPkgViewInfo(pugi::xml_node oPkg, int32_t lPkgID, DataServices& oDS, Project& oProj);

  // --- Pieces without a database, used by the copier ---

  // True when `text` has the shape "{????????-????-????-????-????????????}":
  // 38 characters, each "?" one character of any kind.
  static bool IsGUIDPattern(const std::string& text);

  // The external project GUID of a query string: the text between its
  // first "(" and its first ")", when that holds a ".", up to the first
  // "." (blanks around it removed). False when there is none, also when
  // the string has no "(" or no ")" or its first ")" comes before its
  // first "(".
  static bool GetExtProjRef(const std::string& sQString, std::string& sExtProjGUID);

  // Scans `sQString` for GUID-shaped brace pairs ("{" to the next "}") and
  // overwrites each with translate(GUID) when that is not empty, never
  // changing the string's length in characters; the scan goes on from the
  // "}" and ends at a "{" without "}" after it. translate may throw.
  static void RenewGUIDs(std::string& sQString,
                         const std::function<std::string(const std::string&)>& translate);

  // The properties rewriters: the requirement type ID becomes the
  // specification's; when the specification's external project ID is 1 or
  // more, the value after ";externalProjectID=/i" (after
  // ";externalProjectIDHoriz=/i" for the second) up to the next ";", or to
  // the end of the text when no ";" follows, becomes that ID in decimal.
  static void UpdatePropsExtProjID(int32_t& lReqTypeID, std::string& sProps,
                                   const ProjStructSpec& oSpec);
  static void UpdatePropsExtProjIDHoriz(int32_t& lSecReqTypeID, std::string& sProps,
                                        const ProjStructSpec& oSpec);

 private:
  // One definition: key "Query", new GUID, owner (the current user when
  // the owner is not found), renewed query string, INSERT; a progress line
  // (20150) first when it goes into another project (into_project_). False after a
  // message (20080) when the query services reject the string, after a
  // report ("InsertQueryDefSQL") on any other error; no row then.
  // With `bOwnerIsOwnUser`, "queryuserid" already holds the GUID of a user
  // of oProj (a definition another project left unresolved, whose owner
  // that project's run translated): the owner is looked up by that GUID
  // in oProj's database, without message.
  bool InsertQueryDefSQL(DataServices& oDS, Project& oProj, pugi::xml_node oQDef, bool bExternal,
                         bool bOwnerIsOwnUser = false);
  // Renews the GUIDs of sQString (through ext_translations_ with
  // bExternal, else through gdictPSGUIDs) and has oProj's query services
  // rebuild it; keeps an external specification in gcolQDefs under
  // sQDefGUID. False after message 20080 when the services reject it, after
  // a report ("RenewQStringIDs") when an external GUID has no translation
  // or anything fails.
  bool RenewQStringIDs(const std::string& sQDefGUID, std::string& sQString, Project& oProj,
                       bool bExternal);
  // Starts ext_translations_ for one definition: sExtProjGUID -> sCurrGUID,
  // then the pairs of "ResRTGUIDs.xml" beside the opened project sCurrGUID.
  void LoadExtProjRTGUIDs(const std::string& sExtProjGUID, const std::string& sCurrGUID);
  // Copies oQDef under oRoot (the unresolved document) and removes it from
  // its own document.
  static void WriteUnResQueryDef(pugi::xml_node oRoot, pugi::xml_node oQDef);
  // --- Completing what other projects left for this baseline's project,
  // at the end of the run (their rows in the run's transaction there,
  // their files when the run commits: see copy/other_projects.h) ---

 public:
  // Inserts into every opened external project the definitions of its
  // "UnResQueryDefs.xml" that refer to this baseline's project, now
  // referring to the new project; the file keeps the others (and any that
  // could not be inserted) or is removed. False after a report
  // ("CompleteUnResQueryDefs").
  bool CompleteUnResQueryDefs(Project& oProj);
  // Inserts into every opened external project the views of its
  // "UnResViews.xml" whose query definitions are now all found there; the
  // others keep what was resolved now. The file keeps them or is removed.
  // False after a report ("CompleteUnResViews"), and false after texts
  // 20084 and 20064 when a view's first query definition, recorded as
  // found, has no row there (see CompleteUnResView).
  bool CompleteUnResViews();

 private:
  // True when the view uses an unresolved query definition; it has then
  // been moved under oUnResRoot with what could be translated (or dropped
  // when its user is not found). False with bQueryMissing set, the view
  // left in place, when only its second query waits and its first was not
  // copied (the look-up's message): the package stops then, as for a view
  // without waiting queries.
  bool ViewHasUnResQdefs(pugi::xml_node oView, pugi::xml_node oUnResRoot, DataServices& oDS,
                         int32_t lPkgID, bool& bQueryMissing);
  // Key "View", progress line 20079 (20151, naming the project, when it
  // goes into another project), new GUID, the VlViews and
  // VLPACKAGEELEMENTS rows. False after a report ("InsertViewSQL").
  bool InsertViewSQL(pugi::xml_node oView, int32_t lReqTypeID, int32_t lSecReqTypeID,
                     int32_t lUserID, int32_t lQueryID, int32_t lSecQueryID, int32_t lPkgID,
                     const std::string& sProps, DataServices& oDS, Project& oProj);
  // One view of another project's "UnResViews.xml": inserted into oProj
  // (and removed from the file) when its query definitions are all found
  // in oDS now; otherwise what was found now is recorded in the element.
  // A query recorded as found must have its row in oDS: a second one
  // without it is left out after text 20084; a first one without it
  // inserts nothing and gives false after texts 20084 and 20064. A query
  // this run did not copy gives text 20085. Texts 20084 and 20085 are
  // followed by 20152, naming the query, the view and the project. Errors
  // propagate.
  bool CompleteUnResView(pugi::xml_node oView, DataServices& oDS, Project& oProj);

  // While the completion writes into another project, its name: the
  // progress lines and messages of what is written there name it. Empty
  // otherwise.
  std::string into_project_;
  // The external project's GUIDs for one definition: baseline GUID -> GUID
  // in the external project.
  OrderedMap<std::string> ext_translations_;
  // True when the external project has no "ResRTGUIDs.xml": it was not
  // created from a baseline, so its objects still have the GUIDs the
  // baseline knows.
  bool ext_keeps_guids_ = false;
};

}  // namespace vl
