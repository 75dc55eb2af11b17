// Seeded, platform-independent randomness for the baseline generator.
// Every value is derived from a 64-bit base (the seed mixed with the
// project's GUID), a stream number saying what the value is for, and an
// index; so the GUID of requirement 7 stays the same whatever else the
// options change, and two runs with the same options give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vl::gen {

// Streams (what a value is drawn for). Never renumber: doing so changes
// every baseline generated for a given seed.
enum Stream : uint64_t {
  kStreamProject = 1,
  kStreamGroup,
  kStreamUser,
  kStreamAttribute,
  kStreamListItem,
  kStreamReqType,
  kStreamDocType,
  kStreamPackage,
  kStreamDocument,
  kStreamView,
  kStreamRequirement,
  kStreamQueryDef,
  kStreamExtReqType,
  kStreamExtRequirement,
  kStreamPackageTree,
  kStreamReqPlan,
  kStreamReqContent,
  kStreamTrace,
  kStreamTraceAttr,
  kStreamCrossTrace,
  kStreamDocContent,
  kStreamViewContent,
  kStreamQueryContent,
  kStreamDiscussion,
  kStreamDiscussionGuid,
  kStreamProjectContent,
  kStreamLateChild,
};

// Mixes two 64-bit values into one (a finaliser of splitmix64 applied to
// their combination); small changes in either give unrelated results.
uint64_t Mix(uint64_t a, uint64_t b);
// FNV-1a hash of a text, to fold GUID texts and names into a base.
uint64_t HashText(std::string_view text);

// A small generator whose sequence depends only on its seed (the standard
// library's distributions may differ between implementations, so they are
// not used).
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  Rng(uint64_t base, uint64_t stream, uint64_t index) : state_(Mix(Mix(base, stream), index)) {}

  uint64_t Next();
  // A value in [0, n); 0 when n <= 0.
  int Below(int n);
  // A value in [lo, hi]; lo when hi < lo.
  int Between(int lo, int hi);
  // True in about `percent` of the calls.
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  uint64_t state_;
};

// A braced upper-case GUID (version 4 layout) made from base, stream and
// index: "{8-4-4-4-12}".
std::string GuidFrom(uint64_t base, uint64_t stream, uint64_t index);

// Text of exactly `chars` Unicode characters made of words, some of them
// with characters that need escaping in XML (& < > " ') and some outside
// ASCII (all of them in Windows-1252, so a baseline can also be written in
// that encoding). With `paragraphs`, a line break ("\n") may stand between
// sentences. An empty text for chars <= 0.
std::string MakeText(Rng& rng, int chars, bool paragraphs);
// Between min_words and max_words plain words separated by blanks, the
// first one capitalised; used for names, subjects and labels.
std::string MakeWords(Rng& rng, int min_words, int max_words);
// Number of Unicode characters of a UTF-8 text.
size_t CountChars(std::string_view utf8);

}  // namespace vl::gen
