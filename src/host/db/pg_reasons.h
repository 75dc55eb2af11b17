// How a failure on a PostgreSQL server is put into words: the server's
// reason and the statement it refused.
#pragma once

#include <string>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace vl {

// The server's reason for `r` (its message, with the detail and hint when
// it gives them), or the connection's last message when there is no
// result.
std::string PgReasonOf(const PGresult* r, PGconn* conn);

// The description of a refused statement: "<reason> (statement: <text>)",
// a huge statement shortened (ShortenStatement).
std::string RefusedStatement(const std::string& reason, const std::string& text);

}  // namespace vl
