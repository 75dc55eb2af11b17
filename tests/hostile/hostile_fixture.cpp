#include "hostile_fixture.h"

#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "app/command_line.h"
#include "app/mod_wizard.h"

namespace vl::hostile {

namespace fs = std::filesystem;

gen::Options SmallBaseline() {
  gen::Options o;
  o.seed = 21;
  o.requirements = 10;
  o.packages = 3;
  o.users = 3;
  o.discussions = 2;
  o.query_defs = 2;
  o.ext_query_defs = 0;
  o.text_size = 40;
  return o;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void HostileTest::SetUp() {
  scratch_ = fs::temp_directory_path() / ("vl-hostile-" + std::to_string(std::random_device{}()) +
                                          "-" + std::to_string(std::random_device{}()));
  fs::create_directories(scratch_ / "outside");
}

void HostileTest::TearDown() {
  std::error_code ec;
  // Read-only copies must not keep the folder alive.
  for (fs::recursive_directory_iterator it(scratch_, ec), end; !ec && it != end; it.increment(ec))
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(scratch_, ec);
}

gen::Summary HostileTest::Generate(const gen::Options& options) {
  std::error_code ec;
  fs::remove_all(Baseline(), ec);
  return gen::WriteBaseline(options, Baseline());
}

std::string HostileTest::BaselineFile(const std::string& name) const {
  return (fs::path(Baseline()) / name).string();
}

void HostileTest::EditXml(const std::string& name,
                          const std::function<void(pugi::xml_document&)>& edit) {
  pugi::xml_document doc;
  ASSERT_TRUE(
      doc.load_file(BaselineFile(name).c_str(), pugi::parse_default | pugi::parse_declaration))
      << name;
  edit(doc);
  ASSERT_TRUE(doc.save_file(BaselineFile(name).c_str(), "  ")) << name;
}

void HostileTest::WriteBaselineFile(const std::string& name, const std::string& bytes) {
  std::ofstream(BaselineFile(name), std::ios::binary | std::ios::trunc) << bytes;
}

namespace {

std::string Select(const std::string& file, const std::string& xpath) {
  pugi::xml_document doc;
  doc.load_file(file.c_str());
  pugi::xpath_node n = doc.select_node(xpath.c_str());
  return n.attribute() ? n.attribute().value() : n.node().text().get();
}

}  // namespace

std::string HostileTest::RootPackageFile() {
  return Select(BaselineFile("PackageList.XML"), "//Pkg[@ParentID='0']/@GUID") + ".XML";
}

std::string HostileTest::ChildPackageFile() {
  return Select(BaselineFile("PackageList.XML"), "//Pkg[@ParentID!='0']/@GUID") + ".XML";
}

std::string HostileTest::NewRequirementGuid(const std::string& old) const {
  return Select((fs::path(ProjectFolder()) / "ReqGUIDMap.xml").string(),
                "/PROJECT/GUID[@OLDGUID='" + old + "']/@NEWGUID");
}

std::pair<std::string, std::string> HostileTest::FirstDocument() {
  const std::string file = BaselineFile(RootPackageFile());
  return {Select(file, "//Docs/Doc/FileName"), Select(file, "//Docs/Doc/FileExtension")};
}

int HostileTest::Run(const std::vector<std::string>& args) {
  std::ostringstream o, e;
  std::istringstream in;
  const int status = RunCommandLine(args, VL_BINARY_DIR, o, e, in, false);
  out_ = o.str();
  err_ = e.str();
  return status;
}

int HostileTest::Validate() { return Run({"validate", Baseline()}); }

int HostileTest::Create(const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"create", Baseline(), "--folder", ProjectFolder(),
                                   "--all",  "--yes",    "--verbose"};
  args.insert(args.end(), extra.begin(), extra.end());
  return Run(args);
}

Rows HostileTest::Query(const std::string& sql) const {
  Rows rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(Db().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << Db();
    sqlite3_close_v2(db);
    return rows;
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
  } else {
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        row.emplace_back(text ? std::string(text, sqlite3_column_bytes(st, c)) : "NULL");
      }
      rows.push_back(std::move(row));
    }
  }
  sqlite3_finalize(st);
  sqlite3_close_v2(db);
  return rows;
}

std::string HostileTest::QueryOne(const std::string& sql) const {
  Rows rows = Query(sql);
  return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

std::string HostileTest::IntegrityCheck() const {
  std::string verdict;
  for (const auto& row : Query("PRAGMA integrity_check")) verdict += row.at(0);
  return verdict;
}

std::map<std::string, std::string> HostileTest::SnapshotOutsideProject() const {
  std::map<std::string, std::string> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(scratch_, fs::directory_options::none, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (p == fs::path(ProjectFolder())) {
      it.disable_recursion_pending();
      continue;
    }
    const std::string key = p.lexically_relative(scratch_).string();
    if (it->is_symlink()) {
      files[key] = "-> " + fs::read_symlink(p, ec).string();
    } else if (it->is_regular_file()) {
      files[key] = ReadAll(p);
    } else {
      files[key] = "(folder)";
    }
  }
  return files;
}

}  // namespace vl::hostile
