#include "support/recording_sink.h"

namespace vl {

void RecordingMessageSink::ShowInfo(const std::string& title, const std::string& text) {
  titles.push_back(title);
  infos.push_back(text);
}

int RecordingMessageSink::Ask(const std::string& title, const std::string& text, int buttons) {
  titles.push_back(title);
  questions.push_back({text, buttons});
  if (answers.empty()) return default_answer;
  int a = answers.front();
  answers.pop_front();
  return a;
}

void RecordingMessageSink::AddResultsLine(const std::string& line) { results.push_back(line); }

std::vector<std::string> RecordingMessageSink::InfoTexts() const {
  std::vector<std::string> texts;
  for (const std::string& info : infos) texts.push_back(info.substr(0, info.find(" It is the ")));
  return texts;
}

void RecordingMessageSink::Clear() {
  infos.clear();
  titles.clear();
  questions.clear();
  results.clear();
  answers.clear();
}

}  // namespace vl
