// How the statements of PgDataServices reach the server: waited for, or
// sent in batches without waiting, and what a failure found late undoes
// (see pg_data_services.h).
#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "host/db/pg_data_services.h"
#include "host/db/pg_parameters.h"
#include "host/db/pg_reasons.h"
#include "host/db/pg_values.h"
#include "host/db/sql_rewrite.h"

namespace vl {

namespace {

constexpr const char* kSource = "VlDataServices";
constexpr const char* kSavepoint = "SAVEPOINT vl_statement";
constexpr const char* kRelease = "RELEASE SAVEPOINT vl_statement";
constexpr const char* kUndoStatement =
    "ROLLBACK TO SAVEPOINT vl_statement; RELEASE SAVEPOINT vl_statement";
constexpr const char* kUndoBatch = "ROLLBACK TO SAVEPOINT vl_batch; RELEASE SAVEPOINT vl_batch";
// "t" when the table named by $1 is a plain table that writes rows just as
// they are given: no triggers (foreign keys included), rules, row security,
// defaults, identity or generated columns. Rows of such tables may be sent
// together and ahead of other tables' rows.
constexpr const char* kPlainTable =
    "SELECT c.relkind = 'r' AND NOT c.relhastriggers AND NOT c.relhasrules AND NOT "
    "c.relrowsecurity AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_attribute a WHERE a.attrelid = "
    "c.oid AND a.attnum > 0 AND NOT a.attisdropped AND (a.atthasdef OR a.attidentity <> '' OR "
    "a.attgenerated <> '')) FROM pg_catalog.pg_class c WHERE c.oid = pg_catalog.to_regclass($1)";
// Beyond this many shapes on one connection, statements of new ones are
// waited for, as their texts: each shape holds up to nine prepared
// statements on the server (one row, and runs as arrays or of 2 to 128
// rows), and a run has a few dozen shapes.
constexpr size_t kMaxShapes = 300;
// Statements kept before the server is asked whether it is idle: so many
// that runs of one table's rows stay long, and a transaction of a few
// thousand statements holds few enough batches (each a subtransaction)
// for the server to keep track of them cheaply.
constexpr size_t kEarlyBatch = 128;

// An INSERT, UPDATE or DELETE that gives no rows back: nobody waits for
// its answer.
bool IsPlainWrite(const std::string& shape) {
  size_t i = 0;
  while (i < shape.size() && std::isspace(static_cast<unsigned char>(shape[i]))) ++i;
  const std::string_view first = std::string_view(shape).substr(i, 7);
  return (FindNoCase(first, "insert", true) == 0 || FindNoCase(first, "update", true) == 0 ||
          FindNoCase(first, "delete", true) == 0) &&
         FindNoCase(shape, "returning", true) == std::string::npos;
}

// Turns a shape into the key of its prepared statement: a whole number
// and a real number make the same text, but their parameters are declared
// with different types, so the kind of each value follows a NUL.
void MakeShapeKey(ShapedStatement& shaped) {
  shaped.shape += '\0';
  for (const ShapedStatement::Value& v : shaped.values)
    shaped.shape += static_cast<char>('0' + static_cast<int>(v.kind));
}

std::string ShapeOfKey(const std::string& key) { return key.substr(0, key.find('\0')); }

}  // namespace

void PgDataServices::SendGuarded(const std::string& text, const Params& params) {
  SendPending();
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  // The three go to the server together, behind whatever was sent before,
  // and come back together.
  if (!pipeline_->Query(kSavepoint) ||
      !pipeline_->Query(text.c_str(), static_cast<int>(values.size()), values.data()) ||
      !pipeline_->Query(kRelease) || !pipeline_->EndDirect())
    ThrowConnectionLost("sending a statement");
}

PgDataServices::Result PgDataServices::ReadGuarded(const std::string& text, bool collect) {
  PGconn* c = conn_->get();
  std::vector<PgResultPtr> answers = pipeline_->ReadDirect();
  if (answers.size() != 3 || PQstatus(c) == CONNECTION_BAD)
    ThrowConnectionLost("running a statement");
  PGresult* r = answers[1].get();
  const ExecStatusType status = PQresultStatus(r);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    last_sqlstate_ = state ? state : "";
    std::string reason = status == PGRES_EMPTY_QUERY ? "The statement is empty"
                         : PQresultStatus(answers[0].get()) != PGRES_COMMAND_OK
                             ? PgReasonOf(answers[0].get(), c)
                             : PgReasonOf(r, c);
    // Back to where the statement began: what ran before it stays.
    if (PQtransactionStatus(c) == PQTRANS_INERROR) ExecPlain(kUndoStatement, "undo a statement");
    throw VlError(err::kDatabase, kSource, RefusedStatement(reason, text));
  }
  Result result;
  result.returns_rows = status == PGRES_TUPLES_OK;
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
    throw VlError(err::kDatabase, kSource,
                  RefusedStatement("The statement holds a NUL character", text));
  for (;;) {
    EnsureTransaction();
    last_sqlstate_.clear();
    SendGuarded(text, params);
    // A statement sent before failed and was dealt with (its error is
    // pending); this one was skipped with everything after it.
    if (ReadAllBatches()) break;
  }
  Result result = ReadGuarded(text, collect);
  if (log) Log(text);
  return result;
}

