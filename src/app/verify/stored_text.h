// The small rules by which the values of a baseline reach the project
// database, derived here on their own so that a fault in the copiers
// shows up as a difference instead of being repeated: how a text literal
// is stored, how long texts are split into a row and an overflow row, how
// passwords are decoded, how the GUIDs inside query strings and view
// properties are renewed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/verify/verify_types.h"

namespace vl::verify {

// A text as a copier's literal stores it: "|" becomes the character 26, a
// pair of quotes counts as one quote already doubled (so it is stored as
// one), a NUL is dropped, and a text of blanks only is stored empty.
std::string StoredText(const std::string& text);
inline Cell StoredCell(const std::string& text) { return TextCell(StoredText(text)); }
// A text stored exactly, as query strings and the project component's
// own texts are: only "|" becomes the character 26 and a NUL is dropped.
std::string ExactText(const std::string& text);

// A long text split at `limit` characters (-1: no limit): the row keeps
// the first `limit` characters and the overflow row the whole text.
struct SplitText {
  std::string row;
  bool cut = false;
  std::string whole;  // only when cut
};
SplitText SplitAtLimit(const std::string& text, int32_t limit);

// A whole number read from a baseline text the way the copiers read it:
// 0 when it is not a number that fits (16 bits for the "Int" form).
int32_t LongOrZero(const std::string& text);
int16_t IntOrZero(const std::string& text);

// A date text in any form baselines use as stored ("yyyy-mm-dd hh:mm:ss"),
// NULL when it is none.
Cell DateCell(const std::string& text);

// The value of a number as a NUMERICVALUE column holds it: the number of a
// numeric text, 0 otherwise, in its general text form.
Cell NumericValueCell(const std::string& text);

// The password of a user: decimal character codes, each followed by ";",
// in the Windows code page; codes outside 1..255 and non-numbers add
// nothing, and what follows the last ";" is dropped.
std::string DecodePassword(const std::string& codes);

// `query` with every GUID-shaped "{...}" (38 characters) replaced by
// `renew` of it, where that gives a non-empty text; the replacement
// never changes the query's length in characters. A "{" without "}"
// ends the renewal.
std::string RenewQueryGuids(const std::string& query,
                            const std::function<std::string(const std::string&)>& renew);

// The external project GUID a query string's scope names ("(" project
// "." type ")"), "" when it names none.
std::string ExternalProjectOfQuery(const std::string& query);

// `props` with the value after `marker` (up to the next ";" or the end)
// replaced by `id`, when `id` is 1 or more and the marker is there.
std::string ReplacePropertyValue(const std::string& props, const std::string& marker, int64_t id);

}  // namespace vl::verify
