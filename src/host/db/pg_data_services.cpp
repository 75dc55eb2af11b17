#include "host/db/pg_data_services.h"

#include <libpq-fe.h>

#include <cctype>

#include "errors/vl_error.h"
#include "host/db/pg_values.h"
#include "host/db/sql_rewrite.h"
#include "host/text/convert.h"

namespace vl {

namespace {

constexpr const char* kSource = "VlDataServices";
// Statements longer than this are shown shortened in error descriptions.
constexpr size_t kShownStatementLength = 600;
constexpr const char* kSavepoint = "SAVEPOINT vl_statement";
constexpr const char* kRelease = "RELEASE SAVEPOINT vl_statement";
constexpr const char* kUndoStatement =
    "ROLLBACK TO SAVEPOINT vl_statement; RELEASE SAVEPOINT vl_statement";
// SQLSTATE of a number out of its type's range.
constexpr const char* kOutOfRange = "22003";

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The start and the end of a huge statement, never cut inside a character.
std::string ShortenStatement(const std::string& text) {
  if (text.size() <= kShownStatementLength) return text;
  size_t head = kShownStatementLength * 2 / 3;
  while (head > 0 && IsUtf8Continuation(text[head])) --head;
  size_t tail = text.size() - kShownStatementLength / 3;
  while (tail < text.size() && IsUtf8Continuation(text[tail])) ++tail;
  return text.substr(0, head) + " ... " + text.substr(tail);
}

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

// The server's reason: its message, with the detail and hint when it
// gives them.
std::string ReasonOf(const PGresult* r, PGconn* conn) {
  const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (!primary) {
    std::string all = r ? PQresultErrorMessage(r) : PQerrorMessage(conn);
    while (!all.empty() && (all.back() == '\n' || all.back() == ' ')) all.pop_back();
    return all.empty() ? "unknown error" : all;
  }
  std::string out = primary;
  if (const char* detail = PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL))
    out += std::string(" (") + detail + ")";
  if (const char* hint = PQresultErrorField(r, PG_DIAG_MESSAGE_HINT))
    out += std::string(". ") + hint;
  return out;
}

std::string LowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

struct PgDataServices::Result {
  std::vector<std::string> columns;
  std::vector<Oid> tables;      // table of each column, 0 for an expression
  std::vector<int> table_cols;  // its column number in that table
  std::vector<Recordset::Row> rows;
  bool returns_rows = false;
  int changes = 0;  // rows written by an INSERT, UPDATE or DELETE
};

std::unique_ptr<PgDataServices> PgDataServices::Connect(const PgLocation& where,
                                                        const PgOptions& options) {
  std::unique_ptr<PgConnection> conn = PgConnection::Open(where, options.connect);
  return std::unique_ptr<PgDataServices>(new PgDataServices(std::move(conn), options));
}

PgDataServices::PgDataServices(std::unique_ptr<PgConnection> conn, const PgOptions& options)
    : conn_(std::move(conn)),
      where_(conn_->location()),
      effective_(conn_->Effective()),
      server_(conn_->server()),
      options_(options),
      alive_(std::make_shared<PgDataServices*>(this)) {
  if (options_.commit_every < 1) options_.commit_every = 1;
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
  try {
    if (commits_held())
      Rollback();
    else
      Commit();
  } catch (const std::exception&) {
    failure = std::current_exception();
  }
  conn_.reset();
  alive_.reset();
  keys_.clear();
  if (failure) std::rethrow_exception(failure);
}

void PgDataServices::CheckOpen() const {
  if (!conn_)
    throw VlError(err::kDatabase, kSource,
                  "The connection to the PostgreSQL server " + server_ + " is closed.");
}

void PgDataServices::Log(const std::string& text) const {
  if (options_.log) options_.log(text);
  Observe(text);
}

void PgDataServices::ThrowConnectionLost(const std::string& doing) {
  const std::string reason = ReasonOf(nullptr, conn_->get());
  keys_.clear();
  throw VlError(err::kDatabase, kSource,
                "The connection to the PostgreSQL server " + server_ + " failed while " + doing +
                    ": " + reason + ". The statements since the last commit are lost.");
}

void PgDataServices::ExecPlain(const char* sql, const char* what) {
  ResultPtr r(PQexec(conn_->get(), sql));
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost(what);
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
    throw VlError(err::kDatabase, kSource,
                  std::string("Cannot ") + what + " on the PostgreSQL server " + server_ + ": " +
                      ReasonOf(r.get(), conn_->get()));
}

void PgDataServices::EnsureTransaction() {
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
      keys_.clear();
      throw VlError(err::kDatabase, kSource,
                    "A transaction on the PostgreSQL server " + server_ +
                        " had failed; the statements since the last commit are lost.");
    default:
      ThrowConnectionLost("starting a statement");
  }
}

