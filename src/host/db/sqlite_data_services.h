// The data services of a project database kept in an SQLite file.
//
// Every statement runs inside a transaction that is committed by Commit(),
// when the database is closed, and on its own every few thousand
// statements, so a long run stays fast and nothing written is lost when a
// later statement fails: a rejected statement undoes only itself.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/db/data_services.h"
#include "host/db/sql_shape.h"
#include "host/db/sqlite_schema_views.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vl {

// Receives every statement exactly as the database ran it (after the
// table marker and timestamp literals were resolved), including the
// transaction statements and the schema, in order. Only statements that
// succeeded are passed; the text carries no terminating ";". Written out
// one per line with ";" after each, the texts rebuild the database when
// fed to the sqlite3 shell.
using StatementLog = std::function<void(const std::string& statement)>;

struct SqliteOptions {
  // How long a statement waits for another connection's lock before it
  // fails with "database is locked".
  int busy_timeout_ms = 5000;
  // Statements between automatic commits.
  int commit_every = 5000;
  StatementLog log;
};

class SqliteDataServices : public DataServices {
 public:
  // Opens the database file at `path`, or a private in-memory database for
  // ":memory:". With `create`, a missing file is created (an empty
  // database); without, a missing file is an error. The database is put
  // into write-ahead-log mode and checked for being writable now. Throws
  // VlError(err::kDatabaseOpen, "VlDataServices", ...) naming the file and
  // the reason (missing, not a database, locked by another program, ...);
  // nothing is left open then.
  static std::unique_ptr<SqliteDataServices> OpenFile(const std::string& path, bool create,
                                                      const SqliteOptions& options = {});

  // Commits and closes; errors are swallowed (call Close() to see them).
  ~SqliteDataServices() override;
  SqliteDataServices(const SqliteDataServices&) = delete;
  SqliteDataServices& operator=(const SqliteDataServices&) = delete;

  std::unique_ptr<Recordset> ExecuteSQL(const std::string& sql) override;
  // With `forUpdate` the SELECT must read columns of one table (no
  // DISTINCT); Update() of the recordset then writes the changed columns
  // of the current row back to exactly that row.
  std::unique_ptr<Recordset> QueryRecordset(const std::string& sql,
                                            bool forUpdate = false) override;
  int32_t GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                     const std::string& keyClass, const std::string& valueColumn) override;
  // A plain CREATE VIEW is written into the schema table directly (see
  // sqlite_schema_views.h) after the checks SQLite makes: the text
  // compiles and the name is free. Every other statement runs as it is.
  void ExecuteDDL(const std::string& sql) override;
  int GetDBType() const override { return kDBSQLite; }
  void Commit() override;
  void Rollback() override;

  // Commits and closes the database. Afterwards every operation throws
  // VlError; a second call does nothing. When the final commit fails the
  // database is still closed and the error is thrown.
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  // True when views were written into the schema table that this
  // connection has not read back (committed or not).
  bool HoldsUnreadViews() const { return !unseen_views_.empty(); }
  // Copies what the write-ahead log holds into the database file, as far
  // as no reader prevents it; errors are ignored (the log keeps the data).
  void Checkpoint();
  const std::string& path() const { return path_; }
  void SetStatementLog(StatementLog log) { SetLog(std::move(log)); }

 private:
  SqliteDataServices(sqlite3* db, std::string path, const SqliteOptions& options);

  // Runs one statement text as the database reads it; collects its rows
  // when it returns any. Throws VlError naming the statement on failure.
  struct Result;
  Result Run(const std::string& text, bool collect);
  Result RunOnce(const std::string& text, bool collect);
  // Runs `text` through sqlite3_exec and logs it; throws as Run.
  void ExecLogged(const std::string& text);
  // Checks the view and queues it for WritePendingViews, which runs before
  // the transaction commits and before the schema is read again.
  void CreateViewInSchemaTable(const PlainView& view, const std::string& text);
  void WritePendingViews();
  // Raises the schema version, so that this connection (at its next
  // statement) and every other one read the schema again.
  void AnnounceSchemaChange();
  void CommitTransaction();
  void RunStep(sqlite3_stmt* stmt, const std::string& text, bool collect, Result& result);
  sqlite3_stmt* Prepare(const std::string& text);
  // A statement prepared once and kept until the database closes.
  sqlite3_stmt* CachedStatement(const std::string& text);
  // The two statements that draw a key of one class (from cached_), and
  // their texts as the log shows them.
  struct KeyStatements {
    std::string key_table, key_column, key_class, value_column;  // as asked for
    std::string table;                                           // without its marker
    sqlite3_stmt* update = nullptr;
    sqlite3_stmt* select = nullptr;
    std::string update_text, select_text;
  };
  const KeyStatements& KeyStatementsFor(const std::string& keyTable, const std::string& keyColumn,
                                        const std::string& keyClass,
                                        const std::string& valueColumn);
  // The prepared shape of `text` with its values bound, ready to step;
  // nullptr when the text is to be prepared as it stands.
  sqlite3_stmt* BindShaped(const std::string& text);
  void EnsureTransaction();
  void CountStatement();
  void CheckOpen() const;
  [[noreturn]] void ThrowStatementError(const std::string& text, bool was_in_transaction) const;

  std::unique_ptr<Recordset> MakeUpdatable(const std::string& text);
  void WriteRowBack(const std::string& table, const std::vector<std::string>& origins,
                    const std::vector<Variant>& original, const std::vector<Variant>& edited,
                    const std::vector<size_t>& changed);

  sqlite3* db_ = nullptr;
  std::string path_;
  SqliteOptions options_;
  int since_commit_ = 0;
  std::map<std::string, sqlite3_stmt*> cached_;
  std::vector<KeyStatements> keys_;  // a few key classes: searched in turn
  // Prepared statement shapes (nullptr for a shape the database refused);
  // shape_ is reused for every statement, sparing its buffers.
  std::map<std::string, sqlite3_stmt*, std::less<>> shapes_;
  ShapedStatement shape_;
  // Recordsets that may write back hold a weak copy: once the database is
  // gone, their Update() fails cleanly instead of touching freed memory.
  std::shared_ptr<SqliteDataServices*> alive_;
  UnseenViews unseen_views_;
  std::vector<PlainView> views_to_write_;
  std::unordered_set<std::string> compiled_view_shapes_;
};

// The SQL literal SQLite reads for `value` (NULL, numbers, quoted text,
// dates as 'yyyy-mm-dd hh:mm:ss'); exact for every value.
std::string SqliteLiteral(const Variant& value);

}  // namespace vl
