// A message sink for tests: records every message, question and results
// line, and answers questions from a queue.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "errors/message_sink.h"

namespace vl {

// Records everything; answers questions from a queue (default: vbYes).
class RecordingMessageSink : public MessageSink {
 public:
  struct Question {
    std::string text;
    int buttons;
  };

  void ShowInfo(const std::string& title, const std::string& text) override;
  int Ask(const std::string& title, const std::string& text, int buttons) override;
  void AddResultsLine(const std::string& line) override;
  void Progress(const std::string& stage, long done, long total) override {
    progress.push_back({stage, done, total});
  }

  std::vector<std::string> infos;    // texts of information messages, in order
  std::vector<Question> questions;   // questions asked, in order
  std::vector<std::string> results;  // results lines, in order
  struct Step {
    std::string stage;
    long done, total;
  };
  std::vector<Step> progress;  // progress reports, in order
  std::deque<int> answers;     // next answers; vbYes when empty

  void Clear();
  // The messages without what a run adds after a message's own text to
  // name the object it is about (" It is the ..."): what tests of the
  // message chosen compare.
  std::vector<std::string> InfoTexts() const;
};

}  // namespace vl
