#include "host/db/pg_row_runs.h"

#include <gtest/gtest.h>

namespace vl {
namespace {

TEST(PgRowRunsTest, ARowInsertRepeatsItsRowWithTheParametersNumberedOn) {
  RowRunShape run;
  ASSERT_TRUE(SplitRowRun("INSERT\r\nINTO VlToRelationships (A,\r\nB) VALUES ($1, \r\n$2)", run));
  EXPECT_EQ(run.table, "vltorelationships");
  EXPECT_EQ(RowRunText(run, 3),
            "INSERT\r\nINTO VlToRelationships (A,\r\nB) VALUES ($1, \r\n$2), ($3, \r\n$4), ($5, "
            "\r\n$6)");
  // A quoted name is the table as written; "$1" inside a quoted name is no
  // parameter; NULL stays in every row.
  ASSERT_TRUE(SplitRowRun("insert into \"My \"\"T\"\"\" (\"A$1\", B) values (-$1, NULL)", run));
  EXPECT_EQ(run.table, "My \"\"T\"\"");
  EXPECT_EQ(run.written_table, "\"My \"\"T\"\"\"");
  EXPECT_EQ(RowRunText(run, 2),
            "insert into \"My \"\"T\"\"\" (\"A$1\", B) values (-$1, NULL), (-$2, NULL)");
  // As arrays: the row reads its parameters from the arrays' columns.
  EXPECT_EQ(RowRunArraysText(run, {"int4"}),
            "insert into \"My \"\"T\"\"\" (\"A$1\", B) SELECT -vl_rows.c1, NULL FROM "
            "(SELECT unnest($1::int4[]) AS c1) AS vl_rows");
  // DEFAULT has no place in a select list.
  ASSERT_TRUE(SplitRowRun("INSERT INTO T (A, B) VALUES ($1, Default)", run));
  EXPECT_FALSE(run.selectable);
}

TEST(PgRowRunsTest, WhatIsMoreThanOneRowOfOneTableIsNoRowRun) {
  RowRunShape run;
  for (const char* shape : {
           "INSERT INTO s.T (A) VALUES ($1)",            // a schema in front
           "INSERT INTO T (A) VALUES ($1) RETURNING A",  // rows back
           "INSERT INTO T (A) VALUES ($1), ($2)",        // already several rows
           "INSERT INTO T (A) VALUES ($1) ON CONFLICT DO NOTHING", "INSERT INTO T (A) SELECT $1",
           "UPDATE T SET A = $1",
           "INSERT INTO T (A) VALUES (1)",  // nothing bound
       })
    EXPECT_FALSE(SplitRowRun(shape, run)) << shape;
}

}  // namespace
}  // namespace vl
