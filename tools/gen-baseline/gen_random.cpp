#include "gen-baseline/gen_random.h"

#include "host/text/random_guid.h"

#include <array>

namespace vl::gen {

namespace {

uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Words of generated texts. Some carry characters that must be escaped in
// XML or lie outside ASCII, so that every text exercises the readers.
constexpr std::array<std::string_view, 64> kWords = {
    "the",       "system",  "shall",  "provide", "a",       "user",       "interface", "for",
    "managing",  "records", "and",    "reports", "with",    "secure",     "access",    "to",
    "data",      "within",  "two",    "seconds", "of",      "request",    "each",      "operator",
    "must",      "be",      "able",   "export",  "results", "in",         "standard",  "formats",
    "including", "tables",  "charts", "when",    "network", "is",         "down",      "queue",
    "messages",  "retry",   "later",  "R&D",     "<draft>", "\"quoted\"", "it's",      "café",
    "naïve",     "Größe",   "€100",   "façade",  "élan",    "Ørsted",     "déjà",      "vu",
    "x>y",       "a<b",     "50%",    "A&B",     "O'Neil",  "über",       "señor",     "—"};

// Plain words for names and subjects (ASCII letters only).
constexpr std::array<std::string_view, 24> kNameWords = {
    "alpha",  "beta",   "gamma",  "delta",  "orbit",  "vector", "signal", "ledger",
    "portal", "engine", "sensor", "report", "budget", "client", "server", "module",
    "safety", "backup", "import", "export", "search", "filter", "audit",  "review"};

}  // namespace

uint64_t Mix(uint64_t a, uint64_t b) { return SplitMix(SplitMix(a) ^ (b * 0xD6E8FEB86659FD93ull)); }

uint64_t HashText(std::string_view text) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001B3ull;
  }
  return h;
}

uint64_t Rng::Next() {
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t x = state_;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

int Rng::Below(int n) {
  if (n <= 0) return 0;
  return static_cast<int>(Next() % static_cast<uint64_t>(n));
}

int Rng::Between(int lo, int hi) {
  if (hi < lo) return lo;
  return lo + Below(hi - lo + 1);
}

std::string GuidFrom(uint64_t base, uint64_t stream, uint64_t index) {
  uint64_t hi = Mix(Mix(base, stream), index);
  uint64_t lo = Mix(hi, 0x5EED5EED5EED5EEDull);
  hi = (hi & ~0xF000ull) | 0x4000ull;                         // version 4
  lo = (lo & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // variant 1
  uint8_t bytes[16];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<uint8_t>(hi >> (56 - 8 * i));
    bytes[8 + i] = static_cast<uint8_t>(lo >> (56 - 8 * i));
  }
  return vl::FormatGuid(bytes);
}

size_t CountChars(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string MakeText(Rng& rng, int chars, bool paragraphs) {
  std::string out;
  if (chars <= 0) return out;
  size_t count = 0;
  bool sentence_start = true;
  while (count < static_cast<size_t>(chars)) {
    if (!out.empty()) {
      bool end_sentence = rng.Chance(12);
      if (end_sentence) {
        out += '.';
        ++count;
        sentence_start = true;
      }
      bool line_break = end_sentence && paragraphs && rng.Chance(25);
      out += line_break ? '\n' : ' ';
      ++count;
    }
    std::string word(kWords[rng.Below(static_cast<int>(kWords.size()))]);
    if (sentence_start && word[0] >= 'a' && word[0] <= 'z')
      word[0] = static_cast<char>(word[0] - 32);
    sentence_start = false;
    out += word;
    count += CountChars(word);
  }
  // Cut back to exactly `chars` characters, never inside a character.
  while (count > static_cast<size_t>(chars)) {
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
    out.pop_back();
    --count;
  }
  // A text should not end in a blank or a line break: readers may trim it.
  if (out.back() == ' ' || out.back() == '\n') out.back() = '.';
  return out;
}

std::string MakeWords(Rng& rng, int min_words, int max_words) {
  int n = rng.Between(min_words, max_words);
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (i > 0) out += ' ';
    out += kNameWords[rng.Below(static_cast<int>(kNameWords.size()))];
  }
  if (!out.empty()) out[0] = static_cast<char>(out[0] - 32);
  return out;
}

}  // namespace vl::gen
