#include "host/text/messages.h"

#include "host/text/convert.h"

namespace vl {

namespace {

// Sets the id of the message being shown for as long as it is shown.
class ShownId {
 public:
  ShownId(long& slot, long id) : slot_(slot) { slot_ = id; }
  ~ShownId() { slot_ = 0; }

 private:
  long& slot_;
};

}  // namespace

Messenger::Messenger(MessageSink* sink, const Resource* resource)
    : sink_(sink ? sink : &discard_), resource_(resource) {}

void Messenger::SetSink(MessageSink* sink) { sink_ = sink ? sink : &discard_; }

std::string Messenger::ResString(long id) const {
  return (resource_ ? *resource_ : fallback_).GetString(id);
}

std::string Messenger::ResFormat(long id, const std::vector<std::string>& values) const {
  return (resource_ ? *resource_ : fallback_).GetFormattedString(id, values);
}

void Messenger::ShowInfoMessage(const std::string& message, long id) {
  ShownId shown(shown_id_, id);
  sink_->ShowInfo(title_, message);
}

int Messenger::AskUser(const std::string& message, int buttons) {
  return sink_->Ask(title_, message, buttons + vbQuestion);
}

void Messenger::ReportProcError(const std::string& procName, const std::string& message,
                                const ErrorState& pending) {
  if (!pending.pending()) {
    ShowInfoMessage(procedure_details_ ? message + " (" + procName + ")" : message);
    return;
  }
  ShownId shown(shown_id_, kResProcError);
  if (procedure_details_) {
    sink_->ShowError(title_, ResFormat(kResProcError, {procName, std::to_string(pending.number),
                                                       pending.description, message}));
  } else if (message.empty() || message == pending.description) {
    sink_->ShowError(title_, pending.description);
  } else {
    sink_->ShowError(title_, message + ": " + pending.description);
  }
}

void Messenger::ReportProcError(const std::string& procName, const std::string& message) {
  ReportProcError(procName, message, PendingError());
}

void Messenger::AddTextResultsLine(const std::string& line) {
  if (Trim(line).empty()) return;
  // One results line is one line wherever it shows: a line break inside
  // a text from a baseline (a requirement's text, a name) must not start
  // a line of its own, nor make a line that looks like one the program
  // writes.
  if (line.find_first_of("\r\n") == std::string::npos) return sink_->AddResultsLine(line);
  std::string one;
  one.reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\r' && line[i] != '\n') {
      one += line[i];
      continue;
    }
    if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
    one += ' ';
  }
  sink_->AddResultsLine(one);
}

}  // namespace vl
