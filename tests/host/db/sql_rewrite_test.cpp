// Table markers and "{ ts '...'}" literals are resolved before a statement
// runs; text inside quotes is never touched.
#include "host/db/sql_rewrite.h"

#include <gtest/gtest.h>

#include "host/db/data_services.h"

namespace vl {
namespace {

const std::string M = kTableMarker;

TEST(SqlRewriteTest, ResolvesMarkersAndTimestampLiteralsOutsideQuotesOnly) {
  const std::string ts = "{ ts '2003-07-01 14:05:09'}", partial = std::string("\x05\x01", 2) + "T";
  const std::string values = "VALUES ('a" + M + "b', '{ ts ''2003-07-01 14:05:09''}', " +
                             "'{ ts 2003}', 'it''s " + M + "')";
  const struct {
    std::string in;
    int db;
    std::string out;
  } cases[] = {
      {"INSERT INTO " + M + "vlUsers (ID) VALUES (1)", kDBSQLite,
       "INSERT INTO vlUsers (ID) VALUES (1)"},
      {"SELECT ID FROM " + M + "vlUsers", kDBPostgreSQL, "SELECT ID FROM vlUsers"},
      {partial, kDBSQLite, partial},  // part of a marker is not a marker
      {"(" + ts + ")", kDBSQLite, "('2003-07-01 14:05:09')"},
      {"(" + ts + ")", kDBPostgreSQL, "(TIMESTAMP '2003-07-01 14:05:09')"},
      {"(" + ts + ")", kDBSqlServer, "(" + ts + ")"},  // other engines read it themselves
      {"{ts '2003-07-01 14:05:09'}", kDBSQLite, "'2003-07-01 14:05:09'"},
      {"{ TS  '2003-07-01 14:05:09' }", kDBSQLite, "'2003-07-01 14:05:09'"},
      {"A, { ts '2001-01-01 00:00:00'}, { ts '2002-02-02 00:00:00'}", kDBSQLite,
       "A, '2001-01-01 00:00:00', '2002-02-02 00:00:00'"},
      {values, kDBSQLite, values},
      // After a doubled quote the text goes on; after it ends, rewriting
      // starts again. Quoted names stay; an unclosed text runs to the end.
      {"'it''s' " + M + "T {ts '2001-01-01 00:00:00'}", kDBSQLite,
       "'it''s' T '2001-01-01 00:00:00'"},
      {"SELECT \"a" + M + "b\" FROM " + M + "T", kDBSQLite, "SELECT \"a" + M + "b\" FROM T"},
      {"VALUES ('x" + M, kDBSQLite, "VALUES ('x" + M},
      // A failed match does not swallow what follows.
      {"{ ts 'a' x } " + M + "T", kDBSQLite, "{ ts 'a' x } T"},
      // A NUL in the text is passed over like any other character.
      {std::string("A\0 ", 3) + M + "T", kDBSQLite, std::string("A\0 T", 4)},
  };
  for (const auto& c : cases) EXPECT_EQ(RewriteStatement(c.in, c.db), c.out) << c.in;
  for (const std::string s : {"{", "{ x }", "{ ts '2003-07-01", "{ ts '2003'", "{ tsx '1'}",
                              "{ ts x}", "'{GUID}'", "{9F3A}"})
    EXPECT_EQ(RewriteStatement(s, kDBSQLite), s) << s;
  EXPECT_EQ(ResolveTableName(M + "VlKeys") + ResolveTableName("VlKeys"), "VlKeysVlKeys");
}

TEST(SqlRewriteTest, HandlesLargeTextsInOnePass) {
  // Many unfinished literals one after the other, and a long value.
  std::string sql;
  for (int i = 0; i < 100000; ++i) sql += "{ ts '";
  EXPECT_EQ(RewriteStatement(sql, kDBSQLite), sql);
  std::string big = "INSERT INTO " + M + "T VALUES ('" + std::string(1 << 20, 'x') + "')";
  EXPECT_EQ(RewriteStatement(big, kDBSQLite).size(), big.size() - M.size());
}

}  // namespace
}  // namespace vl
