#include "host/db/pg_data_services.h"

#include <libpq-fe.h>

#include <cctype>

#include "errors/vl_error.h"
#include "host/db/pg_reasons.h"
#include "host/db/pg_values.h"
#include "host/db/sql_rewrite.h"
#include "host/text/convert.h"

namespace vl {

namespace {

constexpr const char* kSource = "VlDataServices";
// SQLSTATE of a number out of its type's range.
constexpr const char* kOutOfRange = "22003";

std::string QuoteText(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

bool IsPlainIdentifier(const std::string& s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

// True when `text` continues at `pos` (after blanks) with the word `word`
// (any case); `pos` is then set behind the word.
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

// An INSERT of one row of values, which reads no table.
bool InsertsOneRow(const std::string& text) {
  ShapedStatement shaped;
  RowRunShape row;
  return ShapeStatement(text, shaped, SqlDialect::kPostgreSQL) && SplitRowRun(shaped.shape, row);
}

std::string LowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::unique_ptr<PgDataServices> PgDataServices::Connect(const PgLocation& where,
                                                        const PgOptions& options) {
  std::unique_ptr<PgConnection> conn = PgConnection::Open(where, options.connect);
  return std::unique_ptr<PgDataServices>(new PgDataServices(std::move(conn), options));
}

PgDataServices::PgDataServices(std::unique_ptr<PgConnection> conn, const PgOptions& options)
    : conn_(std::move(conn)),
      pipeline_(std::make_unique<PgPipeline>(conn_->get())),
      where_(conn_->location()),
      effective_(conn_->Effective()),
      server_(conn_->server()),
      options_(options),
      alive_(std::make_shared<PgDataServices*>(this)) {
  if (options_.commit_every < 1) options_.commit_every = 1;
  if (options_.batch_statements < 1) options_.batch_statements = 1;
  if (options_.unread_batches < 1) options_.unread_batches = 1;
  SetLog(options_.log);
  // Durable commits take it back for their own transaction.
  if (options_.private_schema) ExecPlain("SET synchronous_commit TO off", "set up the session");
}

PgDataServices::~PgDataServices() {
  try {
    Close();
  } catch (...) {
    // Nothing can be reported from here; Close() is the place to see it.
  }
}

void PgDataServices::Close() {
  if (!conn_) return;
  std::exception_ptr failure;
  // A statement found to have failed undoes only itself: the rest is
  // committed, then its error thrown. Held commits are undone instead.
  try {
    if (commits_held()) {
      Rollback();
    } else {
      BuildDeferredIndexes();
      while (!CommitIfClean(true)) {
        if (!failure) failure = std::make_exception_ptr(pending_errors_.front());
        pending_errors_.clear();
      }
    }
  } catch (const std::exception&) {
    if (!failure) failure = std::current_exception();
  }
  round_trips_at_close_ = pipeline_->round_trips();
  pending_.clear();
  pipeline_.reset();
  conn_.reset();
  alive_.reset();
  keys_.clear();
  shapes_.clear();
  pending_errors_.clear();
  if (failure) std::rethrow_exception(failure);
}

void PgDataServices::CheckOpen() const {
  if (!conn_)
    throw VlError(err::kDatabase, kSource,
                  "The connection to the PostgreSQL server " + server_ + " is closed.");
}

void PgDataServices::ThrowConnectionLost(const std::string& doing) {
  const std::string reason = PgReasonOf(nullptr, conn_->get());
  TransactionUndone();
  DropUnsent();
  throw VlError(err::kDatabase, kSource,
                "The connection to the PostgreSQL server " + server_ + " failed while " + doing +
                    ": " + reason + ". The statements since the last commit are lost.");
}

void PgDataServices::DropUnsent() {
  pending_.clear();
  pending_bytes_ = 0;
  pipeline_->Discard();
}

void PgDataServices::ReadEverythingSent() {
  if (!conn_ || (pipeline_->Idle() && pending_.empty())) return;
  while (!ReadAllBatches()) {
  }
}

void PgDataServices::SetStatementLog(PgStatementLog log) {
  ReadEverythingSent();
  SetLog(std::move(log));
}

void PgDataServices::SetStatementObserver(StatementObserver observer) {
  ReadEverythingSent();
  DataServices::SetStatementObserver(std::move(observer));
}

void PgDataServices::ThrowPendingError() {
  if (pending_errors_.empty()) return;
  const VlError e = pending_errors_.front();
  pending_errors_.pop_front();
  throw e;
}

void PgDataServices::KeepOwnError(const VlError& e) {
  // Nothing found before: the call's own failure, thrown as always.
  if (pending_errors_.empty()) throw;
  // Otherwise the earlier statement's failure comes first.
  pending_errors_.push_back(e);
}

void PgDataServices::ExecPlain(const char* sql, const char* what) {
  pipeline_->CountRoundTrip();
  PgResultPtr r(PQexec(conn_->get(), sql));
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost(what);
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
    throw VlError(err::kDatabase, kSource,
                  std::string("Cannot ") + what + " on the PostgreSQL server " + server_ + ": " +
                      PgReasonOf(r.get(), conn_->get()));
}

void PgDataServices::EnsureTransaction() {
  // Statements are sent only inside a transaction: while answers are
  // outstanding, one is open.
  if (!pipeline_->Idle()) return;
  switch (PQtransactionStatus(conn_->get())) {
    case PQTRANS_IDLE:
      ExecPlain("BEGIN", "begin a transaction");
      Log("BEGIN");
      since_commit_ = 0;
      keys_.clear();
      return;
    case PQTRANS_INTRANS:
      return;
    case PQTRANS_INERROR:
      // Only a statement run past the savepoints gets here; what it spoiled
      // cannot be kept.
      ExecPlain("ROLLBACK", "undo a failed transaction");
      Log("ROLLBACK");
      TransactionUndone();
      throw VlError(err::kDatabase, kSource,
                    "A transaction on the PostgreSQL server " + server_ +
                        " had failed; the statements since the last commit are lost.");
    default:
      ThrowConnectionLost("starting a statement");
  }
}

void PgDataServices::Commit() {
  CheckOpen();
  CommitIfClean(true);
  ThrowPendingError();
}

void PgDataServices::CommitWithoutWaiting() {
  FlushKeys();
  SendPending(true);
  since_commit_ = 0;
  // Only in a schema of its own may a key row change nowhere but here.
  if (!options_.private_schema) keys_.clear();
  for (auto& [id, k] : keys_) k.taken = false;
}

bool PgDataServices::CommitIfClean(bool durable) {
  if (pipeline_->Idle() && PQtransactionStatus(conn_->get()) == PQTRANS_IDLE)
    return pending_errors_.empty();
  // Held commits still read every answer, so that a failure is reported
  // where the caller expects it; the transaction stays open.
  if (!commits_held()) FlushKeys();
  ReadEverythingSent();
  // A statement found to have failed is reported before anything is made
  // durable: the caller decides whether the rest is kept.
  if (!pending_errors_.empty()) return false;
  if (commits_held() || PQtransactionStatus(conn_->get()) == PQTRANS_IDLE) return true;
  // (A failed transaction would refuse the SET; its COMMIT undoes it.)
  if (options_.private_schema && durable && PQtransactionStatus(conn_->get()) == PQTRANS_INTRANS)
    ExecPlain("SET LOCAL synchronous_commit TO on", "commit durably");
  pipeline_->CountRoundTrip();
  PgResultPtr r(PQexec(conn_->get(), "COMMIT"));
  keys_.clear();
  since_commit_ = 0;
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("committing");
  // The server answers a COMMIT of a failed transaction with ROLLBACK.
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK ||
      std::string(PQcmdStatus(r.get())) != "COMMIT") {
    deferred_.Undone();
    throw VlError(err::kDatabase, kSource,
                  "Cannot commit the changes on the PostgreSQL server " + server_ + ": " +
                      (PQresultStatus(r.get()) == PGRES_COMMAND_OK
                           ? std::string("the transaction had failed and was undone")
                           : PgReasonOf(r.get(), conn_->get())));
  }
  Confirmed("COMMIT");
  return true;
}

void PgDataServices::Confirmed(const std::string& text) {
  Log(text);
  if (text == "COMMIT") deferred_.Committed();
}

void PgDataServices::TransactionUndone() {
  keys_.clear();
  deferred_.Undone();
}

void PgDataServices::BuildDeferredIndexes() {
  CheckOpen();
  for (const std::string& index : deferred_.TakeAll()) RunGuarded(index, {}, false, false);
}

void PgDataServices::StartDeferredIndexes() {
  CheckOpen();
  if (!options_.pipeline) return BuildDeferredIndexes();
  EnsureTransaction();
  for (std::string& index : deferred_.TakeAll()) {
    MakeRoomInPipeline();
    pending_bytes_ += index.size();
    pending_.push_back(Pending{std::move(index), nullptr, {}, true});
  }
  // The server starts on them now.
  SendPending();
}

void PgDataServices::BuildIndexesNamedIn(std::string_view text) {
  for (const std::string& index : deferred_.TakeFor(text)) RunGuarded(index, {}, false, false);
}

void PgDataServices::Rollback() {
  CheckOpen();
  // What a commit sent before committed stays, and goes to the log; a
  // failure found before it means that nothing did.
  pending_.clear();
  pending_bytes_ = 0;
  if (pipeline_->CommitUnread())
    pipeline_->ReadBatches(pipeline_->BatchesAfterLastCommit(),
                           [this](const std::string& text) { Confirmed(text); });
  TransactionUndone();
  since_commit_ = 0;
  pending_errors_.clear();
  DropUnsent();
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("undoing the changes");
  if (PQtransactionStatus(conn_->get()) == PQTRANS_IDLE) return;
  ExecPlain("ROLLBACK", "undo the changes");
  Log("ROLLBACK");
}

void PgDataServices::CountStatement() { ++since_commit_; }

void PgDataServices::BeforeStatement() {
  CheckOpen();
  // The automatic commit comes before the statement after the last one
  // it covers; it waits while a failure found is still to be reported.
  if (since_commit_ >= options_.commit_every && pending_errors_.empty() && !commits_held()) {
    if (options_.pipeline)
      CommitWithoutWaiting();
    else
      CommitIfClean(false);
  }
  MakeRoomInPipeline();
}

bool PgDataServices::NamesKeyTable(std::string_view text) const {
  for (const std::string& table : key_tables_)
    if (FindNoCase(text, table) != std::string::npos) return true;
  return false;
}

void PgDataServices::ForgetKeysOf(const std::string& text) {
  std::erase_if(keys_, [&](const auto& entry) {
    return FindNoCase(text, LowerAscii(entry.second.table)) != std::string::npos;
  });
}

PgDataServices::Result PgDataServices::Run(std::string text, bool collect, const Params& params) {
  BeforeStatement();
  Result result;
  try {
    result = RunNow(text, collect, params);
  } catch (const VlError& e) {
    KeepOwnError(e);
  }
  ThrowPendingError();
  return result;
}

PgDataServices::Result PgDataServices::RunNow(std::string& text, bool collect,
                                              const Params& params) {
  if (options_.private_schema && params.empty() && deferred_.Keep(text)) {
    EnsureTransaction();
    Log(text);
    CountStatement();
    return Result{};
  }
  if (params.empty() && SendWithoutWaiting(text)) {
    CountStatement();
    // A row insert reads nothing; anything else may read through indexes.
    if (!pending_.back().shape->rows && !deferred_.empty())
      BuildIndexesNamedIn(pending_.back().text);
    return Result{};
  }
  if (!deferred_.empty() && !InsertsOneRow(text)) BuildIndexesNamedIn(text);
  const bool names_keys = NamesKeyTable(text);
  if (names_keys) FlushKeys();
  Result result;
  try {
    result = RunGuarded(text, params, collect);
  } catch (...) {
    if (names_keys) ForgetKeysOf(text);
    throw;
  }
  // The statement may have set LastKey: the next key is read from the row.
  if (names_keys) ForgetKeysOf(text);
  if (params.empty() && !names_keys) PrepareShape(text);
  CountStatement();
  return result;
}

std::unique_ptr<Recordset> PgDataServices::ExecuteSQL(const std::string& sql) {
  Result r = Run(RewriteStatement(sql, kDBPostgreSQL), true);
  if (!r.returns_rows) return nullptr;
  return std::make_unique<Recordset>(std::move(r.columns), std::move(r.rows));
}

std::unique_ptr<Recordset> PgDataServices::QueryRecordset(const std::string& sql, bool forUpdate) {
  const std::string text = RewriteStatement(sql, kDBPostgreSQL);
  if (forUpdate) return MakeUpdatable(text);
  Result r = Run(text, true);
  return std::make_unique<Recordset>(std::move(r.columns), std::move(r.rows));
}

void PgDataServices::ExecuteDDL(const std::string& sql) {
  Run(RewriteStatement(sql, kDBPostgreSQL), false);
}

void PgDataServices::FlushKeys() {
  for (auto& [id, k] : keys_) {
    if (k.last == k.stored) continue;
    const std::string update = "UPDATE " + k.table + " SET " + k.value_column + " = " +
                               std::to_string(k.last) + " WHERE " + k.key_column + " = " +
                               QuoteText(k.key_class);
    MakeRoomInPipeline();
    std::string sent = update;
    if (!SendWithoutWaiting(sent, true)) {
      RunGuarded(update, {}, false);
      PrepareShape(update);
    }
    k.stored = k.last;
  }
}

int32_t PgDataServices::GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                                   const std::string& keyClass, const std::string& valueColumn) {
  BeforeStatement();
  int32_t key = 0;
  try {
    key = NextKeyNow(keyTable, keyColumn, keyClass, valueColumn);
  } catch (const VlError& e) {
    KeepOwnError(e);
  }
  ThrowPendingError();
  return key;
}

int32_t PgDataServices::NextKeyNow(const std::string& keyTable, const std::string& keyColumn,
                                   const std::string& keyClass, const std::string& valueColumn) {
  const std::string table = ResolveTableName(keyTable);
  for (const std::string* name : {&table, &keyColumn, &valueColumn})
    if (!IsPlainIdentifier(*name))
      throw VlError(err::kDatabase, kSource,
                    "The key table or column name \"" + *name + "\" is not a plain name.");
  EnsureTransaction();
  const std::string id = LowerAscii(table + "." + keyColumn + "." + valueColumn) + "." + keyClass;
  auto exhausted = [&] {
    return VlError(err::kOverflow, kSource,
                   "The keys of class \"" + keyClass + "\" in " + table + " are exhausted.");
  };
  if (auto it = keys_.find(id); it != keys_.end()) {
    KeyCounter& k = it->second;
    if (k.last >= INT32_MAX) throw exhausted();
    if (!k.taken) {
      // The row holds the last key stored: taking it again gives the next.
      std::string text = TakeKeyText(k);
      pending_bytes_ += text.size();
      pending_.push_back(Pending{std::move(text), nullptr, {}});
      k.stored = ++k.last;
      k.taken = true;
      CountStatement();
      return static_cast<int32_t>(k.last);
    }
    return static_cast<int32_t>(++k.last);
  }
  key_tables_.insert(LowerAscii(table));
  // The first key of this transaction: the row is read and locked, so no
  // other session hands out the keys that follow until this one commits.
  KeyCounter counter{0, 0, table, keyColumn, valueColumn, keyClass};
  Result r;
  try {
    r = RunGuarded(TakeKeyText(counter), {}, true);
  } catch (const VlError&) {
    if (last_sqlstate_ == kOutOfRange) throw exhausted();
    throw;
  }
  int64_t key = 1;
  if (r.rows.empty()) {
    RunGuarded("INSERT INTO " + table + " (" + keyColumn + ", " + valueColumn + ") VALUES (" +
                   QuoteText(keyClass) + ", 1)",
               {}, false);
  } else {
    const Variant& v = r.rows[0][0];
    if (!v.IsNumber())
      throw VlError(err::kDatabase, kSource,
                    "The key of class \"" + keyClass + "\" in " + table + " is not a number.");
    if (v.type() != vbLong) throw exhausted();
    key = v.AsInt();
  }
  counter.last = counter.stored = key;
  keys_[id] = counter;
  CountStatement();
  return static_cast<int32_t>(key);
}

std::string PgDataServices::TakeKeyText(const KeyCounter& k) {
  return "UPDATE " + k.table + " SET " + k.value_column + " = " + k.value_column + " + 1 WHERE " +
         k.key_column + " = " + QuoteText(k.key_class) + " RETURNING " + k.value_column;
}

std::unique_ptr<Recordset> PgDataServices::MakeUpdatable(const std::string& text) {
  // The row's address rides along behind the visible columns, so Update()
  // writes back to exactly the row that was read.
  size_t pos = 0;
  if (!StartsWithWord(text, pos, "SELECT"))
    throw VlError(err::kDatabase, kSource,
                  RefusedStatement("An editable recordset needs a SELECT", text));
  size_t probe = pos;
  if (StartsWithWord(text, probe, "DISTINCT") || StartsWithWord(text, probe, "ALL"))
    throw VlError(err::kDatabase, kSource,
                  "An editable recordset cannot read DISTINCT rows (statement: " +
                      ShortenStatement(text) + ")");
  Result r = Run(text.substr(0, pos) + " ctid," + text.substr(pos), true);

  Oid table = 0;
  for (size_t i = 1; i < r.tables.size(); ++i) {
    if (r.tables[i] == 0) continue;
    if (table == 0) table = r.tables[i];
    if (r.tables[i] != table)
      throw VlError(
          err::kDatabase, kSource,
          "An editable recordset must read one table (statement: " + ShortenStatement(text) + ")");
  }
  if (table == 0)
    throw VlError(err::kDatabase, kSource,
                  "The recordset reads no table column and cannot be edited (statement: " +
                      ShortenStatement(text) + ")");
  const std::string table_name = TableNameOf(table);
  const std::map<int, std::string> names = ColumnNamesOf(table);
  std::vector<std::string> targets;  // the column each visible one is, "" for an expression
  for (size_t i = 1; i < r.tables.size(); ++i) {
    auto it = names.find(r.table_cols[i]);
    targets.push_back(r.tables[i] == table && it != names.end() ? it->second : "");
  }

  std::vector<std::string> columns(r.columns.begin() + 1, r.columns.end());
  std::vector<Recordset::Row> rows;
  rows.reserve(r.rows.size());
  for (Recordset::Row& row : r.rows) {
    Recordset::Row visible(row.begin() + 1, row.end());
    visible.push_back(row[0]);  // hidden behind the named columns
    rows.push_back(std::move(visible));
  }
  auto target = std::make_shared<EditTarget>(EditTarget{table_name, std::move(targets), {}});
  std::weak_ptr<PgDataServices*> alive = alive_;
  auto writer = [alive, target](const std::vector<std::string>&, const Recordset::Row& original,
                                const Recordset::Row& edited, const std::vector<size_t>& changed) {
    auto self = alive.lock();
    if (!self)
      throw VlError(err::kDatabase, kSource,
                    "The database of this recordset is closed; the row cannot be updated.");
    (*self)->WriteRowBack(*target, original, edited, changed);
  };
  return std::make_unique<Recordset>(std::move(columns), std::move(rows), writer);
}

void PgDataServices::WriteRowBack(EditTarget& target, const std::vector<Variant>& original,
                                  const std::vector<Variant>& edited,
                                  const std::vector<size_t>& changed) {
  // The row's address as read, or where its last update moved it.
  const std::string first = original.at(target.columns.size()).ToText();
  auto at = target.moved.find(first);
  const std::string where = at == target.moved.end() ? first : at->second;
  // The values are written as literals of no type, which the server reads
  // as it reads parameters of no type; so the statement log holds a
  // statement that psql can replay.
  auto literal = [](const std::optional<std::string>& v) { return v ? QuoteText(*v) : "NULL"; };
  std::string sql = "UPDATE " + target.table + " SET ";
  for (size_t k = 0; k < changed.size(); ++k) {
    const size_t c = changed[k];
    if (target.columns[c].empty())
      throw VlError(err::kDatabase, kSource,
                    "The field " + std::to_string(c) + " is computed and cannot be updated.");
    sql += (k > 0 ? ", " : "") + target.columns[c] + " = " + literal(PgParameter(edited[c]));
  }
  sql += " WHERE ctid = " + QuoteText(where) + " RETURNING ctid";
  Result done = Run(sql, true);
  if (done.rows.size() != 1)
    throw VlError(err::kDatabase, kSource,
                  "The row to update no longer exists (statement: " + ShortenStatement(sql) + ")");
  target.moved[first] = done.rows[0][0].ToText();
}

std::string PgDataServices::TableNameOf(unsigned int tableOid) {
  Result r = RunGuarded("SELECT $1::oid::regclass::text", {std::to_string(tableOid)}, true, false);
  if (r.rows.empty() || r.rows[0][0].type() != vbString)
    throw VlError(err::kDatabase, kSource, "The table of an editable recordset is gone.");
  return r.rows[0][0].AsString();
}

std::map<int, std::string> PgDataServices::ColumnNamesOf(unsigned int tableOid) {
  Result r = RunGuarded(
      "SELECT attnum, quote_ident(attname) FROM pg_catalog.pg_attribute WHERE attrelid = $1 "
      "AND attnum > 0 AND NOT attisdropped",
      {std::to_string(tableOid)}, true, false);
  std::map<int, std::string> names;
  for (const Recordset::Row& row : r.rows)
    names[static_cast<int>(row[0].AsInt())] = row[1].ToText();
  return names;
}

}  // namespace vl
