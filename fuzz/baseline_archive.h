// A baseline folder written as one text, the form in which the fuzz
// targets receive their inputs: a sequence of sections, each a header line
// "=== NAME" followed by the bytes of the file NAME up to the line break
// before the next header. A header "=== -NAME" (no content) removes the
// file NAME from the baseline the input is laid over; "=== NAME -> TARGET"
// (no content) makes NAME a symbolic link to TARGET. Bytes before the
// first header are ignored.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vl::fuzz {

struct ArchiveSection {
  std::string name;
  std::string content;
  bool removed = false;  // "=== -NAME": the file is taken away
  std::string link;      // "=== NAME -> TARGET": a symbolic link to TARGET
};

// Splits `bytes` into sections. Never fails: any bytes give some list
// (possibly empty).
std::vector<ArchiveSection> ParseArchive(const std::string& bytes);

// The text ParseArchive reads back as `sections` (as long as no content
// holds a line starting with "=== ").
std::string SerializeArchive(const std::vector<ArchiveSection>& sections);

// A baseline folder: its files (name to bytes) and its symbolic links
// (name to target).
using BaselineFiles = std::map<std::string, std::string>;
struct BaselineFolder {
  BaselineFiles files, links;
};

// `base` with the sections of `sections` laid over it in order: a section
// replaces (or adds) the file or link of exactly its name, a removal
// takes it away.
BaselineFolder Overlay(const BaselineFiles& base, const std::vector<ArchiveSection>& sections);

}  // namespace vl::fuzz
