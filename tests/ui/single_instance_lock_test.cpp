#include "ui/single_instance_lock.h"

#include <sys/stat.h>

#include <QTest>

#include "wizard_fixture.h"

namespace vl {
namespace {

TEST(SingleInstanceLockTest, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  ScratchDir dir;
  std::string path = (dir.path() / "wizard.lock").string();
  SingleInstanceLock second(path);
  {
    SingleInstanceLock first(path);
    EXPECT_TRUE(first.Acquire());
    EXPECT_TRUE(first.Acquire()) << "holding it already counts";
    EXPECT_FALSE(second.Acquire());
    first.Release();
    EXPECT_TRUE(second.Acquire());
    second.Release();
    ASSERT_TRUE(first.Acquire());
  }
  EXPECT_TRUE(second.Acquire()) << "a lock that ends with its holder frees the flag";
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "nobody else may take the lock file";

  // A second start knocks and the holder hears it; knocking where nobody
  // holds a lock makes nothing.
  TestApplication();
  int knocks = 0;
  second.OnKnock([&] { ++knocks; });
  SingleInstanceLock::Knock(path);
  EXPECT_TRUE(QTest::qWaitFor([&] { return knocks > 0; }, 5000));
  SingleInstanceLock::Knock((dir.path() / "none.lock").string());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "none.lock"));
}

TEST(SingleInstanceLockTest, AnUnusableLockFileDoesNotStopTheProgram) {
  ScratchDir dir;
  std::filesystem::create_symlink(dir.path() / "elsewhere", dir.path() / "wizard.lock");
  SingleInstanceLock lock((dir.path() / "wizard.lock").string());
  EXPECT_TRUE(lock.Acquire());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "elsewhere")) << "links are not followed";
}

}  // namespace
}  // namespace vl
