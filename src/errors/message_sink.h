// The one small interface through which the program talks to its user:
// information messages, questions, results lines and letting the window
// breathe. The wizard, the command-line tool and the tests implement it.
#pragma once

#include <string>

namespace vl {

// Button sets, icons and answers, with the values of the classic message box.
constexpr int vbOKOnly = 0, vbOKCancel = 1, vbAbortRetryIgnore = 2, vbYesNoCancel = 3,
              vbYesNo = 4, vbRetryCancel = 5;
constexpr int vbQuestion = 32, vbInformation = 64;
constexpr int vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6,
              vbNo = 7;

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // A modal information message with one OK button.
  virtual void ShowInfo(const std::string& title, const std::string& text) = 0;
  // The report of an error that broke off the work in hand (an exception
  // caught); by default shown as any other message.
  virtual void ShowError(const std::string& title, const std::string& text) {
    ShowInfo(title, text);
  }
  // A modal question; `buttons` is a MsgButtons value plus vbQuestion.
  // Returns the MsgResult of the button pressed.
  virtual int Ask(const std::string& title, const std::string& text, int buttons) = 0;
  // Appends one line to the results (never blank: callers drop blank lines).
  virtual void AddResultsLine(const std::string& line) = 0;
  // Lets pending window work happen during long work. Cheap when called
  // often: implementations decide how often they really refresh.
  virtual void Breathe() {}
  // Where long work stands: `done` of `total` units of `stage` are done
  // (`total` 0 when the count is not known). The creation run reports each
  // stage as it starts (its routine name, 0, 0) and the stages that know
  // their counts cheaply report them as they go. An empty `stage` means
  // that no work is going on any more. Implementations show it or ignore
  // it; it is called often.
  virtual void Progress(const std::string& stage, long done, long total) {
    (void)stage, (void)done, (void)total;
  }
};

// Discards everything, answers every question with `answer`.
class NullMessageSink : public MessageSink {
 public:
  explicit NullMessageSink(int answer = vbYes) : answer_(answer) {}
  void ShowInfo(const std::string&, const std::string&) override {}
  int Ask(const std::string&, const std::string&, int) override { return answer_; }
  void AddResultsLine(const std::string&) override {}

 private:
  int answer_;
};

}  // namespace vl
