#include "host/db/pg_pipeline.h"

#include <libpq-fe.h>

#include <atomic>

namespace vl {

namespace {

std::atomic<long>& ProcessRoundTrips() {
  static std::atomic<long> total{0};
  return total;
}

const std::string kOpenBatch = std::string("SAVEPOINT ") + PgPipeline::kBatchSavepoint;
const std::string kCloseBatch = std::string("RELEASE SAVEPOINT ") + PgPipeline::kBatchSavepoint;

}  // namespace

void PgResultDeleter::operator()(PGresult* r) const { PQclear(r); }

void PgPipeline::CountRoundTrip() {
  ++round_trips_;
  ++ProcessRoundTrips();
}

long PgPipeline::TotalRoundTrips() { return ProcessRoundTrips(); }

size_t PgPipeline::BatchesSent() const {
  size_t n = 0;
  for (const Segment& s : segments_) n += s.batch ? 1 : 0;
  return n;
}

bool PgPipeline::EnterPipeline() {
  if (in_pipeline_) return true;
  in_pipeline_ = PQenterPipelineMode(conn_) == 1;
  return in_pipeline_;
}

void PgPipeline::LeavePipelineWhenIdle() {
  // Outside a pipeline the connection takes PQexec again.
  if (in_pipeline_ && Idle() && !direct_ && PQexitPipelineMode(conn_) == 1) in_pipeline_ = false;
}

void PgPipeline::Sent(std::vector<uint32_t> members) {
  ++open_->requests;
  open_->members.push_back(std::move(members));
}

bool PgPipeline::OpenBatch() {
  if (open_ && open_->requests > 0) return true;
  if (direct_ || !EnterPipeline()) return false;
  if (PQsendQueryParams(conn_, kOpenBatch.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
    return false;
  if (!open_) open_.emplace(Segment{}).batch = true;
  Sent();
  return true;
}

size_t PgPipeline::BatchStatement(std::string text, bool quiet) {
  if (!open_) open_.emplace(Segment{}).batch = true;
  open_->statements.push_back(std::move(text));
  open_->quiet.push_back(quiet);
  return open_->statements.size() - 1;
}

bool PgPipeline::AddToBatch(const std::string& name, const std::vector<const char*>& values,
                            std::vector<uint32_t> members, const int* lengths, const int* formats) {
  if (!OpenBatch()) return false;
  if (PQsendQueryPrepared(conn_, name.c_str(), static_cast<int>(values.size()), values.data(),
                          lengths, formats, 0) != 1)
    return false;
  Sent(std::move(members));
  return true;
}

bool PgPipeline::AddTextToBatch(uint32_t member) {
  if (!OpenBatch() || PQsendQueryParams(conn_, open_->statements.at(member).c_str(), 0, nullptr,
                                        nullptr, nullptr, nullptr, 0) != 1)
    return false;
  Sent({member});
  return true;
}

bool PgPipeline::PrepareInBatch(const std::string& name, const std::string& sql,
                                const std::vector<Oid>& types) {
  if (!OpenBatch() || PQsendPrepare(conn_, name.c_str(), sql.c_str(),
                                    static_cast<int>(types.size()), types.data()) != 1)
    return false;
  Sent();
  return true;
}

bool PgPipeline::Sync(Segment segment) {
  if (PQpipelineSync(conn_) != 1) return false;
  ++sync_points_;
  segments_.push_back(std::move(segment));
  return true;
}

bool PgPipeline::EndBatch() {
  if (!open_) return true;
  // A batch whose statements were never sent has nothing to end.
  if (open_->requests == 0) return open_->statements.empty();
  return CloseBatch(false);
}

bool PgPipeline::EndBatchWithCommit() {
  // The savepoint that opens the batch fails in a failed transaction, so
  // the COMMIT behind it never ends one.
  if (!OpenBatch()) return false;
  return CloseBatch(true);
}

bool PgPipeline::CloseBatch(bool commit) {
  auto send = [this](const std::string& sql) {
    return PQsendQueryParams(conn_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
  };
  if (!send(kCloseBatch)) return false;
  Sent();
  if (commit) {
    if (!send("COMMIT")) return false;
    open_->commit_request = open_->requests;
    Sent();
    if (!send("BEGIN")) return false;
    Sent();
  }
  Segment batch = std::move(*open_);
  open_.reset();
  return Sync(std::move(batch));
}

size_t PgPipeline::BatchesAfterLastCommit() const {
  size_t n = 0;
  for (auto s = segments_.rbegin(); s != segments_.rend() && s->commit_request < 0; ++s)
    n += s->batch ? 1 : 0;
  return n;
}

bool PgPipeline::CommitUnread() const {
  for (const Segment& s : segments_)
    if (s.commit_request >= 0) return true;
  return false;
}

bool PgPipeline::StartDirect() {
  if (direct_) return true;
  if (!EndBatch() || !EnterPipeline()) return false;
  direct_ = Segment{};
  return true;
}

bool PgPipeline::Query(const char* sql, int nParams, const char* const* values) {
  if (!StartDirect() ||
      PQsendQueryParams(conn_, sql, nParams, nullptr, values, nullptr, nullptr, 0) != 1)
    return false;
  ++direct_->requests;
  return true;
}

bool PgPipeline::Prepare(const std::string& name, const std::string& sql,
                         const std::vector<Oid>& types) {
  if (!StartDirect() || PQsendPrepare(conn_, name.c_str(), sql.c_str(),
                                      static_cast<int>(types.size()), types.data()) != 1)
    return false;
  ++direct_->requests;
  return true;
}

bool PgPipeline::Describe(const std::string& name) {
  if (!StartDirect() || PQsendDescribePrepared(conn_, name.c_str()) != 1) return false;
  ++direct_->requests;
  return true;
}

bool PgPipeline::EndDirect() {
  if (!direct_) return true;
  Segment direct = std::move(*direct_);
  direct_.reset();
  return Sync(std::move(direct));
}

void PgPipeline::WaitingForAnswer() {
  // Answers already received cost no wait; a wait for answers to what was
  // sent since the last wait is one round trip.
  if (!PQisBusy(conn_) || (PQconsumeInput(conn_) == 1 && !PQisBusy(conn_))) return;
  if (sync_points_ == sync_points_at_last_wait_) return;
  sync_points_at_last_wait_ = sync_points_;
  CountRoundTrip();
}

PgResultPtr PgPipeline::NextAnswer() {
  WaitingForAnswer();
  PgResultPtr first(PQgetResult(conn_));
  if (!first) return nullptr;
  // A request's results end with a null (a sync point has none).
  if (PQresultStatus(first.get()) != PGRES_PIPELINE_SYNC)
    while (PGresult* more = PQgetResult(conn_)) PQclear(more);
  return first;
}

bool PgPipeline::AnswerIn() {
  // (libpq's socket never blocks: this reads what has come.)
  return !PQisBusy(conn_) || (PQconsumeInput(conn_) == 1 && !PQisBusy(conn_));
}

int PgPipeline::ReadSegment(Segment& s, std::vector<PgResultPtr>* answers, bool wait) {
  for (; s.read < s.requests; ++s.read) {
    if (!wait && !AnswerIn()) return PQstatus(conn_) == CONNECTION_BAD ? kBroken : kNotYet;
    PgResultPtr r = NextAnswer();
    if (!r || PQstatus(conn_) == CONNECTION_BAD) return kBroken;
    const ExecStatusType status = PQresultStatus(r.get());
    if (s.failed < 0 && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      s.failed = s.read;
      if (!answers) s.refused = std::move(r);
    }
    if (answers) answers->push_back(std::move(r));
  }
  if (s.read == s.requests) {
    if (!wait && !AnswerIn()) return PQstatus(conn_) == CONNECTION_BAD ? kBroken : kNotYet;
    WaitingForAnswer();
    PgResultPtr sync(PQgetResult(conn_));
    if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC) return kBroken;
    ++s.read;
  }
  return s.failed;
}

std::optional<PgPipeline::Failure> PgPipeline::FailureFrom(int request, PgResultPtr result) {
  Failure f;
  f.result = std::move(result);
  const Segment& failed = segments_.front();
  for (uint32_t member : failed.members[static_cast<size_t>(request)]) f.suspects.push_back(member);
  f.statements = failed.statements;
  f.quiet = failed.quiet;
  // A refused BEGIN leaves no transaction either.
  f.commit_refused = failed.commit_request >= 0 && request >= failed.commit_request;
  f.after_commit = f.statements.size();
  f.commit_skipped = failed.commit_request >= 0 && !f.commit_refused;
  for (size_t k = 1; k < segments_.size(); ++k) {
    f.commit_skipped = f.commit_skipped || segments_[k].commit_request >= 0;
    if (ReadSegment(segments_[k], nullptr) == kBroken) break;
    f.statements.insert(f.statements.end(), segments_[k].statements.begin(),
                        segments_[k].statements.end());
    f.quiet.insert(f.quiet.end(), segments_[k].quiet.begin(), segments_[k].quiet.end());
  }
  segments_.clear();
  LeavePipelineWhenIdle();
  return f;
}

std::vector<PgResultPtr> PgPipeline::ReadDirect() {
  std::vector<PgResultPtr> answers;
  if (segments_.empty() || segments_.front().batch) return answers;
  Segment direct = std::move(segments_.front());
  segments_.pop_front();
  if (ReadSegment(direct, &answers) == kBroken) answers.clear();
  LeavePipelineWhenIdle();
  return answers;
}

void PgPipeline::Discard() {
  if (PQstatus(conn_) == CONNECTION_BAD) {
    segments_.clear();
    open_.reset();
    direct_.reset();
    return;
  }
  EndBatch();
  EndDirect();
  while (!segments_.empty()) {
    Segment s = std::move(segments_.front());
    segments_.pop_front();
    if (ReadSegment(s, nullptr) == kBroken) {
      segments_.clear();
      break;
    }
  }
  LeavePipelineWhenIdle();
}

}  // namespace vl
