// Shared set-up of the baseline tests: a clean descriptor, recorded
// messages, known resource texts, a private temporary folder and a
// settings folder of our own (so the machine's installation, if any, never
// leaks into a test).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "baseline/bl_proj_info.h"
#include "support/recording_sink.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

namespace vl::testing {

namespace fs = std::filesystem;

class BaselineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "xdg");
    goResource = std::make_unique<Resource>();
    for (const auto& [id, text] : kTexts) goResource->SetString(id, text);
    messages_.SetResource(goResource.get());
    goNewProjDef = std::make_unique<NewProjectDefinition>();
    goBLProjInfo = std::make_unique<BLProjInfo>(messages_);
    goBLProjInfo->init();
  }

  void TearDown() override { goBLProjInfo.reset(); }

  bool ValidateVLPSettings() {
    return goBLProjInfo->ValidateVLPSettings(*goNewProjDef, gdictDBDrivers);
  }

  // Writes `text` to `path`, creating the folders above it.
  static void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  // Makes the installation directory readable from the system settings.
  void SetInstallDir(const std::string& dir) {
    WriteFile(root_ / "xdg" / "Corvane Software" / "Velloq.conf",
              "[4.0]\nInstallDirectory=" + dir + "\n");
  }

  static constexpr std::pair<long, const char*> kTexts[] = {
      {1010, "Traces"},
      {1012, "History"},
      {1013, "Discussions"},
      {1014, "None"},
      {11010, "Traces to external projects"},
      {10001, "Missing baseline file: "},
      {11004, "Create the folder %1?"},
      {11005, "The drive does not exist."},
      {11011, " lacks the node "},
      {11012, " holds the baseline type %1"},
      {20083, "Error in %1: %2 %3 [%4]"},
  };

  ScratchFolder scratch_;
  const fs::path root_{scratch_.path()};
  ScopedEnv settings_{"XDG_CONFIG_DIRS", (root_ / "xdg").string()};
  RecordingMessageSink sink_;
  Messenger messages_{&sink_};
  std::unique_ptr<Resource> goResource;
  std::unique_ptr<NewProjectDefinition> goNewProjDef;
  OrderedMap<std::string> gdictDBDrivers;
  std::unique_ptr<BLProjInfo> goBLProjInfo;
};

}  // namespace vl::testing
