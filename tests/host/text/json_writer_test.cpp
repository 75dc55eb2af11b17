// The JSON writer: what it escapes and how containers nest.
#include "host/text/json_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

namespace vl {
namespace {

TEST(JsonWriterTest, EscapesWhatJsonRequires) {
  const struct {
    std::string text, json;
  } cases[] = {
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\dir", "\"C:\\\\dir\""},
      {"a\nb\r\tc", "\"a\\nb\\r\\tc\""},
      {std::string("nul\0x\x1F\x7F", 7), "\"nul\\u0000x\\u001f\\u007f\""},
      {"\xCE\xA9 \xF0\x9F\x98\x80", "\"\xCE\xA9 \xF0\x9F\x98\x80\""},  // UTF-8 as it is
  };
  for (const auto& c : cases) EXPECT_EQ(JsonQuote(c.text), c.json) << c.text;
  // Every control character reads back, also with a reader that refuses
  // them raw.
  for (char c = 0; c < 0x20; ++c) {
    const std::string text = std::string("a") + c + "b";
    EXPECT_EQ(nlohmann::json::parse(JsonQuote(text)).get<std::string>(), text) << int(c);
  }
}

TEST(JsonWriterTest, NestsObjectsAndArrays) {
  std::ostringstream out;
  JsonWriter j(out);
  j.BeginObject().Member("n", int64_t{-3}).Member("ok", true).Key("list").BeginArray();
  j.Number(1.5).Null().BeginObject().EndObject().BeginArray().EndArray();
  j.Number(std::numeric_limits<double>::infinity());
  j.EndArray().EndObject();
  EXPECT_TRUE(j.Complete());
  EXPECT_EQ(out.str(), "{\"n\":-3,\"ok\":true,\"list\":[1.5,null,{},[],null]}");

  std::ostringstream pretty;
  JsonWriter p(pretty, true);
  p.BeginObject().Key("a").BeginArray().Number(int64_t{1}).EndArray().EndObject();
  EXPECT_EQ(pretty.str(), "{\n  \"a\": [\n    1\n  ]\n}");
}

}  // namespace
}  // namespace vl
