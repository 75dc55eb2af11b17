#include "host/db/sql_rewrite.h"

#include <gtest/gtest.h>

#include "host/db/data_services.h"

namespace vl {
namespace {

const std::string M = kTableMarker;

TEST(SqlRewriteTest, RemovesTheTableMarkerBeforeNames) {
  EXPECT_EQ(RewriteStatement("INSERT INTO " + M + "vlUsers (ID) VALUES (1)", kDBSQLite),
            "INSERT INTO vlUsers (ID) VALUES (1)");
  EXPECT_EQ(RewriteStatement("SELECT ID  FROM " + M + "vlUsers WHERE VLGUID = 'x'", kDBPostgreSQL),
            "SELECT ID  FROM vlUsers WHERE VLGUID = 'x'");
  EXPECT_EQ(ResolveTableName(M + "VlKeys"), "VlKeys");
  EXPECT_EQ(ResolveTableName("VlKeys"), "VlKeys");
  // Part of a marker is not a marker.
  const std::string partial = std::string("\x05\x01", 2) + "T";
  EXPECT_EQ(RewriteStatement(partial, kDBSQLite), partial);
}

TEST(SqlRewriteTest, TurnsTimestampLiteralsIntoTheEnginesForm) {
  const std::string sql = "INSERT INTO T (D) VALUES ({ ts '2003-07-01 14:05:09'})";
  EXPECT_EQ(RewriteStatement(sql, kDBSQLite), "INSERT INTO T (D) VALUES ('2003-07-01 14:05:09')");
  EXPECT_EQ(RewriteStatement(sql, kDBPostgreSQL),
            "INSERT INTO T (D) VALUES (TIMESTAMP '2003-07-01 14:05:09')");
  // Other engines read the escape themselves.
  EXPECT_EQ(RewriteStatement(sql, kDBSqlServer), sql);
  // Spacing and letter case of the escape vary.
  EXPECT_EQ(RewriteStatement("{ts '2003-07-01 14:05:09'}", kDBSQLite), "'2003-07-01 14:05:09'");
  EXPECT_EQ(RewriteStatement("{ TS  '2003-07-01 14:05:09' }", kDBSQLite), "'2003-07-01 14:05:09'");
  EXPECT_EQ(
      RewriteStatement("A, { ts '2001-01-01 00:00:00'}, { ts '2002-02-02 00:00:00'}", kDBSQLite),
      "A, '2001-01-01 00:00:00', '2002-02-02 00:00:00'");
}

TEST(SqlRewriteTest, LeavesQuotedTextAlone) {
  // A text value holding the marker characters or a literal-like text is
  // stored exactly as written.
  const std::string values = "VALUES ('a" + M + "b', '{ ts ''2003-07-01 14:05:09''}', " +
                             "'{ ts 2003}', 'it''s " + M + "')";
  EXPECT_EQ(RewriteStatement(values, kDBSQLite), values);
  // After a doubled quote the string goes on; after it ends, rewriting
  // starts again.
  EXPECT_EQ(RewriteStatement("'it''s' " + M + "T {ts '2001-01-01 00:00:00'}", kDBSQLite),
            "'it''s' T '2001-01-01 00:00:00'");
  // Quoted identifiers are left as they are.
  const std::string ident = "SELECT \"a" + M + "b\" FROM " + M + "T";
  EXPECT_EQ(RewriteStatement(ident, kDBSQLite), "SELECT \"a" + M + "b\" FROM T");
  // An unclosed string runs to the end.
  const std::string open = "VALUES ('x" + M;
  EXPECT_EQ(RewriteStatement(open, kDBSQLite), open);
}

TEST(SqlRewriteTest, KeepsBracesThatAreNoTimestampLiteral) {
  for (const std::string s : {"{", "{ x }", "{ ts '2003-07-01", "{ ts '2003'", "{ tsx '1'}",
                              "{ ts x}", "'{GUID}'", "{9F3A}"})
    EXPECT_EQ(RewriteStatement(s, kDBSQLite), s) << s;
  // A failed match does not swallow what follows.
  EXPECT_EQ(RewriteStatement("{ ts 'a' x } " + M + "T", kDBSQLite), "{ ts 'a' x } T");
}

TEST(SqlRewriteTest, HandlesLargeTextsInOnePass) {
  // Many unfinished literals one after the other, and a long value.
  std::string sql;
  for (int i = 0; i < 100000; ++i) sql += "{ ts '";
  const std::string out = RewriteStatement(sql, kDBSQLite);
  EXPECT_EQ(out, sql);
  std::string big = "INSERT INTO " + M + "T VALUES ('" + std::string(1 << 20, 'x') + "')";
  EXPECT_EQ(RewriteStatement(big, kDBSQLite).size(), big.size() - M.size());
}

}  // namespace
}  // namespace vl
