#include <gtest/gtest.h>

#include "errors/mod_errors.h"
#include "errors/mod_preserve_error.h"

namespace vl {
namespace {

// An error passed on keeps its number and description; its source grows
// by the name of each procedure it passes through.
TEST(ErrorsTest, RaisedAndRethrownErrorsKeepNumberDescriptionAndSourceChain) {
  EXPECT_NO_THROW(RaiseError(5, "P", "S", "d", false));
  try {
    try {
      RaiseError(76, "FileSystem", "Inner", "Path not found", true);
    } catch (...) {
      RethrowWithSource("ModWizard.GetLastFolder");
    }
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), 76);
    EXPECT_EQ(e.source(), "ModWizard.GetLastFolder->FileSystem->Inner");
    EXPECT_EQ(e.description(), "Path not found");
  }
  EXPECT_FALSE(PendingError().pending());
  try {
    throw std::runtime_error("boom");
  } catch (...) {
    EXPECT_EQ(PendingError().description, "boom");
  }
}

}  // namespace
}  // namespace vl
