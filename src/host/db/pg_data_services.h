// The data services of a project database kept on a PostgreSQL server, in
// a schema of its own.
//
// As on the file database, statements run inside a transaction that is
// committed by Commit(), when the data services are closed and on its own
// every few thousand statements. The server gives up a whole transaction when one statement
// in it fails, so every statement runs under a savepoint of its own: a
// rejected statement undoes only itself and the rows written before it
// stay.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/db/data_services.h"
#include "host/db/pg_connection.h"

namespace vl {

// Receives every statement the data services ran, as the server ran it
// (table markers and timestamp literals resolved), including BEGIN and
// COMMIT and the key table writes, in order; only statements that
// succeeded. Fed to psql with ";" after each, the texts rebuild the schema.
using PgStatementLog = std::function<void(const std::string& statement)>;

struct PgOptions {
  PgConnectOptions connect;
  // Statements between automatic commits.
  int commit_every = 5000;
  PgStatementLog log;
};

class PgDataServices : public DataServices {
 public:
  // Connects to the server and uses the location's schema (PgConnection::Open
  // says what can fail). The schema need not exist yet: CREATE SCHEMA on
  // these data services makes it.
  static std::unique_ptr<PgDataServices> Connect(const PgLocation& where,
                                                 const PgOptions& options = {});

  // Commits and closes; errors are swallowed (call Close() to see them).
  ~PgDataServices() override;
  PgDataServices(const PgDataServices&) = delete;
  PgDataServices& operator=(const PgDataServices&) = delete;

  // Throws VlError (err::kDatabase) with the server's reason and the
  // statement; a text holding a NUL character or more than one statement
  // is refused before anything runs.
  std::unique_ptr<Recordset> ExecuteSQL(const std::string& sql) override;
  // With `forUpdate` the SELECT must read columns of one table (no
  // DISTINCT); Update() of the recordset then writes the changed columns
  // of the current row back to exactly that row.
  std::unique_ptr<Recordset> QueryRecordset(const std::string& sql,
                                            bool forUpdate = false) override;
  // Reads and locks the key row once per transaction and hands out the
  // following keys from memory; the row is written once, before the
  // transaction commits or before any statement naming the key table
  // runs. So the row does not pile up a version per key, a statement that
  // reads LastKey sees the last key handed out, and a statement that sets
  // LastKey decides where the next key starts. Other sessions wait for the
  // lock (at most the lock timeout) and continue after the last key used.
  int32_t GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                     const std::string& keyClass, const std::string& valueColumn) override;
  void ExecuteDDL(const std::string& sql) override;
  int GetDBType() const override { return kDBPostgreSQL; }
  void Commit() override;

  // Undoes everything since the last commit (a project whose creation
  // failed leaves nothing half-made).
  void Rollback() override;
  // Commits and closes the connection. Afterwards every operation throws
  // VlError; a second call does nothing. When the final commit fails the
  // connection is still closed and the error is thrown.
  void Close();
  bool IsOpen() const { return conn_ != nullptr; }
  const PgLocation& location() const { return where_; }
  // The location as the connection reached it: the fields the location
  // left to libpq's defaults filled in.
  const PgLocation& effective_location() const { return effective_; }
  // The server as messages name it.
  const std::string& server() const { return server_; }
  void SetStatementLog(PgStatementLog log) { options_.log = std::move(log); }

 private:
  using Params = std::vector<std::optional<std::string>>;
  struct Result;
  struct KeyCounter {
    int64_t last = 0;    // the last key handed out
    int64_t stored = 0;  // the value the key row holds now
    std::string table, key_column, value_column, key_class;
  };

  PgDataServices(std::unique_ptr<PgConnection> conn, const PgOptions& options);

  // A statement of the copiers: the key rows written first when it names
  // a key table, counted towards the next automatic commit.
  Result Run(const std::string& text, bool collect, const Params& params = {});
  // One statement under its own savepoint, logged when `log`.
  Result RunGuarded(const std::string& text, const Params& params, bool collect, bool log = true);
  void SendGuarded(const std::string& text, const Params& params);
  Result ReadGuarded(const std::string& text, bool collect);
  void EnsureTransaction();
  void ExecPlain(const char* sql, const char* what);
  void CountStatement();
  void FlushKeys();
  bool NamesKeyTable(const std::string& text) const;
  void ForgetKeysOf(const std::string& text);
  void Log(const std::string& text) const;
  void CheckOpen() const;
  [[noreturn]] void ThrowConnectionLost(const std::string& doing);

  // The table an editable recordset writes to, the column of it each
  // visible column is ("" for an expression), and where rows updated
  // through it went: an updated row moves to a new address.
  struct EditTarget {
    std::string table;
    std::vector<std::string> columns;
    std::map<std::string, std::string> moved;
  };
  std::unique_ptr<Recordset> MakeUpdatable(const std::string& text);
  void WriteRowBack(EditTarget& target, const std::vector<Variant>& original,
                    const std::vector<Variant>& edited, const std::vector<size_t>& changed);
  std::string TableNameOf(unsigned int tableOid);
  std::map<int, std::string> ColumnNamesOf(unsigned int tableOid);

  std::unique_ptr<PgConnection> conn_;
  PgLocation where_, effective_;
  std::string server_;
  PgOptions options_;
  int since_commit_ = 0;
  // The key rows read in this transaction, by table, columns and class.
  std::map<std::string, KeyCounter> keys_;
  // Key tables seen (lower case), so statements naming them are noticed.
  std::set<std::string> key_tables_;
  // The SQLSTATE of the last statement that failed.
  std::string last_sqlstate_;
  // Recordsets that may write back hold a weak copy: once the data
  // services are gone, their Update() fails cleanly.
  std::shared_ptr<PgDataServices*> alive_;
};

}  // namespace vl
