// Passing errors on with the procedure name added to their source.
#pragma once

#include <string>

#include "errors/vl_error.h"

namespace vl {

// "X" when `source` is empty, otherwise "X->S".
std::string BuildErrorSource(const std::string& procName, const std::string& source);

// With `raise` true, throws VlError(number, BuildErrorSource(procName,
// source), description); with `raise` false does nothing (the error is
// dropped).
void RaiseError(long number, const std::string& procName, const std::string& source,
                const std::string& description, bool raise);

// For the trap of a low-level utility: rethrows the exception being
// handled as a VlError with `procName` put in front of its source. Must be
// called inside a catch block.
[[noreturn]] void RethrowWithSource(const std::string& procName);

}  // namespace vl
