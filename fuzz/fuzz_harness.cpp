#include "fuzz_harness.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>

#include "app/command_line.h"
#include "app/mod_wizard.h"
#include "errors/message_sink.h"
#include "gen-baseline/generator.h"
#include "host/project_application.h"

namespace vl::fuzz {

namespace fs = std::filesystem;

const char* const kEscapeTrap = "/tmp/vl-fuzz-escape";
const char* const kSecretMarker = "VL-FUZZ-SECRET";

namespace {

// Serves as BaselineList.xml, Project.xml, ExternalProjects.xml, a
// package file or a document file alike.
constexpr const char* kSecretXml =
    "<?xml version=\"1.0\"?><PROJECT GUID=\"VL-FUZZ-SECRET\"><Label>VL-FUZZ-SECRET</Label>"
    "<BaselineType>Project</BaselineType><BaselineDesc>VL-FUZZ-SECRET</BaselineDesc>"
    "<Project Name=\"VL-FUZZ-SECRET\" Description=\"VL-FUZZ-SECRET\"/>"
    "<P GUID=\"VL-FUZZ-SECRET\" Name=\"VL-FUZZ-SECRET\" Prefix=\"VL-FUZZ-SECRET\"/>"
    "<Pkg><PkgName>VL-FUZZ-SECRET</PkgName><PkgDesc>VL-FUZZ-SECRET</PkgDesc></Pkg></PROJECT>";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A small baseline that still holds every kind of content: several
// packages on two levels, documents with their files, views, history,
// traces, discussions, query definitions and requirements with texts long
// enough to overflow.
BaselineFiles GenerateBase() {
  gen::Options o;
  o.seed = 11;
  o.requirements = 8;
  o.packages = 3;
  o.depth = 2;
  o.history_versions = 2;
  o.users = 3;
  o.discussions = 2;
  o.query_defs = 2;
  o.ext_query_defs = 0;
  o.text_size = 40;
  o.long_text_every = 4;
  const fs::path folder =
      fs::temp_directory_path() /
      ("vl-fuzz-base-" + std::to_string(getpid()) + "-" + std::to_string(std::random_device{}()));
  gen::WriteBaseline(o, folder.string());
  BaselineFiles files;
  for (const fs::directory_entry& e : fs::directory_iterator(folder))
    files[e.path().filename().string()] = ReadFile(e.path());
  fs::remove_all(folder);
  return files;
}

bool WritableName(const std::string& name) {
  return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

void MakeEmpty(const fs::path& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
}

// Names of the entries of `folder`.
std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec))
    names.insert(it->path().filename().string());
  return names;
}

void ExpectOnly(const fs::path& folder, const std::set<std::string>& expected,
                std::vector<std::string>& problems) {
  for (const std::string& name : Entries(folder))
    if (!expected.count(name))
      problems.push_back("written outside the project folder: " + (folder / name).string());
}

// The database file must open and be intact, and the project file, when
// the run got that far, must open as a project.
void CheckProjectDatabase(const fs::path& projectFolder, std::vector<std::string>& problems) {
  const std::string name = projectFolder.filename().string();
  const fs::path db = projectFolder / (name + ".db");
  std::error_code ec;
  if (fs::exists(db, ec)) {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      problems.push_back("the database does not open: " + std::string(sqlite3_errmsg(handle)));
    } else {
      std::string verdict;
      sqlite3_exec(
          handle, "PRAGMA integrity_check",
          [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0] ? values[0] : "NULL";
            return 0;
          },
          &verdict, nullptr);
      if (verdict != "ok") problems.push_back("the database is damaged: " + verdict);
    }
    sqlite3_close_v2(handle);
  }
  const fs::path vlp = projectFolder / (name + ".vlp");
  if (fs::exists(vlp, ec)) {
    SqlProjectApplication app([]() -> NewProjectDefinition* { return nullptr; });
    try {
      if (!app.OpenProject(vlp.string())) problems.push_back("the project does not open");
    } catch (const std::exception& e) {
      problems.push_back(std::string("the project does not open: ") + e.what());
    }
    app.Shutdown();
  }
}

// Runs `body` with the working folder set to `cwd`, so that a relative
// name that slipped through would land where CheckConfinement looks.
template <typename Body>
void InFolder(const std::string& cwd, Body body) {
  const fs::path before = fs::current_path();
  fs::current_path(cwd);
  try {
    body();
  } catch (...) {
    fs::current_path(before);
    throw;
  }
  fs::current_path(before);
}

}  // namespace

const BaselineFiles& BaseBaseline() {
  static const BaselineFiles base = GenerateBase();
  return base;
}

Workspace::Workspace(const std::string& tag) {
  root_ = fs::temp_directory_path() / ("vl-fuzz-" + tag + "-" + std::to_string(getpid()) + "-" +
                                       std::to_string(std::random_device{}()));
  inner_ = root_ / "a" / "b";
  fs::create_directories(inner_);
  std::ofstream(root_ / "secret.xml", std::ios::binary) << kSecretXml;
}

