// A project file may name any PostgreSQL server. One the user did not name
// for this run gets no password it could read: the test cluster asks
// vl_clear_test for its password in clear and vl_pw_test by SCRAM over a
// socket without SSL, so neither may be answered; a role it lets in
// without a password still connects. A location that would make libpq read
// more of the user's (a password file, a service, another address) is not
// connected to at all.
#include <gtest/gtest.h>

#include "errors/vl_error.h"
#include "host/db/pg_data_services.h"
#include "support/pg_test_support.h"
#include "support/scoped_env.h"

namespace vl::hostile {
namespace {

class FileNamedServerTest : public ::testing::Test {
 protected:
  std::string conninfo_;
};

TEST_F(FileNamedServerTest, GetsNoPasswordItCouldRead) {
  VL_NEED_PG_SERVER();
  pgtest::Observer admin(conninfo_);
  for (const char* role : {"vl_clear_test", "vl_pw_test"})
    admin.Exec(std::string("DO $$ BEGIN CREATE ROLE ") + role +
               " LOGIN PASSWORD 'right'; EXCEPTION WHEN duplicate_object THEN NULL; END $$");
  testing::ScopedEnv password("PGPASSWORD", "right");
  const struct {
    const char *user, *options;
    bool named_by_user;
    const char* outcome;  // "" when it connects
  } cases[] = {
      {"vl_clear_test", "", true, ""},
      {"vl_clear_test", "", false, "channel binding"},
      {"vl_pw_test", "", false, "channel binding"},
      {"postgres", "", false, ""},
      {"postgres", "sslmode=prefer connect_timeout=5", false, ""},
      {"vl_clear_test", "passfile=/tmp/x", false, "\"passfile\""},
      {"postgres", "hostaddr=127.0.0.1", false, "\"hostaddr\""},
      {"postgres", "service=x", false, "\"service\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.user) + " " + c.options);
    PgLocation where = pgtest::TestLocation(conninfo_, "public");
    where.user = c.user;
    where.options = c.options;
    PgOptions options;
    options.connect.server_named_by_user = c.named_by_user;
    std::string error;
    try {
      PgDataServices::Connect(where, options);
    } catch (const VlError& e) {
      error = e.description();
    }
    EXPECT_EQ(error.empty(), *c.outcome == '\0') << error;
    EXPECT_NE(error.find(c.outcome), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace vl::hostile
