// Statement texts as the copiers build them carry two portable pieces that
// no database reads directly: the table marker in front of table and view
// names, and "{ ts 'yyyy-mm-dd hh:mm:ss'}" timestamp literals. The
// rewriter turns both into the form of the database at hand.
#pragma once

#include <string>
#include <string_view>

#include "host/text/variant.h"

namespace vl {

// Returns `sql` with every table marker removed and every timestamp
// literal written as the database of kind `dbType` (a DBType) reads it:
// SQLite (kDBSQLite) 'yyyy-mm-dd hh:mm:ss', PostgreSQL TIMESTAMP
// 'yyyy-mm-dd hh:mm:ss'; other kinds keep the literal as it is. Only text
// outside quoted strings ('...' with '' inside, and "..." identifiers) is
// touched: a text value may hold the marker characters or a literal-like
// text and is stored exactly as written. One pass over the text.
std::string RewriteStatement(const std::string& sql, int dbType);

// A table name as passed to the data services ("VlKeys" with or without
// the marker in front) without its marker.
std::string ResolveTableName(const std::string& name);

// Text as the project database keeps it: the copiers store every "|" as
// the character 26, so the project component writes and looks up texts
// the same way, and turns them back when it reads them.
std::string ToStoredText(const std::string& text);
std::string FromStoredText(const std::string& stored);

// The start and the end of a huge statement, never cut inside a character,
// as an error description shows it.
std::string ShortenStatement(const std::string& text);

// Where `text` holds `lowerWord` (lower-case ASCII) in any letter case,
// from `from` on; with `wholeWord`, only where no letter, digit or "_"
// touches it. npos when nowhere. A pass over the text without the C
// library's locale.
size_t FindNoCase(std::string_view text, std::string_view lowerWord, bool wholeWord = false,
                  size_t from = 0);

// Portable literals for the statements the project component builds: a
// text in quotes (quotes doubled, "|" stored as above), and a timestamp in
// the escape form that RewriteStatement resolves.
std::string QuoteSqlText(const std::string& text);
std::string TimestampLiteral(const VlDate& date);

}  // namespace vl
