// The data services of one project database: every SQL statement of the
// copiers reaches the database through this interface.
#pragma once

#include <atomic>
#include <cstdint>
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

  // A number no other data-services object of this process has had, so
  // that results remembered per database cannot be confused with those of
  // a later object that happens to reuse the same address.
  uint64_t InstanceSerial() const { return serial_; }

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
  virtual void Commit() = 0;

 protected:
  DataServices() = default;
  // A copy is another object and gets a serial of its own.
  DataServices(const DataServices&) {}
  DataServices& operator=(const DataServices&) { return *this; }

 private:
  static uint64_t NextInstanceSerial() {
    static std::atomic<uint64_t> next{1};
    return next++;
  }
  uint64_t serial_ = NextInstanceSerial();
};

}  // namespace vl

namespace vl {

// Every open data-services object is listed while it is open, so that a
// procedure-error report can make everything written so far durable before
// the user sees it. Implementations call Register in their constructor and
// Unregister when closed.
void RegisterOpenDatabase(DataServices* ds);
void UnregisterOpenDatabase(DataServices* ds);
// Commits every open database; errors are ignored.
void CommitOpenDatabases();

}  // namespace vl
