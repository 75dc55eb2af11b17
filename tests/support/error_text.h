// What a failing call said, for tests that check the words of an error.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "errors/vl_error.h"

namespace vl::testing {

// The description of the VlError `f` throws; "<no error>" when it throws none.
template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const VlError& e) {
    return e.description();
  }
  return "<no error>";
}

// Each of `parts` appears in the message `d`.
inline void ExpectSays(const std::string& d, std::initializer_list<std::string> parts) {
  for (const std::string& part : parts) EXPECT_NE(d.find(part), std::string::npos) << d;
}

}  // namespace vl::testing
