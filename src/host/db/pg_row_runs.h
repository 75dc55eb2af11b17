// Rows of one table sent to PostgreSQL as one statement: a shape
// "INSERT INTO t (...) VALUES (<row>)" (see sql_shape.h) run for k rows is
// "INSERT INTO t (...) VALUES (<row 1>), ..., (<row k>)" with the
// parameters of each row numbered on. The server gives every row of such
// a statement its place's type exactly as it gives the single row's, so
// the rows written are the same; a failing row fails the whole statement.
#pragma once

#include <string>
#include <vector>

namespace vl {

struct RowRunShape {
  // The table as the server names it: an unquoted name in lower case, a
  // quoted one as written; and as written in the statement.
  std::string table, written_table;
  std::string head;      // up to and with "VALUES "
  size_t values_at = 0;  // where "VALUES" begins in it
  std::string row;       // "(...)" holding the parameters $1 to $n
  size_t parameters = 0;
  // The row can stand in a select list (it holds no DEFAULT).
  bool selectable = false;
};

// Fills `out` when the PostgreSQL shape `shape` inserts one row of
// parameters into a table named without a schema and ends there (no
// ON CONFLICT, RETURNING or query). False otherwise.
bool SplitRowRun(const std::string& shape, RowRunShape& out);

// The statement for `rows` rows of `run`.
std::string RowRunText(const RowRunShape& run, size_t rows);

// The statement for any number of rows of `run` given as one array per
// parameter, of the element types named in `types` (one per parameter):
// "INSERT INTO t (...) SELECT <row> FROM (SELECT unnest($1::T1[]) AS c1,
// ...) AS vl_rows"
// with each parameter of the row read from its array's column. The rows
// are written in their order, each value read as the single row reads it.
// Only for a `selectable` run.
std::string RowRunArraysText(const RowRunShape& run, const std::vector<std::string>& types);

}  // namespace vl
