// The results page: the results lines of a creation run as a simple HTML
// page, written under the name the run announces, so that the record of
// the run outlives the window or the terminal it was shown in.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "app/creation_run.h"
#include "errors/message_sink.h"

namespace vl {

// Passes everything on to `inner` and keeps a copy of every results line
// (escaped for HTML, in a temporary file, so that a run of millions of
// lines costs no memory).
class ResultsPageRecorder : public MessageSink {
 public:
  explicit ResultsPageRecorder(MessageSink& inner);
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

  // Writes the page to `path` (UTF-8, replacing any file of that name): a
  // title, then the lines in order inside one preformatted block, so tabs
  // and blanks stay as they were. Throws VlError when the copy of the
  // lines was lost or the file cannot be written.
  void WritePage(const std::string& path, const std::string& title) const;

 private:
  MessageSink& inner_;
  std::FILE* spool_ = nullptr;
  bool spool_failed_ = false;
  long lines_ = 0;
};

// Runs `run.ExecuteActions(beforeRelease)` with the results lines recorded
// and writes the results page under the name the run announced, before
// `beforeRelease` runs (or after the run when it never got that far);
// `beforePage` runs just before the page is written, and its results lines
// go onto the page too. A page that cannot be written is reported under
// "modResultsPage.WriteResultsPage"; the run's result is not changed by it.
// Returns ExecuteActions' result.
bool ExecuteActionsAndWriteResultsPage(Session& session, CreationRun& run,
                                       const std::function<void()>& beforeRelease = nullptr,
                                       const std::function<void()>& beforePage = nullptr);

}  // namespace vl
