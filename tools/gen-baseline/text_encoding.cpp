#include "gen-baseline/text_encoding.h"

#include <array>
#include <cstdint>

#include "host/text/windows_1252.h"

namespace vl::gen {

namespace {

// Decodes the code point starting at `i` and advances `i`; U+FFFD for an
// invalid sequence (one byte consumed).
char32_t NextCodePoint(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = len == 1 ? c : c & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += len;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUnit(std::string& out, uint16_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

}  // namespace

const char* EncodingName(FileEncoding encoding) {
  switch (encoding) {
    case FileEncoding::kUtf16:
      return "UTF-16";
    case FileEncoding::kWindows1252:
      return "windows-1252";
    case FileEncoding::kUtf8:
      break;
  }
  return "UTF-8";
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = NextCodePoint(utf8, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUnit(out, static_cast<uint16_t>(0xD800 | (cp >> 10)));
      AppendUnit(out, static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)));
    } else {
      AppendUnit(out, static_cast<uint16_t>(cp));
    }
  }
  return out;
}

std::string Utf8To1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = NextCodePoint(utf8, i);
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    char mapped = '?';
    for (size_t b = 0; b < kWindows1252High.size(); ++b) {
      if (kWindows1252High[b] == cp) mapped = static_cast<char>(0x80 + b);
    }
    out += mapped;
  }
  return out;
}

std::string W1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char c : bytes) {
    char32_t cp = Windows1252CodePoint(c);
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace vl::gen
