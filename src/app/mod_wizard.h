// The start-up module: the process's global objects and the services all
// other parts call.
#pragma once

namespace vl {

// Brings every global object of every layer back to its state before
// start-up.
void ResetGlobalObjects();

}  // namespace vl
