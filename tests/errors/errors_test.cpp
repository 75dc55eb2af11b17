#include <gtest/gtest.h>

#include "errors/message_sink.h"
#include "errors/mod_errors.h"
#include "errors/mod_preserve_error.h"

namespace vl {
namespace {

TEST(BuildErrorSource, ChainsProcedureNames) {
  EXPECT_EQ(BuildErrorSource("X", ""), "X");
  EXPECT_EQ(BuildErrorSource("X", "S"), "X->S");
}

TEST(RaiseError, RaisesOnlyWhenAsked) {
  EXPECT_NO_THROW(RaiseError(5, "P", "S", "d", false));
  try {
    RaiseError(5, "ModWizard.GetLastFolder", "Inner", "bad call", true);
    FAIL();
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.source(), "ModWizard.GetLastFolder->Inner");
    EXPECT_EQ(e.description(), "bad call");
  }
}

TEST(RethrowWithSource, KeepsNumberAndDescriptionAndGrowsSource) {
  try {
    try {
      throw VlError(76, "FileSystem", "Path not found");
    } catch (...) {
      RethrowWithSource("ModWizard.GetLastFolder");
    }
  } catch (const VlError& e) {
    EXPECT_EQ(e.number(), 76);
    EXPECT_EQ(e.source(), "ModWizard.GetLastFolder->FileSystem");
    EXPECT_EQ(e.description(), "Path not found");
  }
}

TEST(PendingError, IsTheExceptionBeingHandled) {
  EXPECT_FALSE(PendingError().pending());
  try {
    throw std::runtime_error("boom");
  } catch (...) {
    ErrorState e = PendingError();
    EXPECT_TRUE(e.pending());
    EXPECT_EQ(e.description, "boom");
  }
}

}  // namespace
}  // namespace vl
