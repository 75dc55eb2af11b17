#include "support/recording_sink.h"

namespace vl {

void RecordingMessageSink::ShowInfo(const std::string&, const std::string& text) {
  infos.push_back(text);
}

int RecordingMessageSink::Ask(const std::string&, const std::string& text, int buttons) {
  questions.push_back({text, buttons});
  if (answers.empty()) return vbYes;
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
  questions.clear();
  results.clear();
  answers.clear();
}

}  // namespace vl