bool PgDataServices::ValuesFit(const Shape& shape) const {
  if (shape.places.size() != shaped_.values.size()) return false;
  for (size_t i = 0; i < shape.places.size(); ++i)
    if (!PgValueFits(shaped_.values[i], shape.places[i])) return false;
  return true;
}

bool PgDataServices::SendWithoutWaiting(std::string& text, bool keyRow) {
  // Only plain writes are prepared (PrepareShape).
  if (!options_.pipeline || text.find('\0') != std::string::npos ||
      !ShapeStatement(text, shaped_, SqlDialect::kPostgreSQL))
    return false;
  MakeShapeKey(shaped_);
  auto it = shapes_.find(shaped_.shape);
  if (it == shapes_.end() || it->second.state != Shape::kReady) return false;
  Shape& shape = it->second;
  // A statement of the copiers naming the key table waits: the key rows
  // are written first. What a shape names is looked at again only when a
  // key table was added.
  if (shape.key_tables_seen != key_tables_.size()) {
    shape.names_keys = NamesKeyTable(std::string_view(it->first).substr(0, it->first.find('\0')));
    shape.key_tables_seen = key_tables_.size();
  }
  if ((!keyRow && shape.names_keys) || !ValuesFit(shape)) return false;
  EnsureTransaction();
  Pending p{{}, &shape, {}};
  for (const ShapedStatement::Value& v : shaped_.values) {
    AppendPgParameterText(v, p.parameters);
    p.parameters.push_back('\0');
  }
  // The values are copied out: the text can go.
  pending_bytes_ += text.size();
  p.text = std::move(text);
  pending_.push_back(std::move(p));
  return true;
}

const std::string& PgDataServices::RunStatementName(Shape& shape, size_t rows) {
  size_t power = 0;
  while ((size_t{2} << power) <= rows) ++power;
  if (shape.runs.size() <= power) shape.runs.resize(power + 1);
  std::string& name = shape.runs[power];
  if (!name.empty()) return name;
  // Prepared in the batch that first needs it; the name is new each time,
  // since a batch that fails may or may not have prepared it.
  name = shape.name + "_" + std::to_string(++run_statements_) + "x" + std::to_string(rows);
  std::vector<Oid> types;
  for (size_t r = 0; r < rows; ++r)
    types.insert(types.end(), shape.declared.begin(), shape.declared.end());
  if (!pipeline_->PrepareInBatch(name, RowRunText(*shape.rows, rows), types))
    ThrowConnectionLost("preparing a statement");
  return name;
}

void PgDataServices::SendRun(const std::vector<uint32_t>& members) {
  Shape& shape = *pending_[members[0]].shape;
  const std::string& name =
      members.size() == 1 ? shape.name : RunStatementName(shape, members.size());
  parameters_.clear();
  for (uint32_t m : members) {
    const std::string& texts = pending_[m].parameters;
    for (size_t at = 0; at < texts.size(); at = texts.find('\0', at) + 1)
      parameters_.push_back(texts.data() + at);
  }
  if (!pipeline_->AddToBatch(name, parameters_, members)) ThrowConnectionLost("sending statements");
}

namespace {

// Appends the text ending at the first NUL at `text` to an array's text
// that `out` opens ("{" and the elements before); returns where the NUL is.
const char* AppendTextArrayElement(const char* text, std::string& out) {
  if (out.size() > 1) out.push_back(',');
  return AppendPgArrayElement(text, out);
}

}  // namespace

