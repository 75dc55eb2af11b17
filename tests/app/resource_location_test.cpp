#include "app/resource_location.h"

#include <fstream>

#include "app_fixture.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

namespace vl {
namespace {

class ResourceLocationTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(root_ / "bin"); }
  void Touch(const std::filesystem::path& p) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p) << "x";
  }
  std::string Bin() const { return (root_ / "bin").string(); }

  testing::ScratchFolder scratch_;
  const std::filesystem::path root_{scratch_.path()};
  testing::ScopedEnv xdg_{"XDG_CONFIG_DIRS", (root_ / "xdg").string()};
};

// (That the resource file is found beside the program, and installed in
// share, every other test and the installation's test show.)
TEST_F(ResourceLocationTest, TheInstallationsHelpComesFirst) {
  EXPECT_EQ(FindHelpFile(Bin()), "");
  Touch(root_ / "bin" / "HELP" / "velloq.html");
  EXPECT_EQ(FindHelpFile(Bin()), (root_ / "bin" / "HELP" / "velloq.html").string());
  Touch(root_ / "share" / "velloq" / "HELP" / "velloq.html");
  EXPECT_EQ(FindHelpFile(Bin()), (root_ / "share" / "velloq" / "HELP" / "velloq.html").string());

  std::filesystem::path install = root_ / "opt" / "velloq";
  Touch(root_ / "xdg" / "Corvane Software" / "Velloq.conf");
  std::ofstream(root_ / "xdg" / "Corvane Software" / "Velloq.conf")
      << "[4.0]\nInstallDirectory=" << install.string() << "\n";
  EXPECT_EQ(FindHelpFile(Bin()), (root_ / "share" / "velloq" / "HELP" / "velloq.html").string())
      << "an installation without the help file does not count";
  Touch(install / "HELP" / "velloq.html");
  EXPECT_EQ(FindHelpFile(Bin()), (install / "HELP" / "velloq.html").string());
}

}  // namespace
}  // namespace vl
