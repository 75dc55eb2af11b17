// The insertion-ordered dictionary: its index refers to the keys its
// entries hold, so copies, moves, removals and growth must leave every key
// findable in the map that holds it.
#include "host/text/ordered_map.h"

#include <gtest/gtest.h>

#include <memory>

namespace vl {
namespace {

// Short keys live inside the string object, long ones elsewhere: both kinds.
std::string KeyOf(int i) {
  return i % 2 ? "k" + std::to_string(i) : std::string(40, 'x') + std::to_string(i);
}

TEST(OrderedMapTest, KeysStayFindableThroughGrowthRemovalCopiesAndMoves) {
  auto original = std::make_unique<OrderedMap<int>>();
  for (int i = 0; i < 5000; ++i) original->Add(KeyOf(i), i);
  EXPECT_THROW(original->Add(KeyOf(7), 0), VlError);
  EXPECT_TRUE(original->Remove(KeyOf(4)));
  EXPECT_FALSE(original->Remove(KeyOf(4)));
  original->Add(KeyOf(4), -4);  // back, at the end
  EXPECT_EQ(original->Keys().back(), KeyOf(4));
  EXPECT_EQ((*original)["new"], 0);  // reading a missing key adds it
  OrderedMap<int> copy(*original), assigned;
  assigned.Add("old", 1);
  assigned = *original;
  original.reset();
  OrderedMap<int> moved(std::move(copy)), move_assigned;
  move_assigned = std::move(assigned);
  for (OrderedMap<int>* m : {&moved, &move_assigned}) {
    ASSERT_EQ(m->Count(), 5001u);
    EXPECT_FALSE(m->Exists("old"));
    EXPECT_EQ(*m->Find(KeyOf(4)), -4);
    for (int i = 0; i < 5000; ++i) {
      if (i == 4) continue;
      ASSERT_EQ(*m->Find(KeyOf(i)), i) << i;
    }
  }
  moved.Add("more", 1);
  EXPECT_FALSE(move_assigned.Exists("more"));  // the copies are independent
}

// Positions name entries until the map is laid out afresh; removing many
// keys leaves the others findable where they are.
TEST(OrderedMapTest, PositionsStayTheirEntriesUntilTheMapIsClearedOrAssigned) {
  OrderedMap<int> map;
  for (int i = 0; i < 3000; ++i) map.Add(KeyOf(i), i);
  for (int i = 0; i < 3000; i += 3) ASSERT_TRUE(map.Remove(KeyOf(i)));
  const uint64_t layout = map.layout();
  for (int i = 1; i < 3000; i += 3) {
    const size_t at = map.PositionOf(KeyOf(i));
    ASSERT_EQ(at, static_cast<size_t>(i));
    ASSERT_EQ(map.ItemAt(at), i);
  }
  EXPECT_EQ(map.PositionOf("missing"), 3000u);  // added, as reading it does
  EXPECT_EQ(map.Count(), 2001u);
  EXPECT_EQ(map.layout(), layout);
  OrderedMap<int> other;
  EXPECT_NE(other.layout(), layout);
  map = other;
  EXPECT_NE(map.layout(), layout);
  const uint64_t assigned = map.layout();
  map.Clear();
  EXPECT_NE(map.layout(), assigned);
}

}  // namespace
}  // namespace vl
