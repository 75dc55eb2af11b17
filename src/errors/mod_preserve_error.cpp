#include "errors/mod_preserve_error.h"

namespace vl {

ErrorState PreservedError::Preserve() {
  ErrorState e = PendingError();
  Preserve(e);
  return e;
}

std::optional<VlError> PreservedError::Restore() {
  ErrorState s = saved_;
  if (s.number == 0) return std::nullopt;
  saved_ = ErrorState{};
  return VlError(s.number, s.source, s.description);
}

}  // namespace vl
