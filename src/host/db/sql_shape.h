// The shape of a statement: its text with every literal value replaced by
// a numbered parameter, and the values taken out. The copiers write one
// statement text per row, so a run of a million rows has only a few dozen
// shapes; the data services prepare each shape once and bind the values,
// instead of having the database parse a million texts.
//
// Shaping never changes what a statement does: only statements whose
// shape, run with the values bound, gives exactly what the text gives are
// shaped (INSERT, UPDATE, DELETE, and the WHERE clause of a SELECT);
// everything else is refused and runs as text. In particular the result
// columns of a SELECT keep their literals (a column named by its
// expression keeps its name), so do ORDER BY and GROUP BY terms (where a
// number means a column), and a text the database would refuse runs as
// text so that the database's own message names it.
//
// The two databases read literals differently, so each has its dialect.
// PostgreSQL gives a literal a type of its own (a whole number int4, a
// number with a point or an exponent numeric, a quoted text no type until
// its place decides one, TIMESTAMP '...' a timestamp); a parameter
// declared with that same type is read exactly as the literal is. What
// PostgreSQL reads as more than a quoted text (E'...', U&'...', a text
// continued on the next line, a typed literal other than TIMESTAMP, a
// whole number beyond int4, which the server reads with rules of its own)
// runs as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

enum class SqlDialect { kSQLite, kPostgreSQL };

struct ShapedStatement {
  // kTimestamp: PostgreSQL's TIMESTAMP '...'.
  enum class Kind { kInteger, kReal, kText, kTimestamp };
  struct Value {
    Kind kind;
    int64_t integer;        // kInteger
    std::string_view text;  // kText, kTimestamp: the text itself; kReal: the number as written
  };
  // The statement with ?1, ?2, ... (PostgreSQL: $1, $2, ...) in place of
  // the values. For SQLite a real number becomes CAST(?n AS REAL), so the
  // database reads its digits exactly as it reads a literal; PostgreSQL's
  // parameter is declared numeric instead (see PgParameterType), and
  // TIMESTAMP '...' becomes the parameter alone, declared a timestamp.
  std::string shape;
  std::vector<Value> values;
  // Holds the texts whose doubled quotes were undone; the values' views
  // point into it or into the statement text.
  std::string unquoted;
};

// At most this many values are taken out of one statement; a statement
// with more runs as text.
inline constexpr size_t kMaxShapedValues = 999;

// Splits `sql` into shape and values. Returns false, with `out` in an
// unspecified state, when the statement is to run as text. The values of
// `out` point into `sql`, which must outlive them.
bool ShapeStatement(std::string_view sql, ShapedStatement& out,
                    SqlDialect dialect = SqlDialect::kSQLite);

}  // namespace vl
