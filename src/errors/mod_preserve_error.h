// One saved copy of an error, kept across clean-up code that may itself
// fail.
#pragma once

#include <optional>

#include "errors/vl_error.h"

namespace vl {

// Saves `e` (source, description, number). Overwrites any earlier copy.
void PreserveError(const ErrorState& e);
// Saves the error being handled (PendingError()) and returns it.
ErrorState PreserveError();

// When an error is saved: returns it as the error to go on with and clears
// the saved copy. When nothing is saved (number 0): returns nullopt. So a
// second call after one PreserveError gives nullopt.
std::optional<VlError> RestoreError();

// Clears the saved copy; for tests.
void ResetPreservedError();

}  // namespace vl