void PgDataServices::SendArraysRun(const std::vector<uint32_t>& members) {
  Shape& shape = *pending_[members[0]].shape;
  if (shape.arrays.empty()) {
    // Prepared in the batch that first needs it, under a new name (see
    // RunStatementName).
    shape.arrays = shape.name + "_" + std::to_string(++run_statements_) + "a";
    if (!pipeline_->PrepareInBatch(shape.arrays, shape.arrays_text, {}))
      ThrowConnectionLost("preparing a statement");
  }
  const size_t n = shape.rows->parameters;
  arrays_.resize(n);
  array_formats_.resize(n);
  // Each array in the server's binary form (format 1) where its type has
  // one, else as text (format 0); one that meets a value in another form
  // goes as text after all, built again once the others are done.
  constexpr int kText = 0, kBinary = 1, kTextAfterAll = 2;
  for (size_t k = 0; k < n; ++k) {
    array_formats_[k] =
        StartPgBinaryArray(shape.array_types[k], members.size(), arrays_[k]) ? kBinary : kText;
    if (array_formats_[k] == kText) arrays_[k].assign(1, '{');
  }
  for (uint32_t m : members) {
    // The parameters' texts, each ended by a NUL.
    const char* text = pending_[m].parameters.c_str();
    for (size_t k = 0; k < n; ++k) {
      const char* end = nullptr;
      if (array_formats_[k] == kBinary) {
        end = AppendPgBinaryArrayElement(shape.array_types[k], text, arrays_[k]);
        if (!end) array_formats_[k] = kTextAfterAll;
      } else if (array_formats_[k] == kText) {
        end = AppendTextArrayElement(text, arrays_[k]);
      }
      text = (end ? end : text + std::strlen(text)) + 1;
    }
  }
  for (size_t k = 0; k < n; ++k) {
    if (array_formats_[k] == kText) arrays_[k].push_back('}');
    if (array_formats_[k] != kTextAfterAll) continue;
    ArrayText(members, k, arrays_[k]);
    array_formats_[k] = kText;
  }
  parameters_.clear();
  array_lengths_.clear();
  for (std::string& a : arrays_) {
    parameters_.push_back(a.c_str());
    array_lengths_.push_back(static_cast<int>(a.size()));
  }
  if (!pipeline_->AddToBatch(shape.arrays, parameters_, members, array_lengths_.data(),
                             array_formats_.data()))
    ThrowConnectionLost("sending statements");
}

void PgDataServices::ArrayText(const std::vector<uint32_t>& members, size_t k,
                               std::string& out) const {
  out.assign(1, '{');
  for (uint32_t m : members) {
    const char* text = pending_[m].parameters.c_str();
    for (size_t skip = 0; skip < k; ++skip) text += std::strlen(text) + 1;
    AppendTextArrayElement(text, out);
  }
  out.push_back('}');
}

namespace {

// The statement for runs of `rows` as arrays, each of the type its
// parameter is declared with or else of its place's; "" when a type has
// no array that reads its texts as the parameter does, or the row cannot
// stand in a select list.
std::string ArraysText(const RowRunShape& rows, const std::vector<Oid>& declared,
                       const std::vector<Oid>& places, std::vector<Oid>& types) {
  if (!rows.selectable || declared.size() != rows.parameters || places.size() != rows.parameters)
    return "";
  std::vector<std::string> names;
  types.clear();
  for (size_t k = 0; k < rows.parameters; ++k) {
    types.push_back(declared[k] ? declared[k] : places[k]);
    const char* name = PgArrayElementTypeName(types.back());
    if (!name) return "";
    names.push_back(name);
  }
  return RowRunArraysText(rows, names);
}

// The largest number of rows of `shape` one statement takes: a power of
// two, and the server takes at most 65535 parameters.
size_t MaxRunRows(size_t parameters) {
  size_t rows = 1;
  while (rows < 128 && (rows * 2) * parameters <= 65535) rows *= 2;
  return rows;
}

}  // namespace

void PgDataServices::SendRowStretch(uint32_t begin, uint32_t end) {
  // Each table's rows, in order, table after table in the order of their
  // first row.
  std::vector<std::pair<const std::string*, std::vector<uint32_t>>> tables;
  for (uint32_t k = begin; k < end; ++k) {
    const std::string& table = pending_[k].shape->rows->table;
    auto t = std::find_if(tables.begin(), tables.end(), [&](auto& e) { return *e.first == table; });
    if (t == tables.end()) t = tables.insert(tables.end(), {&table, {}});
    t->second.push_back(k);
  }
  for (const auto& [table, rows] : tables)
    for (size_t r = 0; r < rows.size();) {
      // A run of one shape, in as few statements as powers of two allow.
      Shape* shape = pending_[rows[r]].shape;
      size_t run = 1;
      while (r + run < rows.size() && pending_[rows[r + run]].shape == shape) ++run;
      if (run > 1 && !shape->arrays_text.empty()) {
        SendArraysRun(std::vector<uint32_t>(rows.begin() + r, rows.begin() + r + run));
        r += run;
        continue;
      }
      for (size_t left = run; left > 0;) {
        size_t take = MaxRunRows(shape->declared.size());
        while (take > left) take /= 2;
        SendRun(std::vector<uint32_t>(rows.begin() + r, rows.begin() + r + take));
        r += take;
        left -= take;
      }
    }
}

