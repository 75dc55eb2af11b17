// The sample baseline shipped in examples/ must validate, and the deep
// check must find every file and GUID it refers to.

#include "baseline/check/baseline_check.h"
#include "baseline_fixture.h"

namespace vl::testing {
namespace {

const fs::path kSample = fs::path(VL_SOURCE_DIR) / "examples" / "sample-baseline";

using SampleBaselineTest = BaselineTest;

TEST_F(SampleBaselineTest, Validates) {
  ASSERT_TRUE(goBLProjInfo->ValidateBLProj(kSample.string()))
      << ::testing::PrintToString(sink_.infos);
  const BLProjInfo& info = *goBLProjInfo;
  EXPECT_TRUE(sink_.infos.empty());
  EXPECT_EQ(info.VLPName(), "Brewmate");
  EXPECT_EQ(info.BLXMLLabel(), "Brewmate 1.0 release");
  EXPECT_TRUE(info.isBLXMLContainsTraces() && info.isBLXMLContainsExtTraces() &&
              info.isBLXMLContainsDisc() && info.isBLXMLContainsHist());
  ASSERT_EQ(info.colExtProjs().Count(), 1u);
  EXPECT_EQ(info.colExtProjs().Find(info.colExtProjs().Keys()[0])->Prefix, "SVC");
  // Every reference resolves the way the run reads the files: the deep
  // check finds nothing that would stop a run or lose data.
  const BaselineCheckResult checked = CheckBaseline(CheckInputOf(info, false));
  EXPECT_FALSE(checked.problems.StopsRun());
  EXPECT_FALSE(checked.problems.LosesData());
}

}  // namespace
}  // namespace vl::testing
