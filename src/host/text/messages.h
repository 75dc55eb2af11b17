// The messages of the program: information messages, questions,
// procedure-error reports and results lines, in the texts of the resource
// file, through one message sink (the window, the terminal, a test).
#pragma once

#include <string>
#include <vector>

#include "errors/message_sink.h"
#include "errors/vl_error.h"
#include "host/text/resource.h"

namespace vl {

// Resource id of the procedure-error report (inserts: procedure name,
// number, description, message).
constexpr long kResProcError = 20083;

class Messenger {
 public:
  // Messages go to `sink` (a sink that discards everything when null);
  // texts come from `resource` (the fallback texts naming the ids when
  // null). Both must outlive the messenger.
  explicit Messenger(MessageSink* sink = nullptr, const Resource* resource = nullptr);
  Messenger(const Messenger&) = delete;
  Messenger& operator=(const Messenger&) = delete;

  void SetSink(MessageSink* sink);
  MessageSink& sink() { return *sink_; }
  void SetResource(const Resource* resource) { resource_ = resource; }
  // The title of every message box.
  void SetTitle(std::string title) { title_ = std::move(title); }
  const std::string& title() const { return title_; }

  // An information message; `id` is the resource id of its text, 0 when
  // it has none.
  void ShowInfoMessage(const std::string& message, long id = 0);
  // A question with `buttons` (plus the question icon); returns the
  // MsgResult of the button pressed.
  int AskUser(const std::string& message, int buttons);
  // The procedure-error report. With an error pending (called inside a
  // catch block, or with `pending` given and its number not 0): resource
  // 20083 formatted with `procName`, the number in decimal, the
  // description and `message`, shown as an error (MessageSink::ShowError).
  // Otherwise `message` + " (" + `procName` + ")" as an information
  // message. Without procedure details (SetProcedureDetails(false)) the
  // report is the description and the message alone, with no procedure
  // name and no error number: what a user can act on.
  void ReportProcError(const std::string& procName, const std::string& message);
  void ReportProcError(const std::string& procName, const std::string& message,
                       const ErrorState& pending);
  // Whether procedure-error reports name the procedure and the error
  // number (the default), or give only the texts.
  void SetProcedureDetails(bool on) { procedure_details_ = on; }
  // The resource id of the message being shown (ShowInfoMessage's `id`,
  // 20083 for a procedure-error report), for sinks that record it; 0
  // outside a message or for a text without one.
  long shown_id() const { return shown_id_; }

  // Appends one line to the results; a line blank after trimming is
  // dropped, and the line breaks inside it become one blank each, so
  // that a results line stays one line wherever it shows.
  void AddTextResultsLine(const std::string& line);
  // Lets the window breathe during long work.
  void Breathe() { sink_->Breathe(); }
  // Where long work stands (MessageSink::Progress).
  void Progress(const std::string& stage, long done, long total) {
    sink_->Progress(stage, done, total);
  }

  std::string ResString(long id) const;
  std::string ResFormat(long id, const std::vector<std::string>& values) const;

 private:
  NullMessageSink discard_;
  MessageSink* sink_;
  const Resource* resource_;
  Resource fallback_;
  std::string title_;
  bool procedure_details_ = true;
  long shown_id_ = 0;
};

}  // namespace vl
