#include "host/text/messages.h"

#include "host/db/data_services.h"
#include "host/text/convert.h"
#include "host/text/host_globals.h"

namespace vl {

std::string ResString(long id) {
  if (goResource) return goResource->GetString(id);
  return Resource().GetString(id);
}

std::string ResFormat(long id, const std::vector<std::string>& values) {
  if (goResource) return goResource->GetFormattedString(id, values);
  return Resource().GetFormattedString(id, values);
}

void ShowInfoMessage(const std::string& message) { Messages().ShowInfo(gsMsgTitle, message); }

int AskUser(const std::string& message, int buttons) {
  return Messages().Ask(gsMsgTitle, message, buttons + vbQuestion);
}

void ReportProcError(const std::string& procName, const std::string& message,
                     const ErrorState& pending) {
  CommitOpenDatabases();
  if (pending.pending()) {
    ShowInfoMessage(ResFormat(
        kResProcError, {procName, std::to_string(pending.number), pending.description, message}));
  } else {
    ShowInfoMessage(message + " (" + procName + ")");
  }
}

void ReportProcError(const std::string& procName, const std::string& message) {
  ReportProcError(procName, message, PendingError());
}

void AddTextResultsLine(const std::string& line) {
  if (Trim(line).empty()) return;
  Messages().AddResultsLine(line);
}

}  // namespace vl
