#include "host/db/sql_shape.h"

#include <gtest/gtest.h>

#include <string>

namespace vl {
namespace {

class SqlShapeTest : public ::testing::Test {
 protected:
  // The shape of `sql`, or "(text)" when it is to run as text.
  std::string Shape(const std::string& sql, SqlDialect dialect = SqlDialect::kSQLite) {
    sql_ = sql;
    return ShapeStatement(sql_, shaped_, dialect) ? shaped_.shape : "(text)";
  }
  std::string PgShape(const std::string& sql) { return Shape(sql, SqlDialect::kPostgreSQL); }
  // The values taken out, as "i:12 t:it's r:1.5".
  std::string Values() const {
    std::string out;
    for (const ShapedStatement::Value& v : shaped_.values) {
      if (!out.empty()) out += ' ';
      if (v.kind == ShapedStatement::Kind::kInteger) out += "i:" + std::to_string(v.integer);
      if (v.kind == ShapedStatement::Kind::kText) out += "t:" + std::string(v.text);
      if (v.kind == ShapedStatement::Kind::kReal) out += "r:" + std::string(v.text);
      if (v.kind == ShapedStatement::Kind::kTimestamp) out += "s:" + std::string(v.text);
    }
    return out;
  }

  std::string sql_;
  ShapedStatement shaped_;
};

TEST_F(SqlShapeTest, ASelectBindsOnlyItsWhereClause) {
  // Result columns are named by their text, and a number after ORDER BY
  // or GROUP BY names a column: those literals stay.
  EXPECT_EQ(Shape("SELECT 'x', 2 AS N, ID  FROM T WHERE VLGUID = '{A}' AND N > 3 "
                  "GROUP BY 1 ORDER BY 2 LIMIT 5"),
            "SELECT 'x', 2 AS N, ID  FROM T WHERE VLGUID = ?1 AND N > ?2 GROUP BY 1 ORDER BY 2 "
            "LIMIT 5");
  EXPECT_EQ(Values(), "t:{A} i:3");
  EXPECT_EQ(Shape("SELECT A FROM T WHERE B IN (SELECT C FROM U WHERE D = 'd')"),
            "SELECT A FROM T WHERE B IN (SELECT C FROM U WHERE D = ?1)");
  EXPECT_EQ(Shape("SELECT (SELECT X FROM U WHERE Y = 1) FROM T WHERE Z = 2"),
            "SELECT (SELECT X FROM U WHERE Y = 1) FROM T WHERE Z = ?1");
}

TEST_F(SqlShapeTest, WhatCouldChangeMeaningOrMessagesRunsAsText) {
  for (const char* sql : {
           "CREATE TABLE T (A INTEGER DEFAULT 5)",
           "CREATE VIEW V AS SELECT A FROM T WHERE A = 1",
           "PRAGMA cache_size=-8000",
           "BEGIN",
           "INSERT INTO T VALUES (1); DELETE FROM T",
           "INSERT INTO T VALUES (1) -- comment",
           "INSERT INTO T VALUES (1) /* comment */",
           "INSERT INTO T VALUES (X'00')",
           "INSERT INTO T VALUES (?)",
           "INSERT INTO T VALUES (:v)",
           "INSERT INTO T VALUES (0x10)",
           "INSERT INTO T VALUES (1e)",
           "INSERT INTO T VALUES (12abc)",
           "INSERT INTO T VALUES (1234567890123456789)",
           "INSERT INTO T VALUES ('unclosed)",
           "INSERT INTO T SELECT A FROM U ORDER BY 1",
           "DELETE FROM T WHERE A IN (SELECT B FROM U GROUP BY 1)",
           "SELECT A FROM T WHERE B IN (SELECT C FROM U ORDER BY 1)",
           "INSERT INTO T VALUES ({ ts '2001-01-01 00:00:00'})",
           "UPDATE T SET A = B",  // nothing to bind
       })
    EXPECT_EQ(Shape(sql), "(text)") << sql;
  EXPECT_EQ(Shape("INSERT INTO T VALUES (123456789012345678)"), "INSERT INTO T VALUES (?1)");
}

TEST_F(SqlShapeTest, PostgreSQLBindsOnlyLiteralsItReadsAsPlainOnes) {
  EXPECT_EQ(PgShape("INSERT INTO T (ID, NAME, AMOUNT, D) VALUES (12, 'it''s', 12.5,\r\n"
                    "TIMESTAMP '2003-07-01 14:05:09')"),
            "INSERT INTO T (ID, NAME, AMOUNT, D) VALUES ($1, $2, $3,\r\n$4)");
  EXPECT_EQ(Values(), "i:12 t:it's r:12.5 s:2003-07-01 14:05:09");
  EXPECT_EQ(PgShape("SELECT ID FROM T WHERE NAME LIKE 'a%' AND ID = -2147483647"),
            "SELECT ID FROM T WHERE NAME LIKE $1 AND ID = -$2");
  for (const char* sql : {
           "INSERT INTO T VALUES (E'a\\n')",            // escapes
           "INSERT INTO T VALUES (U&'d\\0061')",        // Unicode escapes
           "INSERT INTO T VALUES (B'101')",             // bits
           "INSERT INTO T VALUES ('a'\n'b')",           // one text on two lines
           "INSERT INTO T VALUES (DATE '2001-01-01')",  // a typed literal
           "INSERT INTO T VALUES (\"int4\" '5')",       // the same, type quoted
           "INSERT INTO T VALUES (2147483648)",         // int8, with its own rules
           "INSERT INTO T SELECT 'a', 1 FROM U",        // literals of a result
           "INSERT INTO [T] VALUES (1)",                // no name quote there
           "UPDATE T SET A = 'x'::text WHERE B = 1",    // a cast
       })
    EXPECT_EQ(PgShape(sql), "(text)") << sql;
}

TEST_F(SqlShapeTest, AStatementWithTooManyValuesRunsAsText) {
  std::string values;
  for (size_t i = 0; i < kMaxShapedValues; ++i) values += (i ? "," : "") + std::to_string(i);
  EXPECT_NE(Shape("INSERT INTO T VALUES (" + values + ")"), "(text)");
  EXPECT_EQ(Shape("INSERT INTO T VALUES (" + values + ",1)"), "(text)");
}

}  // namespace
}  // namespace vl
