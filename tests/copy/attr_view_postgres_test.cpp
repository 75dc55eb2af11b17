// The attribute value views written for PostgreSQL, run on a server when
// one is named: VL_TEST_PG holds a libpq connection string (for example
// "host=/tmp/pg port=5432 user=postgres dbname=postgres") and psql must be
// installed. Without it the tests are skipped. Everything is made in a
// schema of its own, dropped at the end.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "copy/mod_attr_views.h"
#include "host/text/convert.h"

namespace vl {
namespace {

namespace fs = std::filesystem;

std::string WithoutMarkers(const std::string& sql) {
  std::string out;
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql.compare(i, kTableMarker.size(), kTableMarker) == 0) {
      i += kTableMarker.size() - 1;
      continue;
    }
    out += sql[i];
  }
  return out;
}

std::string SqlQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// Runs `script` with psql (stop at the first error, unaligned rows
// without headers); the output, or "<failed>" and psql's messages.
std::string RunPsql(const std::string& conninfo, const std::string& script) {
  std::random_device rd;
  const fs::path file = fs::temp_directory_path() / ("vl-h7-pg-" + std::to_string(rd()) + ".sql");
  std::ofstream(file) << script;
  const std::string command = "psql '" + conninfo + "' -X -q -A -t -v ON_ERROR_STOP=1 -f '" +
                              file.string() + "' 2>&1; echo \"<exit $?>\"";
  std::string out;
  if (std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose); pipe) {
    std::array<char, 4096> buf;
    while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe.get())) out.append(buf.data(), n);
  }
  std::error_code ec;
  fs::remove(file, ec);
  const std::string ok = "<exit 0>\n";
  if (out.size() >= ok.size() && out.compare(out.size() - ok.size(), ok.size(), ok) == 0)
    return out.substr(0, out.size() - ok.size());
  return "<failed>" + out;
}

class AttrViewPostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* conninfo = std::getenv("VL_TEST_PG");
    if (!conninfo || !*conninfo) GTEST_SKIP() << "VL_TEST_PG names no PostgreSQL server";
    conninfo_ = conninfo;
    std::random_device rd;
    schema_ = "vl_h7_" + std::to_string(rd());
  }

  // The script around `body`: a schema of its own with the value tables.
  std::string Script(const std::string& body) const {
    return "SET client_min_messages TO warning;\nCREATE SCHEMA " + schema_ +
           ";\nSET search_path TO " + schema_ +
           ";\n"
           "CREATE TABLE vlUserDefinedListValues (REQUIREMENTID INTEGER, FIELDID INTEGER, "
           "LISTITEMID INTEGER);\n"
           "CREATE TABLE vlUserDefinedListItems (ITEMID INTEGER PRIMARY KEY, FIELDID INTEGER, "
           "ITEMRANK INTEGER, ITEMTEXT TEXT, VLGUID TEXT);\n"
           "CREATE TABLE vlUserDefinedFieldValues (REQUIREMENTID INTEGER, FIELDID INTEGER, "
           "FIELDVALUE TEXT, OVERFLOWIND INTEGER, NUMERICVALUE REAL);\n" +
           body + "DROP SCHEMA " + schema_ + " CASCADE;\n";
  }

  std::string conninfo_, schema_;
};

TEST_F(AttrViewPostgresTest, WholeNumbersAreConvertedLikeTheClassicConversion) {
  const std::vector<std::string> texts = {"12",
                                          " 12 ",
                                          "-3",
                                          "+4",
                                          "12.5",
                                          "13.5",
                                          "-2.5",
                                          "-3.5",
                                          "0.5",
                                          ".5",
                                          "5.",
                                          "1e3",
                                          "1E+2",
                                          "-1e-1",
                                          "\t7\r\n",
                                          "high",
                                          "",
                                          "1e",
                                          "e5",
                                          ".",
                                          "+",
                                          "1.2.3",
                                          "1 2",
                                          "--5",
                                          "0x10",
                                          "2147483647",
                                          "2147483647.5",
                                          "-2147483648",
                                          "-2147483648.5",
                                          "-2147483649",
                                          "99999999999",
                                          "1e400",
                                          "-1e-400",
                                          "12abc",
                                          "0",
                                          "007"};
  std::string body;
  for (size_t i = 0; i < texts.size(); ++i)
    body += "INSERT INTO vlUserDefinedFieldValues (REQUIREMENTID, FIELDID, FIELDVALUE) VALUES (" +
            std::to_string(i + 1) + ", 5, " + SqlQuote(texts[i]) + ");\n";
  body += "INSERT INTO vlUserDefinedFieldValues (REQUIREMENTID, FIELDID, FIELDVALUE) VALUES (" +
          std::to_string(texts.size() + 1) + ", 5, NULL);\n";
  body += WithoutMarkers(BuildAttrViewForPostgreSQL_(5, 2)) + ";\n";
  body += "SELECT RequirementID, FieldValue FROM VlAttrValuesView_5 ORDER BY 1;\n";

  std::string expected;
  for (size_t i = 0; i < texts.size(); ++i)
    expected += std::to_string(i + 1) + "|" + std::to_string(ToLongOrZero(texts[i])) + "\n";
  expected += std::to_string(texts.size() + 1) + "|\n";
  EXPECT_EQ(RunPsql(conninfo_, Script(body)), expected);
}

}  // namespace
}  // namespace vl
