// Statements sent to a PostgreSQL server without waiting for each answer.
//
// What is sent is a row of segments, each ended by a sync point, at which
// the server answers for the segment as a whole:
//  - a batch holds statements whose answers only tell whether they ran.
//    It opens with a savepoint and closes by releasing it, so a failed
//    statement can be undone to the batch's start; after a failure the
//    server skips the rest of what was sent up to the next sync point, and
//    the transaction stays failed until it is rolled back to a savepoint.
//    A batch keeps its statements in the order the program made them;
//    each request it sends runs one or several of them (the rows of one
//    table sent as one statement);
//    A batch may end with a commit: behind the release, COMMIT and BEGIN,
//    so the transaction ends and the next begins without a wait. A
//    failure before them skips them with the rest, and nothing is
//    committed;
//  - a direct segment holds the requests of one synchronous operation
//    (a statement whose rows are needed, preparing a statement), whose
//    answers go back to the caller.
// Batches are read in the order sent, before the direct segment that
// follows them. The caller keeps only a few batches sent but not read:
// their answers are small and fit the connection's buffers, so sending
// never waits on a server that waits for its answers to be read.
//
// This class only sends and reads; what to do about a failure is the
// data services' business.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;
typedef unsigned int Oid;

namespace vl {

struct PgResultDeleter {
  void operator()(PGresult* r) const;
};
using PgResultPtr = std::unique_ptr<PGresult, PgResultDeleter>;

class PgPipeline {
 public:
  // The name of the savepoint that opens every batch.
  static constexpr const char* kBatchSavepoint = "vl_batch";

  explicit PgPipeline(PGconn* conn) : conn_(conn) {}
  PgPipeline(const PgPipeline&) = delete;
  PgPipeline& operator=(const PgPipeline&) = delete;

  // Adds `text`, a statement as the log takes it, to the open batch,
  // opening one when none is; returns its number in the batch. It is sent
  // by a request naming that number (AddToBatch). A `quiet` one is never
  // confirmed: the program's own work, not the caller's statement.
  size_t BatchStatement(std::string text, bool quiet = false);
  // Sends a run of the prepared statement `name` with `values` (texts,
  // nullptr for NULL) in the open batch; it runs the batch's statements
  // `members`. With `lengths` and `formats` (one each per value), a value
  // of format 1 is in the server's binary form, of that many bytes. False
  // when the connection cannot take it (it is broken).
  bool AddToBatch(const std::string& name, const std::vector<const char*>& values,
                  std::vector<uint32_t> members, const int* lengths = nullptr,
                  const int* formats = nullptr);
  // Sends the batch's statement number `member` as its own text.
  bool AddTextToBatch(uint32_t member);
  // Prepares a statement inside the open batch.
  bool PrepareInBatch(const std::string& name, const std::string& sql,
                      const std::vector<Oid>& types);
  // Ends the open batch, if any: its savepoint released, a sync point.
  bool EndBatch();
  // Ends the open batch (an empty one when none is open) with a commit.
  // The texts "COMMIT" and "BEGIN" are confirmed behind its statements.
  bool EndBatchWithCommit();
  // A batch with a commit is sent and not yet read.
  bool CommitUnread() const;
  // The batches sent after the last one with a commit.
  size_t BatchesAfterLastCommit() const;
  // Batches ended and not yet read.
  size_t BatchesSent() const;

  // The requests of a direct segment; the open batch is ended first.
  bool Query(const char* sql, int nParams = 0, const char* const* values = nullptr);
  bool Prepare(const std::string& name, const std::string& sql, const std::vector<Oid>& types);
  bool Describe(const std::string& name);
  // Ends the direct segment with a sync point.
  bool EndDirect();

  // A request of a batch that the server refused: after it, the server's
  // transaction is failed until rolled back to the batch's savepoint, and
  // every statement of the batch and of the batches after it is undone or
  // was skipped.
  struct Failure {
    // Every unconfirmed statement, in the order the program made them,
    // and which of them are quiet.
    std::vector<std::string> statements;
    std::vector<bool> quiet;
    // Those the refused request ran, one of which failed; none when the
    // savepoint, its release or a preparation was refused.
    std::vector<size_t> suspects;
    PgResultPtr result;  // the server's answer
    // A commit was sent among the unconfirmed batches, and so did not
    // happen: none behind a failure runs.
    bool commit_skipped = false;
    // The refused request was the commit itself: the transaction is gone,
    // `statements` before `after_commit` with it; those from there on were
    // made after the commit.
    bool commit_refused = false;
    size_t after_commit = 0;
  };
  // Reads the answers to the oldest ended batches until at most `keep`
  // are left; the texts of each batch that ran whole go to `confirmed`
  // in order. On a refused statement everything sent is read, a direct
  // segment's answers dropped, and the failure returned. A broken
  // connection returns with the connection's status bad.
  template <typename Confirm>
  std::optional<Failure> ReadBatches(size_t keep, Confirm&& confirmed);
  // As ReadBatches(0, ...), but stops at the first batch whose answers
  // have not all come yet, without waiting for them.
  template <typename Confirm>
  std::optional<Failure> ReadAnswered(Confirm&& confirmed);
  // The first answer to each request of the oldest direct segment, after
  // every batch sent before it was read (ReadBatches(0) first). Empty
  // when the connection broke.
  std::vector<PgResultPtr> ReadDirect();

