// The insertion-ordered dictionary: its index refers to the keys its
// entries hold, so copies, moves, removals and growth must leave every key
// findable in the map that holds it.
#include "host/text/ordered_map.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vl {
namespace {

// Short keys live inside the string object, long ones elsewhere: both kinds.
std::string KeyOf(int i) {
  return i % 2 ? "k" + std::to_string(i) : std::string(40, 'x') + std::to_string(i);
}

TEST(OrderedMapTest, KeysStayFindableWhileTheMapGrowsAndKeepTheirOrder) {
  OrderedMap<int> map;
  for (int i = 0; i < 5000; ++i) map.Add(KeyOf(i), i);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(*map.Find(KeyOf(i)), i) << i;
  EXPECT_THROW(map.Add(KeyOf(7), 0), VlError);
  EXPECT_EQ(map[KeyOf(7)], 7);
  EXPECT_EQ(map["new"], 0);  // reading a missing key adds it
  const std::vector<std::string> keys = map.Keys();
  ASSERT_EQ(keys.size(), 5001u);
  EXPECT_EQ(keys.front(), KeyOf(0));
  EXPECT_EQ(keys.back(), "new");
}

TEST(OrderedMapTest, RemovedKeysAreGoneAndMayComeBackAtTheEnd) {
  OrderedMap<std::string> map;
  map.Add("a", "1");
  map.Add(std::string(30, 'b'), "2");
  map.Add("c", "3");
  EXPECT_TRUE(map.Remove(std::string(30, 'b')));
  EXPECT_FALSE(map.Remove(std::string(30, 'b')));
  EXPECT_FALSE(map.Exists(std::string(30, 'b')));
  EXPECT_EQ(map.Count(), 2u);
  map.Add(std::string(30, 'b'), "again");
  EXPECT_EQ(map.Keys(), (std::vector<std::string>{"a", "c", std::string(30, 'b')}));
  EXPECT_EQ(*map.Find(std::string(30, 'b')), "again");
  map.Clear();
  EXPECT_TRUE(map.Empty());
  map.Add("a", "fresh");
  EXPECT_EQ(*map.Find("a"), "fresh");
}

TEST(OrderedMapTest, ACopyIsFoundInItselfAfterTheOriginalIsGone) {
  auto original = std::make_unique<OrderedMap<int>>();
  for (int i = 0; i < 100; ++i) original->Add(KeyOf(i), i);
  original->Remove(KeyOf(3));
  OrderedMap<int> copy(*original);
  OrderedMap<int> assigned;
  assigned.Add("old", 1);
  assigned = *original;
  original.reset();
  for (OrderedMap<int>* m : {&copy, &assigned}) {
    EXPECT_EQ(m->Count(), 99u);
    EXPECT_FALSE(m->Exists(KeyOf(3)));
    EXPECT_FALSE(m->Exists("old"));
    for (int i = 0; i < 100; ++i) {
      if (i == 3) continue;
      ASSERT_EQ(*m->Find(KeyOf(i)), i) << i;
    }
  }
  // A moved map keeps finding its keys; the copies are independent.
  OrderedMap<int> moved(std::move(copy));
  moved.Add("more", 1);
  EXPECT_EQ(*moved.Find(KeyOf(42)), 42);
  EXPECT_FALSE(assigned.Exists("more"));
  OrderedMap<int> move_assigned;
  move_assigned = std::move(moved);
  EXPECT_EQ(*move_assigned.Find(KeyOf(99)), 99);
  EXPECT_EQ(move_assigned.Keys().back(), "more");
}

}  // namespace
}  // namespace vl
