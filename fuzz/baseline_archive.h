// A baseline folder written as one text, the form in which the fuzz
// targets receive their inputs: a sequence of sections, each a header line
// "=== NAME" followed by the bytes of the file NAME up to the line break
// before the next header. A header "=== -NAME" (no content) removes the
// file NAME from the baseline the input is laid over; "=== NAME -> TARGET"
// (no content) makes NAME a symbolic link to TARGET. Bytes before the
// first header are ignored.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace vl::fuzz {

struct ArchiveSection {
  std::string name, content;
  bool removed = false;  // "=== -NAME": the file is taken away
  std::string link;      // "=== NAME -> TARGET": a symbolic link to TARGET
};

// Splits `bytes` into sections; any bytes give some list (maybe empty).
std::vector<ArchiveSection> ParseArchive(const std::string& bytes);
// The text ParseArchive reads back as `sections` (as long as no content
// holds a line starting with "=== ").
std::string SerializeArchive(const std::vector<ArchiveSection>& sections);

// A baseline folder: its files (name to bytes), its links (name to target).
using BaselineFiles = std::map<std::string, std::string>;
struct BaselineFolder {
  BaselineFiles files, links;
};
// `base` with `sections` laid over it in order: a section replaces (or
// adds) the file or link of exactly its name, a removal takes it away.
BaselineFolder Overlay(const BaselineFiles& base, const std::vector<ArchiveSection>& sections);

// Mutates `size` bytes at `data` in place within `maxSize` bytes and
// returns the new size (the form of libFuzzer's LLVMFuzzerMutate).
using ByteMutator = std::function<size_t(uint8_t* data, size_t size, size_t maxSize)>;
// `input` mutated once, at most `maxSize` bytes long, in ways a byte-level
// fuzzer rarely finds on its own: elements removed, duplicated, moved,
// renamed or nested deep, hostile texts and attribute values, a GUID of
// one object given to another, files truncated, re-encoded (UTF-16,
// windows-1252), given entity declarations, named in another letter case,
// taken away or made links. `base` supplies whole files and GUIDs to
// reuse; `bytes` does byte-level changes inside one section.
std::string MutateArchive(const std::string& input, size_t maxSize, const BaselineFiles& base,
                          std::mt19937_64& random, const ByteMutator& bytes);

}  // namespace vl::fuzz