  // Nothing sent is left unread.
  bool Idle() const { return segments_.empty() && !open_; }
  // Reads and drops whatever is unread; for a connection that is being
  // rolled back or closed.
  void Discard();

  // Times the program waited for an answer to something it had sent
  // since it last waited: the round trips.
  long round_trips() const { return round_trips_; }
  void CountRoundTrip();
  // The round trips of every pipeline of this process.
  static long TotalRoundTrips();

 private:
  struct Segment {
    bool batch = false;
    int requests = 0;  // sent, each answered by one result and a null
    std::vector<std::string> statements;
    std::vector<bool> quiet;
    // The statements each request runs, by request (batches only).
    std::vector<std::vector<uint32_t>> members;
    int commit_request = -1;  // the COMMIT of a batch that ends with one
    // Answers read so far (the sync point counts as one more), and the
    // first refusal among them.
    int read = 0;
    int failed = -1;
    PgResultPtr refused;
  };
  // What reading the oldest segment gave.
  static constexpr int kBroken = -2, kNotYet = -3;
  bool CloseBatch(bool commit);
  bool EnterPipeline();
  bool OpenBatch();
  void Sent(std::vector<uint32_t> members = {});
  bool Sync(Segment segment);
  bool StartDirect();
  // The first result of the next request (the rest of its results read
  // and dropped); null when the connection broke.
  PgResultPtr NextAnswer();
  // Whether the next answer is in; false with the connection bad when it
  // broke.
  bool AnswerIn();
  // Reads the rest of the answers of an ended segment into `answers`: the
  // index of the first request the server refused (without `answers`, its
  // answer is kept in `refused`), or -1;
  // kBroken when the connection broke; without `wait`, kNotYet when an
  // answer has not come yet.
  int ReadSegment(Segment& s, std::vector<PgResultPtr>* answers, bool wait = true);
  // Reads the oldest segment, a batch, as ReadSegment; when it ran whole,
  // confirms its statements and drops it.
  template <typename Confirm>
  int ReadOldestBatch(bool wait, Confirm&& confirmed);
  std::optional<Failure> FailureFrom(int request, PgResultPtr result);
  void LeavePipelineWhenIdle();
  void WaitingForAnswer();

  PGconn* conn_;
  std::deque<Segment> segments_;   // ended, not yet read, oldest first
  std::optional<Segment> open_;    // the batch being sent
  std::optional<Segment> direct_;  // the direct segment being sent
  bool in_pipeline_ = false;
  long round_trips_ = 0;
  long sync_points_ = 0;
  long sync_points_at_last_wait_ = 0;
};

template <typename Confirm>
int PgPipeline::ReadOldestBatch(bool wait, Confirm&& confirmed) {
  Segment& s = segments_.front();
  const int failed = ReadSegment(s, nullptr, wait);
  if (failed != -1) return failed;
  for (size_t i = 0; i < s.statements.size(); ++i)
    if (!s.quiet[i]) confirmed(s.statements[i]);
  if (s.commit_request >= 0) {
    confirmed(std::string("COMMIT"));
    confirmed(std::string("BEGIN"));
  }
  segments_.pop_front();
  return -1;
}

template <typename Confirm>
std::optional<PgPipeline::Failure> PgPipeline::ReadBatches(size_t keep, Confirm&& confirmed) {
  while (BatchesSent() > keep) {
    const int failed = ReadOldestBatch(true, confirmed);
    if (failed == kBroken) return std::nullopt;
    if (failed >= 0) return FailureFrom(failed, std::move(segments_.front().refused));
  }
  LeavePipelineWhenIdle();
  return std::nullopt;
}

template <typename Confirm>
std::optional<PgPipeline::Failure> PgPipeline::ReadAnswered(Confirm&& confirmed) {
  while (!segments_.empty() && segments_.front().batch) {
    const int failed = ReadOldestBatch(false, confirmed);
    if (failed == kBroken || failed == kNotYet) return std::nullopt;
    if (failed >= 0) return FailureFrom(failed, std::move(segments_.front().refused));
  }
  LeavePipelineWhenIdle();
  return std::nullopt;
}

}  // namespace vl
