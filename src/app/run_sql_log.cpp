#include "app/run_sql_log.h"

#include <cerrno>
#include <cstring>

#include "host/project/project_application.h"

namespace vl {

namespace {
// Runs write hundreds of megabytes of statements: large writes only.
constexpr size_t kFileBuffer = 1 << 20;
}  // namespace

RunSqlLog::~RunSqlLog() {
  std::string ignored;
  Close(ignored);
}

bool RunSqlLog::Open(const std::string& path, std::string& error) {
  std::string ignored;
  Close(ignored);
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    error = "cannot write the statement log \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  std::setvbuf(file_, nullptr, _IOFBF, kFileBuffer);
  path_ = path;
  write_failed_ = false;
  return true;
}

void RunSqlLog::Take(const std::string& database, const std::string& statement) {
  if (database_.empty()) database_ = database;
  if (database != database_) return;
  ++statements_;
  if (!file_ || write_failed_) return;
  if (std::fwrite(statement.data(), 1, statement.size(), file_) != statement.size() ||
      std::fputs(";\n", file_) < 0)
    write_failed_ = true;
}

bool RunSqlLog::Close(std::string& error) {
  if (!file_) return true;
  const bool flushed = std::fflush(file_) == 0;
  const int flush_errno = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (write_failed_ || !flushed || !closed) {
    error = "the statement log \"" + path_ +
            "\" is incomplete: " + std::strerror(flushed ? errno : flush_errno);
    return false;
  }
  return true;
}

void AttachRunSqlLog(ProjectApplication* projects, RunSqlLog* log) {
  auto* app = dynamic_cast<SqlProjectApplication*>(projects);
  if (!app) return;
  if (!log) {
    app->SetStatementLog(nullptr);
    return;
  }
  app->SetStatementLog([log](const std::string& database, const std::string& statement) {
    log->Take(database, statement);
  });
}

}  // namespace vl
