#include "errors/mod_errors.h"

namespace vl {

std::string BuildErrorSource(const std::string& procName, const std::string& source) {
  if (source.empty()) return procName;
  return procName + "->" + source;
}

void RaiseError(long number, const std::string& procName, const std::string& source,
                const std::string& description, bool raise) {
  if (!raise) return;
  throw VlError(number, BuildErrorSource(procName, source), description);
}

void RethrowWithSource(const std::string& procName) {
  ErrorState e = PendingError();
  if (!e.pending()) e = {err::kUnspecified, "", "Unknown error"};
  throw VlError(e.number, BuildErrorSource(procName, e.source), e.description);
}

}  // namespace vl
