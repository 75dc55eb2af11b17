#include "app/review_page.h"

#include "app/html_text.h"
#include "app_fixture.h"

namespace vl {
namespace {

using ReviewPageTest = AppTest;

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
  const struct {
    bool held, chosen;
    int text;
  } cases[] = {{false, true, 5305}, {false, false, 5305}, {true, true, 5306}, {true, false, 5307}};
  for (const auto& c : cases)
    EXPECT_EQ(OptionText(session_.messages, c.held, c.chosen), session_.messages.ResString(c.text))
        << c.held << c.chosen;
}

// Unlocated external projects are named; without any only caption and
// headings remain.
TEST_F(ReviewPageTest, TheExternalProjectsTableNamesUnlocatedProjects) {
  const Messenger& m = session_.messages;
  const std::vector<std::string> headings = {m.ResString(4003), m.ResString(4004),
                                             m.ResString(4005)};
  ChooseBaselineAndFolder(SampleBaseline(), "Alpha");
  EXPECT_EQ(BuildExtProjectsFragment(*goBLProjInfo, m),
            BuildHtmlTable(m.ResString(4002),
                           {headings, {"Brewmate Service App", "SVC", m.ResString(5400)}}));
  goBLProjInfo->colExtProjs().Find("{19A4485B-EBD2-4A73-99EB-CCADDA346EF8}")->Loc = "/p/S.vlp";
  EXPECT_NE(BuildExtProjectsFragment(*goBLProjInfo, m).find("<td>/p/S.vlp</td>"),
            std::string::npos);

  std::string baseline = CopyOfSample();
  std::ofstream(baseline + "/ExternalProjects.xml") << "<PROJECT/>";
  ChooseBaselineAndFolder(baseline, "Beta");
  EXPECT_EQ(BuildExtProjectsFragment(*goBLProjInfo, m),
            BuildHtmlTable(m.ResString(4002), {headings}));
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

  std::string page = ReadBytes(path);
  ASSERT_EQ(page.rfind("\xEF\xBB\xBF<p><table border=\"1\">", 0), 0u) << page.substr(0, 40);
  EXPECT_EQ(page.substr(3),
            BuildReviewPage(*goBLProjInfo, session_.messages, PlannedProjectPlace(session_)));
  EXPECT_NE(page.find("<td>Pumpen &lt;15 bar&gt; &amp; Mühlen<br>€ second line</td>"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("<15"), std::string::npos);
  EXPECT_NE(page.find("<td>SQLite</td></tr><tr><td>" + session_.messages.ResString(5205) +
                      "</td><td>" + (scratch_ / "Alpha" / "Alpha.db").string() + "</td>"),
            std::string::npos)
      << "the destination";
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
