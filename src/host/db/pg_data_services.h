// The data services of a project database kept on a PostgreSQL server, in
// a schema of its own.
//
// As on the file database, statements run inside a transaction that is
// committed by Commit(), when the data services are closed and on its own
// every few thousand statements (before the statement that follows them);
// while commits are held none of these commits and closing undoes the
// transaction (see DataServices::HoldCommits). The automatic commit is
// sent behind the statements before it without waiting, the next
// transaction begun with it; a failure found among those statements
// (see below) means it did not happen, and it comes again once that
// failure was reported. A commit the server refuses loses its
// transaction, as a commit waited for would; its error is thrown as a
// failure found late, and the statements made after it run in the next
// transaction. The server gives
// up a whole transaction when one statement in it fails, so statements
// run under savepoints: a rejected statement undoes only itself and the
// rows written before it stay.
//
// Statements are sent without waiting for each answer wherever the caller
// needs none, so a run waits for the server only where it needs a value
// the server alone knows:
//  - a statement whose rows are needed (a SELECT, a RETURNING clause), a
//    key read from the key table, a commit, and a statement that is not a
//    plain INSERT, UPDATE or DELETE with literal values (CREATE, a write
//    naming the key table, a text that cannot be shaped, see sql_shape.h)
//    are sent and waited for, each under a savepoint of its own, as
//    always;
//  - so is the first statement of every shape (the text with its values
//    taken out). Once one has run, the shape is prepared on the server,
//    and later statements of that shape are sent as runs of it with their
//    values bound, a thousand to a batch under one savepoint, without
//    waiting. Inserts into a table that writes rows just as given (no
//    triggers, rules, row security or defaults: nothing another table's
//    rows could change) go as one statement per table and shape in a
//    batch, each table's rows in their order (see pg_row_runs.h): as one
//    array per column where every column's type reads an array's
//    elements as it reads a parameter, which the server unpacks far more
//    cheaply than as many rows of parameters.
// Waiting is for what the program can act on: a statement the server
// cannot parse, that names a table or column that is not there, that
// lacks a privilege or breaks a rule on its fixed parts is met at its
// first run; a value the server would not take where it stands (a number
// out of range, a date that does not exist, malformed UTF-8) is found in
// the program (PgValueFits), and such a statement is waited for too. So
// every failure the program can foresee is thrown by the call that sent
// the statement, with the server's reason and the statement, as before.
//
// What remains is what only the rows already there or the server itself
// decide: a duplicate key, a check, a full disk, a cancelled statement.
// Such a failure is found when the batch's answers are read (when the
// next batch is full, before any statement that is waited for, at a
// commit): the batch is rolled back to its savepoint and its statements,
// and those of the batches sent after it, are sent again in the order
// the program made them, each that the refused statement ran alone as its
// own text under its own savepoint, so that the failed one's error is
// exactly the one a statement waited for gets. The error is then thrown by
// the call that found it, once that call has done its own work (a commit
// excepted, which commits nothing while a failure is unreported); a
// second such failure is thrown by the next call. What ends up in the
// database is what waiting for each statement would have left to a caller
// that reports a failed statement and goes on: every statement but the
// failed one. The statement log takes a statement once it has run for
// good, in the order the program made them.
//
// A project's own statements never fail on their values or the rows
// already there: keys are handed out by the key table, and the tables
// carry no rules beyond their keys. So in a creation run only the
// server's own troubles take the second path.
//
// A schema that is the session's own (PgOptions::private_schema: a
// project being built where no one else looks until it is put in place)
// spares two waits more. Its keys stay known across the automatic
// commits, so the statement that takes a key row again in the next
// transaction is sent without waiting; and its automatic commits do not
// wait for the disk: a crash may lose the last of them, which no one
// would have seen. Commit() and Close() wait for the disk, and so make
// every earlier commit durable too. And its plain CREATE INDEX statements
// are logged as made but run only later (see pg_deferred_indexes.h):
// before a statement that names the index's table (a row insert into
// it excepted), by BuildDeferredIndexes(), or when closing.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "errors/vl_error.h"
#include "host/db/data_services.h"
#include "host/db/pg_connection.h"
#include "host/db/pg_deferred_indexes.h"
#include "host/db/pg_pipeline.h"
#include "host/db/pg_row_runs.h"
#include "host/db/sql_shape.h"

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
  // Statements sent without waiting, when false every statement is
  // waited for.
  bool pipeline = true;
  // A batch ends after this many statements or this many bytes of
  // statement text.
  int batch_statements = 1000;
  size_t batch_bytes = 1 << 20;
  // Batches sent and not yet read, at most: enough for a server that is
  // held up now and then (by other work on its machine, or by one long
  // statement such as an index build) to keep finding work while the run
  // goes on, few enough that the statements held for a failure's recovery
  // stay within tens of megabytes.
  int unread_batches = 32;
  // No other session reads or writes the schema while these data
  // services are open (see above).
  bool private_schema = false;
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
  // is refused before anything runs. Every operation may instead throw
  // the failure of a statement sent earlier and found only now (see
  // above), after doing its own work (a commit excepted); its own failure
  // is then thrown by the next call.
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
  // Reads the answers to everything sent; a statement that failed is
  // thrown (see above) and nothing is committed, the other statements
  // stay in the transaction. Otherwise commits, unless commits are held.
  void Commit() override;
  // Builds the indexes whose CREATE INDEX a private schema kept for later
  // (see above), in the open transaction; throws VlError as a statement.
  void BuildDeferredIndexes();
  // The same, sent behind the statements before them without waiting:
  // once the bulk of the rows is in, the server builds the indexes while
  // the program goes on (rows that follow keep them up to date). A
  // failure is found as a statement's, late.
  void StartDeferredIndexes();
  bool private_schema() const { return options_.private_schema; }

  // Undoes everything since the last commit (a project whose creation
  // failed leaves nothing half-made), statements sent and not yet answered
  // included; a failure among them is not reported.
  void Rollback() override;
  // Commits and closes the connection. Afterwards every operation throws
  // VlError; a second call does nothing. A statement found to have failed
  // undoes only itself: the rest is committed, then its error thrown. When
  // the final commit fails the connection is still closed and the error is
  // thrown.
  void Close();
  bool IsOpen() const { return conn_ != nullptr; }
  const PgLocation& location() const { return where_; }
  // The location as the connection reached it: the fields the location
  // left to libpq's defaults filled in.
  const PgLocation& effective_location() const { return effective_; }
  // The server as messages name it.
  const std::string& server() const { return server_; }
  // The log and the observer see the statements that succeed while they
  // are set: the answers to everything sent are read first (a failure
  // found there is thrown by the next call), so a statement sent before
  // goes to the log or observer that was set when it was made.
  void SetStatementLog(PgStatementLog log);
  void SetStatementObserver(StatementObserver observer) override;
  // Times these data services waited for the server (see PgPipeline).
  long round_trips() const { return pipeline_ ? pipeline_->round_trips() : round_trips_at_close_; }

 private:
  using Params = std::vector<std::optional<std::string>>;
  // What a statement waited for gave back.
  struct Result {
    std::vector<std::string> columns;
    std::vector<Oid> tables;      // table of each column, 0 for an expression
    std::vector<int> table_cols;  // its column number in that table
    std::vector<Recordset::Row> rows;
    bool returns_rows = false;
  };
  // A statement shape met on this connection: kNew until one statement of
  // it has run, then prepared (kReady, with the type the server infers
  // for each parameter's place) or, when the server cannot prepare it,
  // kText: its statements always run as their texts.
  // A shape that inserts one row into a table whose rows the server writes
  // in no way but as given (no triggers, rules, defaults) also keeps what
  // it takes to send runs of its rows as one statement (`rows`), and the
  // statements prepared for runs of 2, 4, 8, ... rows.
  struct Shape {
    enum State { kNew, kReady, kText } state = kNew;
    std::string name;
    std::vector<Oid> declared, places;
    std::optional<RowRunShape> rows;
    std::vector<std::string> runs;  // by the power of two of the rows
    // The statement for its runs as arrays (see RowRunArraysText), empty
    // when they go as rows of parameters; the name it is prepared under;
    // each array's element type.
    std::string arrays_text, arrays;
    std::vector<Oid> array_types;
    // Whether it names a key table, as of the number of key tables seen.
    bool names_keys = false;
    size_t key_tables_seen = SIZE_MAX;
  };
  // A statement to be sent in the next batch, with its parameter texts
  // (each ended by a NUL); without a shape it goes as its text. A quiet
  // one is the data services' own work, kept from the log.
  struct Pending {
    std::string text;
    Shape* shape;
    std::string parameters;
    bool quiet = false;
  };
  struct KeyCounter {
    int64_t last = 0;    // the last key handed out
    int64_t stored = 0;  // the value the key row holds now
    std::string table, key_column, value_column, key_class;
    // The row was taken in this transaction (else only its value is
    // known, in a private schema, from a transaction before).
    bool taken = true;
  };

  PgDataServices(std::unique_ptr<PgConnection> conn, const PgOptions& options);

  // A statement of the copiers: the key rows written first when it names
  // a key table, counted towards the next automatic commit.
  Result Run(std::string text, bool collect, const Params& params = {});
  // Run without BeforeStatement and the pending failures.
  Result RunNow(std::string& text, bool collect, const Params& params);
  int32_t NextKeyNow(const std::string& keyTable, const std::string& keyColumn,
                     const std::string& keyClass, const std::string& valueColumn);
  // The statement that takes a key row in a transaction and reads its next
  // key.
  static std::string TakeKeyText(const KeyCounter& k);
  // One statement under its own savepoint, waited for, logged when `log`.
  // Everything sent before is read first; a failure found there is left
  // pending and the statement sent again.
  Result RunGuarded(const std::string& text, const Params& params, bool collect, bool log = true);
  void SendGuarded(const std::string& text, const Params& params);
  Result ReadGuarded(const std::string& text, bool collect);
  // Sends `text` in a batch when it may go without waiting (see above):
  // a write of a prepared shape whose values all fit, naming no key table
  // unless it is the write of a key row (`keyRow`); `text` is moved into
  // the batch. False, with nothing sent, otherwise.
  bool SendWithoutWaiting(std::string& text, bool keyRow = false);
  // Prepares the shape of `text` after its first statement ran.
  void PrepareShape(const std::string& text);
  bool ValuesFit(const Shape& shape) const;
  // Sends the statements kept for the batch, in one batch: the rows of
  // each table in the order made, several of one shape in a row as one
  // statement; the rows of different tables (between statements that are
  // no such inserts) need not keep their order among each other. With
  // `commit` the batch ends with the automatic commit, also when empty.
  void SendPending(bool commit = false);
  // Sends the kept statements `begin` to `end`, all row inserts.
  void SendRowStretch(uint32_t begin, uint32_t end);
  void SendRun(const std::vector<uint32_t>& members);
  void SendArraysRun(const std::vector<uint32_t>& members);
  // The text of the array of the `k`th parameters of `members`.
  void ArrayText(const std::vector<uint32_t>& members, size_t k, std::string& out) const;
  const std::string& RunStatementName(Shape& shape, size_t rows);
  // Sends a full batch, or the statements kept for a server that has done
  // all it was sent, and reads the answers of older batches, so that only
  // a few are ever unread.
  void MakeRoomInPipeline();
  // Reads the answers to every batch sent. False when a failed statement
  // was found among them: it was dealt with (Recover) and its error is
  // pending; a direct segment sent after the batches did not run.
  bool ReadAllBatches();
  void Recover(PgPipeline::Failure failure);
  // Sends a statement again (a quiet one, waited for, to no log).
  void SendAgain(const std::string& text, bool quiet);
  // Forgets the statements kept for the next batch and reads and drops
  // the answers to what was sent (for a rollback or a lost connection).
  void DropUnsent();
  // Throws the first failure found after its statement's call, if any.
  void ThrowPendingError();
  // Reads the answers to everything sent, so that every statement made so
  // far has been confirmed or found failed.
  void ReadEverythingSent();
  // Inside a catch block of a call's own failure `e`: rethrows it when no
  // earlier failure is pending, else queues it behind them.
  void KeepOwnError(const VlError& e);
  // Commit() without throwing a pending failure: false, with nothing
  // committed, when one is pending after everything sent was read. A
  // commit that is not `durable` need not wait for the disk (see
  // PgOptions::private_schema).
  bool CommitIfClean(bool durable = true);
  // The automatic commit, sent behind the statements before it.
  void CommitWithoutWaiting();
  // A statement (or the COMMIT or BEGIN of a batch) ran for good.
  void Confirmed(const std::string& text);
  // The transaction was undone or lost: what was kept with it goes.
  void TransactionUndone();
  // Runs the indexes kept for the tables `text` names.
  void BuildIndexesNamedIn(std::string_view text);
  void EnsureTransaction();
  void ExecPlain(const char* sql, const char* what);
  // What every statement of the copiers does first: throws a failure
  // found before, commits when due, makes room in the pipeline.
  void BeforeStatement();
  void CountStatement();
  void FlushKeys();
  bool NamesKeyTable(std::string_view text) const;
  void ForgetKeysOf(const std::string& text);
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
  std::unique_ptr<PgPipeline> pipeline_;
  long round_trips_at_close_ = 0;
  PgLocation where_, effective_;
  std::string server_;
  PgOptions options_;
  int since_commit_ = 0;
  std::unordered_map<std::string, Shape> shapes_;
  std::vector<Pending> pending_;
  size_t pending_bytes_ = 0;
  long run_statements_ = 0;  // names the statements prepared for runs
  // Scratch room for the statement at hand: its shape and its values.
  ShapedStatement shaped_;
  std::vector<const char*> parameters_;
  std::vector<std::string> arrays_;
  std::vector<int> array_lengths_, array_formats_;
  // Failures found after their statements' calls, to be thrown in turn.
  std::deque<VlError> pending_errors_;
  // The key rows read in this transaction, by table, columns and class.
  std::map<std::string, KeyCounter> keys_;
  PgDeferredIndexes deferred_;
  // Key tables seen (lower case), so statements naming them are noticed.
  std::set<std::string> key_tables_;
  // The SQLSTATE of the last statement that failed.
  std::string last_sqlstate_;
  // Recordsets that may write back hold a weak copy: once the data
  // services are gone, their Update() fails cleanly.
  std::shared_ptr<PgDataServices*> alive_;
};

}  // namespace vl
