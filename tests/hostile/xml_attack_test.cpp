// XML made to do harm: document type declarations with external entities
// (never resolved, never fetched), elements nested far deeper than any
// recursion over them could go. (Entity expansion bombs are among the
// fuzz targets' mutations.)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "hostile_fixture.h"

namespace vl::hostile {
namespace {

namespace fs = std::filesystem;

class XmlAttackTest : public HostileTest {
 protected:
  void SetUp() override {
    Generate();
    std::ofstream(Outside() + "/secret.txt") << "TOP-SECRET-CONTENT";
    // A listening socket on the loopback address: an external entity
    // points at it, and afterwards the test sees whether anyone came.
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&addr), len), 0);
    ASSERT_EQ(listen(listener_, 8), 0);
    ASSERT_EQ(getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    url_ = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  }
  void TearDown() override { close(listener_); }

  // Replaces `pattern` in the baseline file `name` and puts `doctype`
  // right after its XML declaration.
  void Rewrite(const std::string& name, const char* pattern, const std::string& replacement,
               const std::string& doctype) {
    std::string xml =
        std::regex_replace(ReadBytes(BaselineFile(name)), std::regex(pattern), replacement);
    WriteBaselineFile(name,
                      xml.insert(xml.rfind("<?xml", 0) == 0 ? xml.find("?>") + 2 : 0, doctype));
  }

  const int listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  std::string url_;
};

TEST_F(XmlAttackTest, ExternalEntitiesAreNeitherReadNorFetched) {
  // Entities that read a local file, fetch from the network, or pull in
  // an external set of declarations.
  const std::string doctype = "<!DOCTYPE PROJECT [\n<!ENTITY xxe SYSTEM \"file://" + Outside() +
                              "/secret.txt\">\n<!ENTITY net SYSTEM \"" + url_ +
                              "/entity\">\n<!ENTITY % dtd SYSTEM \"" + url_ +
                              "/decls.dtd\">\n%dtd;\n]>\n";
  Rewrite("BaselineList.xml", "<Label>[^<]*</Label>", "<Label>&xxe;&net;</Label>", doctype);
  Rewrite(ChildPackageFile(), "<RText>[^<]*</RText>", "<RText>&xxe;</RText>", doctype);

  ASSERT_EQ(Validate(), 0) << err_;
  EXPECT_NE(out_.find("Label:       &xxe;&net;\n"), std::string::npos) << out_;
  ASSERT_EQ(Create(), 0) << err_;
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM vlRequirements WHERE REQUIREMENTTEXT LIKE '%SECRET%'"),
            "0");
  EXPECT_NE(QueryOne("SELECT COUNT(*) FROM vlRequirements WHERE REQUIREMENTTEXT = '&xxe;'"), "0");
  EXPECT_EQ(out_.find("TOP-SECRET"), std::string::npos);
  // The kernel completes a connection and keeps it queued: no waiting.
  EXPECT_LT(accept(listener_, nullptr, nullptr), 0) << "the entity was fetched";
}

TEST_F(XmlAttackTest, DeeplyNestedElementsAreWalkedWithoutRecursion) {
  std::string deep;
  for (int i = 0; i < 300000; ++i) deep += "<x>";
  deep += "deep";
  for (int i = 0; i < 300000; ++i) deep += "</x>";
  // `deep` right after the first of `tags` found in `xml` that is no
  // empty element.
  auto insert_after = [&](std::string& xml, const std::vector<std::string>& tags) {
    for (const std::string& tag : tags) {
      const size_t at = xml.find(tag), end = xml.find('>', at);
      if (at != std::string::npos && xml[end - 1] != '/') return (void)xml.insert(end + 1, deep);
    }
  };
  for (const fs::directory_entry& e : fs::directory_iterator(Baseline())) {
    if (e.path().extension() != ".xml" && e.path().extension() != ".XML") continue;
    std::string xml = ReadBytes(e.path());
    // Inside a text the copiers read, then beside the items, right inside
    // the root element.
    insert_after(xml, {"<Label>", "<PkgDesc>", "<VResn>", "<Subj>", "<QUERYDESCRIPTION>"});
    insert_after(xml, {"<PROJECT", "<Project"});
    WriteBaselineFile(e.path().filename().string(), xml);
  }
  ASSERT_EQ(Validate(), 0) << err_;
  EXPECT_NE(out_.find("Label:       deep"), std::string::npos) << out_.substr(0, 200);
  EXPECT_EQ(Create(), 0) << err_;
  EXPECT_EQ(QueryOne("PRAGMA integrity_check"), "ok");
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM vlRequirements"), "10");
}

}  // namespace
}  // namespace vl::hostile