void PgDataServices::SendPending(bool commit) {
  if (pending_.empty() && !commit) return;
  for (Pending& p : pending_) pipeline_->BatchStatement(std::move(p.text), p.quiet);
  const uint32_t n = static_cast<uint32_t>(pending_.size());
  auto row_insert = [this](uint32_t k) { return pending_[k].shape && pending_[k].shape->rows; };
  // Statements that are no row inserts keep their place among the rest.
  for (uint32_t i = 0; i < n;) {
    if (!pending_[i].shape) {
      if (!pipeline_->AddTextToBatch(i++)) ThrowConnectionLost("sending statements");
      continue;
    }
    if (!row_insert(i)) {
      SendRun({i++});
      continue;
    }
    uint32_t end = i;
    while (end < n && row_insert(end)) ++end;
    SendRowStretch(i, end);
    i = end;
  }
  pending_.clear();
  pending_bytes_ = 0;
  if (!(commit ? pipeline_->EndBatchWithCommit() : pipeline_->EndBatch()))
    ThrowConnectionLost("sending statements");
}

void PgDataServices::PrepareShape(const std::string& text) {
  if (!options_.pipeline || text.find('\0') != std::string::npos ||
      !ShapeStatement(text, shaped_, SqlDialect::kPostgreSQL) || !IsPlainWrite(shaped_.shape))
    return;
  MakeShapeKey(shaped_);
  const std::string key = shaped_.shape, shape_text = ShapeOfKey(key);
  if (!shapes_.count(key) && shapes_.size() >= kMaxShapes) return;
  Shape& shape = shapes_[key];
  if (shape.state != Shape::kNew) return;
  // Prepared twice: with the types its literals have, to be run, and
  // with no types, so the server says what each place takes. A row insert
  // asks besides whether its table writes rows just as given.
  shape.name = "vl_" + std::to_string(shapes_.size());
  shape.declared.clear();
  std::vector<Oid> none(shaped_.values.size(), 0);
  for (const ShapedStatement::Value& v : shaped_.values)
    shape.declared.push_back(PgParameterType(v));
  RowRunShape rows;
  const bool row_insert = SplitRowRun(shape_text, rows);
  const char* table = rows.written_table.c_str();
  SendPending();
  if (!pipeline_->Query(kSavepoint) ||
      !pipeline_->Prepare(shape.name, shape_text, shape.declared) ||
      !pipeline_->Prepare("", shape_text, none) || !pipeline_->Describe("") ||
      (row_insert && !pipeline_->Query(kPlainTable, 1, &table)) || !pipeline_->Query(kRelease) ||
      !pipeline_->EndDirect())
    ThrowConnectionLost("preparing a statement");
  if (!ReadAllBatches()) return;  // tried again with the next statement of the shape
  std::vector<PgResultPtr> answers = pipeline_->ReadDirect();
  if (answers.size() != (row_insert ? 6u : 5u)) ThrowConnectionLost("preparing a statement");
  Shape& prepared = shapes_[key];
  prepared.state = Shape::kText;
  for (const PgResultPtr& a : answers)
    if (PQresultStatus(a.get()) != PGRES_COMMAND_OK && PQresultStatus(a.get()) != PGRES_TUPLES_OK) {
      if (PQtransactionStatus(conn_->get()) == PQTRANS_INERROR)
        ExecPlain(kUndoStatement, "undo a statement");
      return;
    }
  const PGresult* described = answers[3].get();
  for (int i = 0; i < PQnparams(described); ++i)
    prepared.places.push_back(PQparamtype(described, i));
  const PGresult* plain = row_insert ? answers[4].get() : nullptr;
  if (plain && PQntuples(plain) == 1 && std::string(PQgetvalue(plain, 0, 0)) == "t") {
    prepared.rows = rows;
    prepared.arrays_text =
        ArraysText(rows, prepared.declared, prepared.places, prepared.array_types);
  }
  prepared.state = Shape::kReady;
}

