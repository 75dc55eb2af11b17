#include "host/db/sqlite_data_services.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>

#include "errors/vl_error.h"
#include "host/db/sql_rewrite.h"
#include "host/text/convert.h"

namespace vl {

namespace {

constexpr const char* kSource = "VlDataServices";
// Distinct statement shapes kept prepared; a run has a few dozen, so
// reaching this means texts that do not repeat: start afresh.
constexpr size_t kMaxPreparedShapes = 500;

struct StmtDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

std::string QuoteText(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string QuoteIdentifier(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

bool IsPlainIdentifier(const std::string& s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

bool IsDateColumnType(const char* decltype_text) {
  if (!decltype_text) return false;
  const std::string t = UCase(decltype_text);
  return t.find("DATE") != std::string::npos || t.find("TIME") != std::string::npos;
}

// "yyyy-mm-dd hh:mm:ss" exactly, as date columns are stored.
bool ParseStoredDate(const unsigned char* s, int n, VlDate& d) {
  if (n != 19) return false;
  auto digits = [&](int from, int count, int& out) {
    out = 0;
    for (int i = from; i < from + count; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      out = out * 10 + (s[i] - '0');
    }
    return true;
  };
  if (s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return false;
  if (!digits(0, 4, d.year) || !digits(5, 2, d.month) || !digits(8, 2, d.day) ||
      !digits(11, 2, d.hour) || !digits(14, 2, d.minute) || !digits(17, 2, d.second))
    return false;
  return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31 && d.hour < 24 &&
         d.minute < 60 && d.second < 60;
}

Variant ReadColumn(sqlite3_stmt* st, int i, bool date_column) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 v = sqlite3_column_int64(st, i);
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant::Long(static_cast<int32_t>(v));
      return Variant::Double(static_cast<double>(v));
    }
    case SQLITE_FLOAT:
      return Variant::Double(sqlite3_column_double(st, i));
    case SQLITE_TEXT: {
      const unsigned char* text = sqlite3_column_text(st, i);
      const int n = sqlite3_column_bytes(st, i);
      VlDate d;
      if (date_column && ParseStoredDate(text, n, d)) return Variant::Date(d);
      return Variant::String(std::string(reinterpret_cast<const char*>(text), n));
    }
    case SQLITE_BLOB: {
      const void* blob = sqlite3_column_blob(st, i);
      const int n = sqlite3_column_bytes(st, i);
      return Variant::String(n > 0 ? std::string(static_cast<const char*>(blob), n) : "");
    }
    default:
      return Variant::Null();
  }
}

std::string NumberLiteral(double v) {
  if (std::isnan(v)) return "NULL";
  if (std::isinf(v)) return v > 0 ? "9e999" : "-9e999";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

// True when `text` starts with the word `word` (any case) after blanks;
// `pos` is then set behind the word.
bool StartsWithWord(const std::string& text, size_t& pos, const char* word) {
  size_t i = pos;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  const size_t n = std::char_traits<char>::length(word);
  if (text.size() < i + n) return false;
  for (size_t k = 0; k < n; ++k)
    if (std::toupper(static_cast<unsigned char>(text[i + k])) != word[k]) return false;
  if (i + n < text.size() &&
      (std::isalnum(static_cast<unsigned char>(text[i + n])) || text[i + n] == '_'))
    return false;
  pos = i + n;
  return true;
}

[[noreturn]] void ThrowOpenError(const std::string& path, const std::string& reason) {
  throw VlError(err::kDatabaseOpen, kSource,
                "Cannot open the database file \"" + path + "\": " + reason);
}

}  // namespace

std::string SqliteLiteral(const Variant& value) {
  switch (value.type()) {
    case vbInteger:
    case vbLong:
    case vbBoolean:
      return std::to_string(value.AsInt());
    case vbSingle: {
      char buf[64];
      auto res = std::to_chars(buf, buf + sizeof buf, static_cast<float>(value.AsDouble()));
      const std::string s(buf, res.ptr);
      return std::isfinite(value.AsDouble()) ? s : NumberLiteral(value.AsDouble());
    }
    case vbDouble:
    case vbCurrency:
      return NumberLiteral(value.AsDouble());
    case vbDate:
      return QuoteText(FormatDateTime(value.AsDate()));
    case vbString: {
      const std::string& s = value.AsString();
      if (s.find('\0') == std::string::npos) return QuoteText(s);
      // A statement text ends at a NUL, so such a text goes in as bytes.
      constexpr const char* hex = "0123456789ABCDEF";
      std::string out = "CAST(X'";
      for (unsigned char c : s) {
        out += hex[c >> 4];
        out += hex[c & 15];
      }
      return out + "' AS TEXT)";
    }
    default:
      return "NULL";
  }
}

struct SqliteDataServices::Result {
  std::vector<std::string> columns;
  std::vector<std::string> tables;   // table of each column, "" for an expression
  std::vector<std::string> origins;  // column of that table each comes from
  std::vector<Recordset::Row> rows;
  bool returns_rows = false;
  int changes = 0;  // rows written by an INSERT, UPDATE or DELETE
};

std::unique_ptr<SqliteDataServices> SqliteDataServices::OpenFile(const std::string& path,
                                                                 bool create,
                                                                 const SqliteOptions& options) {
  if (path.empty()) ThrowOpenError(path, "no file name was given");
  const bool in_memory = path == ":memory:";
  std::error_code ec;
  if (!in_memory && !create && !std::filesystem::exists(path, ec))
    ThrowOpenError(path, "the file does not exist");
  if (!in_memory && std::filesystem::is_directory(path, ec))
    ThrowOpenError(path, "it is a folder, not a file");

  // The library keeps no memory statistics: without them none of its
  // allocations takes a lock. Only possible before the library starts;
  // afterwards the call is refused and changes nothing.
  static const int no_memory_statistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)no_memory_statistics;

  sqlite3* db = nullptr;
  // One connection is used by one thread at a time: no locking inside.
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    const std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    ThrowOpenError(path, reason);
  }
  sqlite3_extended_result_codes(db, 1);
  // Views are written into the schema table (sqlite_schema_views.h),
  // which defensive mode refuses; a library built with it on must not
  // make every project with attributes fail.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
  sqlite3_busy_timeout(db, options.busy_timeout_ms);

