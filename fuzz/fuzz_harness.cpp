#include "fuzz_harness.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "app/command_line.h"
#include "app/mod_wizard.h"
#include "baseline/baseline_names.h"
#include "baseline/check/baseline_check.h"
#include "gen-baseline/generator.h"
#include "host/project/project_application.h"
#include "host/xml/xml_encoding.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"

namespace vl::fuzz {

namespace fs = std::filesystem;

const char* const kEscapeTrap = "/tmp/vl-fuzz-escape";
const char* const kSecretMarker = "VL-FUZZ-SECRET";

namespace {

// The bait: serves as BaselineList.xml, Project.xml, ExternalProjects.xml, a
// package file or a document file alike.
constexpr const char* kSecretXml =
    "<?xml version=\"1.0\"?><PROJECT GUID=\"VL-FUZZ-SECRET\"><Label>VL-FUZZ-SECRET</Label>"
    "<BaselineType>Project</BaselineType><BaselineDesc>VL-FUZZ-SECRET</BaselineDesc>"
    "<Project Name=\"VL-FUZZ-SECRET\" Description=\"VL-FUZZ-SECRET\"/>"
    "<P GUID=\"VL-FUZZ-SECRET\" Name=\"VL-FUZZ-SECRET\" Prefix=\"VL-FUZZ-SECRET\"/>"
    "<Pkg><PkgName>VL-FUZZ-SECRET</PkgName><PkgDesc>VL-FUZZ-SECRET</PkgDesc></Pkg></PROJECT>";

std::map<std::string, std::string> ReadFolder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& e : fs::directory_iterator(folder))
    if (e.is_regular_file()) files[e.path().filename().string()] = testing::ReadBytes(e.path());
  return files;
}

// What the inputs are laid over: a small baseline that still holds every
// kind of content (packages on two levels, documents with their files,
// views, history, traces, discussions, query definitions, texts long
// enough to overflow), and an external project it refers to (traces and
// query definitions across projects), created once and restored before
// every input, since a run rewrites its unresolved-reference files.
struct BaseFixture {
  BaselineFiles baseline;
  std::string external_guid;
  std::map<std::string, std::string> external_project;  // the files of folder "ext"
};

gen::Options SmallOptions(uint64_t seed) {
  gen::Options o;
  o.seed = seed, o.requirements = 8, o.packages = 3, o.depth = 2, o.history_versions = 2;
  o.users = 3, o.discussions = 2, o.query_defs = 2, o.ext_query_defs = 1, o.text_size = 40;
  o.long_text_every = 4;
  return o;
}

BaseFixture MakeBase() {
  const fs::path temp = fs::temp_directory_path() / ("vl-fuzz-base-" + std::to_string(getpid()) +
                                                     "-" + std::to_string(std::random_device{}()));
  BaseFixture base;
  gen::Options other = SmallOptions(12);
  other.name = "External";
  other.prefix = "EXT";
  base.external_guid = gen::WriteBaseline(other, (temp / "extbl").string()).project_guid;
  std::ostringstream out, err;
  std::istringstream in;
  if (RunCommandLine({"create", (temp / "extbl").string(), "--folder", (temp / "ext").string(),
                      "--all", "--yes", "--quiet"},
                     VL_FUZZ_RESOURCE_DIR, out, err, in, false) != kExitOk)
    throw std::runtime_error("the external project cannot be created: " + err.str());
  base.external_project = ReadFolder(temp / "ext");
  gen::Options own = SmallOptions(11);
  own.external_baseline = (temp / "extbl").string();
  own.cross_traces = 4;
  gen::WriteBaseline(own, (temp / "bl").string());
  base.baseline = ReadFolder(temp / "bl");
  fs::remove_all(temp);
  return base;
}

const BaseFixture& Base() {
  static const BaseFixture base = MakeBase();
  return base;
}

bool WritableName(const std::string& name) {
  return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
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

// The first column of every row `sql` gives on `db`.
std::vector<std::string> Column(sqlite3* db, const char* sql) {
  std::vector<std::string> values;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK)
    while (sqlite3_step(st) == SQLITE_ROW)
      values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  return values;
}

// The database file must open and be intact, no document may have taken
// the place of one of the project's own files, and the project file, when
// the run got that far, must open as a project.
void CheckProjectDatabase(const fs::path& projectFolder, std::vector<std::string>& problems) {
  const std::string name = projectFolder.filename().string();
  const fs::path db = projectFolder / (name + ".db");
  std::error_code ec;
  sqlite3* handle = nullptr;
  const int opened = fs::exists(db, ec)
                         ? sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr)
                         : SQLITE_NOTFOUND;
  if (opened != SQLITE_OK && opened != SQLITE_NOTFOUND)
    problems.push_back("the database does not open: " + std::string(sqlite3_errmsg(handle)));
  if (opened == SQLITE_OK) {
    const std::vector<std::string> verdict = Column(handle, "PRAGMA integrity_check");
    if (verdict != std::vector<std::string>{"ok"})
      problems.push_back("the database is damaged: " + (verdict.empty() ? "" : verdict[0]));
    for (const std::string& file :
         Column(handle, "SELECT FILENAME || '.' || FILEEXTENSION FROM vlDocuments"))
      if (IsProjectOwnFileName(file, name))
        problems.push_back("a document took the place of " + file);
  }
  sqlite3_close_v2(handle);
  const fs::path vlp = projectFolder / (name + ".vlp");
  if (!fs::exists(vlp, ec)) return;
  SqlProjectApplication app([]() -> NewProjectDefinition* { return nullptr; });
  try {
    if (!app.OpenProject(vlp.string())) problems.push_back("the project does not open");
  } catch (const std::exception& e) {
    problems.push_back(std::string("the project does not open: ") + e.what());
  }
  app.Shutdown();
}

