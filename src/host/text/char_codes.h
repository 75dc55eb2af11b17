// Texts written as decimal character codes, each followed by ";" ("97;98;
// 99;" is "abc"), as baselines write users' passwords.
#pragma once

#include <cstddef>
#include <string>

namespace vl {

struct CharCodesText {
  std::string bytes;   // the characters, one Windows-1252 byte each
  size_t refused = 0;  // codes that stand for no character
};

// Decodes `codes`. A code is a number rounded half to even; one of 1 to
// 255 gives its byte. A number outside that range (0, a negative one, one
// above 255, one too large to hold) adds nothing and is counted in
// `refused`: the text then differs from what was coded. A NUL is refused
// too, as it cannot travel inside a statement text. A group that is not a
// number, or is empty, and what follows the last ";" add nothing and are
// not counted. Never fails.
CharCodesText DecodeCharCodes(const std::string& codes);

}  // namespace vl
