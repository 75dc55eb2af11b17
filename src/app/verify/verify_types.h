// What a verification compares and what it finds: values as the project
// database holds them, the rows a creation run was to write, and the
// differences between those and the rows the database holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vl::verify {

// One value as the database holds it, in text form: whole numbers in
// decimal, dates as "yyyy-mm-dd hh:mm:ss", texts as stored. NULL apart.
// An unknown value stands for an ID of an object that is not in the
// database: it never equals anything, and its text says what it stood for.
struct Cell {
  bool null = false;
  bool unknown = false;
  std::string text;

  friend bool operator==(const Cell& a, const Cell& b) {
    return !a.unknown && !b.unknown && a.null == b.null && a.text == b.text;
  }
  // The value for a report: "NULL" for NULL.
  std::string Shown() const { return null ? "NULL" : text; }
};

inline Cell NullCell() { return {true, false, ""}; }
inline Cell TextCell(std::string text) { return {false, false, std::move(text)}; }
inline Cell IntCell(int64_t v) { return {false, false, std::to_string(v)}; }
inline Cell BoolCell(bool v) { return {false, false, v ? "1" : "0"}; }
inline Cell UnknownCell(std::string what) { return {false, true, std::move(what)}; }

// The object a row belongs to, as a report names it.
struct ObjectRef {
  std::string kind;  // "requirement", "list item", ...
  std::string name;
  std::string old_guid, new_guid;
};

// A row the creation run was to write.
struct ExpectedRow {
  std::string table;
  ObjectRef object;
  std::vector<std::pair<const char*, Cell>> cells;  // column -> value
  // Waits in an UnRes file for a project not created yet: not finding it
  // is no fault.
  bool pending = false;
  // The kind it counts for; "" for its table's.
  std::string summary;
};

struct Difference {
  enum class What { kDiffers, kMissing, kExtra, kPending };
  What what = What::kDiffers;
  ObjectRef object;
  std::string table, field;
  std::string expected, found;  // "" where there is none
};

// The counts of one kind of object (rows of its tables).
struct KindSummary {
  std::string kind;
  size_t expected = 0, found = 0, differing = 0, missing = 0, extra = 0, pending = 0;
};

// What the run was to copy, as chosen when it ran.
struct CopyChoices {
  bool history = false, traces = false, discussions = false;
};

}  // namespace vl::verify