  // Checks that the file is a database we can write now, and switches it to
  // write-ahead logging (readers never wait for the writer).
  auto exec = [&](const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
      std::string reason = msg ? msg : sqlite3_errmsg(db);
      sqlite3_free(msg);
      sqlite3_close_v2(db);
      if (reason == "database is locked") reason = "the database is locked by another program";
      ThrowOpenError(path, reason);
    }
  };
  // Long runs write much: a larger page cache and fewer, larger
  // checkpoints keep them fast. 8 MB of cache hold the indexes a run
  // searches; more makes a run of 100,000 requirements no faster, only
  // larger. Nothing here changes what is stored.
  static const char* const kSettings[] = {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
                                          "PRAGMA cache_size=-8192",
                                          "PRAGMA wal_autocheckpoint=10000"};
  for (const char* setting : kSettings) exec(setting);
  if (sqlite3_db_readonly(db, "main") == 1) {
    sqlite3_close_v2(db);
    ThrowOpenError(path, "the file cannot be written (read-only)");
  }
  exec("BEGIN IMMEDIATE");
  exec("ROLLBACK");

  std::unique_ptr<SqliteDataServices> ds(new SqliteDataServices(db, path, options));
  // The log replays with the same settings, so a replay does the same work.
  for (const char* setting : kSettings) ds->Log(setting);
  return ds;
}

SqliteDataServices::SqliteDataServices(sqlite3* db, std::string path, const SqliteOptions& options)
    : db_(db),
      path_(std::move(path)),
      options_(options),
      alive_(std::make_shared<SqliteDataServices*>(this)) {
  if (options_.commit_every < 1) options_.commit_every = 1;
  SetLog(options_.log);
}

SqliteDataServices::~SqliteDataServices() {
  try {
    Close();
  } catch (...) {
    // Nothing can be reported from here; Close() is the place to see it.
  }
}

