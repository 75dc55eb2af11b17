// Stopping a run from outside it: a signal (SIGINT, SIGTERM) or the user's
// Cancel. Whoever owns the run keeps a CancelRequest and sets it; the run
// looks at it between objects and unwinds with RunCancelled.
#pragma once

#include <atomic>

namespace vl {

// 0 while nobody asked the run to stop; otherwise the signal number, or
// kCancelledByUser.
using CancelRequest = std::atomic<int>;
constexpr int kCancelledByUser = -1;

// Thrown where a run that was asked to stop can stop. Deliberately not a
// std::exception: every copier reports and absorbs the failures of its own
// work, and none of them may absorb this.
struct RunCancelled {
  int reason = kCancelledByUser;
};

}  // namespace vl
