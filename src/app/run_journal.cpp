#include "app/run_journal.h"

#include <filesystem>

#include "errors/vl_error.h"
#include "host/project/durable_files.h"

namespace vl {

namespace {

constexpr const char* kSource = "RunJournal";
constexpr const char* kMagic = "vlbaseline run journal 1";

// A record: a name, the length of its value in bytes, a line break, the
// value (any bytes: statements hold every character a baseline may), a
// line break.
void Put(std::string& out, const char* name, const std::string& value) {
  out += name;
  out += ' ';
  out += std::to_string(value.size());
  out += '\n';
  out += value;
  out += '\n';
}

class Reader {
 public:
  Reader(std::string text, std::string path) : text_(std::move(text)), path_(std::move(path)) {}
  bool Next(std::string& name, std::string& value) {
    if (at_ >= text_.size()) return false;
    const size_t blank = text_.find(' ', at_);
    const size_t eol = text_.find('\n', at_);
    if (blank == std::string::npos || eol == std::string::npos || blank > eol) Bad();
    name = text_.substr(at_, blank - at_);
    size_t length = 0;
    try {
      length = std::stoul(text_.substr(blank + 1, eol - blank - 1));
    } catch (const std::exception&) {
      Bad();
    }
    if (eol + 1 + length + 1 > text_.size() || text_[eol + 1 + length] != '\n') Bad();
    value = text_.substr(eol + 1, length);
    at_ = eol + 1 + length + 1;
    return true;
  }
  [[noreturn]] void Bad() const {
    throw VlError(err::kUnspecified, kSource,
                  "The run journal \"" + path_ + "\" is damaged at byte " + std::to_string(at_));
  }

 private:
  std::string text_, path_;
  size_t at_ = 0;
};

}  // namespace

void WriteRunJournal(const std::string& path, const RunJournal& j) {
  std::string out;
  Put(out, "magic", kMagic);
  Put(out, "state", j.state == RunJournal::State::kCommitted ? "committed" : "prepared");
  Put(out, "final-project", j.final_project);
  Put(out, "baseline-guid", j.baseline_guid);
  Put(out, "project-guid", j.project_guid);
  Put(out, "pg-host", j.pg_place.host);
  Put(out, "pg-port", j.pg_place.port);
  Put(out, "pg-database", j.pg_place.database);
  Put(out, "pg-user", j.pg_place.user);
  Put(out, "pg-options", j.pg_place.options);
  Put(out, "pg-staging-schema", j.pg_staging_schema);
  Put(out, "pg-final-schema", j.pg_place.schema);
  for (const RunJournal::Other& o : j.others) {
    Put(out, "other", o.project_file);
    Put(out, "pointer", o.pointer);
    Put(out, "witness", o.witness_guid);
    for (const auto& [keyClass, last] : o.keys_before) {
      Put(out, "key-class", keyClass);
      Put(out, "key-last", last);
    }
    for (const std::string& statement : o.statements) Put(out, "statement", statement);
    for (const RunJournal::Other::File& f : o.files) {
      Put(out, "file-target", f.target);
      Put(out, "file-temp", f.temp);
      Put(out, "file-remove", f.remove ? "1" : "0");
    }
  }
  const std::string temp = path + ".new";
  WriteFileDurably(temp, out);
  RenameDurably(temp, path);
}

RunJournal ReadRunJournal(const std::string& path) {
  Reader reader(ReadWholeFile(path), path);
  RunJournal j;
  std::string name, value;
  if (!reader.Next(name, value) || name != "magic" || value != kMagic) reader.Bad();
  RunJournal::Other* other = nullptr;
  std::string key_class;
  while (reader.Next(name, value)) {
    if (name == "state") {
      j.state = value == "committed" ? RunJournal::State::kCommitted : RunJournal::State::kPrepared;
    } else if (name == "final-project") {
      j.final_project = value;
    } else if (name == "baseline-guid") {
      j.baseline_guid = value;
    } else if (name == "project-guid") {
      j.project_guid = value;
    } else if (name == "pg-host") {
      j.pg_place.host = value;
    } else if (name == "pg-port") {
      j.pg_place.port = value;
    } else if (name == "pg-database") {
      j.pg_place.database = value;
    } else if (name == "pg-user") {
      j.pg_place.user = value;
    } else if (name == "pg-options") {
      j.pg_place.options = value;
    } else if (name == "pg-staging-schema") {
      j.pg_staging_schema = value;
    } else if (name == "pg-final-schema") {
      j.pg_place.schema = value;
    } else if (name == "other") {
      other = &j.others.emplace_back();
      other->project_file = value;
    } else if (!other) {
      reader.Bad();
    } else if (name == "pointer") {
      other->pointer = value;
    } else if (name == "witness") {
      other->witness_guid = value;
    } else if (name == "key-class") {
      key_class = value;
    } else if (name == "key-last") {
      other->keys_before.emplace_back(key_class, value);
    } else if (name == "statement") {
      other->statements.push_back(value);
    } else if (name == "file-target") {
      other->files.emplace_back().target = value;
    } else if (name == "file-temp" && !other->files.empty()) {
      other->files.back().temp = value;
    } else if (name == "file-remove" && !other->files.empty()) {
      other->files.back().remove = value == "1";
    } else {
      reader.Bad();
    }
  }
  return j;
}

void WritePendingPointer(const std::string& path, const std::string& stagingFolder) {
  WriteFileDurably(path, stagingFolder + "\n");
  SyncFolder(std::filesystem::path(path).parent_path().string());
}

std::vector<std::pair<std::string, std::string>> PendingPointersIn(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> found;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(kPendingPointerPrefix, 0) != 0) continue;
    std::string staging = ReadWholeFile(it->path().string());
    while (!staging.empty() && (staging.back() == '\n' || staging.back() == '\r'))
      staging.pop_back();
    found.emplace_back(staging, it->path().string());
  }
  return found;
}

}  // namespace vl
