#include "host/db/pg_deferred_indexes.h"

#include <gtest/gtest.h>

namespace vl {
namespace {

TEST(PgDeferredIndexesTest, OnlyPlainIndexesWaitAndOnlyReadersOfTheirTableBuildThem) {
  // A unique index or one on an expression, a schema or a quoted name
  // stands as made: only the plain form waits.
  struct Case {
    const char* statement;
    bool kept;
  };
  PgDeferredIndexes ix;
  for (const Case& c : {Case{"CREATE INDEX IX_A ON vlDocuments (VLGUID)", true},
                        Case{" create  index ix_b on VlToRelationships (A, B) ", true},
                        Case{"CREATE UNIQUE INDEX IX_C ON vlDocuments (ID)", false},
                        Case{"CREATE INDEX ON vlDocuments (ID)", false},
                        Case{"CREATE INDEX IX_D ON s.vlDocuments (ID)", false},
                        Case{"CREATE INDEX IX_E ON vlDocuments (lower(NAME))", false},
                        Case{"CREATE INDEX IX_F ON vlDocuments USING hash (ID)", false},
                        Case{"CREATE INDEX IX_G ON vlDocuments (ID) WHERE ID > 0", false}}) {
    SCOPED_TRACE(c.statement);
    EXPECT_EQ(ix.Keep(c.statement), c.kept);
  }
  // A view reads nothing when made; a table of a longer name is another.
  EXPECT_TRUE(ix.TakeFor("CREATE VIEW V AS SELECT * FROM vlDocuments").empty());
  EXPECT_TRUE(ix.TakeFor("SELECT ID FROM vlDocumentTypes").empty());
  EXPECT_EQ(ix.TakeFor("SELECT ID FROM VLDOCUMENTS WHERE VLGUID = 'x'"),
            std::vector<std::string>{"CREATE INDEX IX_A ON vlDocuments (VLGUID)"});
  // Undone, the transaction takes with it what it kept, and what it built
  // is to be built again.
  ix.Undone();
  EXPECT_TRUE(ix.empty());
  ASSERT_TRUE(ix.Keep("CREATE INDEX IX_A ON vlDocuments (VLGUID)"));
  ix.Committed();
  EXPECT_EQ(ix.TakeAll().size(), 1u);
  ix.Undone();
  EXPECT_EQ(ix.TakeAll().size(), 1u);
  ix.Committed();
  EXPECT_TRUE(ix.empty());
}

}  // namespace
}  // namespace vl
