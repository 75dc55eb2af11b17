#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"
#include "copy/copy_test_support.h"
#include "copy/db_conventions.h"
#include "copy/run_context.h"
#include "errors/vl_error.h"

namespace vl {
namespace {

class SqlLiteralTest : public ::testing::Test {};

TEST_F(SqlLiteralTest, NumbersUseAPointAndMayStandForNull) {
  EXPECT_EQ(FormatSQLValue(Variant::Long(0), true), "NULL");
  EXPECT_EQ(FormatSQLValue(Variant::Long(0), false), "0");
  EXPECT_EQ(FormatSQLValue(Variant::Double(0.4), true), "NULL");
  EXPECT_EQ(FormatSQLValue(Variant::Double(0.5), true), "NULL");  // rounds half to even
  EXPECT_EQ(FormatSQLValue(Variant::Double(1.5), true), "1.5");
  EXPECT_EQ(FormatSQLValue(Variant::Double(-0.4), true), "NULL");
  EXPECT_EQ(FormatSQLValue(Variant::Long(7)), "7");
  EXPECT_EQ(FormatSQLValue(Variant::Integer(-3)), "-3");
  EXPECT_EQ(FormatSQLValue(Variant::Double(12.5)), "12.5");
  EXPECT_EQ(FormatSQLValue(Variant::Single(0.1f)), "0.1");
  EXPECT_EQ(FormatSQLValue(Variant::Currency(2.75)), "2.75");
  EXPECT_EQ(FormatSQLValue(Variant::Double(1e20), true), "1E+20");  // no overflow
  EXPECT_EQ(SqlLong(2147483647), "2147483647");
  EXPECT_EQ(SqlLong(-1), "-1");
}

// Inserts each literal into SQLite and reads the stored text back.
class SqliteRoundTrip {
 public:
  SqliteRoundTrip() {
    EXPECT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    Exec("CREATE TABLE t (v TEXT)");
  }
  ~SqliteRoundTrip() { sqlite3_close(db_); }

  // The value stored by "INSERT ... VALUES (literal)"; "<NULL>" for NULL.
  std::string Store(const std::string& literal) {
    Exec("DELETE FROM t");
    Exec("INSERT INTO t (v) VALUES (" + literal + ")");
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, "SELECT v FROM t", -1, &st, nullptr), SQLITE_OK);
    std::string out = "<no row>";
    if (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(st, 0);
      out = text ? std::string(reinterpret_cast<const char*>(text),
                               static_cast<size_t>(sqlite3_column_bytes(st, 0)))
                 : "<NULL>";
    }
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE) << "one row only";
    sqlite3_finalize(st);
    return out;
  }

 private:
  void Exec(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &st, &tail),
              SQLITE_OK)
        << sqlite3_errmsg(db_) << " in " << sql;
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_finalize(st);
    EXPECT_EQ(tail, sql.data() + sql.size()) << "the literal ended the statement early";
  }
  sqlite3* db_ = nullptr;
};

// What the database should hold for a text: "|" as character 26, a pair of
// quotes read as one quote, NUL dropped, blank text empty.
std::string ExpectedStored(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\0') continue;
    if (s[i] == '\'' && i + 1 < s.size() && s[i + 1] == '\'') ++i;
    out += s[i] == '|' ? '\x1A' : s[i];
  }
  return out.find_first_not_of(' ') == std::string::npos ? "" : out;
}

TEST_F(SqlLiteralTest, AnyTextIsStoredAsTheRuleSays) {
  std::string controls;
  for (int c = 0; c < 32; ++c) controls += static_cast<char>(c);
  std::string longText;
  for (int i = 0; i < 10000; ++i) longText += "x'|\xC3\xA9 "[i % 6];
  std::vector<std::string> texts = {
      controls, longText, std::string("a\0b'); DROP TABLE t; --", 23),
      "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80"};
  for (const char* t : {"don't", "can''t", "'", "''", "'''", "a|b||", "   ", "",
                        "'); DROP TABLE t; --", "\x05\x01\x06vlUsers { ts '2003-07-01 14:05:09'}"})
    texts.push_back(t);
  SqliteRoundTrip db;
  for (const std::string& s : texts) {
    EXPECT_EQ(db.Store(FormatSQLValue(Variant::String(s))), ExpectedStored(s)) << s.size();
    EXPECT_EQ(db.Store(SqlText(s)), ExpectedStored(s)) << s.size();
  }
  EXPECT_EQ(db.Store(FormatSQLValue(Variant::String(""), true)), "<NULL>");
  EXPECT_EQ(db.Store(FormatSQLValue(Variant::Double(12.5))), "12.5");
}

}  // namespace
}  // namespace vl