// Words with letters beyond ASCII that the generated baselines use.
constexpr const char* kNonAsciiWords[] = {"café",   "naïve", "Größe", "façade",
                                          "Ørsted", "déjà",  "über",  "señor"};

// No text changed its encoding silently: a UTF-8 file read as windows-1252
// would store "cafÃ©" for "café". Such a misreading may
// reach the database only when the run said that a file was read as
// windows-1252, or when the input itself holds it or names an encoding.
void CheckNoSilentMisreading(const fs::path& projectFolder, const std::string& input,
                             const std::string& messages, std::vector<std::string>& problems) {
  if (input.find("encoding") != std::string::npos) return;
  std::string stored, said = messages;
  std::error_code ec;
  for (fs::directory_iterator it(projectFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.ends_with(".db") || name.ends_with(".db-wal"))
      stored += testing::ReadBytes(it->path());
    if (name.find("Results") != std::string::npos) said += testing::ReadBytes(it->path());
  }
  if (said.find("windows-1252") != std::string::npos) return;
  for (const char* word : kNonAsciiWords) {
    const std::string misread = Windows1252ToUtf8(word);
    if (stored.find(misread) != std::string::npos && input.find(misread) == std::string::npos)
      problems.push_back("\"" + misread + "\" was stored for \"" + word +
                         "\" and no message said the file was read as windows-1252");
  }
}

// A run that did not succeed left no project, and no run leaves its
// staging files behind, in its folder or in the external project's.
void CheckNothingLeft(const Workspace& ws, bool succeeded, std::vector<std::string>& problems) {
  const fs::path project(ws.project());
  const std::string name = project.filename().string();
  std::error_code ec;
  for (const char* ext : {".vlp", ".db"})
    if (!succeeded && fs::exists(project / (name + ext), ec))
      problems.push_back("a run that did not succeed left " + name + ext);
  for (const fs::path& folder : {project, fs::path(ws.external())})
    for (const std::string& entry : Entries(folder))
      if (entry.find(".vlbaseline") != std::string::npos)
        problems.push_back("a run left " + (folder / entry).string());
}

// The working folder set to `cwd` while it lives, so that a relative name
// that slipped through would land where CheckConfinement looks.
struct InFolder {
  explicit InFolder(const std::string& cwd) { fs::current_path(cwd); }
  ~InFolder() { fs::current_path(before); }
  const fs::path before = fs::current_path();
};

// The files validation reads, in any letter case: writing the others
// would only slow the target down.
BaselineFolder ValidatedFiles(BaselineFolder folder) {
  for (BaselineFiles* entries : {&folder.files, &folder.links})
    std::erase_if(*entries, [](const auto& entry) {
      std::string name = entry.first;
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return name != "baselinelist.xml" && name != "project.xml" && name != "externalprojects.xml";
    });
  return folder;
}

}  // namespace

const BaselineFiles& BaseBaseline() { return Base().baseline; }

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

void Workspace::Prepare(const BaselineFolder& folder) {
  std::error_code ec;
  for (const char* sub : {"bl", "proj", "cwd", "ext"}) {
    fs::remove_all(inner_ / sub, ec);
    fs::create_directories(inner_ / sub);
  }
  for (const auto& [name, bytes] : Base().external_project)
    std::ofstream(inner_ / "ext" / name, std::ios::binary) << bytes;
  // The project folder is made by the run itself (it asks first).
  fs::remove(inner_ / "proj");
  written_ = BaselineFolder();
  for (const auto& [name, bytes] : folder.files) {
    if (!WritableName(name)) continue;
    std::ofstream out(inner_ / "bl" / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) written_.files[name] = bytes;
  }
  for (const auto& [name, target] : folder.links) {
    if (!WritableName(name) || written_.files.count(name)) continue;
    const fs::path path = inner_ / "bl" / name;
    fs::create_symlink(target, path, ec);
    if (!ec) written_.links[name] = fs::read_symlink(path, ec).string();
  }
}

