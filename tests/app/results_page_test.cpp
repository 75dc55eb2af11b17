#include "app/results_page.h"

#include <pugixml.hpp>

#include "app_fixture.h"

namespace vl {
namespace {

using ResultsPageTest = AppTest;

TEST_F(ResultsPageTest, TheRecorderPassesEverythingOnAndWritesThePage) {
  RunReport report;
  ResultsPageRecorder recorder(sink_, &session_.messages, &report.messages);
  recorder.AddResultsLine("first");
  recorder.AddResultsLine("\tCopying <group> & more");
  recorder.ShowInfo("T", "a message");
  EXPECT_EQ(recorder.Ask("T", "a question", vbYesNo), vbYes);
  ASSERT_EQ(sink_.results.size(), 2u);
  EXPECT_EQ(sink_.infos, std::vector<std::string>{"a message"});
  EXPECT_EQ(sink_.questions.size(), 1u);
  ASSERT_EQ(report.messages.size(), 1u);
  EXPECT_EQ(report.messages[0].text, "a message");

  // The summary first, then the lines and messages in their order,
  // folded away.
  report.project.name = "Name <x>";
  report.status = "failed";
  report.reason = "the reason";
  std::string path = (scratch_ / "results.html").string();
  recorder.WritePage(path, report);
  std::string page = ReadBytes(path);
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  const size_t title = page.find("<h1>Project \"Name &lt;x&gt;\"</h1>");
  const size_t reason = page.find("the reason");
  const size_t detail = page.find(
      "<details>\n<summary>2 results lines, in the order of the run</summary>\n<pre>\nfirst\n"
      "\tCopying &lt;group&gt; &amp; more\n" +
      session_.messages.ResFormat(6013, {"a message"}) + "\n</pre>");
  EXPECT_LT(title, reason) << page;
  EXPECT_LT(reason, detail) << page;
  EXPECT_NE(detail, std::string::npos) << page;
  // Lines added after a page was written go into the next one.
  recorder.AddResultsLine("third");
  recorder.WritePage(path, report);
  EXPECT_NE(ReadBytes(path).find("\nthird\n</pre>"), std::string::npos);
  EXPECT_EQ(recorder.lines(), 3);
}

TEST_F(ResultsPageTest, ARunWritesItsResultsPageUnderTheAnnouncedName) {
  ChooseBaselineAndFolder(SampleBaseline(), "Alpha");
  CreationRun run(session_);
  bool page_there_before_release = false;
  bool ok = ExecuteActionsAndWriteResultsPage(session_, run, [&] {
    page_there_before_release = std::filesystem::exists(run.results_file_name());
  });
  ASSERT_TRUE(ok) << Messages(sink_);
  EXPECT_TRUE(page_there_before_release);
  EXPECT_EQ(&session_.messages.sink(), &sink_) << "the sink is put back";
  std::string page = ReadBytes(run.results_file_name());
  // The results lines in the run's order, the page announced first.
  const auto& lines = sink_.results;
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], session_.messages.ResString(kResRunAnnounce));
  EXPECT_EQ(lines[1], run.results_file_name());
  EXPECT_EQ(lines[2], session_.messages.ResString(kResRunAnnounceEnd));
  EXPECT_EQ(lines[3], "\t" + session_.messages.ResString(kResCreatingProject));
  EXPECT_EQ(lines.back(), session_.messages.ResString(kResRunSucceeded));
  EXPECT_EQ(
      run.results_file_name().rfind((scratch_ / "Alpha/Alpha.BLProjCreateResults.").string(), 0),
      0u);
  EXPECT_EQ(goProjApp, nullptr) << "the project application is released after the run";
  // The GUID maps name the baseline's project and the new one.
  pugi::xml_document map;
  ASSERT_TRUE(map.load_file((scratch_ / "Alpha/PSGUIDMap.xml").c_str()));
  EXPECT_EQ(std::string(map.child("PROJECT").attribute("GUID").value()), goBLProjInfo->BLXMLGUID());
  EXPECT_EQ(std::string(map.child("PROJECT").attribute("NEWGUID").value()).size(), 38u);
  EXPECT_TRUE(map.child("PROJECT").child("GUID"));
  EXPECT_TRUE(std::filesystem::exists(scratch_ / "Alpha/ReqGUIDMap.xml"));
  std::string body;
  for (const auto& line : sink_.results) body += line + "\n";  // the sample has no markup
  EXPECT_NE(page.find("<pre>\n" + body + "</pre>"), std::string::npos) << page;
  // The summary counts what was copied and names what waits, and for whom.
  for (const char* said : {"<tr><th>Requirements</th><td>10</td></tr>",
                           "\"Brewmate Service App\" {19A4485B-EBD2-4A73-99EB-CCADDA346EF8} (not "
                           "located): its entry as an external project."})
    EXPECT_NE(page.find(said), std::string::npos) << said;

  // Progress passes through too: every stage as it starts, the packages
  // counted up to the four the list names.
  std::vector<std::string> stages, packages;
  for (const auto& p : sink_.progress) {
    if (p.total == 0) stages.push_back(p.stage);
    if (p.total > 0)
      packages.push_back(p.stage + " " + std::to_string(p.done) + "/" + std::to_string(p.total));
  }
  ASSERT_EQ(stages.size(), 20u);
  EXPECT_EQ(stages.front(), "CreateProject");
  EXPECT_EQ(stages.back(), "Commit");
  EXPECT_EQ(packages, (std::vector<std::string>{"CopyXMLPkgInfo 1/4", "CopyXMLPkgInfo 2/4",
                                                "CopyXMLPkgInfo 3/4", "CopyXMLPkgInfo 4/4"}));
}

// Puts a folder where the run's results page is to be written, as soon as
// the run announces the page's name.
class PageBlockingSink : public RecordingMessageSink {
 public:
  void AddResultsLine(const std::string& line) override {
    if (line.size() > 5 && line.substr(line.size() - 5) == ".html")
      std::filesystem::create_directories(line);
    RecordingMessageSink::AddResultsLine(line);
  }
};

TEST_F(ResultsPageTest, AnUnwritablePageIsReportedAndTheRunKeepsItsResult) {
  ChooseBaselineAndFolder(SampleBaseline(), "Alpha");
  PageBlockingSink blocking;
  session_.messages.SetSink(&blocking);
  CreationRun run(session_);
  EXPECT_TRUE(ExecuteActionsAndWriteResultsPage(session_, run));
  ASSERT_EQ(blocking.infos.size(), 1u);
  EXPECT_NE(blocking.infos[0].find("modResultsPage.WriteResultsPage"), std::string::npos)
      << blocking.infos[0];
  EXPECT_EQ(blocking.results.back(), session_.messages.ResString(kResRunSucceeded));
  EXPECT_THROW(
      ResultsPageRecorder(blocking).WritePage((scratch_ / "no" / "page.html").string(), {}),
      VlError);
}

TEST_F(ResultsPageTest, TheReviewCommandWritesThePageAndPrintsItsPath) {
  std::string folder = (scratch_ / "Rev").string();
  const std::string copied = session_.messages.ResString(5306);  // the command resets the globals
  CliResult r = RunCli({"review", SampleBaseline(), "--folder", folder, "--yes", "--all"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::string path = r.out.substr(0, r.out.find('\n'));
  EXPECT_EQ(std::filesystem::path(path).parent_path().string(), folder);
  std::string page = ReadBytes(path);
  EXPECT_NE(page.find("Brewmate Service App"), std::string::npos);
  EXPECT_NE(page.find(copied), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder + "/Rev.vlp")) << "nothing is created";
}

}  // namespace
}  // namespace vl