void SqliteDataServices::Close() {
  if (!db_) return;
  std::exception_ptr failure;
  try {
    if (commits_held()) Rollback();
    // Views written into the schema table are announced, so that other
    // connections read them; this one closes without reading them itself.
    if (!unseen_views_.empty()) {
      EnsureTransaction();
      AnnounceSchemaChange();
      CommitTransaction();
    } else if (!commits_held()) {
      Commit();
    }
  } catch (const std::exception&) {
    failure = std::current_exception();
  }
  keys_.clear();
  for (auto& [text, stmt] : cached_) sqlite3_finalize(stmt);
  cached_.clear();
  for (auto& [text, stmt] : shapes_) sqlite3_finalize(stmt);
  shapes_.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
  alive_.reset();
  if (failure) std::rethrow_exception(failure);
}

void SqliteDataServices::Checkpoint() {
  if (db_) sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void SqliteDataServices::CheckOpen() const {
  if (!db_) throw VlError(err::kDatabase, kSource, "The database \"" + path_ + "\" is closed.");
}

void SqliteDataServices::ThrowStatementError(const std::string& text,
                                             bool was_in_transaction) const {
  std::string description = sqlite3_errmsg(db_);
  if (was_in_transaction && sqlite3_get_autocommit(db_))
    description += ". The database undid the statements run since the last commit";
  description += " (statement: " + ShortenStatement(text) + ")";
  throw VlError(err::kDatabase, kSource, description);
}

void SqliteDataServices::EnsureTransaction() {
  if (!sqlite3_get_autocommit(db_)) return;
  // A transaction that ended without Commit() took its views with it.
  unseen_views_.TransactionUndone();
  views_to_write_.clear();
  // A transaction whose commits are held writes into a database others
  // use: it takes the write lock at once (waiting for it as long as for
  // any lock) rather than find later that another writer came first.
  const char* begin = commits_held() ? "BEGIN IMMEDIATE" : "BEGIN";
  char* msg = nullptr;
  if (sqlite3_exec(db_, begin, nullptr, nullptr, &msg) != SQLITE_OK) {
    const std::string reason = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    throw VlError(err::kDatabase, kSource,
                  "Cannot begin a transaction on \"" + path_ + "\": " + reason);
  }
  Log(begin);
  since_commit_ = 0;
}

void SqliteDataServices::Commit() {
  CheckOpen();
  if (commits_held() || sqlite3_get_autocommit(db_)) return;
  CommitTransaction();
}

void SqliteDataServices::CommitTransaction() {
  WritePendingViews();
  char* msg = nullptr;
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, &msg) != SQLITE_OK) {
    const std::string reason = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    throw VlError(err::kDatabase, kSource,
                  "Cannot commit the changes to \"" + path_ + "\": " + reason);
  }
  Log("COMMIT");
  since_commit_ = 0;
  unseen_views_.TransactionCommitted();
}

void SqliteDataServices::Rollback() {
  CheckOpen();
  since_commit_ = 0;
  unseen_views_.TransactionUndone();
  views_to_write_.clear();
  if (sqlite3_get_autocommit(db_)) return;
  char* msg = nullptr;
  if (sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, &msg) != SQLITE_OK) {
    const std::string reason = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    throw VlError(err::kDatabase, kSource,
                  "Cannot undo the changes to \"" + path_ + "\": " + reason);
  }
  Log("ROLLBACK");
}

void SqliteDataServices::CountStatement() {
  if (++since_commit_ >= options_.commit_every) Commit();
}

sqlite3_stmt* SqliteDataServices::Prepare(const std::string& text) {
  if (text.find('\0') != std::string::npos)
    throw VlError(
        err::kDatabase, kSource,
        "The statement holds a NUL character (statement: " + ShortenStatement(text) + ")");
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const bool in_transaction = !sqlite3_get_autocommit(db_);
  if (sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size()), &raw, &tail) !=
      SQLITE_OK)
    ThrowStatementError(text, in_transaction);
  StmtPtr stmt(raw);
  if (!stmt)
    throw VlError(err::kDatabase, kSource, "The statement is empty (statement: " + text + ")");
  // One statement per call: text after it (a second statement smuggled in
  // through a value, say) is refused rather than run.
  sqlite3_stmt* extra = nullptr;
  const char* end = text.c_str() + text.size();
  const int rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &extra, nullptr);
  sqlite3_finalize(extra);
  if (rc != SQLITE_OK || extra)
    throw VlError(
        err::kDatabase, kSource,
        "The text holds more than one statement (statement: " + ShortenStatement(text) + ")");
  return stmt.release();
}

