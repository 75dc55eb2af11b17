#include "errors/vl_error.h"

#include <exception>

namespace vl {

ErrorState ErrorStateOf(const std::exception_ptr& e) {
  if (!e) return {};
  try {
    std::rethrow_exception(e);
  } catch (const VlError& v) {
    return {v.number(), v.source(), v.description()};
  } catch (const std::exception& x) {
    return {err::kUnspecified, "", x.what()};
  } catch (...) {
    return {err::kUnspecified, "", "Unknown error"};
  }
}

ErrorState PendingError() { return ErrorStateOf(std::current_exception()); }

}  // namespace vl
