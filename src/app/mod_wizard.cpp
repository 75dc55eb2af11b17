#include "app/mod_wizard.h"

#include "baseline/bl_proj_info.h"
#include "copy/run_tables.h"
#include "host/host_globals.h"

namespace vl {

void ResetGlobalObjects() {
  ResetCopyGlobals();
  ResetBaselineGlobals();
  ResetHostGlobals();
}

}  // namespace vl
