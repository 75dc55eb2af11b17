#include "baseline/bl_proj_info.h"

namespace vl {

std::unique_ptr<BLProjInfo> goBLProjInfo;

void ResetBaselineGlobals() { goBLProjInfo.reset(); }

}  // namespace vl
