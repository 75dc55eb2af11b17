#include "fuzz_harness.h"

#include <sqlite3.h>

#include <cctype>
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

namespace vl::fuzz {
namespace {

namespace fs = std::filesystem;
using Problems = std::string;  // one a line

// Absolute names in hostile inputs point here: no input may create it.
constexpr const char* kEscapeTrap = "/tmp/vl-fuzz-escape";
constexpr const char* kSecret = "VL-FUZZ-SECRET";
// The bait: serves as BaselineList.xml, Project.xml, ExternalProjects.xml,
// a package file or a document file alike.
constexpr const char* kSecretXml =
    "<?xml version=\"1.0\"?><PROJECT GUID=\"VL-FUZZ-SECRET\"><Label>VL-FUZZ-SECRET</Label>"
    "<BaselineType>Project</BaselineType><BaselineDesc>VL-FUZZ-SECRET</BaselineDesc>"
    "<Project Name=\"VL-FUZZ-SECRET\" Description=\"VL-FUZZ-SECRET\"/>"
    "<P GUID=\"VL-FUZZ-SECRET\" Name=\"VL-FUZZ-SECRET\" Prefix=\"VL-FUZZ-SECRET\"/>"
    "<Pkg><PkgName>VL-FUZZ-SECRET</PkgName><PkgDesc>VL-FUZZ-SECRET</PkgDesc></Pkg></PROJECT>";

void Note(Problems& problems, const std::string& problem) { problems += problem + "\n"; }

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.insert(it->path().filename().string());
  return names;
}

BaselineFiles ReadFolder(const fs::path& folder) {
  BaselineFiles files;
  for (const std::string& name : Entries(folder))
    if (fs::is_regular_file(folder / name)) files[name] = testing::ReadBytes(folder / name);
  return files;
}

// Runs the command-line tool in this process; its messages go to `err`.
int Tool(const std::vector<std::string>& args, const std::string& programDir, std::string& err) {
  std::ostringstream out, e;
  std::istringstream in;
  const int status = RunCommandLine(args, programDir, out, e, in, false);
  err = e.str();
  return status;
}

// What the inputs are laid over: a small baseline that still holds every
// kind of content (packages on two levels, documents with their files,
// views, history, traces, discussions, query definitions, texts long
// enough to overflow), and the external project it refers to (traces and
// query definitions across projects), restored before every input since a
// run rewrites its unresolved-reference files.
struct BaseFixture {
  BaselineFiles baseline, external_project;
  std::string external_guid;
};

BaseFixture MakeBase() {
  const testing::ScratchFolder scratch;
  const fs::path temp = scratch.path();
  gen::Options own;
  own.seed = 11, own.requirements = 8, own.packages = 3, own.depth = 2, own.history_versions = 2;
  own.users = 3, own.discussions = 2, own.query_defs = 2, own.ext_query_defs = 1;
  own.text_size = 40, own.long_text_every = 4;
  gen::Options other = own;
  other.seed = 12, other.name = "External", other.prefix = "EXT";
  BaseFixture base;
  base.external_guid = gen::WriteBaseline(other, (temp / "extbl").string()).project_guid;
  std::string err;
  if (Tool({"create", (temp / "extbl").string(), "--folder", (temp / "ext").string(), "--all",
            "--yes", "--quiet"},
           VL_FUZZ_RESOURCE_DIR, err) != kExitOk)
    throw std::runtime_error("the external project cannot be created: " + err);
  base.external_project = ReadFolder(temp / "ext");
  own.external_baseline = (temp / "extbl").string(), own.cross_traces = 4;
  gen::WriteBaseline(own, (temp / "bl").string());
  base.baseline = ReadFolder(temp / "bl");
  return base;
}

const BaseFixture& Base() {
  static const BaseFixture base = MakeBase();
  return base;
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
void CheckProjectDatabase(const fs::path& folder, Problems& problems) {
  const std::string name = folder.filename().string();
  const fs::path db = folder / (name + ".db"), vlp = folder / (name + ".vlp");
  sqlite3* handle = nullptr;
  if (fs::exists(db)) {
    sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    const std::vector<std::string> verdict = Column(handle, "PRAGMA integrity_check");
    if (verdict != std::vector<std::string>{"ok"})
      Note(problems, "the database does not open or is damaged: " +
                         (verdict.empty() ? sqlite3_errmsg(handle) : verdict[0]));
    for (const std::string& file :
         Column(handle, "SELECT FILENAME || '.' || FILEEXTENSION FROM vlDocuments"))
      if (IsProjectOwnFileName(file, name)) Note(problems, "a document took the place of " + file);
  }
  sqlite3_close_v2(handle);
  if (!fs::exists(vlp)) return;
  SqlProjectApplication app([]() -> NewProjectDefinition* { return nullptr; });
  try {
    if (!app.OpenProject(vlp.string())) Note(problems, "the project does not open");
  } catch (const std::exception& e) {
    Note(problems, std::string("the project does not open: ") + e.what());
  }
  app.Shutdown();
}

// No text changed its encoding silently: a UTF-8 file read as
// windows-1252 would store "cafÃ©" for "café". Such a misreading may reach
// the database only when the run said a file was read as windows-1252, or
// when the input itself holds it or names an encoding.
void CheckNoSilentMisreading(const fs::path& project, const std::string& input, std::string said,
                             Problems& problems) {
  if (Has(input, "encoding")) return;
  std::string stored;
  for (const std::string& name : Entries(project)) {
    if (name.ends_with(".db") || name.ends_with(".db-wal"))
      stored += testing::ReadBytes(project / name);
    if (Has(name, "Results")) said += testing::ReadBytes(project / name);
  }
  if (Has(said, "windows-1252")) return;
  // Words with letters beyond ASCII that the generated baselines use.
  for (const char* word : {"café", "naïve", "Größe", "façade", "Ørsted", "déjà", "über", "señor"}) {
    const std::string misread = Windows1252ToUtf8(word);
    if (Has(stored, misread) && !Has(input, misread))
      Note(problems, "\"" + misread + "\" was stored for \"" + word +
                         "\" and no message said the file was read as windows-1252");
  }
}

// A run that did not succeed left no project, and no run leaves its
// staging files behind, in its folder or in the external project's.
void CheckNothingLeft(const Workspace& ws, bool succeeded, Problems& problems) {
  for (const char* ext : {".vlp", ".db"})
    if (!succeeded && fs::exists(ws.dir("proj") + "/proj" + ext))
      Note(problems, std::string("a run that did not succeed left proj") + ext);
  for (const std::string& folder : {ws.dir("proj"), ws.dir("ext")})
    for (const std::string& entry : Entries(folder))
      if (Has(entry, ".vlbaseline")) Note(problems, "a run left " + folder + "/" + entry);
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

Workspace::Workspace() {
  fs::create_directories(inner_);
  std::ofstream(root_ / "secret.xml", std::ios::binary) << kSecretXml;
}

void Workspace::Prepare(const BaselineFolder& folder) {
  std::error_code ec;
  for (const char* sub : {"bl", "cwd", "ext", "proj"}) fs::remove_all(inner_ / sub, ec);
  // Not "proj": the run makes it (it asks first).
  for (const char* sub : {"bl", "cwd", "ext"}) fs::create_directories(inner_ / sub);
  for (const auto& [name, bytes] : Base().external_project)
    std::ofstream(inner_ / "ext" / name, std::ios::binary) << bytes;
  auto writable = [&](const std::string& name) {
    return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos &&
           !written_.files.count(name);
  };
  written_ = BaselineFolder();
  for (const auto& [name, bytes] : folder.files)
    if (writable(name) && (std::ofstream(inner_ / "bl" / name, std::ios::binary) << bytes))
      written_.files[name] = bytes;
  for (const auto& [name, target] : folder.links) {
    const fs::path path = inner_ / "bl" / name;
    if (!writable(name)) continue;
    fs::create_symlink(target, path, ec);
    if (!ec) written_.links[name] = fs::read_symlink(path, ec).string();
  }
}

void Workspace::CheckConfinement(Problems& problems) const {
  const std::pair<fs::path, std::set<std::string>> expected[] = {
      {root_, {"a", "secret.xml"}},
      {root_ / "a", {"b"}},
      {inner_, {"bl", "proj", "cwd", "ext"}},
      {inner_ / "cwd", {}}};
  for (const auto& [folder, names] : expected)
    for (const std::string& name : Entries(folder))
      if (!names.count(name)) Note(problems, "written outside the project folder: " + name);
  if (testing::ReadBytes(root_ / "secret.xml") != kSecretXml)
    Note(problems, "the bait was changed");
  std::error_code ec;
  if (fs::exists(fs::symlink_status(kEscapeTrap, ec)))
    Note(problems, std::string("written outside the project folder: ") + kEscapeTrap);
  const std::set<std::string> now = Entries(inner_ / "bl");
  for (const bool links : {false, true})
    for (const auto& [name, value] : links ? written_.links : written_.files) {
      const fs::path path = inner_ / "bl" / name;
      if (!now.count(name))
        Note(problems, "baseline entry removed: " + name);
      else if (fs::is_symlink(fs::symlink_status(path, ec)) != links ||
               (links ? fs::read_symlink(path, ec).string() : testing::ReadBytes(path)) != value)
        Note(problems, "baseline entry changed: " + name);
    }
  for (const std::string& name : now)
    if (!written_.files.count(name) && !written_.links.count(name))
      Note(problems, "file added to the baseline folder: " + name);
}

std::string RunValidateInput(Workspace& ws, const std::string& input,
                             const std::string& programDir) {
  Problems problems;
  ws.Prepare(ValidatedFiles(Overlay(BaseBaseline(), ParseArchive(input))));
  // A text of the bait shown is a file outside the baseline read (unless
  // the input holds the marker itself).
  auto secret = [&](const std::string& shown) {
    return Has(shown, kSecret) && !Has(input, kSecret);
  };
  RecordingMessageSink sink;
  {
    const InFolder here(ws.dir("cwd"));
    Session session(&sink);
    if (!session.CreateGlobalObjects() || !session.InitGlobalObjects(programDir)) {
      Note(problems, "start-up failed; is the resource file in " + programDir + "?");
    } else if (session.goBLProjInfo->ValidateBLProj(ws.dir("bl"))) {
      // What the next steps show of a valid baseline.
      const BLProjInfo& d = *session.goBLProjInfo;
      std::string shown = d.BLXMLOptionsList() + d.CompleteVLPPathName() + d.BLXMLLabel() +
                          d.BLXMLDesc() + d.BLXMLGUID() + d.VLPName() + d.VLPDesc();
      d.colExtProjs().ForEach([&](const std::string&, const clsExtProjInfo& p) {
        shown += p.GUID + p.Name + p.Prefix;
      });
      if (secret(shown)) Note(problems, "a file outside the baseline was read");
      // The deep check reads every file a run would read: it must end,
      // whatever the files hold.
      const BaselineCheckResult checked = CheckBaseline(CheckInputOf(d, false));
      for (const CheckProblem& p : checked.problems.listed())
        if (secret(p.text)) Note(problems, "the check showed a file outside the baseline");
    } else if (sink.infos.empty()) {
      Note(problems, "the baseline was refused without a message");
    }
  }
  ws.CheckConfinement(problems);
  return problems;
}

std::string RunCreateInput(Workspace& ws, const std::string& input, const std::string& programDir) {
  Problems problems;
  ws.Prepare(Overlay(BaseBaseline(), ParseArchive(input)));
  std::string err;
  int status = kExitOk;
  {
    const InFolder here(ws.dir("cwd"));
    std::vector<std::string> args = {
        "create",       ws.dir("bl"), "--folder",
        ws.dir("proj"), "--all",      "--yes",
        "--quiet",      "--external", Base().external_guid + "=" + ws.dir("ext") + "/ext.vlp"};
    status = Tool(args, programDir, err);
    // A damaged list of external projects may no longer name it: the tool
    // refuses its location then, and the run goes on without.
    if (status == kExitUsage && Has(err, "has no external project")) {
      args.resize(args.size() - 2);
      status = Tool(args, programDir, err);
    }
  }
  if (status == kExitUsage) Note(problems, "usage error: " + err);
  if (status == kExitFailed && err.find_first_not_of(" \r\n") == std::string::npos)
    Note(problems, "the run stopped without a message");
  ws.CheckConfinement(problems);
  CheckNothingLeft(ws, status == kExitOk, problems);
  CheckProjectDatabase(ws.dir("proj"), problems);
  CheckProjectDatabase(ws.dir("ext"), problems);
  CheckNoSilentMisreading(ws.dir("proj"), input, err, problems);
  // Nothing of a file outside the baseline reached either project (the
  // database stores texts as they are), unless the input holds the marker.
  for (const std::string& folder : {ws.dir("proj"), ws.dir("ext")}) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (!Has(input, kSecret) && it->is_regular_file() &&
          Has(testing::ReadBytes(it->path()), kSecret))
        Note(problems,
             "a file outside the baseline was read into " + it->path().filename().string());
  }
  return problems;
}

}  // namespace vl::fuzz
