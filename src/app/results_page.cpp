#include "app/results_page.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "app/html_text.h"
#include "app/mod_wizard.h"

namespace vl {

ResultsPageRecorder::ResultsPageRecorder(MessageSink& inner)
    : inner_(inner), spool_(std::tmpfile()), spool_failed_(spool_ == nullptr) {}

ResultsPageRecorder::~ResultsPageRecorder() {
  if (spool_) std::fclose(spool_);
}

void ResultsPageRecorder::ShowInfo(const std::string& title, const std::string& text) {
  inner_.ShowInfo(title, text);
}

void ResultsPageRecorder::ShowError(const std::string& title, const std::string& text) {
  inner_.ShowError(title, text);
}

int ResultsPageRecorder::Ask(const std::string& title, const std::string& text, int buttons) {
  return inner_.Ask(title, text, buttons);
}

void ResultsPageRecorder::Breathe() { inner_.Breathe(); }

void ResultsPageRecorder::Progress(const std::string& stage, long done, long total) {
  inner_.Progress(stage, done, total);
}

void ResultsPageRecorder::AddResultsLine(const std::string& line) {
  ++lines_;
  if (!spool_failed_) {
    // Inside the page's preformatted block a line break stays a line break.
    std::string escaped = HtmlEscape(line) + '\n';
    if (std::fwrite(escaped.data(), 1, escaped.size(), spool_) != escaped.size())
      spool_failed_ = true;
  }
  inner_.AddResultsLine(line);
}

void ResultsPageRecorder::WritePage(const std::string& path, const std::string& title) const {
  if (spool_failed_ || std::fflush(spool_) != 0)
    throw VlError(err::kUnspecified, "ResultsPageRecorder.WritePage",
                  "The results lines could not be kept for the results page");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" << HtmlEscape(title)
      << "</title>\n</head>\n<body>\n<pre>\n";
  std::rewind(spool_);
  char buffer[1 << 16];
  size_t n;
  while (out && (n = std::fread(buffer, 1, sizeof buffer, spool_)) > 0) out.write(buffer, n);
  std::fseek(spool_, 0, SEEK_END);
  out << "</pre>\n</body>\n</html>\n";
  out.close();
  if (!out)
    throw VlError(err::kPathNotFound, "ResultsPageRecorder.WritePage",
                  "Cannot write " + path + ": " + std::strerror(errno));
}

bool ExecuteActionsAndWriteResultsPage(Session& session, CreationRun& run,
                                       const std::function<void()>& beforeRelease,
                                       const std::function<void()>& beforePage) {
  Messenger& messages = session.messages;
  MessageSink& inner = messages.sink();
  ResultsPageRecorder recorder(inner);
  bool written = false;
  auto write_page = [&] {
    if (written || run.results_file_name().empty()) return;
    written = true;
    if (beforePage) beforePage();
    // Messages about the page go to the window or terminal, not into it.
    messages.SetSink(&inner);
    try {
      recorder.WritePage(run.results_file_name(), messages.title());
    } catch (const std::exception&) {
      messages.ReportProcError("modResultsPage.WriteResultsPage", "");
    }
  };
  messages.SetSink(&recorder);
  bool result = run.ExecuteActions([&] {
    write_page();
    if (beforeRelease) beforeRelease();
  });
  messages.SetSink(&inner);
  write_page();
  return result;
}

}  // namespace vl
