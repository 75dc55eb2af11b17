// Mutations of baseline archives that a byte-level fuzzer rarely finds on
// its own: elements removed, duplicated, moved or renamed, texts and
// attribute values replaced by hostile ones (huge numbers, GUIDs of every
// shape, names that climb out of a folder, quotes, control characters,
// enormous texts), a GUID of one object given to another, files
// truncated, re-encoded (UTF-16, windows-1252), given a document type
// declaration with external or nested entities, or named in another
// letter case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "baseline_archive.h"

namespace vl::fuzz {

// Mutates the bytes of `content` in place within `maxSize` bytes and
// returns the new size (libFuzzer's LLVMFuzzerMutate has this form).
using ByteMutator = std::function<size_t(uint8_t* data, size_t size, size_t maxSize)>;

// Mutates the archive `input` once and returns the result, at most
// `maxSize` bytes long. `base` supplies whole files and GUIDs to reuse;
// `bytes` does byte-level changes inside one section.
std::string MutateArchive(const std::string& input, size_t maxSize, const BaselineFiles& base,
                          std::mt19937_64& random, const ByteMutator& bytes);

}  // namespace vl::fuzz
