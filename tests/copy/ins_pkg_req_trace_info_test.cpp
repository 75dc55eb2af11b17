#include "copy/ins_pkg_req_trace_info.h"

#include <gtest/gtest.h>

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
const char* const kRootPkg = "{50000000-0000-0000-0000-000000000001}";

// Requirements of the baseline (g...) and of the external project X (x...).
const char* const kG1 = "{60000000-0000-0000-0000-000000000001}";
const char* const kG2 = "{60000000-0000-0000-0000-000000000002}";
const char* const kG3 = "{60000000-0000-0000-0000-000000000003}";
const char* const kGMissing = "{60000000-0000-0000-0000-0000000000FF}";
const char* const kX1 = "{70000000-0000-0000-0000-000000000001}";

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

  // A validated baseline of the project kBaselineGuid, traces chosen,
  // whose one package "Main" holds `reqs`; the new project is Root()/Alpha.
  void UseBaseline(const std::string& reqs) {
    UseValidatedBaseline(kBaselineGuid, std::string("<PROJECT GUID=\"") + kBaselineGuid + "\"/>");
    goBLProjInfo->SetCreateTraces(true);
    WriteFile(root_ / "baseline" / "PackageList.XML",
              std::string(R"(<PROJECT><Pkg ParentID="0" GUID=")") + kRootPkg + R"("/></PROJECT>)");
    WriteFile(root_ / "baseline" / (std::string(kRootPkg) + ".XML"),
              "<PROJECT><Pkg><PkgName>Main</PkgName><Requirements>" + reqs +
                  "</Requirements></Pkg></PROJECT>");
  }
  // Copies the baseline's requirements `oldGuids` into `ds` with the IDs
  // 11, 12, ...
  void AddRequirements(DataServices& ds, const std::vector<std::string>& oldGuids) {
    for (size_t i = 0; i < oldGuids.size(); ++i)
      ds.ExecuteSQL("INSERT INTO vlRequirements (ID, VLGUID) VALUES (" + std::to_string(11 + i) +
                    ", '" + ctx().AssignNewReqGUID(oldGuids[i]) + "')");
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
};

TEST_F(TraceCopyTest, InternalTracesSkipTheParentChildRelationship) {
  UseBaseline(Req(kG1, "SR1", TReq(kG2, "SR1.2", "1", "1.0") + TReq(kG3, "SR1", "2", "1.1")) +
              Req(kG2, "SR1.", "", TReq(kG1, "SR1", "1", "1.0")) +
              Req(kG3, "", TReq(kG2, "SR2", "0", "1.0")));
  auto alpha = CreateProject("Alpha");
  auto ds = DataServicesOf(*alpha);
  AddRequirements(*ds, {kG1, kG2, kG3});
  ASSERT_TRUE(Copy(*ds, *alpha));
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(sink_.results,
            (std::vector<std::string>{
                "Traces of package Main", "Traces of SR1",
                "Not adding the trace as it is parent child relationship: SR1.2 And SR1",
                "External traces of SR1.", "Traces of "}));
  // The traces to SR1 and SR2 have no parent part, so they are not taken
  // for one, not even from a requirement without prefix; the TFrom side
  // of SR1.2 writes nothing.
  EXPECT_EQ(Rows(*ds, kTraceColumns), (Table{{"11", "0", "13", "0", "0", "2", "1.1"},
                                             {"13", "0", "12", "0", "0", "0", "1.0"}}));
  EXPECT_FALSE(fs::exists(root_ / "Alpha" / kUnResExtTracesFile));
}

TEST_F(TraceCopyTest, AnUncopiedEndStopsResolvingButTheFileKeepsOnlyWhatIsLeft) {
  UseBaseline(Req(kG1, "SR1", TReq(kG2, "SR2", "0", "1.0")) + Req(kG2, "SR", ""));
  auto x = OpenXavier();
  auto alpha = CreateProject("Alpha");
  auto ds = DataServicesOf(*alpha);
  AddRequirements(*ds, {kG1, kG2});
  DataServicesOf(*x)->ExecuteSQL(
      "INSERT INTO vlExternalProjects (ID, NAME, VLGUID) VALUES (6, 'P', '" +
      alpha->GetProjectGUID() + "')");
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
