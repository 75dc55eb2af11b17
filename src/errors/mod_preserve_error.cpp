#include "errors/mod_preserve_error.h"

namespace vl {
namespace {
ErrorState& Saved() {
  static ErrorState saved;
  return saved;
}
}  // namespace

void PreserveError(const ErrorState& e) { Saved() = e; }

ErrorState PreserveError() {
  ErrorState e = PendingError();
  PreserveError(e);
  return e;
}

std::optional<VlError> RestoreError() {
  ErrorState s = Saved();
  if (s.number == 0) return std::nullopt;
  ResetPreservedError();
  return VlError(s.number, s.source, s.description);
}

void ResetPreservedError() { Saved() = ErrorState{}; }

}  // namespace vl
