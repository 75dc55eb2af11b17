#include "host/text/messages.h"

#include "host/text/convert.h"

namespace vl {

Messenger::Messenger(MessageSink* sink, const Resource* resource)
    : sink_(sink ? sink : &discard_), resource_(resource) {}

void Messenger::SetSink(MessageSink* sink) { sink_ = sink ? sink : &discard_; }

std::string Messenger::ResString(long id) const {
  return (resource_ ? *resource_ : fallback_).GetString(id);
}

std::string Messenger::ResFormat(long id, const std::vector<std::string>& values) const {
  return (resource_ ? *resource_ : fallback_).GetFormattedString(id, values);
}

void Messenger::ShowInfoMessage(const std::string& message) { sink_->ShowInfo(title_, message); }

int Messenger::AskUser(const std::string& message, int buttons) {
  return sink_->Ask(title_, message, buttons + vbQuestion);
}

void Messenger::ReportProcError(const std::string& procName, const std::string& message,
                                const ErrorState& pending) {
  if (pending.pending()) {
    ShowInfoMessage(ResFormat(kResProcError, {procName, std::to_string(pending.number),
                                              pending.description, message}));
  } else {
    ShowInfoMessage(message + " (" + procName + ")");
  }
}

void Messenger::ReportProcError(const std::string& procName, const std::string& message) {
  ReportProcError(procName, message, PendingError());
}

void Messenger::AddTextResultsLine(const std::string& line) {
  if (Trim(line).empty()) return;
  sink_->AddResultsLine(line);
}

}  // namespace vl
