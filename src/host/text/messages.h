// The message services every layer uses: information messages, questions,
// procedure-error reports and results lines, through the message sink and
// the resource texts.
#pragma once

#include <string>
#include <vector>

#include "errors/vl_error.h"

namespace vl {

// Resource id of the procedure-error report (inserts: procedure name,
// number, description, message).
constexpr long kResProcError = 20083;

// An information message titled gsMsgTitle.
void ShowInfoMessage(const std::string& message);
// A question with `buttons` (plus the question icon), titled gsMsgTitle;
// returns the MsgResult of the button pressed.
int AskUser(const std::string& message, int buttons);

// The procedure-error report. With an error pending (called inside a catch
// block, or with `pending` given and its number not 0): resource 20083
// formatted with `procName`, the number in decimal, the description and
// `message`. Otherwise `message` + " (" + `procName` + ")". Before the
// message is shown, the open project databases commit what they hold, so
// nothing written so far is lost whatever the user does next.
void ReportProcError(const std::string& procName, const std::string& message);
void ReportProcError(const std::string& procName, const std::string& message,
                     const ErrorState& pending);

// Appends one line to the results; a line blank after trimming is dropped.
void AddTextResultsLine(const std::string& line);

// Resource texts through goResource (the fallback text when it is missing).
std::string ResString(long id);
std::string ResFormat(long id, const std::vector<std::string>& values);

}  // namespace vl