void SqliteDataServices::RunStep(sqlite3_stmt* stmt, const std::string& text, bool collect,
                                 Result& result) {
  const int ncol = sqlite3_column_count(stmt);
  result.returns_rows = ncol > 0;
  std::vector<bool> date_column(ncol);
  for (int i = 0; i < ncol; ++i) {
    const char* name = sqlite3_column_name(stmt, i);
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    result.columns.emplace_back(name ? name : "");
    result.tables.emplace_back(table ? table : "");
    result.origins.emplace_back(origin ? origin : "");
    date_column[i] = IsDateColumnType(sqlite3_column_decltype(stmt, i));
  }
  const bool in_transaction = !sqlite3_get_autocommit(db_);
  for (;;) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) ThrowStatementError(text, in_transaction);
    if (!collect) continue;
    Recordset::Row row;
    row.reserve(ncol);
    for (int i = 0; i < ncol; ++i) row.push_back(ReadColumn(stmt, i, date_column[i]));
    result.rows.push_back(std::move(row));
  }
}

sqlite3_stmt* SqliteDataServices::BindShaped(const std::string& text) {
  if (text.find('\0') != std::string::npos || !ShapeStatement(text, shape_)) return nullptr;
  auto it = shapes_.find(shape_.shape);
  if (it == shapes_.end()) {
    if (shapes_.size() >= kMaxPreparedShapes) {
      for (auto& [shape, stmt] : shapes_) sqlite3_finalize(stmt);
      shapes_.clear();
    }
    // A shape the database refuses is remembered as such; its texts are
    // prepared as they stand, so the database's message names them.
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_, shape_.shape.c_str(), static_cast<int>(shape_.shape.size()),
                           SQLITE_PREPARE_PERSISTENT, &stmt, &tail) != SQLITE_OK ||
        (tail && *tail) || sqlite3_bind_parameter_count(stmt) != int(shape_.values.size())) {
      sqlite3_finalize(stmt);
      stmt = nullptr;
    }
    it = shapes_.emplace(shape_.shape, stmt).first;
  }
  sqlite3_stmt* stmt = it->second;
  if (!stmt) return nullptr;
  int rc = SQLITE_OK;
  for (size_t k = 0; k < shape_.values.size() && rc == SQLITE_OK; ++k) {
    const ShapedStatement::Value& v = shape_.values[k];
    const int n = static_cast<int>(k) + 1;
    if (v.kind == ShapedStatement::Kind::kInteger)
      rc = sqlite3_bind_int64(stmt, n, v.integer);
    else
      rc =
          sqlite3_bind_text(stmt, n, v.text.data(), static_cast<int>(v.text.size()), SQLITE_STATIC);
  }
  if (rc != SQLITE_OK) {
    sqlite3_clear_bindings(stmt);
    return nullptr;
  }
  return stmt;
}

SqliteDataServices::Result SqliteDataServices::Run(const std::string& text, bool collect) {
  CheckOpen();
  if (unseen_views_.empty()) return RunOnce(text, collect);
  // A statement that changes the schema must see every view; one that
  // names a view the connection has not read yet fails once, and runs
  // again once the schema is read.
  if (ChangesSchema(text)) {
    EnsureTransaction();
    AnnounceSchemaChange();
    return RunOnce(text, collect);
  }
  // One that reads the schema table sees the views queued for it.
  if (!views_to_write_.empty() && ReadsSchemaTable(text)) WritePendingViews();
  try {
    return RunOnce(text, collect);
  } catch (const VlError& e) {
    if (!NamesMissingTableOrView(e.description())) throw;
  }
  EnsureTransaction();
  AnnounceSchemaChange();
  return RunOnce(text, collect);
}

