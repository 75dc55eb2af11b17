#include "copy/ins_pkg_req_trace_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "copy/project_pair_fixture.h"
#include "host/xml/xml_file.h"
#include "support/data_services_wrappers.h"

namespace vl::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

// The project the baseline was taken from, a project it refers to (as
// the baseline knew it) that is opened in some tests, and one never opened.
const char* const kBaselineGuid = "{A0000000-0000-0000-0000-0000000000A1}";
const char* const kXBaselineGuid = "{A0000000-0000-0000-0000-0000000000B1}";
const char* const kYBaselineGuid = "{A0000000-0000-0000-0000-0000000000C1}";
const char* const kZBaselineGuid = "{A0000000-0000-0000-0000-0000000000D1}";
const char* const kRootPkg = "{50000000-0000-0000-0000-000000000001}";
const char* const kChildPkg = "{50000000-0000-0000-0000-000000000002}";
const char* const kLaterPkg = "{50000000-0000-0000-0000-000000000003}";

// Requirements of the baseline (g...) and of the external project X (x...).
const char* const kG1 = "{60000000-0000-0000-0000-000000000001}";
const char* const kG2 = "{60000000-0000-0000-0000-000000000002}";
const char* const kG3 = "{60000000-0000-0000-0000-000000000003}";
const char* const kGMissing = "{60000000-0000-0000-0000-0000000000FF}";
const char* const kX1 = "{70000000-0000-0000-0000-000000000001}";
const char* const kX2 = "{70000000-0000-0000-0000-000000000002}";

const char* const kTraceColumns =
    "SELECT REQUIREMENTID, EXTERNALPROJECTID, TOID, EXTERNALPROJECTTOID, TYPE, STATE, "
    "VERSIONNUMBER FROM VlToRelationships ORDER BY REQUIREMENTID, TOID";

std::string TReq(const std::string& trid, const std::string& tag, const std::string& state,
                 const std::string& version, const std::string& epguid = "") {
  std::string x = "<TReq>";
  if (!epguid.empty()) x += "<EPGUID>" + epguid + "</EPGUID>";
  return x + "<TRID>" + trid + "</TRID><TRVer>" + version + "</TRVer><State>" + state +
         "</State><TRTag>" + tag + "</TRTag></TReq>";
}
std::string Req(const std::string& guid, const std::string& rpre, const std::string& tto,
                const std::string& tfrom = "") {
  std::string x = "<Req><GUID>" + guid + "</GUID><RPre>" + rpre + "</RPre>";
  if (!tto.empty()) x += "<TTo>" + tto + "</TTo>";
  if (!tfrom.empty()) x += "<TFrom>" + tfrom + "</TFrom>";
  return x + "</Req>";
}

class TraceCopyTest : public ProjectPairTest {
 protected:
  void SetUp() override {
    ProjectPairTest::SetUp();
    goResource->SetString(20066, "Traces of package %1");
    goResource->SetString(20067, "Traces of %1");
    goResource->SetString(20068, "External traces of %1");
    goResource->SetString(20069, "The external project is not registered");
  }

  // A validated baseline of the project kBaselineGuid, traces chosen, with
  // the package tree given by WritePackage; the new project is Root()/Alpha.
  void UseBaseline() {
    UseValidatedBaseline(kBaselineGuid, std::string("<PROJECT GUID=\"") + kBaselineGuid + "\"/>");
    goBLProjInfo->SetCreateTraces(true);
    WriteFile(root_ / "baseline" / "PackageList.XML",
              std::string(R"(<?xml version="1.0"?><PROJECT><Pkg ParentID="0" GUID=")") + kRootPkg +
                  R"("/></PROJECT>)");
  }

