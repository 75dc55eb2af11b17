// The flat text table against a std::map doing the same: many keys that
// share slots, added, looked up and taken out in random order.
#include "host/text/text_table.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <random>
#include <string>

namespace vl {
namespace {

TEST(TextTableTest, BehavesAsAMapThroughGrowthAndRemoval) {
  for (const unsigned keys : {7u, 300u, 20000u}) {
    SCOPED_TRACE(keys);
    std::mt19937 random(keys);
    TextTable<int> table;
    std::map<std::string, int> expected;
    TextArena texts;
    for (int step = 0; step < 100000; ++step) {
      const std::string key = step % 11 == 0 ? "" : std::to_string(random() % keys);
      switch (random() % 3) {
        case 0: {
          auto [value, added] = table.Insert(texts.Keep(key), step);
          ASSERT_EQ(added, expected.emplace(key, step).second);
          ASSERT_EQ(*value, expected[key]);
          break;
        }
        case 1:
          ASSERT_EQ(table.Erase(key), expected.erase(key) == 1);
          break;
        default: {
          const int* value = table.Find(key);
          auto it = expected.find(key);
          ASSERT_EQ(value != nullptr, it != expected.end());
          if (value) {
            ASSERT_EQ(*value, it->second);
          }
        }
      }
      ASSERT_EQ(table.size(), expected.size());
    }
  }
}

}  // namespace
}  // namespace vl
