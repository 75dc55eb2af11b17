// The text work of the query definition and view copier: GUIDs in query
// strings, the external project a query string names, and the external
// project markers of view properties.
#include <algorithm>

#include "copy/ins_view_info.h"
#include "host/project/query_parser.h"
#include "host/text/convert.h"

namespace vl {
namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte offsets where the characters of `s` start.
std::vector<size_t> CharStarts(const std::string& s) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < s.size(); ++i)
    if (!IsUtf8Continuation(s[i])) starts.push_back(i);
  return starts;
}

// `target` overwritten from its first character by `source`, as far as
// `source` reaches and never beyond `target`'s length in characters.
std::string Overwrite(const std::string& target, const std::string& source) {
  const size_t n = std::min(CharCount(target), CharCount(source));
  const std::string head = CharLeft(source, n);
  return head + target.substr(CharLeft(target, n).size());
}

// Replaces the value that follows `marker` (up to the next ";", or to the
// end of the text when none follows) by `lExtProjID`.
void ReplaceMarkerValue(std::string& sProps, const std::string& marker, int32_t lExtProjID) {
  if (lExtProjID < 1) return;
  const size_t at = sProps.find(marker);
  if (at == std::string::npos) return;
  const size_t start = at + marker.size();
  size_t end = sProps.find(';', start);
  if (end == std::string::npos) end = sProps.size();
  sProps.replace(start, end - start, std::to_string(lExtProjID));
}

}  // namespace

bool InsViewInfo::IsGUIDPattern(const std::string& text) {
  const std::vector<size_t> starts = CharStarts(text);
  if (starts.size() != 38) return false;
  auto is = [&](size_t index, char c) { return text[starts[index]] == c; };
  return is(0, '{') && is(9, '-') && is(14, '-') && is(19, '-') && is(24, '-') && is(37, '}');
}

bool InsViewInfo::GetExtProjRef(const std::string& sQString, std::string& sExtProjGUID) {
  return ExternalProjectOfQuery(sQString, sExtProjGUID);
}

void InsViewInfo::RenewGUIDs(std::string& sQString,
                             const std::function<std::string(const std::string&)>& translate) {
  size_t pos = 0;
  while (true) {
    const size_t open = sQString.find('{', pos);
    if (open == std::string::npos) return;
    size_t close = sQString.find('}', open);
    if (close == std::string::npos) return;
    const std::string candidate = sQString.substr(open, close - open + 1);
    if (IsGUIDPattern(candidate)) {
      const std::string renewed = translate(candidate);
      if (!renewed.empty()) {
        const std::string written = Overwrite(candidate, renewed);
        sQString.replace(open, candidate.size(), written);
        close = open + written.size() - 1;
      }
    }
    pos = close;
  }
}

void InsViewInfo::UpdatePropsExtProjID(int32_t& lReqTypeID, std::string& sProps,
                                       const ProjStructSpec& oSpec) {
  lReqTypeID = ToLongOrZero(oSpec.RequirementTypeID);
  ReplaceMarkerValue(sProps, ";externalProjectID=/i", ToLongOrZero(oSpec.ExternalProjectID));
}

void InsViewInfo::UpdatePropsExtProjIDHoriz(int32_t& lSecReqTypeID, std::string& sProps,
                                            const ProjStructSpec& oSpec) {
  lSecReqTypeID = ToLongOrZero(oSpec.RequirementTypeID);
  ReplaceMarkerValue(sProps, ";externalProjectIDHoriz=/i", ToLongOrZero(oSpec.ExternalProjectID));
}

}  // namespace vl
