// Start-up as the programs do it, with messages recorded and scratch
// folders removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/mod_wizard.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"

namespace vl {

struct CliResult {
  int status;
  std::string out, err;
};

inline CliResult RunCli(const std::vector<std::string>& args, const std::string& input = "",
                        bool interactive = false, const CancelRequest* cancel = nullptr,
                        ConsoleTerminals terminals = {}) {
  std::ostringstream out, err;
  std::istringstream in(input);
  int status = RunCommandLine(args, VL_BINARY_DIR, out, err, in, interactive, cancel, terminals);
  return {status, out.str(), err.str()};
}

using testing::ReadBytes;

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.CreateGlobalObjects());
    ASSERT_TRUE(session_.InitGlobalObjects(VL_BINARY_DIR)) << Messages(sink_);
  }
  // Leaves the scratch folder empty; the folder itself goes with the
  // fixture.
  void TearDown() override {
    session_.ReleaseProjectApplication();
    scratch_folder_.Clear();
  }

  static std::string Messages(const RecordingMessageSink& s) {
    std::string all;
    for (const auto& m : s.infos) all += m + "\n";
    return all;
  }
  static std::string SampleBaseline() {
    return std::string(VL_SOURCE_DIR) + "/examples/sample-baseline";
  }
  // Copies the sample baseline so a test may damage it.
  std::string CopyOfSample() {
    auto copy = scratch_ / "baseline";
    std::filesystem::copy(SampleBaseline(), copy, std::filesystem::copy_options::recursive);
    return copy.string();
  }
  // Chooses `baseline` and a new project folder as the wizard's first two
  // steps do.
  void ChooseBaselineAndFolder(const std::string& baseline, const std::string& folderName) {
    ASSERT_TRUE(goBLProjInfo->ValidateBLProj(baseline)) << Messages(sink_);
    goBLProjInfo->SetVLPFolder((scratch_ / folderName).string());
    goBLProjInfo->SetVLPDBType(1);
    goBLProjInfo->SetVLPDBDisplayName("SQLite");
    ASSERT_TRUE(goBLProjInfo->ValidateVLPSettings(*goNewProjDef, gdictDBDrivers))
        << Messages(sink_);
  }

  RecordingMessageSink sink_;
  Session session_{&sink_};
  // The session's objects under the names the program gives them.
  std::unique_ptr<BLProjInfo>& goBLProjInfo = session_.goBLProjInfo;
  std::unique_ptr<NewProjectDefinition>& goNewProjDef = session_.goNewProjDef;
  std::shared_ptr<ProjectApplication>& goProjApp = session_.goProjApp;
  std::unique_ptr<Resource>& goResource = session_.goResource;
  OrderedMap<std::string>& gdictDBDrivers = session_.gdictDBDrivers;
  testing::ScratchFolder scratch_folder_;
  const std::filesystem::path scratch_{scratch_folder_.path()};
};

}  // namespace vl