SqliteDataServices::Result SqliteDataServices::RunOnce(const std::string& text, bool collect) {
  EnsureTransaction();
  Result result;
  if (sqlite3_stmt* shaped = BindShaped(text)) {
    // Kept prepared for the next text of the same shape: only reset.
    struct Reset {
      sqlite3_stmt* stmt;
      ~Reset() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
      }
    } reset{shaped};
    RunStep(shaped, text, collect, result);
    result.changes = sqlite3_changes(db_);
  } else {
    StmtPtr stmt(Prepare(text));
    RunStep(stmt.get(), text, collect, result);
    result.changes = sqlite3_changes(db_);
  }
  Log(text);
  CountStatement();
  return result;
}

std::unique_ptr<Recordset> SqliteDataServices::ExecuteSQL(const std::string& sql) {
  Result r = Run(RewriteStatement(sql, kDBSQLite), true);
  if (!r.returns_rows) return nullptr;
  return std::make_unique<Recordset>(std::move(r.columns), std::move(r.rows));
}

std::unique_ptr<Recordset> SqliteDataServices::QueryRecordset(const std::string& sql,
                                                              bool forUpdate) {
  const std::string text = RewriteStatement(sql, kDBSQLite);
  if (forUpdate) return MakeUpdatable(text);
  Result r = Run(text, true);
  return std::make_unique<Recordset>(std::move(r.columns), std::move(r.rows));
}

void SqliteDataServices::ExecuteDDL(const std::string& sql) {
  const std::string text = RewriteStatement(sql, kDBSQLite);
  if (std::optional<PlainView> view = ParsePlainCreateView(text))
    CreateViewInSchemaTable(*view, text);
  else
    Run(text, false);
}

void SqliteDataServices::ExecLogged(const std::string& text) {
  const bool in_transaction = !sqlite3_get_autocommit(db_);
  if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    ThrowStatementError(text, in_transaction);
  Log(text);
}

void SqliteDataServices::CreateViewInSchemaTable(const PlainView& view, const std::string& text) {
  CheckOpen();
  if (unseen_views_.Contains(view.name))
    throw VlError(
        err::kDatabase, kSource,
        "view " + view.name + " already exists (statement: " + ShortenStatement(text) + ")");
  EnsureTransaction();
  // SQLite refuses here what it would refuse when running the statement:
  // its syntax (compiled once per shape: the views of a run differ in
  // their numbers only), and a name that a table, view or index of the
  // schema the connection knows has taken. Compiled, never run.
  const std::string shape = PlainViewShape(view, text);
  if (!compiled_view_shapes_.count(shape)) {
    const StmtPtr compiled(Prepare(text));
    compiled_view_shapes_.insert(shape);
  } else {
    const StmtPtr named(Prepare("CREATE VIEW " + view.name + " AS SELECT 1"));
  }
  views_to_write_.push_back(view);
  unseen_views_.Add(view.name);
  CountStatement();
}

void SqliteDataServices::WritePendingViews() {
  if (views_to_write_.empty()) return;
  std::vector<PlainView> views = std::move(views_to_write_);
  views_to_write_.clear();
  // Switching the schema table's protection off and on makes SQLite
  // prepare every statement anew: once for all views since the last
  // commit, not once per view.
  ExecLogged("PRAGMA writable_schema = ON");
  try {
    for (const PlainView& view : views)
      ExecLogged(
          "INSERT INTO sqlite_master (type, name, tbl_name, rootpage, sql) VALUES ('view', " +
          QuoteText(view.name) + ", " + QuoteText(view.name) + ", 0, " +
          QuoteText(view.stored_sql) + ")");
  } catch (const VlError&) {
    sqlite3_exec(db_, "PRAGMA writable_schema = OFF", nullptr, nullptr, nullptr);
    Log("PRAGMA writable_schema = OFF");
    throw;
  }
  ExecLogged("PRAGMA writable_schema = OFF");
}

