#include "host/db/pg_reasons.h"

#include <libpq-fe.h>

#include "host/db/sql_rewrite.h"

namespace vl {

std::string PgReasonOf(const PGresult* r, PGconn* conn) {
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

std::string RefusedStatement(const std::string& reason, const std::string& text) {
  return reason + " (statement: " + ShortenStatement(text) + ")";
}

}  // namespace vl
