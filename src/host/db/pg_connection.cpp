#include "host/db/pg_connection.h"

#include <libpq-fe.h>
#include <sys/socket.h>

#include <memory>
#include <vector>

#include "errors/vl_error.h"
#include "host/text/convert.h"
#include "host/text/resource.h"

namespace vl {

namespace {

constexpr const char* kSource = "VlDataServices";
// The server names schemas of up to this many bytes and cuts longer ones.
constexpr size_t kMaxIdentifierBytes = 63;
// The oldest server the data services are written for.
constexpr int kOldestServerVersion = 100000;

struct OptionsDeleter {
  void operator()(PQconninfoOption* o) const { PQconninfoFree(o); }
};
using OptionsPtr = std::unique_ptr<PQconninfoOption, OptionsDeleter>;

[[noreturn]] void BadConnInfo(const std::string& reason) {
  throw VlError(err::kInvalidProcedureCall, kSource,
                "The PostgreSQL connection settings cannot be used: " + reason);
}

// libpq's messages end in a line break and may span lines; a message box
// or a results line reads better with one line.
std::string OneLine(const char* message) {
  std::string out;
  bool blank = false, line_end = false;
  for (const char* p = message ? message : ""; *p; ++p) {
    if (*p == '\n' || *p == '\r' || *p == '\t' || *p == ' ') {
      blank = !out.empty();
      line_end = line_end || *p == '\n';
      continue;
    }
    // Where a line ended without a stop, the next line is a sentence of
    // its own.
    if (line_end && !out.empty() && std::string(".:;?!").find(out.back()) == std::string::npos)
      out += '.';
    if (blank) out += ' ';
    blank = line_end = false;
    out += *p;
  }
  return out;
}

// A value as a connection string holds it: in quotes, with "\" before
// every quote and backslash.
std::string ConnInfoValue(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "'";
}

OptionsPtr ParseConnInfo(const std::string& conninfo) {
  char* error = nullptr;
  OptionsPtr options(PQconninfoParse(conninfo.c_str(), &error));
  if (!options) {
    const std::string reason = error ? OneLine(error) : "out of memory";
    PQfreemem(error);
    BadConnInfo(reason);
  }
  return options;
}

// The value libpq would use for `keyword` when the location gives none:
// its environment variable, else its built-in default.
std::string DefaultOf(const char* keyword) {
  OptionsPtr defaults(PQconndefaults());
  for (PQconninfoOption* o = defaults.get(); o && o->keyword; ++o)
    if (std::string(o->keyword) == keyword && o->val) return o->val;
  return "";
}

std::string Describe(const std::string& host, const std::string& port, const std::string& db,
                     const std::string& user) {
  std::string out = host.empty() ? std::string("the local socket") : host;
  if (!port.empty()) out += ":" + port;
  if (!db.empty()) out += ", database " + db;
  if (!user.empty()) out += ", user " + user;
  return out;
}

std::string DescribeConnection(PGconn* conn, const PgLocation& where) {
  const char* host = PQhost(conn);
  const char* port = PQport(conn);
  const char* db = PQdb(conn);
  const char* user = PQuser(conn);
  if (!host || !*host) return DescribeServer(where);
  return Describe(host, port ? port : "", db ? db : "", user ? user : "");
}

void IgnoreNotice(void*, const char*) {}

struct ConnectKeywords {
  std::vector<std::string> keys, values;
  void Add(const std::string& key, const std::string& value) {
    for (size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == key) {
        values[i] = value;
        return;
      }
    keys.push_back(key);
    values.push_back(value);
  }
  bool Has(const std::string& key) const {
    for (const std::string& k : keys)
      if (k == key) return true;
    return false;
  }
};

ConnectKeywords KeywordsFor(const PgLocation& where, const PgConnectOptions& options) {
  ConnectKeywords k;
  if (!where.options.empty()) {
    OptionsPtr extra = ParseConnInfo(where.options);
    for (PQconninfoOption* o = extra.get(); o->keyword; ++o) {
      if (!o->val) continue;
      if (std::string(o->keyword) == "password") BadConnInfo("they hold a password");
      k.Add(o->keyword, o->val);
    }
  }
  if (!where.host.empty()) k.Add("host", where.host);
  if (!where.port.empty()) k.Add("port", where.port);
  if (!where.database.empty()) k.Add("dbname", where.database);
  if (!where.user.empty()) k.Add("user", where.user);
  if (!k.Has("connect_timeout") && options.connect_timeout_s > 0)
    k.Add("connect_timeout", std::to_string(options.connect_timeout_s));
  // Every text travels as UTF-8, whatever the terminal or the server says.
  k.Add("client_encoding", "UTF8");
  k.Add("fallback_application_name", kAppName);
  return k;
}

[[noreturn]] void CannotConnect(const std::string& server, const std::string& reason) {
  throw VlError(err::kDatabaseOpen, kSource,
                "Cannot connect to the PostgreSQL server " + server + ": " + reason);
}

// Keywords a location named only by a file may carry: they choose how to
// talk to the server it names, and read nothing of the user's.
bool HarmlessKeyword(const std::string& key) {
  static const char* const kHarmless[] = {"sslmode",
                                          "connect_timeout",
                                          "application_name",
                                          "fallback_application_name",
                                          "gssencmode",
                                          "target_session_attrs",
                                          "keepalives",
                                          "keepalives_idle",
                                          "keepalives_interval",
                                          "keepalives_count",
                                          "tcp_user_timeout",
                                          "client_encoding",
                                          "sslcompression",
                                          "ssl_min_protocol_version",
                                          "ssl_max_protocol_version"};
  for (const char* k : kHarmless)
    if (key == k) return true;
  return false;
}

// A connection string from `k`, every value quoted: unlike the keyword
// arrays, it can hold an empty value (an empty password), which keeps
// libpq from taking one from PGPASSWORD or a service file.
std::string ConnInfoOf(const ConnectKeywords& k) {
  std::string out;
  for (size_t i = 0; i < k.keys.size(); ++i)
    out += (out.empty() ? "" : " ") + k.keys[i] + "=" + ConnInfoValue(k.values[i]);
  return out;
}

PGconn* ConnectParams(const ConnectKeywords& k) {
  std::vector<const char*> keys, values;
  for (size_t i = 0; i < k.keys.size(); ++i) {
    keys.push_back(k.keys[i].c_str());
    values.push_back(k.values[i].c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  return PQconnectdbParams(keys.data(), values.data(), 0);
}

// Connects to a server only a file named. First without any password (an
// empty one, and a password file that cannot exist): a server that lets
// the user in without one gets nothing. One that asks for a password is
// asked again with channel binding required, which libpq refuses before
// answering a request for the password in clear or as an MD5 hash.
PGconn* ConnectFileNamed(ConnectKeywords k, std::string& refusal) {
  ConnectKeywords probe = k;
  probe.Add("password", "");
  probe.Add("passfile", "/dev/null/none");
  PGconn* conn = PQconnectdb(ConnInfoOf(probe).c_str());
  if (!conn || PQstatus(conn) == CONNECTION_OK || !PQconnectionNeedsPassword(conn)) return conn;
  PQfinish(conn);
  k.Add("channel_binding", "require");
  conn = ConnectParams(k);
  if (conn && PQstatus(conn) != CONNECTION_OK)
    refusal =
        "the server, named by a project file and not for this run, asks for a password, which is "
        "given to such a server only by SCRAM over SSL with channel binding, never in clear (" +
        OneLine(PQerrorMessage(conn)) +
        "). Create the new project on that server to let it have the password";
  return conn;
}

}  // namespace

std::string FileNamedLocationFault(const PgLocation& where) {
  if (where.host.find(',') != std::string::npos || where.port.find(',') != std::string::npos)
    return "it names several hosts";
  if (where.options.empty()) return "";
  OptionsPtr parsed = ParseConnInfo(where.options);
  for (PQconninfoOption* o = parsed.get(); o->keyword; ++o)
    if (o->val && !HarmlessKeyword(o->keyword))
      return std::string("it sets \"") + o->keyword +
             "\", which a project file may not set for a server the user did not name";
  return "";
}

bool SameServer(const PgLocation& a, const PgLocation& b) {
  auto or_default = [](const std::string& v, const char* key) {
    return v.empty() ? DefaultOf(key) : v;
  };
  return or_default(a.host, "host") == or_default(b.host, "host") &&
         or_default(a.port, "port") == or_default(b.port, "port") && a.options == b.options;
}

PgLocation PgLocationFromConnInfo(const std::string& conninfo) {
  OptionsPtr parsed = ParseConnInfo(conninfo);
  PgLocation where;
  for (PQconninfoOption* o = parsed.get(); o->keyword; ++o) {
    if (!o->val) continue;
    const std::string key = o->keyword;
    if (key == "password")
      BadConnInfo(
          "they hold a password, and passwords are never taken from there; keep it in the "
          "password file (~/.pgpass), a service file or PGPASSWORD.");
    if (key == "host")
      where.host = o->val;
    else if (key == "port")
      where.port = o->val;
    else if (key == "dbname")
      where.database = o->val;
    else if (key == "user")
      where.user = o->val;
    else
      where.options += (where.options.empty() ? "" : " ") + key + "=" + ConnInfoValue(o->val);
  }
  return where;
}

void CheckSchemaName(const std::string& schema) {
  auto bad = [&](const std::string& why) {
    throw VlError(err::kInvalidProcedureCall, kSource,
                  "The schema name \"" + schema + "\" cannot be used: " + why);
  };
  if (schema.empty()) bad("it is empty.");
  if (schema.size() > kMaxIdentifierBytes)
    bad("it is longer than " + std::to_string(kMaxIdentifierBytes) + " bytes.");
  for (unsigned char c : schema)
    if (c < 0x20 || c == 0x7F) bad("it holds a control character.");
  // A project file keeps no blanks around a value.
  if (schema.front() == ' ' || schema.back() == ' ') bad("it starts or ends with a blank.");
  if (schema.size() >= 3 && (schema[0] == 'p' || schema[0] == 'P') &&
      (schema[1] == 'g' || schema[1] == 'G') && schema[2] == '_')
    bad("names starting with \"pg_\" belong to the server.");
  if (LCase(schema) == "information_schema") bad("it is a system schema of the server.");
}

std::string SchemaNameFor(const std::string& projectName) {
  std::string name;
  for (char c : projectName) {
    char out = '_';
    if (c >= 'A' && c <= 'Z')
      out = static_cast<char>(c - 'A' + 'a');
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      out = c;
    // One "_" for a run of other characters (a blank, a letter of another
    // alphabet written in several bytes).
    if (out == '_' && (name.empty() || name.back() == '_')) continue;
    name += out;
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  if (name.empty()) name = "project";
  if (name[0] >= '0' && name[0] <= '9') name = "p_" + name;
  if (name.compare(0, 3, "pg_") == 0) name = "vl_" + name;
  if (name.size() > kMaxIdentifierBytes) name.resize(kMaxIdentifierBytes);
  return name;
}

namespace {

// Statements go to the server in batches without waiting for answers. A
// server on this machine reads them from a local socket, whose buffer is
// small by default: while the server spends a moment on one long statement
// (an index built from the rows in), the run would stop as soon as that
// buffer is full. A larger one keeps the run going meanwhile; the system
// caps the size at its own limit. A network socket keeps the size the
// system tunes for the link.
void WidenLocalSocket(PGconn* conn) {
  const int fd = PQsocket(conn);
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (fd < 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.ss_family != AF_UNIX)
    return;
  const int bytes = 4 << 20;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

}  // namespace

std::string DescribeServer(const PgLocation& where) {
  auto or_default = [](const std::string& v, const char* key) {
    return v.empty() ? DefaultOf(key) : v;
  };
  return Describe(or_default(where.host, "host"), or_default(where.port, "port"),
                  or_default(where.database, "dbname"), or_default(where.user, "user"));
}

std::unique_ptr<PgConnection> PgConnection::Open(const PgLocation& where,
                                                 const PgConnectOptions& options) {
  const ConnectKeywords k = KeywordsFor(where, options);
  std::string refusal;
  if (!options.server_named_by_user) {
    const std::string fault = FileNamedLocationFault(where);
    if (!fault.empty())
      throw VlError(err::kInvalidProcedureCall, kSource,
                    "The PostgreSQL server " + DescribeServer(where) +
                        " is not connected to: " + fault + ".");
  }
  PGconn* conn = options.server_named_by_user ? ConnectParams(k) : ConnectFileNamed(k, refusal);
  if (!conn) CannotConnect(DescribeServer(where), "out of memory");
  std::unique_ptr<PgConnection> c(new PgConnection(conn, where));
  if (PQstatus(conn) != CONNECTION_OK)
    CannotConnect(c->server_, refusal.empty() ? OneLine(PQerrorMessage(conn)) : refusal);
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  WidenLocalSocket(conn);
  if (PQserverVersion(conn) < kOldestServerVersion)
    CannotConnect(c->server_, "the server is version " + std::to_string(PQserverVersion(conn)) +
                                  "; version 10 or later is needed.");
  const char* encoding = PQparameterStatus(conn, "server_encoding");
  const std::string enc = encoding ? encoding : "";
  if (enc != "UTF8" && enc != "SQL_ASCII")
    CannotConnect(c->server_, "the database uses the encoding " + enc +
                                  ", which cannot hold every character a baseline may hold; "
                                  "use a database created with ENCODING 'UTF8'.");
  const std::string setup =
      "SET standard_conforming_strings = on; SET DateStyle = 'ISO, YMD'; "
      "SET extra_float_digits = 3; SET client_min_messages = warning; SET lock_timeout = " +
      std::to_string(options.lock_timeout_ms) +
      (where.schema.empty() ? std::string() : "; SET search_path TO " + c->QuotedSchema());
  std::unique_ptr<PGresult, void (*)(PGresult*)> res(PQexec(conn, setup.c_str()), PQclear);
  if (PQresultStatus(res.get()) != PGRES_COMMAND_OK)
    CannotConnect(c->server_,
                  "the session cannot be prepared: " + OneLine(PQresultErrorMessage(res.get())));
  return c;
}

PgConnection::PgConnection(PGconn* conn, PgLocation where)
    : conn_(conn), where_(std::move(where)), server_(DescribeConnection(conn, where_)) {}

PgConnection::~PgConnection() { PQfinish(conn_); }

PgLocation PgConnection::Effective() const {
  PgLocation out = where_;
  auto fill = [](std::string& field, const char* used) {
    if (field.empty() && used) field = used;
  };
  fill(out.host, PQhost(conn_));
  fill(out.port, PQport(conn_));
  fill(out.database, PQdb(conn_));
  fill(out.user, PQuser(conn_));
  return out;
}

std::string PgConnection::QuotedSchema() const {
  char* quoted = PQescapeIdentifier(conn_, where_.schema.c_str(), where_.schema.size());
  if (!quoted)
    throw VlError(err::kInvalidProcedureCall, kSource,
                  "The schema name \"" + where_.schema +
                      "\" cannot be used: " + OneLine(PQerrorMessage(conn_)));
  std::string out = quoted;
  PQfreemem(quoted);
  return out;
}

}  // namespace vl
