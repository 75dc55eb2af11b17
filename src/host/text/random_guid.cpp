#include "host/text/random_guid.h"

#include <sys/random.h>

#include <cerrno>
#include <fstream>

#include "errors/vl_error.h"

namespace vl {

namespace {

bool FillRandom(uint8_t* bytes, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = getrandom(bytes + got, n - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    got += static_cast<size_t>(r);
  }
  if (got == n) return true;
  // Kernels without the system call still have the device.
  std::ifstream dev("/dev/urandom", std::ios::binary);
  return static_cast<bool>(
      dev.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(n)));
}

}  // namespace

std::string FormatGuid(const uint8_t (&bytes)[16]) {
  // Every copied object gets one: written digit by digit into a text of
  // the right size.
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text(38, '-');
  text.front() = '{';
  text.back() = '}';
  size_t at = 1;
  for (size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) ++at;  // the hyphens stay
    text[at++] = kHex[bytes[i] >> 4];
    text[at++] = kHex[bytes[i] & 15];
  }
  return text;
}

std::string MakeRandomGuid(const char* errorSource) {
  uint8_t b[16];
  if (!FillRandom(b, sizeof b))
    throw VlError(err::kGuidGenerate, errorSource, "Error generating GUID");
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4: random
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // the standard variant
  return FormatGuid(b);
}

}  // namespace vl
