#include "hostile_fixture.h"

#include <sstream>

#include "app/command_line.h"
#include "support/db_test_support.h"

namespace vl::hostile {

namespace fs = std::filesystem;

gen::Options SmallBaseline() {
  gen::Options o;
  o.seed = 21, o.requirements = 10, o.packages = 3, o.users = 3, o.discussions = 2;
  o.query_defs = 2, o.ext_query_defs = 0, o.text_size = 40;
  return o;
}

void HostileTest::Generate(const gen::Options& options) {
  fs::remove_all(Baseline());
  fs::remove_all(ProjectFolder());
  fs::create_directories(Outside());
  gen::WriteBaseline(options, Baseline());
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

std::string HostileTest::Select(const std::string& path, const std::string& xpath) {
  pugi::xml_document doc;
  doc.load_file(path.c_str());
  const pugi::xpath_node n = doc.select_node(xpath.c_str());
  return n.attribute() ? n.attribute().value() : n.node().text().get();
}

int HostileTest::Run(const std::vector<std::string>& args) {
  std::ostringstream o, e;
  std::istringstream in;
  const int status = RunCommandLine(args, VL_BINARY_DIR, o, e, in, false);
  out_ = o.str(), err_ = e.str();
  return status;
}

int HostileTest::Create(const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"create", Baseline(), "--folder", ProjectFolder(),
                                   "--all",  "--yes",    "--verbose"};
  args.insert(args.end(), extra.begin(), extra.end());
  return Run(args);
}

std::string HostileTest::QueryOne(const std::string& sql) const {
  return dbtest::OtherConnection(ProjectFolder() + "/proj.db").Scalar(sql);
}

std::map<std::string, std::string> HostileTest::SnapshotOutsideProject() const {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(scratch_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string key = p.lexically_relative(scratch_).string();
    if (p == fs::path(ProjectFolder()))
      it.disable_recursion_pending();
    else if (it->is_symlink())
      files[key] = "-> " + fs::read_symlink(p, ec).string();
    else
      files[key] = it->is_regular_file() ? ReadBytes(p) : "(folder)";
  }
  return files;
}

}  // namespace vl::hostile
