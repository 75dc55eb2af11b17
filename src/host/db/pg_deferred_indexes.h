// The indexes of a schema that is being filled, made once its rows are
// in. Building an index from the rows there costs the server a fraction
// of keeping it up to date row by row; a table is read through its
// indexes only once a statement may read it, and then they are built.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vl {

class PgDeferredIndexes {
 public:
  // True when `statement` is a plain CREATE INDEX ("CREATE INDEX name ON
  // table (columns)", no UNIQUE, no schema before the table), which is
  // then kept, as made in the open transaction.
  bool Keep(const std::string& statement);
  // The statements kept for the tables `statement` names (none for a
  // CREATE VIEW, which reads nothing), in the order made, from now on
  // counted as built in the open transaction.
  std::vector<std::string> TakeFor(std::string_view statement);
  // All statements kept, counted as built as above.
  std::vector<std::string> TakeAll();
  // The open transaction committed: what it built is done for good, what
  // it kept stays kept.
  void Committed();
  // The open transaction undone: what it kept is gone with it, what it
  // built is to be built again.
  void Undone();
  // Nothing is kept to be built.
  bool empty() const;

 private:
  struct Index {
    std::string table;  // lower case
    std::string statement;
    bool made_before = false;  // kept in a transaction committed since
    bool built = false;        // built in the open transaction
  };
  std::vector<Index> kept_;
};

}  // namespace vl