  void WritePackage(const std::string& guid, const std::string& name, const std::string& reqs,
                    const std::vector<std::string>& children = {}) {
    std::string pkgs;
    for (const std::string& c : children) pkgs += "<Pkg><GUID>" + c + "</GUID></Pkg>";
    WriteFile(root_ / "baseline" / (guid + ".XML"),
              "<PROJECT><Pkg><PkgName>" + name + "</PkgName><Requirements>" + reqs +
                  "</Requirements>" + (pkgs.empty() ? "" : "<Pkgs>" + pkgs + "</Pkgs>") +
                  "</Pkg></PROJECT>");
  }

  // A requirement copied into `ds` with the ID `id`, translated from
  // `oldGuid` when one is given.
  void AddRequirement(DataServices& ds, int id, const std::string& oldGuid) {
    const std::string guid = oldGuid.empty() ? GenerateGUID() : ctx().AssignNewReqGUID(oldGuid);
    ds.ExecuteSQL("INSERT INTO vlRequirements (ID, VLGUID) VALUES (" + std::to_string(id) + ", '" +
                  guid + "')");
  }
  static void AddExtProjRow(DataServices& ds, int id, const std::string& guid) {
    ds.ExecuteSQL("INSERT INTO vlExternalProjects (ID, NAME, VLGUID) VALUES (" +
                  std::to_string(id) + ", 'P', '" + guid + "')");
  }

  // Opens project X as the external-project copier would have: X stands
  // for kXBaselineGuid and is open in tables().gcolExtProjs.
  std::shared_ptr<Project> OpenXavier() {
    auto x = CreateProject("Xavier");
    tables().gdictExtProjMap.Add(kXBaselineGuid, x->GetProjectGUID());
    tables().gcolExtProjs.Add(x->GetProjectGUID(), x);
    return x;
  }
  void WriteUnResTraces(const std::string& project, const std::string& entries) {
    WriteFile(root_ / project / kUnResExtTracesFile,
              "<?xml version=\"1.0\" standalone=\"yes\"?>\n<PROJECT>" + entries + "</PROJECT>\n");
  }
  bool HasUnResTraces(const std::string& project) const {
    return fs::exists(root_ / project / kUnResExtTracesFile);
  }
  std::string UnResTraces(const std::string& project) const {
    pugi::xml_document doc;
    EXPECT_TRUE(LoadXmlPath(doc, (root_ / project / kUnResExtTracesFile).string()));
    std::ostringstream out;
    doc.document_element().print(out, "", pugi::format_raw);
    return out.str();
  }

  bool Copy(DataServices& ds, Project& proj) {
    InsPkgReqTraceInfo copier(ctx());
    const bool ok = copier.CopyXMLPkgTraceInfo(ds, proj);
    copier.ApplyPendingExtTraces();
    CommitOtherProjects();
    return ok;
  }
  static std::vector<std::string> Inserts(const RecordingDataServices& rec) {
    std::vector<std::string> out;
    for (const std::string& s : rec.StatementsWithoutMarkers())
      if (s.rfind("INSERT", 0) == 0) out.push_back(s);
    return out;
  }
};