void PgDataServices::MakeRoomInPipeline() {
  const bool full = static_cast<int>(pending_.size()) >= options_.batch_statements ||
                    pending_bytes_ >= options_.batch_bytes;
  // Every so often: has the server done all it was sent? Then it gets the
  // statements made meanwhile now rather than a full batch later, and a
  // statement waited for then waits for little.
  const bool look = !full && pending_.size() % kEarlyBatch == 0 && !pending_.empty();
  if (look && pipeline_->BatchesSent() > 0) {
    std::optional<PgPipeline::Failure> failure =
        pipeline_->ReadAnswered([this](const std::string& text) { Confirmed(text); });
    if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("running statements");
    if (failure) Recover(std::move(*failure));
  }
  if (full || (look && pipeline_->BatchesSent() == 0)) SendPending();
  const size_t unread = static_cast<size_t>(options_.unread_batches);
  if (pipeline_->BatchesSent() < unread) return;
  std::optional<PgPipeline::Failure> failure =
      pipeline_->ReadBatches(unread - 1, [this](const std::string& text) { Confirmed(text); });
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("running statements");
  if (failure) Recover(std::move(*failure));
}

bool PgDataServices::ReadAllBatches() {
  SendPending();
  std::optional<PgPipeline::Failure> failure =
      pipeline_->ReadBatches(0, [this](const std::string& text) { Confirmed(text); });
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("running statements");
  if (!failure) return true;
  Recover(std::move(*failure));
  return false;
}

void PgDataServices::SendAgain(const std::string& text, bool quiet) {
  MakeRoomInPipeline();
  std::string sent = text;
  if (!quiet && SendWithoutWaiting(sent)) return;
  try {
    RunGuarded(text, {}, false, !quiet);
  } catch (const VlError& e) {
    pending_errors_.push_back(e);
  }
}

void PgDataServices::Recover(PgPipeline::Failure failure) {
  const std::string reason = PgReasonOf(failure.result.get(), conn_->get());
  // Statements made after the failed batches and not yet sent follow the
  // ones sent again.
  std::vector<Pending> later = std::move(pending_);
  pending_.clear();
  pending_bytes_ = 0;
  // Statements prepared in a failed batch may be missing.
  for (auto& [key, shape] : shapes_) {
    shape.runs.clear();
    shape.arrays.clear();
  }
  if (failure.commit_refused) {
    // The server ended the transaction; what followed the commit runs in
    // a new one.
    TransactionUndone();
    since_commit_ = 0;
    pending_errors_.push_back(
        VlError(err::kDatabase, kSource,
                "Cannot commit the changes on the PostgreSQL server " + server_ + ": " + reason));
    for (size_t i = failure.after_commit; i < failure.statements.size(); ++i)
      SendAgain(failure.statements[i], failure.quiet[i]);
    for (Pending& p : later) {
      pending_bytes_ += p.text.size();
      pending_.push_back(std::move(p));
    }
    return;
  }
  // A commit sent behind the failure did not happen: it comes again once
  // the failure was reported.
  if (failure.commit_skipped) since_commit_ = std::max(since_commit_, options_.commit_every);
  // Back to where the failed batch began; the batches sent after it never
  // began.
  pipeline_->CountRoundTrip();
  PgResultPtr undo(PQexec(conn_->get(), kUndoBatch));
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("undoing a statement");
  if (PQresultStatus(undo.get()) != PGRES_COMMAND_OK) {
    ExecPlain("ROLLBACK", "undo a failed transaction");
    Log("ROLLBACK");
    TransactionUndone();
    pending_errors_.push_back(VlError(err::kDatabase, kSource,
                                      "A transaction on the PostgreSQL server " + server_ +
                                          " had failed (" + reason +
                                          "); the statements since the last commit are lost."));
    return;
  }
  // Every statement again, in the order made; the ones the refused
  // request ran each alone, as its own text, so that the failed one's
  // error is the one a statement waited for gets.
  // A refused savepoint, release or preparation is none of the
  // statements': then each runs alone, and nothing is sent in a batch
  // that could be refused again.
  const std::vector<std::string>& all = failure.statements;
  std::vector<bool> suspect(all.size(), failure.suspects.empty());
  for (size_t i : failure.suspects) suspect[i] = true;
  for (size_t i = 0; i < all.size(); ++i) {
    if (!suspect[i]) {
      SendAgain(all[i], failure.quiet[i]);
      continue;
    }
    try {
      RunGuarded(all[i], {}, false, !failure.quiet[i]);
    } catch (const VlError& e) {
      pending_errors_.push_back(e);
    }
  }
  for (Pending& p : later) {
    pending_bytes_ += p.text.size();
    pending_.push_back(std::move(p));
  }
}

}  // namespace vl
