// One saved copy of an error, kept across clean-up code that may itself
// fail.
#pragma once

#include <optional>

#include "errors/vl_error.h"

namespace vl {

class PreservedError {
 public:
  // Saves `e` (source, description, number). Overwrites any earlier copy.
  void Preserve(const ErrorState& e) { saved_ = e; }
  // Saves the error being handled (PendingError()) and returns it.
  ErrorState Preserve();

  // When an error is saved: returns it as the error to go on with and
  // clears the saved copy. When nothing is saved (number 0): returns
  // nullopt. So a second call after one Preserve gives nullopt.
  std::optional<VlError> Restore();

 private:
  ErrorState saved_;
};

}  // namespace vl
