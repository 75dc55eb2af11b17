// Which statements run as a prepared shape with bound values, and which run
// as their text: a literal whose meaning depends on where it stands (a
// column number, a typed literal, an escape) must never be bound.
#include "host/db/sql_shape.h"

#include <gtest/gtest.h>

#include <string>

namespace vl {
namespace {

bool Shaped(const std::string& sql, SqlDialect dialect) {
  ShapedStatement shaped;
  return ShapeStatement(sql, shaped, dialect);
}

TEST(SqlShapeTest, OnlyLiteralsThatMeanTheSameBoundAreTakenOut) {
  for (const char* sql : {"SELECT 'x', 2 AS N FROM T WHERE VLGUID = '{A}' ORDER BY 2 LIMIT 5",
                          "SELECT A FROM T WHERE B IN (SELECT C FROM U WHERE D = 'd')",
                          "INSERT INTO T VALUES (123456789012345678)"})
    EXPECT_TRUE(Shaped(sql, SqlDialect::kSQLite)) << sql;
  EXPECT_TRUE(
      Shaped("INSERT INTO T (ID, NAME, AMOUNT, D) VALUES (12, 'it''s', 12.5,\r\n"
             "TIMESTAMP '2003-07-01 14:05:09')",
             SqlDialect::kPostgreSQL));
  for (const char* sql :
       {"CREATE TABLE T (A INTEGER DEFAULT 5)", "CREATE VIEW V AS SELECT A FROM T WHERE A = 1",
        "PRAGMA cache_size=-8000", "BEGIN", "INSERT INTO T VALUES (1); DELETE FROM T",
        "INSERT INTO T VALUES (1) -- comment", "INSERT INTO T VALUES (1) /* comment */",
        "INSERT INTO T VALUES (X'00')", "INSERT INTO T VALUES (?)", "INSERT INTO T VALUES (:v)",
        "INSERT INTO T VALUES (0x10)", "INSERT INTO T VALUES (1e)", "INSERT INTO T VALUES (12abc)",
        "INSERT INTO T VALUES (1234567890123456789)", "INSERT INTO T VALUES ('unclosed)",
        "INSERT INTO T SELECT A FROM U ORDER BY 1",
        "DELETE FROM T WHERE A IN (SELECT B FROM U GROUP BY 1)",
        "INSERT INTO T VALUES ({ ts '2001-01-01 00:00:00'})", "UPDATE T SET A = B"})
    EXPECT_FALSE(Shaped(sql, SqlDialect::kSQLite)) << sql;
  for (const char* sql :
       {"INSERT INTO T VALUES (E'a\\n')", "INSERT INTO T VALUES (U&'d\\0061')",
        "INSERT INTO T VALUES (B'101')", "INSERT INTO T VALUES ('a'\n'b')",
        "INSERT INTO T VALUES (DATE '2001-01-01')", "INSERT INTO T VALUES (\"int4\" '5')",
        "INSERT INTO T VALUES (2147483648)", "INSERT INTO T SELECT 'a', 1 FROM U",
        "INSERT INTO [T] VALUES (1)", "UPDATE T SET A = 'x'::text WHERE B = 1"})
    EXPECT_FALSE(Shaped(sql, SqlDialect::kPostgreSQL)) << sql;
  std::string values;
  for (size_t i = 1; i < kMaxShapedValues; ++i) values += std::to_string(i) + ",";
  EXPECT_TRUE(Shaped("INSERT INTO T VALUES (" + values + "1)", SqlDialect::kSQLite));
  EXPECT_FALSE(Shaped("INSERT INTO T VALUES (" + values + "1,2)", SqlDialect::kSQLite));
}

}  // namespace
}  // namespace vl
