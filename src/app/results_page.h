// The results page of a creation run, written under the name the run
// announces, so that the record of the run outlives the window or the
// terminal it was shown in: a summary first (the project, its status,
// where it is, what was copied, what waits for other projects, the
// messages), then every results line, folded away so that a page of a
// million lines still opens at its summary.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/creation_run.h"
#include "app/run_report.h"
#include "errors/message_sink.h"

namespace vl {

// Passes everything on to `inner` and keeps a copy of every results line
// and message (escaped for HTML, in a temporary file, so that a run of
// millions of lines costs no memory). Messages are also added to `log`
// when given, with the resource id `messages` reports for them.
class ResultsPageRecorder : public MessageSink {
 public:
  explicit ResultsPageRecorder(MessageSink& inner, const Messenger* messages = nullptr,
                               std::vector<ReportMessage>* log = nullptr);
  ~ResultsPageRecorder() override;
  ResultsPageRecorder(const ResultsPageRecorder&) = delete;
  ResultsPageRecorder& operator=(const ResultsPageRecorder&) = delete;

  void ShowInfo(const std::string& title, const std::string& text) override;
  void ShowError(const std::string& title, const std::string& text) override;
  int Ask(const std::string& title, const std::string& text, int buttons) override;
  void AddResultsLine(const std::string& line) override;
  void Breathe() override;
  void Progress(const std::string& stage, long done, long total) override;

  long lines() const { return lines_; }
  // The text of the last error report, else of the last message; "" when
  // none was shown.
  const std::string& last_message() const {
    return last_error_.empty() ? last_message_ : last_error_;
  }

  // Writes the page to `path` (UTF-8, replacing any file of that name):
  // the summary of `report`, then the lines and messages in order inside
  // one preformatted block (so tabs and blanks stay as they were) in a
  // folded section. Throws VlError when the copy of the lines was lost or
  // the file cannot be written.
  void WritePage(const std::string& path, const RunReport& report);

 private:
  void Record(const char* severity, const std::string& text);
  void Spool(const std::string& line);
  // Moves the lines gathered in `spooled_` to the file.
  void FlushSpool();

  MessageSink& inner_;
  const Messenger* messages_;
  std::vector<ReportMessage>* log_;
  std::FILE* spool_ = nullptr;
  // Escaped lines not yet in the file: a run makes hundreds of thousands,
  // written in large pieces.
  std::string spooled_;
  bool spool_failed_ = false;
  long lines_ = 0;
  std::string last_message_, last_error_;
};

// The summary that opens the results page, as HTML.
std::string ResultsSummaryHtml(const RunReport& report);

// Runs `run.ExecuteActions(beforeRelease)` with the results lines recorded
// and writes the results page under the name the run announced, before
// `beforeRelease` runs (or after the run when it never got that far);
// `beforePage` runs just before the page is written, and its results lines
// go onto the page too. A page that cannot be written is reported under
// "modResultsPage.WriteResultsPage"; the run's result is not changed by it.
// `report`, when given, may hold the messages of the checks before the
// run; it receives the run's messages, its status (and reason), the
// project's place, the counts, what waits for other projects, the page's
// name and the number of results lines, as the page shows them.
// Returns ExecuteActions' result.
bool ExecuteActionsAndWriteResultsPage(Session& session, CreationRun& run,
                                       const std::function<void()>& beforeRelease = nullptr,
                                       const std::function<void()>& beforePage = nullptr,
                                       RunReport* report = nullptr);

}  // namespace vl