void SqliteDataServices::AnnounceSchemaChange() {
  WritePendingViews();
  sqlite3_stmt* raw = nullptr;
  int version = 0;
  if (sqlite3_prepare_v2(db_, "PRAGMA schema_version", -1, &raw, nullptr) == SQLITE_OK &&
      sqlite3_step(raw) == SQLITE_ROW)
    version = sqlite3_column_int(raw, 0);
  sqlite3_finalize(raw);
  ExecLogged("PRAGMA schema_version = " + std::to_string(version + 1));
  unseen_views_.Seen();
  // A shape refused for naming such a view gets another chance.
  std::erase_if(shapes_, [](const auto& shape) { return shape.second == nullptr; });
}

sqlite3_stmt* SqliteDataServices::CachedStatement(const std::string& text) {
  auto it = cached_.find(text);
  if (it != cached_.end()) return it->second;
  sqlite3_stmt* stmt = Prepare(text);
  cached_.emplace(text, stmt);
  return stmt;
}

const SqliteDataServices::KeyStatements& SqliteDataServices::KeyStatementsFor(
    const std::string& keyTable, const std::string& keyColumn, const std::string& keyClass,
    const std::string& valueColumn) {
  for (const KeyStatements& k : keys_)
    if (k.key_class == keyClass && k.key_table == keyTable && k.key_column == keyColumn &&
        k.value_column == valueColumn)
      return k;
  KeyStatements k;
  k.key_table = keyTable;
  k.key_column = keyColumn;
  k.key_class = keyClass;
  k.value_column = valueColumn;
  k.table = ResolveTableName(keyTable);
  for (const std::string* name :
       std::initializer_list<const std::string*>{&k.table, &keyColumn, &valueColumn})
    if (!IsPlainIdentifier(*name))
      throw VlError(err::kDatabase, kSource,
                    "The key table or column name \"" + *name + "\" is not a plain name.");
  const std::string bump =
      "UPDATE " + k.table + " SET " + valueColumn + " = " + valueColumn + " + 1 WHERE " + keyColumn;
  const std::string read = "SELECT " + valueColumn + " FROM " + k.table + " WHERE " + keyColumn;
  k.update = CachedStatement(bump + " = ?1");
  k.select = CachedStatement(read + " = ?1");
  k.update_text = bump + " = " + QuoteText(keyClass);
  k.select_text = read + " = " + QuoteText(keyClass);
  keys_.push_back(std::move(k));
  return keys_.back();
}

int32_t SqliteDataServices::GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                                       const std::string& keyClass,
                                       const std::string& valueColumn) {
  CheckOpen();
  // Keys are drawn once per row written: both statements are prepared
  // once per key class and kept.
  const KeyStatements& k = KeyStatementsFor(keyTable, keyColumn, keyClass, valueColumn);
  EnsureTransaction();
  const bool in_transaction = !sqlite3_get_autocommit(db_);
  auto step = [&](sqlite3_stmt* stmt, const std::string& as_text) {
    sqlite3_reset(stmt);
    sqlite3_bind_text(stmt, 1, keyClass.data(), static_cast<int>(keyClass.size()),
                      SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) ThrowStatementError(as_text, in_transaction);
    return rc;
  };
  step(k.update, k.update_text);
  const bool found = sqlite3_changes(db_) > 0;
  sqlite3_reset(k.update);
  Log(k.update_text);
  CountStatement();
  if (!found) {
    Run("INSERT INTO " + k.table + " (" + keyColumn + ", " + valueColumn + ") VALUES (" +
            QuoteText(keyClass) + ", 1)",
        false);
    return 1;
  }
  const int rc = step(k.select, k.select_text);
  const int type = rc == SQLITE_ROW ? sqlite3_column_type(k.select, 0) : SQLITE_NULL;
  const sqlite3_int64 value = rc == SQLITE_ROW ? sqlite3_column_int64(k.select, 0) : 0;
  sqlite3_reset(k.select);
  Log(k.select_text);
  CountStatement();
  if (type != SQLITE_INTEGER)
    throw VlError(err::kDatabase, kSource,
                  "The key of class \"" + keyClass + "\" in " + k.table + " is not a number.");
  if (value > INT32_MAX || value < INT32_MIN)
    throw VlError(err::kOverflow, kSource,
                  "The keys of class \"" + keyClass + "\" in " + k.table + " are exhausted.");
  return static_cast<int32_t>(value);
}

