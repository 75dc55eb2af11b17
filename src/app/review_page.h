// The review page: four tables that sum up the planned run (the baseline,
// the new project, the options and the external projects), written beside
// the new project file before the run and shown on the review step.
#pragma once

#include <string>
#include <vector>

#include "app/mod_wizard.h"
#include "app/run_report.h"

namespace vl {

// Resource ids of the page's captions and texts.
constexpr long kResReviewBaseline = 5100, kResReviewNewProject = 5200, kResReviewOptions = 5300,
               kResReviewExtProjects = 4002, kResReviewNotLocated = 5400, kResReviewDatabase = 5204,
               kResReviewDatabasePlace = 5205;
constexpr long kResOptionNotHeld = 5305, kResOptionCopied = 5306, kResOptionNotCopied = 5307;

// A table with border 1: the caption, then one row per entry of `rows`
// with one cell per text. Every text is escaped with HtmlText.
std::string BuildHtmlTable(const std::string& caption,
                           const std::vector<std::vector<std::string>>& rows);

// The text of one options row: 5305 when the baseline does not hold the
// content, otherwise 5306 when it is chosen and 5307 when it is not.
std::string OptionText(const Messenger& m, bool holds, bool chosen);

// The four fragments, from the descriptor `d`, with the texts of `m`. A
// value that is missing leaves its cell empty.
std::string BuildBaselineFragment(const BLProjInfo& d, const Messenger& m);
// The new project's rows end with its database (the list's entry) and
// where the database is (`place`: its file, or its server, database and
// schema).
std::string BuildNewProjectFragment(const BLProjInfo& d, const Messenger& m,
                                    const ProjectPlace& place);
std::string BuildOptionsFragment(const BLProjInfo& d, const Messenger& m);
// The caption, the heading row, then one row per external project in
// collection order: name, prefix, and the location or text 5400.
std::string BuildExtProjectsFragment(const BLProjInfo& d, const Messenger& m);

// The whole page: each fragment preceded by "<p>" and followed by "<br>",
// nothing else.
std::string BuildReviewPage(const BLProjInfo& d, const Messenger& m, const ProjectPlace& place);

// Stores the session's GetReviewFileName() in ReviewHTMLLoc and writes the page there,
// replacing any file of that name. The page is UTF-8 with a byte-order
// mark, so that every character of the baseline's texts survives and any
// reader knows the encoding. On a failure: the report under
// "frmWizard.CreateReviewHTML" and false (ReviewHTMLLoc keeps the name).
bool CreateReviewHTML(Session& session);

}  // namespace vl
