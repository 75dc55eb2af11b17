// Reaching a PostgreSQL server: where a project's tables are (server,
// database, user, schema) and one connection to it, set up the way the
// data services rely on.
//
// Passwords are never part of a location: libpq takes them from its usual
// sources (the password file, a service file, PGPASSWORD), so nothing the
// program writes down can hold one.
#pragma once

#include <memory>
#include <string>

typedef struct pg_conn PGconn;

namespace vl {

struct PgLocation {
  // Empty fields take libpq's defaults (the PG* variables, then the
  // built-in ones).
  std::string host, port, database, user;
  // Further connection keywords as a libpq connection string ("sslmode=require
  // connect_timeout=5"); never a password.
  std::string options;
  // The schema that holds the project's tables; names are taken exactly as
  // written (the letter case counts).
  std::string schema;
};

// A location from a libpq connection string (keyword form or URI): host,
// port, dbname and user go to their fields, every other keyword given to
// `options`. Throws VlError (err::kInvalidProcedureCall) with libpq's
// reason when the string cannot be read, or when it holds a password.
PgLocation PgLocationFromConnInfo(const std::string& conninfo);

// Throws VlError (err::kInvalidProcedureCall) when `schema` cannot name a
// schema: empty, longer than 63 bytes, holding a control character,
// starting or ending with a blank, starting with "pg_" (reserved by the
// server, pg_catalog and pg_toast among them) or naming the server's
// information_schema (in any letter case).
void CheckSchemaName(const std::string& schema);

// A schema name made from a project name: lower-case ASCII letters,
// digits and "_" (every other character becomes "_"), starting with a
// letter or "_", at most 63 bytes.
std::string SchemaNameFor(const std::string& projectName);

// The server as messages name it: "host:port, database D, user U", with
// libpq's defaults where the location leaves a field empty.
std::string DescribeServer(const PgLocation& where);

struct PgConnectOptions {
  // Seconds a connection attempt may take before it fails; a location's
  // own connect_timeout wins.
  int connect_timeout_s = 10;
  // How long a statement waits for a lock another session holds before it
  // fails instead of waiting on.
  int lock_timeout_ms = 30000;
  // False for a server that only a file named (an external project's
  // project file), not the user for this run. Such a location may carry
  // only harmless keywords (FileNamedLocationFault), and no password is
  // offered to it at first; when it asks for one, the connection is made
  // again with channel_binding=require, so that libpq answers only SCRAM
  // over SSL bound to the channel and never sends the password in clear
  // or as an MD5 hash (libpq 15 has no require_auth).
  bool server_named_by_user = true;
};

// Why a location that only a file named must not be connected to ("" when
// it may): a keyword beyond those that choose how to talk to the server
// it names (sslmode, connect_timeout, application_name, gssencmode,
// target_session_attrs, keepalives...), such as a password file, a
// service, an address other than the host, a client key or its password;
// or several hosts.
std::string FileNamedLocationFault(const PgLocation& where);

// True when `a` and `b` name one server: the same host and port (libpq's
// defaults for empty ones) and the same further keywords. Users,
// databases and schemas may differ.
bool SameServer(const PgLocation& a, const PgLocation& b);

// One open connection, closed with the object.
class PgConnection {
 public:
  // Connects and prepares the session: UTF-8 text, standard strings
  // (a backslash is an ordinary character), ISO dates, no notices on the
  // terminal, the lock timeout, and `search_path` set to the location's
  // schema alone (which need not exist yet). Throws
  // VlError(err::kDatabaseOpen, "VlDataServices", ...) naming the server
  // and the reason (unreachable, refused password, unknown database, a
  // database whose encoding cannot hold every character, a server only a
  // file named that asks for a password it could read, ...), or
  // err::kInvalidProcedureCall for such a location with a keyword it may
  // not carry; nothing is sent to the server then.
  static std::unique_ptr<PgConnection> Open(const PgLocation& where,
                                            const PgConnectOptions& options = {});
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  PGconn* get() const { return conn_; }
  const PgLocation& location() const { return where_; }
  // The location with every field it left to libpq's defaults filled in
  // as the connection used them.
  PgLocation Effective() const;
  // "host:port, database D, user U" as the connection actually reached it.
  const std::string& server() const { return server_; }
  // `schema` quoted as an identifier.
  std::string QuotedSchema() const;

 private:
  PgConnection(PGconn* conn, PgLocation where);
  PGconn* conn_;
  PgLocation where_;
  std::string server_;
};

}  // namespace vl