std::unique_ptr<Recordset> SqliteDataServices::MakeUpdatable(const std::string& text) {
  // The row's rowid rides along behind the visible columns, so Update()
  // writes back to exactly the row that was read.
  size_t pos = 0;
  if (!StartsWithWord(text, pos, "SELECT"))
    throw VlError(
        err::kDatabase, kSource,
        "An editable recordset needs a SELECT (statement: " + ShortenStatement(text) + ")");
  size_t probe = pos;
  if (StartsWithWord(text, probe, "DISTINCT") || StartsWithWord(text, probe, "ALL"))
    throw VlError(err::kDatabase, kSource,
                  "An editable recordset cannot read DISTINCT rows (statement: " +
                      ShortenStatement(text) + ")");
  const std::string with_rowid = text.substr(0, pos) + " rowid," + text.substr(pos);
  Result r = Run(with_rowid, true);

  std::string table;
  for (size_t i = 1; i < r.tables.size(); ++i) {
    if (r.tables[i].empty()) continue;
    if (table.empty()) table = r.tables[i];
    if (r.tables[i] != table)
      throw VlError(
          err::kDatabase, kSource,
          "An editable recordset must read one table (statement: " + ShortenStatement(text) + ")");
  }
  if (table.empty())
    throw VlError(err::kDatabase, kSource,
                  "The recordset reads no table column and cannot be edited (statement: " +
                      ShortenStatement(text) + ")");

  std::vector<std::string> columns(r.columns.begin() + 1, r.columns.end());
  std::vector<std::string> origins(r.origins.begin() + 1, r.origins.end());
  for (size_t i = 1; i < r.tables.size(); ++i)
    if (r.tables[i] != table) origins[i - 1].clear();  // an expression: not writable
  std::vector<Recordset::Row> rows;
  rows.reserve(r.rows.size());
  for (Recordset::Row& row : r.rows) {
    Recordset::Row visible(row.begin() + 1, row.end());
    visible.push_back(row[0]);  // hidden behind the named columns
    rows.push_back(std::move(visible));
  }
  std::weak_ptr<SqliteDataServices*> alive = alive_;
  auto writer = [alive, table, origins](
                    const std::vector<std::string>&, const Recordset::Row& original,
                    const Recordset::Row& edited, const std::vector<size_t>& changed) {
    auto self = alive.lock();
    if (!self)
      throw VlError(err::kDatabase, kSource,
                    "The database of this recordset is closed; the row cannot be updated.");
    (*self)->WriteRowBack(table, origins, original, edited, changed);
  };
  return std::make_unique<Recordset>(std::move(columns), std::move(rows), writer);
}

void SqliteDataServices::WriteRowBack(const std::string& table,
                                      const std::vector<std::string>& origins,
                                      const std::vector<Variant>& original,
                                      const std::vector<Variant>& edited,
                                      const std::vector<size_t>& changed) {
  const Variant& rowid = original.at(origins.size());
  if (rowid.type() != vbLong && rowid.type() != vbDouble)
    throw VlError(err::kDatabase, kSource,
                  "The row of table " + table + " cannot be located to update it.");
  std::string sql = "UPDATE " + QuoteIdentifier(table) + " SET ";
  for (size_t k = 0; k < changed.size(); ++k) {
    const size_t c = changed[k];
    if (origins[c].empty())
      throw VlError(err::kDatabase, kSource,
                    "The field " + std::to_string(c) + " is computed and cannot be updated.");
    if (k > 0) sql += ", ";
    sql += QuoteIdentifier(origins[c]) + " = " + SqliteLiteral(edited[c]);
  }
  sql += " WHERE rowid = " + SqliteLiteral(rowid);
  if (Run(sql, false).changes != 1)
    throw VlError(err::kDatabase, kSource,
                  "The row to update no longer exists (statement: " + ShortenStatement(sql) + ")");
}

}  // namespace vl
