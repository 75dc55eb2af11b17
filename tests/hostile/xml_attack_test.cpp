// XML made to do harm: document type declarations with external entities
// (never resolved, never fetched), entity expansion bombs, elements nested
// a million levels deep.
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

// `xml` with `doctype` put right after its XML declaration.
std::string WithDoctype(std::string xml, const std::string& doctype) {
  const size_t decl_end = xml.rfind("<?xml", 0) == 0 ? xml.find("?>") + 2 : 0;
  return xml.insert(decl_end, doctype);
}

// A listening TCP socket on the loopback address: a baseline's external
// entity points at it, and afterwards the test sees whether anyone came.
class Listener {
 public:
  Listener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) == 0 && listen(fd_, 8) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
      port_ = ntohs(addr.sin_port);
  }
  ~Listener() { close(fd_); }
  int port() const { return port_; }
  // True when a connection came in (the kernel completes it and keeps it
  // queued, so no waiting is needed).
  bool Contacted() const {
    int c = accept(fd_, nullptr, nullptr);
    if (c < 0) return false;
    close(c);
    return true;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class XmlAttackTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    Generate();
    secret_ = Outside() + "/secret.txt";
    std::ofstream(secret_) << "TOP-SECRET-CONTENT";
    ASSERT_NE(listener_.port(), 0);
  }
  // Entities that read a local file, fetch from the network, or pull in
  // an external set of declarations.
  std::string ExternalDoctype(const char* root) const {
    const std::string url = "http://127.0.0.1:" + std::to_string(listener_.port());
    return std::string("<!DOCTYPE ") + root + " [\n<!ENTITY xxe SYSTEM \"file://" + secret_ +
           "\">\n<!ENTITY net SYSTEM \"" + url + "/entity\">\n<!ENTITY % dtd SYSTEM \"" + url +
           "/decls.dtd\">\n%dtd;\n]>\n";
  }

  // Replaces `pattern` in the baseline file `name` and puts `doctype` in.
  void Rewrite(const std::string& name, const char* pattern, const std::string& replacement,
               const std::string& doctype) {
    const std::string xml = ReadAll(BaselineFile(name));
    WriteBaselineFile(
        name, WithDoctype(std::regex_replace(xml, std::regex(pattern), replacement), doctype));
  }

  std::string secret_;
  Listener listener_;
};

TEST_F(XmlAttackTest, ExternalEntitiesAreNeitherReadNorFetched) {
  Rewrite("BaselineList.xml", "<Label>[^<]*</Label>", "<Label>&xxe;&net;</Label>",
          ExternalDoctype("PROJECT"));
  Rewrite(ChildPackageFile(), "<RText>[^<]*</RText>", "<RText>&xxe;</RText>",
          ExternalDoctype("PROJECT"));

  ASSERT_EQ(Validate(), 0) << err_;
  EXPECT_NE(out_.find("Label:       &xxe;&net;\n"), std::string::npos) << out_;
  ASSERT_EQ(Create(), 0) << err_;
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM vlRequirements WHERE REQUIREMENTTEXT LIKE '%SECRET%'"),
            "0");
  EXPECT_NE(QueryOne("SELECT COUNT(*) FROM vlRequirements WHERE REQUIREMENTTEXT = '&xxe;'"), "0");
  EXPECT_EQ(out_.find("TOP-SECRET"), std::string::npos);
  EXPECT_FALSE(listener_.Contacted());
}

TEST_F(XmlAttackTest, EntityBombsStayUnexpanded) {
  // Ten levels, each ten of the level below: 10^10 "lol"s if expanded.
  std::string bomb = "<!DOCTYPE Project [\n<!ENTITY l0 \"lol\">\n";
  for (int level = 1; level <= 9; ++level) {
    const std::string below = "&l" + std::to_string(level - 1) + ";";
    bomb += "<!ENTITY l" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) bomb += below;
    bomb += "\">\n";
  }
  bomb += "]>\n";
  Rewrite("Project.xml", "Description=\"[^\"]*\"", "Description=\"&l9;\"", bomb);
  Rewrite(ChildPackageFile(), "<RName>[^<]*</RName>", "<RName>&l9;</RName>", bomb);

  ASSERT_EQ(Create({"--description", "&l9;"}), 0) << err_;
  EXPECT_LT(std::stoi(QueryOne("SELECT MAX(LENGTH(REQUIREMENTNAME)) FROM vlRequirements")), 100);
  EXPECT_NE(QueryOne("SELECT COUNT(*) FROM vlRequirements WHERE REQUIREMENTNAME = '&l9;'"), "0");
}

// Elements nested far deeper than any recursion over them could go.
std::string Nested(int levels) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) open += "<x>", close += "</x>";
  return open + "deep" + close;
}

// `deep` inserted right after the first of `tags` found in `xml`.
void InsertAfter(std::string& xml, const std::vector<std::string>& tags, const std::string& deep) {
  for (const std::string& tag : tags) {
    const size_t at = xml.find(tag);
    if (at == std::string::npos) continue;
    const size_t end = xml.find('>', at);
    if (xml[end - 1] == '/') continue;  // an empty element holds nothing
    xml.insert(end + 1, deep);
    return;
  }
}

TEST_F(XmlAttackTest, DeeplyNestedElementsAreWalkedWithoutRecursion) {
  const std::string deep = Nested(300000);
  for (const fs::directory_entry& e : fs::directory_iterator(Baseline())) {
    std::string name = e.path().filename().string();
    if (e.path().extension() != ".xml" && e.path().extension() != ".XML") continue;
    std::string xml = ReadAll(e.path());
    // Inside a text the copiers read, then beside the items, right inside
    // the root element.
    InsertAfter(xml, {"<Label>", "<PkgDesc>", "<VResn>", "<Subj>", "<QUERYDESCRIPTION>"}, deep);
    InsertAfter(xml, {"<PROJECT", "<Project"}, deep);
    WriteBaselineFile(name, xml);
  }
  ASSERT_EQ(Validate(), 0) << err_;
  EXPECT_NE(out_.find("Label:       deep"), std::string::npos) << out_.substr(0, 200);
  EXPECT_EQ(Create(), 0) << err_;
  EXPECT_EQ(IntegrityCheck(), "ok");
  EXPECT_EQ(QueryOne("SELECT COUNT(*) FROM vlRequirements"), "10");
}

}  // namespace
}  // namespace vl::hostile