Workspace::~Workspace() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void Workspace::Prepare(const BaselineFiles& files) {
  for (const char* sub : {"bl", "proj", "cwd"}) MakeEmpty(inner_ / sub);
  // The project folder is made by the run itself (it asks first).
  fs::remove(inner_ / "proj");
  written_.clear();
  for (const auto& [name, bytes] : files) {
    if (!WritableName(name)) continue;
    if (bytes.rfind(kLinkMarker, 0) == 0) {
      std::error_code ec;
      fs::create_symlink(bytes.substr(kLinkMarker.size()), inner_ / "bl" / name, ec);
      if (!ec) written_[name] = bytes;
      continue;
    }
    std::ofstream out(inner_ / "bl" / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) written_[name] = bytes;
  }
}

void Workspace::CheckConfinement(std::vector<std::string>& problems) const {
  ExpectOnly(root_, {"a", "secret.xml"}, problems);
  if (ReadFile(root_ / "secret.xml") != kSecretXml) problems.push_back("the bait was changed");
  ExpectOnly(root_ / "a", {"b"}, problems);
  ExpectOnly(inner_, {"bl", "proj", "cwd"}, problems);
  ExpectOnly(inner_ / "cwd", {}, problems);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(kEscapeTrap, ec)))
    problems.push_back(std::string("written outside the project folder: ") + kEscapeTrap);
  const std::set<std::string> now = Entries(inner_ / "bl");
  for (const auto& [name, bytes] : written_) {
    const fs::path path = inner_ / "bl" / name;
    if (!now.count(name))
      problems.push_back("baseline file removed: " + name);
    else if (bytes.rfind(kLinkMarker, 0) == 0
                 ? !fs::is_symlink(fs::symlink_status(path, ec)) ||
                       fs::read_symlink(path, ec).string() != bytes.substr(kLinkMarker.size())
                 : ReadFile(path) != bytes)
      problems.push_back("baseline file changed: " + name);
  }
  for (const std::string& name : now)
    if (!written_.count(name)) problems.push_back("file added to the baseline folder: " + name);
}

std::string Outcome::Describe() const {
  std::string text;
  for (const std::string& p : problems) text += p + "\n";
  return text;
}

namespace {

// The files validation reads, in any letter case: writing the others
// would only slow the target down.
BaselineFiles ValidatedFiles(const BaselineFiles& files) {
  BaselineFiles kept;
  for (const auto& [name, bytes] : files) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "baselinelist.xml" || lower == "project.xml" || lower == "externalprojects.xml")
      kept[name] = bytes;
  }
  return kept;
}

}  // namespace

Outcome RunValidateInput(Workspace& ws, const std::string& input, const std::string& programDir) {
  Outcome outcome;
  ws.Prepare(ValidatedFiles(Overlay(BaseBaseline(), ParseArchive(input))));
  RecordingMessageSink sink;
  InFolder(ws.cwd(), [&] {
    ResetGlobalObjects();
    SetMessageSink(&sink);
    if (!CreateGlobalObjects() || !InitGlobalObjects(programDir)) {
      outcome.problems.push_back("start-up failed; is the resource file in " + programDir + "?");
    } else if (goBLProjInfo->ValidateBLProj(ws.baseline())) {
      // What the next steps show of a valid baseline.
      const BLProjInfo& d = *goBLProjInfo;
      std::string shown = d.BLXMLOptionsList() + d.CompleteVLPPathName() + d.BLXMLLabel() +
                          d.BLXMLDesc() + d.BLXMLGUID() + d.VLPName() + d.VLPDesc();
      d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) {
        shown += p.GUID + p.Name + p.Prefix;
      });
      // (Unless the input holds the marker itself.)
      if (shown.find(kSecretMarker) != std::string::npos &&
          input.find(kSecretMarker) == std::string::npos)
        outcome.problems.push_back("a file outside the baseline was read");
    } else if (sink.infos.empty()) {
      outcome.problems.push_back("the baseline was refused without a message");
    }
    ResetGlobalObjects();
  });
  ws.CheckConfinement(outcome.problems);
  return outcome;
}

Outcome RunCreateInput(Workspace& ws, const std::string& input, const std::string& programDir) {
  Outcome outcome;
  ws.Prepare(Overlay(BaseBaseline(), ParseArchive(input)));
  std::ostringstream out, err;
  std::istringstream in;
  int status = kExitOk;
  InFolder(ws.cwd(), [&] {
    status = RunCommandLine(
        {"create", ws.baseline(), "--folder", ws.project(), "--all", "--yes", "--quiet"},
        programDir, out, err, in, false);
  });
  if (status == kExitUsage) outcome.problems.push_back("usage error: " + err.str());
  if (status == kExitFailed && err.str().find_first_not_of(" \r\n") == std::string::npos)
    outcome.problems.push_back("the run stopped without a message");
  ws.CheckConfinement(outcome.problems);
  CheckProjectDatabase(ws.project(), outcome.problems);
  // Nothing of a file outside the baseline reached the project (the
  // database stores texts as they are), unless the input holds the
  // marker itself.
  std::error_code ec;
  if (input.find(kSecretMarker) != std::string::npos) return outcome;
  for (fs::recursive_directory_iterator it(ws.project(), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_regular_file() && ReadFile(it->path()).find(kSecretMarker) != std::string::npos)
      outcome.problems.push_back("a file outside the baseline was read into " +
                                 it->path().filename().string());
  }
  return outcome;
}

}  // namespace vl::fuzz
