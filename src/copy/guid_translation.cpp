// New GUIDs and the translation of the baseline's GUIDs to them.
#include <sys/random.h>

#include <cerrno>
#include <fstream>

#include "copy/db_conventions.h"
#include "copy/run_tables.h"
#include "errors/vl_error.h"

namespace vl {

namespace {

constexpr const char* kGuidSource = "modWizardGenerateGUID";

// Fills `buf` from the kernel's secure random source, or from
// /dev/urandom on a kernel without getrandom.
bool SecureRandomBytes(unsigned char* buf, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::getrandom(buf + done, size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    done += static_cast<size_t>(n);
  }
  if (done == size) return true;
  std::ifstream urandom("/dev/urandom", std::ios::binary);
  return static_cast<bool>(
      urandom.read(reinterpret_cast<char*>(buf), static_cast<std::streamsize>(size)));
}

// Records `newGuid` under `oldGuid`. A translation already there is kept;
// an entry left empty by an earlier look-up is filled in, because the
// object is being copied now.
void RecordTranslation(OrderedMap<std::string>& table, const std::string& oldGuid,
                       const std::string& newGuid) {
  std::string* item = table.Find(oldGuid);
  if (!item)
    table.Add(oldGuid, newGuid);
  else if (item->empty())
    *item = newGuid;
}

}  // namespace

std::string GenerateGUID() {
  unsigned char b[16];
  if (!SecureRandomBytes(b, sizeof b))
    throw VlError(err::kGuidGenerate, kGuidSource, "Error generating GUID");
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4: random
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // the standard variant
  // Every copied object gets one: written digit by digit, not through the
  // general formatter.
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text(38, '-');
  text.front() = '{';
  text.back() = '}';
  size_t at = 1;
  for (size_t i = 0; i < sizeof b; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) ++at;  // the hyphens stay
    text[at++] = kHex[b[i] >> 4];
    text[at++] = kHex[b[i] & 15];
  }
  if (at != 37) throw VlError(err::kGuidToString, kGuidSource, "Error converting CLSID to string");
  return text;
}

std::string AssignNewGUID(const std::string& oldGuid) {
  std::string newGuid = GenerateGUID();
  RecordTranslation(gdictPSGUIDs, oldGuid, newGuid);
  return newGuid;
}

std::string AssignNewReqGUID(const std::string& oldGuid) {
  std::string newGuid = GenerateGUID();
  RecordTranslation(gdictReqGUIDs, oldGuid, newGuid);
  return newGuid;
}

bool AddGUIDTranslation(const std::string& oldGuid, const std::string& newGuid) {
  if (gdictPSGUIDs.Exists(oldGuid)) return false;
  gdictPSGUIDs.Add(oldGuid, newGuid);
  return true;
}

std::string TranslateGUID(const std::string& oldGuid) { return gdictPSGUIDs[oldGuid]; }

bool IsGUIDTranslated(const std::string& oldGuid) { return !gdictPSGUIDs[oldGuid].empty(); }

bool IsReqGUIDTranslated(const std::string& oldGuid) { return !gdictReqGUIDs[oldGuid].empty(); }

void ForEachTranslation(const OrderedMap<std::string>& table,
                        const std::function<void(const std::string&, const std::string&)>& f) {
  table.ForEach([&](const std::string& oldGuid, const std::string& newGuid) {
    if (!newGuid.empty()) f(oldGuid, newGuid);
  });
}

}  // namespace vl
