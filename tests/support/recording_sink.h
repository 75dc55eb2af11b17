// A message sink for tests: records every message, question, results line
// and progress report, and answers questions from a queue.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "errors/message_sink.h"

namespace vl {

class RecordingMessageSink : public MessageSink {
 public:
  struct Question {
    std::string text;
    int buttons;
  };
  struct Step {
    std::string stage;
    long done, total;
  };

  void ShowInfo(const std::string&, const std::string& text) override { infos.push_back(text); }
  // The next answer of the queue; vbYes when it is empty.
  int Ask(const std::string&, const std::string& text, int buttons) override {
    questions.push_back({text, buttons});
    const int answer = answers.empty() ? vbYes : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
  void AddResultsLine(const std::string& line) override { results.push_back(line); }
  void Progress(const std::string& stage, long done, long total) override {
    progress.push_back({stage, done, total});
  }

  std::vector<std::string> infos, results;  // in order
  std::vector<Question> questions;
  std::vector<Step> progress;
  std::deque<int> answers;

  void Clear() { *this = RecordingMessageSink(); }
  // The messages without what a run adds after a message's own text to
  // name the object it is about (" It is the ..."): what tests of the
  // message chosen compare.
  std::vector<std::string> InfoTexts() const {
    std::vector<std::string> texts;
    for (const std::string& info : infos) texts.push_back(info.substr(0, info.find(" It is the ")));
    return texts;
  }
};

}  // namespace vl
