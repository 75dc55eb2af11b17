// How the statements of PgDataServices reach the server: waited for, or
// sent in batches without waiting, and what a failure found late undoes
// (see pg_data_services.h).
#include <libpq-fe.h>

#include <cctype>

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
// Beyond this many shapes on one connection, new ones run as text.
constexpr size_t kMaxShapes = 1000;

// An INSERT, UPDATE or DELETE that gives no rows back: nobody waits for
// its answer.
bool IsPlainWrite(const std::string& shape) {
  size_t i = 0;
  while (i < shape.size() && std::isspace(static_cast<unsigned char>(shape[i]))) ++i;
  const std::string_view first = std::string_view(shape).substr(i, 7);
  return (FindNoCase(first, "insert ") == 0 || FindNoCase(first, "update ") == 0 ||
          FindNoCase(first, "delete ") == 0) &&
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

bool PgDataServices::SendWithoutWaiting(const std::string& text, bool keyRow) {
  // A statement of the copiers naming the key table waits: the key rows
  // are written first.
  if (!options_.pipeline || text.find('\0') != std::string::npos ||
      !ShapeStatement(text, shaped_, SqlDialect::kPostgreSQL) || !IsPlainWrite(shaped_.shape) ||
      (!keyRow && NamesKeyTable(shaped_.shape)))
    return false;
  MakeShapeKey(shaped_);
  auto it = shapes_.find(shaped_.shape);
  if (it == shapes_.end() || it->second.state != Shape::kReady || !ValuesFit(it->second))
    return false;
  EnsureTransaction();
  // The texts end with a NUL each; their addresses are taken once all are in.
  parameter_texts_.clear();
  std::vector<size_t> starts;
  starts.reserve(shaped_.values.size());
  for (const ShapedStatement::Value& v : shaped_.values) {
    starts.push_back(parameter_texts_.size());
    AppendPgParameterText(v, parameter_texts_);
    parameter_texts_.push_back('\0');
  }
  parameters_.clear();
  for (size_t start : starts) parameters_.push_back(parameter_texts_.data() + start);
  if (!pipeline_->AddToBatch(it->second.name, parameters_, text))
    ThrowConnectionLost("sending a statement");
  return true;
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
  // with no types, so the server says what each place takes.
  shape.name = "vl_" + std::to_string(shapes_.size());
  std::vector<Oid> declared, none(shaped_.values.size(), 0);
  for (const ShapedStatement::Value& v : shaped_.values) declared.push_back(PgParameterType(v));
  if (!pipeline_->Query(kSavepoint) || !pipeline_->Prepare(shape.name, shape_text, declared) ||
      !pipeline_->Prepare("", shape_text, none) || !pipeline_->Describe("") ||
      !pipeline_->Query(kRelease) || !pipeline_->EndDirect())
    ThrowConnectionLost("preparing a statement");
  if (!ReadAllBatches()) return;  // tried again with the next statement of the shape
  std::vector<PgResultPtr> answers = pipeline_->ReadDirect();
  if (answers.size() != 5) ThrowConnectionLost("preparing a statement");
  Shape& prepared = shapes_[key];
  prepared.state = Shape::kText;
  for (const PgResultPtr& a : answers)
    if (PQresultStatus(a.get()) != PGRES_COMMAND_OK) {
      if (PQtransactionStatus(conn_->get()) == PQTRANS_INERROR)
        ExecPlain(kUndoStatement, "undo a statement");
      return;
    }
  const PGresult* described = answers[3].get();
  for (int i = 0; i < PQnparams(described); ++i)
    prepared.places.push_back(PQparamtype(described, i));
  prepared.state = Shape::kReady;
}

void PgDataServices::MakeRoomInPipeline() {
  if (static_cast<int>(pipeline_->OpenBatchStatements()) >= options_.batch_statements ||
      pipeline_->OpenBatchBytes() >= options_.batch_bytes)
    pipeline_->EndBatch();
  if (pipeline_->BatchesSent() < 2) return;
  std::optional<PgPipeline::Failure> failure =
      pipeline_->ReadBatches(1, [this](const std::string& text) { Confirmed(text); });
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("running statements");
  if (failure) Recover(std::move(*failure));
}

bool PgDataServices::ReadAllBatches() {
  if (!pipeline_->EndBatch()) ThrowConnectionLost("sending statements");
  std::optional<PgPipeline::Failure> failure =
      pipeline_->ReadBatches(0, [this](const std::string& text) { Confirmed(text); });
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("running statements");
  if (!failure) return true;
  Recover(std::move(*failure));
  return false;
}

void PgDataServices::SendAgain(const std::string& text) {
  MakeRoomInPipeline();
  if (SendWithoutWaiting(text)) return;
  try {
    RunGuarded(text, {}, false);
  } catch (const VlError& e) {
    pending_errors_.push_back(e);
  }
}

void PgDataServices::Recover(PgPipeline::Failure failure) {
  const std::string reason = PgReasonOf(failure.result.get(), conn_->get());
  // Back to where the failed statement's batch began; the batches sent
  // after it never began.
  pipeline_->CountRoundTrip();
  PgResultPtr undo(PQexec(conn_->get(), kUndoBatch));
  if (PQstatus(conn_->get()) == CONNECTION_BAD) ThrowConnectionLost("undoing a statement");
  if (PQresultStatus(undo.get()) != PGRES_COMMAND_OK) {
    ExecPlain("ROLLBACK", "undo a failed transaction");
    Log("ROLLBACK");
    keys_.clear();
    pending_errors_.push_back(VlError(err::kDatabase, kSource,
                                      "A transaction on the PostgreSQL server " + server_ +
                                          " had failed (" + reason +
                                          "); the statements since the last commit are lost."));
    return;
  }
  const std::vector<std::string>& all = failure.statements;
  // The statements before the failed one ran and were undone with it.
  for (size_t i = 0; i < failure.failed; ++i) SendAgain(all[i]);
  while (!ReadAllBatches()) {
  }
  // The failed one alone, as its own text: its error is the one a
  // statement waited for gets.
  if (failure.failed < all.size()) {
    try {
      RunGuarded(all[failure.failed], {}, false);
    } catch (const VlError& e) {
      pending_errors_.push_back(e);
    }
  } else {
    pending_errors_.push_back(VlError(err::kDatabase, kSource,
                                      "Cannot run statements on the PostgreSQL server " + server_ +
                                          ": " + reason + "; they were sent again."));
  }
  for (size_t i = failure.failed + 1; i < all.size(); ++i) SendAgain(all[i]);
}

}  // namespace vl
