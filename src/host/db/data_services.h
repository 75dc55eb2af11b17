// The data services of one project database: every SQL statement of the
// copiers reaches the database through this interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/db/recordset.h"

namespace vl {

// Database kinds, as GetDBType gives them.
enum DBType { kDBAccessFile = 1, kDBOracle = 3, kDBSqlServer = 5, kDBDB2 = 7, kDBPostgreSQL = 9 };
// The kind of the embedded file database (SQLite) is that of the classic
// file database.
constexpr int kDBSQLite = kDBAccessFile;

// The table marker: three control characters that stand directly before a
// table or view name; the data services resolve it before a statement runs.
inline const std::string kTableMarker = std::string("\x05\x01\x06", 3);

class DataServices {
 public:
  virtual ~DataServices() = default;

  // Tells this object apart from every other, also from a later one that
  // happens to take its place in memory: results remembered per database
  // keep a weak copy, which expires with the object.
  std::weak_ptr<const int> Identity() const { return identity_; }

  // Runs one statement. For a SELECT, returns its rows (read-only);
  // otherwise returns nullptr. Table markers and "{ ts '...'}" literals
  // outside quoted strings are resolved first. Throws VlError (number
  // err::kDatabase, description naming the database's reason and the
  // statement) when the database rejects the statement; nothing of a
  // rejected statement is applied.
  virtual std::unique_ptr<Recordset> ExecuteSQL(const std::string& sql) = 0;

  // Runs a SELECT. With `forUpdate`, the recordset's Update() writes the
  // current row's changed columns back; the SELECT must then read from one
  // table.
  virtual std::unique_ptr<Recordset> QueryRecordset(const std::string& sql,
                                                    bool forUpdate = false) = 0;

  // Returns a key never handed out before for `keyClass` in this database,
  // also across close and reopen: increments `valueColumn` of the row of
  // `keyTable` whose `keyColumn` is `keyClass` (creating the row at 1 when
  // missing) and returns the new value.
  virtual int32_t GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                             const std::string& keyClass, const std::string& valueColumn) = 0;

  // Runs a statement that returns no rows (CREATE VIEW, an UPDATE of the
  // key table).
  virtual void ExecuteDDL(const std::string& sql) = 0;

  // The database kind (DBType).
  virtual int GetDBType() const = 0;

  // Makes everything executed so far durable. The data services also
  // commit on their own every few thousand statements and when closed.
  // Does nothing while commits are held.
  virtual void Commit() = 0;

  // Undoes everything executed since the last commit.
  virtual void Rollback() = 0;

  // While commits are held, neither Commit() nor the automatic commits end
  // the transaction, and closing undoes it: what is executed meanwhile
  // becomes durable all at once, by HoldCommits(false) and then Commit(),
  // or not at all. Used where a run writes into another project, which
  // must change completely or not at all.
  void HoldCommits(bool hold) { commits_held_ = hold; }
  bool commits_held() const { return commits_held_; }

  // Receives the text of every statement that succeeds from now on, as the
  // database ran it (the statements a key draw runs included), in order;
  // nullptr stops it. Running the texts again in the same order on the
  // database as it was repeats the work exactly.
  using StatementObserver = std::function<void(const std::string& statement)>;
  // Data services that answer statements late first read the answers to
  // what they sent, so that the observer of the time sees it.
  virtual void SetStatementObserver(StatementObserver observer) { observer_ = std::move(observer); }

 protected:
  DataServices() = default;
  // A copy is another object and gets an identity of its own.
  DataServices(const DataServices&) {}
  DataServices& operator=(const DataServices&) { return *this; }

 protected:
  void Observe(const std::string& statement) const {
    if (observer_) observer_(statement);
  }
  // Hands a statement that succeeded to the statement log (the file a run
  // writes its statements to; set by the data services' options) and to
  // the observer.
  void Log(const std::string& statement) const {
    if (statement_log_) statement_log_(statement);
    Observe(statement);
  }
  void SetLog(StatementObserver log) { statement_log_ = std::move(log); }

 private:
  std::shared_ptr<const int> identity_ = std::make_shared<const int>(0);
  bool commits_held_ = false;
  StatementObserver observer_;
  StatementObserver statement_log_;
};

}  // namespace vl
