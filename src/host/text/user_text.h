// Numbers and times as people read them in messages and summaries: a
// count with its noun in the right number, a duration in seconds with one
// decimal.
#pragma once

#include <string>

namespace vl {

// "1 message", "0 messages", "12,345 requirements": `n`, with a comma
// between groups of three digits, a blank, then `one` when n is 1 and
// `many` otherwise.
std::string CountText(long long n, const char* one, const char* many);

// `n` with a comma between groups of three digits ("1,234,567").
std::string GroupedNumber(long long n);

// A duration: "0.3 s", "2.4 s", "59.9 s", then "1 min 5 s", "2 h 3 min".
std::string SecondsText(double seconds);

}  // namespace vl