void PgDataServices::Commit() {
  CheckOpen();
  if (commits_held()) return;
  const PGTransactionStatusType status = PQtransactionStatus(conn_->get());
  if (status == PQTRANS_IDLE) return;
  if (status == PQTRANS_INTRANS) FlushKeys();
  ResultPtr r(PQexec(conn_->get(), "COMMIT"));
  keys_.clear();
  since_commit_ = 0;
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("committing");
  // The server answers a COMMIT of a failed transaction with ROLLBACK.
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK || std::string(PQcmdStatus(r.get())) != "COMMIT")
    throw VlError(err::kDatabase, kSource,
                  "Cannot commit the changes on the PostgreSQL server " + server_ + ": " +
                      (PQresultStatus(r.get()) == PGRES_COMMAND_OK
                           ? std::string("the transaction had failed and was undone")
                           : ReasonOf(r.get(), conn_->get())));
  Log("COMMIT");
}

void PgDataServices::Rollback() {
  CheckOpen();
  keys_.clear();
  since_commit_ = 0;
  if (PQtransactionStatus(conn_->get()) == PQTRANS_IDLE) return;
  ExecPlain("ROLLBACK", "undo the changes");
  Log("ROLLBACK");
}

void PgDataServices::CountStatement() {
  if (++since_commit_ >= options_.commit_every) Commit();
}

void PgDataServices::SendGuarded(const std::string& text, const Params& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  PGconn* c = conn_->get();
  auto send = [&](const char* sql, int n, const char* const* v) {
    return PQsendQueryParams(c, sql, n, nullptr, v, nullptr, nullptr, 0) == 1;
  };
  // The three go to the server together and come back together: one
  // round trip per statement.
  if (PQenterPipelineMode(c) != 1 || !send(kSavepoint, 0, nullptr) ||
      !send(text.c_str(), static_cast<int>(values.size()), values.data()) ||
      !send(kRelease, 0, nullptr) || PQpipelineSync(c) != 1) {
    while (PGresult* r = PQgetResult(c)) PQclear(r);
    PQexitPipelineMode(c);
    ThrowConnectionLost("sending a statement");
  }
}

