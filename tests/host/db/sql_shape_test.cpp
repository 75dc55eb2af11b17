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

// The part before a write's values is scanned once per text and then taken
// as known: every statement shapes as its text read whole does (read whole
// here by spelling "VALUES (" with a tab, which no kept part matches).
TEST(SqlShapeTest, AKnownPartBeforeTheValuesShapesAsTheWholeText) {
  const char* statements[] = {
      "INSERT INTO T (A, B) VALUES (1, 'x')",
      "INSERT INTO T (A, B) VALUES ('it''s', 2.5)",
      "INSERT INTO T (\"VALUES (\", B) VALUES (1, 2)",
      "INSERT INTO T (A) SELECT 1 FROM U WHERE X IN (VALUES (1))",
      "INSERT INTO T (A, B) VALUES (1, 'x') -- after",
      "INSERT INTO \"T VALUES (\" VALUES (3)",
      "INSERT INTO T (A, 'B') VALUES (1, 2)",
      "INSERT INTO T (A) VALUES (TIMESTAMP '2001-02-03 04:05:06')",
      "UPDATE T SET A = 1 WHERE B IN (VALUES (2))",
  };
  for (SqlDialect dialect : {SqlDialect::kSQLite, SqlDialect::kPostgreSQL}) {
    for (int round = 0; round < 2; ++round) {
      for (const std::string sql : statements) {
        SCOPED_TRACE(sql);
        std::string whole = sql;
        for (size_t at = whole.find("VALUES ("); at != std::string::npos;
             at = whole.find("VALUES (", at))
          whole[at + 6] = '\t';
        ShapedStatement split, read_whole;
        const bool shaped = ShapeStatement(sql, split, dialect);
        ASSERT_EQ(shaped, ShapeStatement(whole, read_whole, dialect));
        if (!shaped) continue;
        std::string shape = read_whole.shape;
        for (size_t at = shape.find("VALUES\t("); at != std::string::npos;
             at = shape.find("VALUES\t(", at))
          shape[at + 6] = ' ';
        EXPECT_EQ(split.shape, shape);
        ASSERT_EQ(split.values.size(), read_whole.values.size());
        for (size_t i = 0; i < split.values.size(); ++i) {
          EXPECT_EQ(split.values[i].kind, read_whole.values[i].kind);
          EXPECT_EQ(split.values[i].text, read_whole.values[i].text);
          EXPECT_EQ(split.values[i].integer, read_whole.values[i].integer);
        }
      }
    }
  }
}

}  // namespace
}  // namespace vl