void Workspace::CheckConfinement(std::vector<std::string>& problems) const {
  ExpectOnly(root_, {"a", "secret.xml"}, problems);
  if (testing::ReadBytes(root_ / "secret.xml") != kSecretXml)
    problems.push_back("the bait was changed");
  ExpectOnly(root_ / "a", {"b"}, problems);
  ExpectOnly(inner_, {"bl", "proj", "cwd", "ext"}, problems);
  ExpectOnly(inner_ / "cwd", {}, problems);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(kEscapeTrap, ec)))
    problems.push_back(std::string("written outside the project folder: ") + kEscapeTrap);
  const std::set<std::string> now = Entries(inner_ / "bl");
  auto compare = [&](const BaselineFiles& was, bool links) {
    for (const auto& [name, value] : was) {
      const fs::path path = inner_ / "bl" / name;
      if (!now.count(name))
        problems.push_back("baseline entry removed: " + name);
      else if (fs::is_symlink(fs::symlink_status(path, ec)) != links ||
               (links ? fs::read_symlink(path, ec).string() : testing::ReadBytes(path)) != value)
        problems.push_back("baseline entry changed: " + name);
    }
  };
  compare(written_.files, false);
  compare(written_.links, true);
  for (const std::string& name : now)
    if (!written_.files.count(name) && !written_.links.count(name))
      problems.push_back("file added to the baseline folder: " + name);
}

std::string Outcome::Describe() const {
  std::string text;
  for (const std::string& p : problems) text += p + "\n";
  return text;
}

Outcome RunValidateInput(Workspace& ws, const std::string& input, const std::string& programDir) {
  Outcome outcome;
  ws.Prepare(ValidatedFiles(Overlay(BaseBaseline(), ParseArchive(input))));
  // A text of the bait shown is a file outside the baseline read (unless
  // the input holds the marker itself).
  auto secret = [&](const std::string& shown) {
    return shown.find(kSecretMarker) != std::string::npos &&
           input.find(kSecretMarker) == std::string::npos;
  };
  RecordingMessageSink sink;
  {
    const InFolder here(ws.cwd());
    Session session(&sink);
    if (!session.CreateGlobalObjects() || !session.InitGlobalObjects(programDir)) {
      outcome.problems.push_back("start-up failed; is the resource file in " + programDir + "?");
    } else if (session.goBLProjInfo->ValidateBLProj(ws.baseline())) {
      // What the next steps show of a valid baseline.
      const BLProjInfo& d = *session.goBLProjInfo;
      std::string shown = d.BLXMLOptionsList() + d.CompleteVLPPathName() + d.BLXMLLabel() +
                          d.BLXMLDesc() + d.BLXMLGUID() + d.VLPName() + d.VLPDesc();
      d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) {
        shown += p.GUID + p.Name + p.Prefix;
      });
      if (secret(shown)) outcome.problems.push_back("a file outside the baseline was read");
      // The deep check of everything the baseline holds reads every file
      // a run would read: it must end, whatever the files hold.
      const BaselineCheckResult checked = CheckBaseline(CheckInputOf(d, false));
      for (const CheckProblem& p : checked.problems.listed())
        if (secret(p.text))
          outcome.problems.push_back("the check showed a file outside the baseline");
    } else if (sink.infos.empty()) {
      outcome.problems.push_back("the baseline was refused without a message");
    }
  }
  ws.CheckConfinement(outcome.problems);
  return outcome;
}

Outcome RunCreateInput(Workspace& ws, const std::string& input, const std::string& programDir) {
  Outcome outcome;
  ws.Prepare(Overlay(BaseBaseline(), ParseArchive(input)));
  std::ostringstream out, err;
  std::istringstream in;
  int status = kExitOk;
  {
    const InFolder here(ws.cwd());
    std::vector<std::string> args = {
        "create",     ws.baseline(), "--folder",
        ws.project(), "--all",       "--yes",
        "--quiet",    "--external",  Base().external_guid + "=" + ws.external() + "/ext.vlp"};
    status = RunCommandLine(args, programDir, out, err, in, false);
    // A damaged list of external projects may no longer name it: the
    // tool refuses its location then, and the run goes on without.
    if (status == kExitUsage && err.str().find("has no external project") != std::string::npos) {
      args.resize(args.size() - 2);
      err.str("");
      status = RunCommandLine(args, programDir, out, err, in, false);
    }
  }
  if (status == kExitUsage) outcome.problems.push_back("usage error: " + err.str());
  if (status == kExitFailed && err.str().find_first_not_of(" \r\n") == std::string::npos)
    outcome.problems.push_back("the run stopped without a message");
  ws.CheckConfinement(outcome.problems);
  CheckNothingLeft(ws, status == kExitOk, outcome.problems);
  CheckProjectDatabase(ws.project(), outcome.problems);
  CheckProjectDatabase(ws.external(), outcome.problems);
  CheckNoSilentMisreading(ws.project(), input, err.str(), outcome.problems);
  // Nothing of a file outside the baseline reached either project (the
  // database stores texts as they are), unless the input holds the
  // marker itself.
  if (input.find(kSecretMarker) != std::string::npos) return outcome;
  for (const std::string& folder : {ws.project(), ws.external()}) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file() &&
          testing::ReadBytes(it->path()).find(kSecretMarker) != std::string::npos)
        outcome.problems.push_back("a file outside the baseline was read into " +
                                   it->path().filename().string());
  }
  return outcome;
}

}  // namespace vl::fuzz