TEST_F(TraceCopyTest, InternalTracesSkipTheParentChildRelationship) {
  UseBaseline();
  WritePackage(kRootPkg, "Main",
               Req(kG1, "SR1", TReq(kG2, "SR1.2", "1", "1.0") + TReq(kG3, "SR1", "2", "1.1")) +
                   Req(kG2, "SR1.", "", TReq(kG1, "SR1", "1", "1.0")) +
                   Req(kG3, "", TReq(kG2, "SR2", "0", "1.0")));
  auto alpha = CreateProject("Alpha");
  auto ds = DataServicesOf(*alpha);
  AddRequirement(*ds, 11, kG1);
  AddRequirement(*ds, 12, kG2);
  AddRequirement(*ds, 13, kG3);
  RecordingDataServices rec(ds);

  ASSERT_TRUE(Copy(rec, *alpha));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(sink_.results,
            (std::vector<std::string>{
                "Traces of package Main", "Traces of SR1",
                "Not adding the trace as it is parent child relationship: SR1.2 And SR1",
                "External traces of SR1.", "Traces of "}));
  // The traces to SR1 and SR2 have no parent part, so they are not taken
  // for one, not even from a requirement without prefix; the TFrom side
  // of SR1.2 writes nothing.
  EXPECT_EQ(Inserts(rec),
            (std::vector<std::string>{
                "INSERT INTO VlToRelationships (\r\nREQUIREMENTID, \r\nEXTERNALPROJECTID, "
                "\r\nTOID, \r\nEXTERNALPROJECTTOID, \r\nTYPE, \r\nSTATE, \r\nVERSIONNUMBER\r\n) "
                "VALUES (11, \r\n0, \r\n13, \r\n0, \r\n0, \r\n2, \r\n'1.1'\r\n)",
                "INSERT INTO VlToRelationships (\r\nREQUIREMENTID, \r\nEXTERNALPROJECTID, "
                "\r\nTOID, \r\nEXTERNALPROJECTTOID, \r\nTYPE, \r\nSTATE, \r\nVERSIONNUMBER\r\n) "
                "VALUES (13, \r\n0, \r\n12, \r\n0, \r\n0, \r\n0, \r\n'1.0'\r\n)"}));
  EXPECT_EQ(Rows(*ds, kTraceColumns), (Table{{"11", "0", "13", "0", "0", "2", "1.1"},
                                             {"13", "0", "12", "0", "0", "0", "1.0"}}));
  EXPECT_FALSE(HasUnResTraces("Alpha"));
}

TEST_F(TraceCopyTest, AnUncopiedEndStopsResolvingButTheFileKeepsOnlyWhatIsLeft) {
  UseBaseline();
  WritePackage(kRootPkg, "Main",
               Req(kG1, "SR1", TReq(kG2, "SR2", "0", "1.0")) + Req(kG2, "SR", ""));
  auto x = OpenXavier();
  auto alpha = CreateProject("Alpha");
  auto ds = DataServicesOf(*alpha);
  AddRequirement(*ds, 11, kG1);
  AddRequirement(*ds, 12, kG2);
  AddExtProjRow(*DataServicesOf(*x), 6, alpha->GetProjectGUID());
  // Taken from the last to the first: kG1 is written, kGMissing stops.
  const std::string missing = std::string("<URTRACE TRID=\"") + kGMissing + "\" EPGUID=\"" +
                              kBaselineGuid + "\" TRVer=\"1.0\" State=\"0\" DIR=\"TTO\"/>";
  WriteUnResTraces("Xavier", std::string("<REQURCPT OLDGUID=\"") + kX1 + "\" NEWREQID=\"7\">" +
                                 missing + "<URTRACE TRID=\"" + kG1 + "\" EPGUID=\"" +
                                 kBaselineGuid +
                                 "\" TRVer=\"1.0\" State=\"0\" DIR=\"TTO\"/></REQURCPT>");

  // The baseline's own traces are copied all the same.
  ASSERT_TRUE(Copy(*ds, *alpha));
  // The message names the trace that waits, where, and the missing end.
  EXPECT_EQ(sink_.infos,
            (std::vector<std::string>{"No translation for this object. (trace of " +
                                      std::string(kX1) + " in Xavier: " + kGMissing + ")"}));
  EXPECT_EQ(Rows(*ds, kTraceColumns), (Table{{"11", "0", "12", "0", "0", "0", "1.0"}}));
  EXPECT_EQ(UnResTraces("Xavier"), std::string("<PROJECT><REQURCPT OLDGUID=\"") + kX1 +
                                       "\" NEWREQID=\"7\">" + missing + "</REQURCPT></PROJECT>");
  auto reopened = goProjApp->OpenProject(ProjectFileOf("Xavier"));
  EXPECT_EQ(Rows(*DataServicesOf(*reopened), kTraceColumns),
            (Table{{"7", "0", "11", "6", "0", "0", "1.0"}}));
  reopened->CloseProject();
}

}  // namespace
}  // namespace vl::testing