PgDataServices::Result PgDataServices::ReadGuarded(const std::string& text, bool collect) {
  PGconn* c = conn_->get();
  // The first result of each of the three queries; a null result ends a
  // query's results, the sync ends the pipeline.
  ResultPtr results[3];
  int query = 0;
  for (int nulls_in_a_row = 0; nulls_in_a_row < 2;) {
    PGresult* r = PQgetResult(c);
    if (!r) {
      ++query;
      ++nulls_in_a_row;
      continue;
    }
    nulls_in_a_row = 0;
    if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
      PQclear(r);
      break;
    }
    if (query < 3 && !results[query])
      results[query].reset(r);
    else
      PQclear(r);
  }
  PQexitPipelineMode(c);
  if (PQstatus(c) == CONNECTION_BAD) ThrowConnectionLost("running a statement");

  PGresult* r = results[1].get();
  const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    last_sqlstate_ = state ? state : "";
    std::string reason = status == PGRES_EMPTY_QUERY ? "The statement is empty"
                         : results[0] && PQresultStatus(results[0].get()) != PGRES_COMMAND_OK
                             ? ReasonOf(results[0].get(), c)
                             : ReasonOf(r, c);
    // Back to where the statement began: what ran before it stays.
    if (PQtransactionStatus(c) == PQTRANS_INERROR) ExecPlain(kUndoStatement, "undo a statement");
    throw VlError(err::kDatabase, kSource, reason + " (statement: " + ShortenStatement(text) + ")");
  }
  Result result;
  result.returns_rows = status == PGRES_TUPLES_OK;
  const char* tuples = PQcmdTuples(r);
  result.changes = tuples && *tuples ? std::atoi(tuples) : 0;
  if (!result.returns_rows) return result;
  const int ncol = PQnfields(r), nrow = PQntuples(r);
  for (int i = 0; i < ncol; ++i) {
    result.columns.emplace_back(PQfname(r, i));
    result.tables.push_back(PQftable(r, i));
    result.table_cols.push_back(PQftablecol(r, i));
  }
  if (!collect) return result;
  result.rows.reserve(nrow);
  for (int row = 0; row < nrow; ++row) {
    Recordset::Row values;
    values.reserve(ncol);
    for (int i = 0; i < ncol; ++i)
      values.push_back(PQgetisnull(r, row, i)
                           ? Variant::Null()
                           : PgValue(PQftype(r, i), PQgetvalue(r, row, i), PQgetlength(r, row, i)));
    result.rows.push_back(std::move(values));
  }
  return result;
}

PgDataServices::Result PgDataServices::RunGuarded(const std::string& text, const Params& params,
                                                  bool collect, bool log) {
  CheckOpen();
  if (text.find('\0') != std::string::npos)
    throw VlError(
        err::kDatabase, kSource,
        "The statement holds a NUL character (statement: " + ShortenStatement(text) + ")");
  EnsureTransaction();
  last_sqlstate_.clear();
  SendGuarded(text, params);
  Result result = ReadGuarded(text, collect);
  if (log) Log(text);
  return result;
}

bool PgDataServices::NamesKeyTable(const std::string& text) const {
  if (key_tables_.empty()) return false;
  const std::string lower = LowerAscii(text);
  for (const std::string& table : key_tables_)
    if (lower.find(table) != std::string::npos) return true;
  return false;
}

void PgDataServices::ForgetKeysOf(const std::string& text) {
  const std::string lower = LowerAscii(text);
  std::erase_if(keys_, [&](const auto& entry) {
    return lower.find(LowerAscii(entry.second.table)) != std::string::npos;
  });
}

PgDataServices::Result PgDataServices::Run(const std::string& text, bool collect,
                                           const Params& params) {
  CheckOpen();
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
    RunGuarded("UPDATE " + k.table + " SET " + k.value_column + " = " + std::to_string(k.last) +
                   " WHERE " + k.key_column + " = " + QuoteText(k.key_class),
               {}, false);
    k.stored = k.last;
  }
}

int32_t PgDataServices::GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                                   const std::string& keyClass, const std::string& valueColumn) {
  CheckOpen();
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
    if (it->second.last >= INT32_MAX) throw exhausted();
    return static_cast<int32_t>(++it->second.last);
  }
  key_tables_.insert(LowerAscii(table));
  // The first key of this transaction: the row is read and locked, so no
  // other session hands out the keys that follow until this one commits.
  const std::string where = " WHERE " + keyColumn + " = " + QuoteText(keyClass);
  Result r;
  try {
    r = RunGuarded("UPDATE " + table + " SET " + valueColumn + " = " + valueColumn + " + 1" +
                       where + " RETURNING " + valueColumn,
                   {}, true);
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
  keys_[id] = KeyCounter{key, key, table, keyColumn, valueColumn, keyClass};
  CountStatement();
  return static_cast<int32_t>(key);
}

std::unique_ptr<Recordset> PgDataServices::MakeUpdatable(const std::string& text) {
  // The row's address rides along behind the visible columns, so Update()
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
