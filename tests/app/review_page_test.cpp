#include "app/review_page.h"

#include <fstream>

#include "app/html_text.h"
#include "app_fixture.h"

namespace vl {
namespace {

using ReviewPageTest = AppTest;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(HtmlTextTest, MarkupCharactersAreEscapedAndLineBreaksKept) {
  EXPECT_EQ(HtmlEscape("a < b & c > d"), "a &lt; b &amp; c &gt; d");
  EXPECT_EQ(HtmlEscape("&amp;"), "&amp;amp;");
  EXPECT_EQ(HtmlText("one\r\ntwo\nthree\rfour"), "one<br>two<br>three<br>four");
  EXPECT_EQ(HtmlText("<script>x</script>"), "&lt;script&gt;x&lt;/script&gt;");
  EXPECT_EQ(HtmlText("Grüße \"quoted\""), "Grüße \"quoted\"");
}

TEST(HtmlTableTest, ATableHasItsCaptionAndOneCellPerText) {
  EXPECT_EQ(BuildHtmlTable("Cap & more", {{"a", "<b>"}, {"c"}}),
            "<table border=\"1\"><caption>Cap &amp; more</caption><tbody>"
            "<tr><td>a</td><td>&lt;b&gt;</td></tr><tr><td>c</td></tr></tbody></table>");
}

TEST_F(ReviewPageTest, OptionTextsFollowWhatTheBaselineHoldsAndWhatIsChosen) {
  EXPECT_EQ(OptionText(session_.messages, false, true), session_.messages.ResString(5305));
  EXPECT_EQ(OptionText(session_.messages, false, false), session_.messages.ResString(5305));
  EXPECT_EQ(OptionText(session_.messages, true, true), session_.messages.ResString(5306));
  EXPECT_EQ(OptionText(session_.messages, true, false), session_.messages.ResString(5307));
}

TEST_F(ReviewPageTest, TheExternalProjectsTableNamesUnlocatedProjects) {
  ChooseBaselineAndFolder(SampleBaseline(), "Alpha");
  std::string table = BuildExtProjectsFragment(*goBLProjInfo, session_.messages);
  EXPECT_EQ(table,
            BuildHtmlTable(session_.messages.ResString(4002), {{session_.messages.ResString(4003), session_.messages.ResString(4004), session_.messages.ResString(4005)},
                                             {"Brewmate Service App", "SVC", session_.messages.ResString(5400)}}));
  goBLProjInfo->colExtProjs().Find("{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}")->Loc = "/p/S.vlp";
  EXPECT_NE(BuildExtProjectsFragment(*goBLProjInfo, session_.messages).find("<td>/p/S.vlp</td>"), std::string::npos);
}

TEST_F(ReviewPageTest, WithoutExternalProjectsOnlyCaptionAndHeadingsRemain) {
  std::string baseline = CopyOfSample();
  std::ofstream(baseline + "/ExternalProjects.xml") << "<PROJECT/>";
  ChooseBaselineAndFolder(baseline, "Alpha");
  EXPECT_EQ(BuildExtProjectsFragment(*goBLProjInfo, session_.messages),
            BuildHtmlTable(session_.messages.ResString(4002), {{session_.messages.ResString(4003), session_.messages.ResString(4004), session_.messages.ResString(4005)}}));
}

TEST_F(ReviewPageTest, ThePageIsWrittenBesideTheProjectWithTextsShownLiterally) {
  std::string baseline = CopyOfSample();
  std::ofstream(baseline + "/Project.xml")
      << R"(<?xml version="1.0" encoding="UTF-8"?><Project Name="Kaffee" Description="Pumpen &lt;15 bar&gt; &amp; Mühlen"/>)";
  ChooseBaselineAndFolder(baseline, "Alpha");
  goBLProjInfo->SetVLPDesc(goBLProjInfo->VLPDesc() + "\n€ second line");
  goBLProjInfo->SetCreateTraces(true);
  ASSERT_TRUE(CreateReviewHTML(session_)) << Messages(sink_);
  const std::string path = goBLProjInfo->ReviewHTMLLoc();
  EXPECT_EQ(std::filesystem::path(path).parent_path(), scratch_ / "Alpha");
  EXPECT_EQ(std::filesystem::path(path).filename().string().rfind("Alpha.BLProjCreateReview.", 0),
            0u)
      << path;

  std::string page = ReadFile(path);
  ASSERT_EQ(page.rfind("\xEF\xBB\xBF<p><table border=\"1\">", 0), 0u) << page.substr(0, 40);
  EXPECT_EQ(page.substr(3), BuildReviewPage(*goBLProjInfo, session_.messages));
  EXPECT_NE(page.find("<td>Pumpen &lt;15 bar&gt; &amp; Mühlen<br>€ second line</td>"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("<15"), std::string::npos);
  // Four fragments, each between "<p>" and "<br>", and nothing else.
  size_t tables = 0;
  for (size_t at = page.find("<p><table"); at != std::string::npos;
       at = page.find("<p><table", at + 1))
    ++tables;
  EXPECT_EQ(tables, 4u);
  EXPECT_EQ(page.substr(page.size() - 12), "</table><br>");
  EXPECT_NE(page.find(session_.messages.ResString(5306)), std::string::npos) << "traces chosen";
  EXPECT_EQ(page.find("<html"), std::string::npos);
}

TEST_F(ReviewPageTest, APageThatCannotBeWrittenIsReported) {
  ChooseBaselineAndFolder(SampleBaseline(), "Alpha");
  goBLProjInfo->SetVLPFolder((scratch_ / "missing" / "Alpha").string());
  EXPECT_FALSE(CreateReviewHTML(session_));
  ASSERT_EQ(sink_.infos.size(), 1u);
  EXPECT_NE(sink_.infos[0].find("frmWizard.CreateReviewHTML"), std::string::npos);
  EXPECT_NE(goBLProjInfo->ReviewHTMLLoc(), "");
}

}  // namespace
}  // namespace vl
