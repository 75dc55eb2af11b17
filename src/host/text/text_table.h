// A hash table from texts to small values, for the tables a run fills with
// hundreds of thousands of GUIDs and searches millions of times. It keeps
// each entry's hash, its key's place and its value side by side in one
// array (open addressing, linear probing), so a look-up reads one slot and
// the key it compares; a table of nodes reads three or four places in
// memory far apart. The keys are views: the caller keeps their texts
// where they do not move, or lets the table copy them (`TextArena`).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace vl {

// Keeps copies of texts where they never move, in large blocks: freed all
// at once with the arena.
class TextArena {
 public:
  TextArena() = default;
  // The texts stay where they are: views of them stay valid in the arena
  // moved to.
  TextArena(TextArena&& other) noexcept
      : blocks_(std::move(other.blocks_)),
        next_(std::exchange(other.next_, nullptr)),
        room_(std::exchange(other.room_, 0)) {}
  TextArena& operator=(TextArena&& other) noexcept {
    blocks_ = std::move(other.blocks_);
    next_ = std::exchange(other.next_, nullptr);
    room_ = std::exchange(other.room_, 0);
    return *this;
  }

  std::string_view Keep(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > room_) {
      const size_t size = std::max(kBlock, text.size());
      blocks_.push_back(std::make_unique<char[]>(size));
      next_ = blocks_.back().get();
      room_ = size;
    }
    std::memcpy(next_, text.data(), text.size());
    std::string_view kept(next_, text.size());
    next_ += text.size();
    room_ -= text.size();
    return kept;
  }

 private:
  static constexpr size_t kBlock = 1 << 16;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  size_t room_ = 0;
};

template <class V>
class TextTable {
 public:
  TextTable() = default;
  TextTable(const TextTable&) = default;
  TextTable& operator=(const TextTable&) = default;
  TextTable(TextTable&& other) noexcept
      : slots_(std::move(other.slots_)), count_(std::exchange(other.count_, 0)) {
    other.slots_.clear();
  }
  TextTable& operator=(TextTable&& other) noexcept {
    slots_ = std::move(other.slots_);
    count_ = std::exchange(other.count_, 0);
    other.slots_.clear();
    return *this;
  }

  // The value of `key`, or nullptr. Valid until the table changes.
  const V* Find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    const size_t at = SlotOf(key, Hash(key));
    return slots_[at].used() ? &slots_[at].value : nullptr;
  }
  V* Find(std::string_view key) {
    return const_cast<V*>(static_cast<const TextTable&>(*this).Find(key));
  }
  // Adds `key` with `value` unless it is there. The value of `key` (the
  // one there before, or `value`) and whether it was added; `key`'s text
  // must stay where it is as long as the table holds it.
  std::pair<V*, bool> Insert(std::string_view key, V value) {
    return Place(key, std::move(value), nullptr);
  }
  // The same with `key`'s text copied into `keys` when it is added (and
  // only then): the caller's text may go.
  std::pair<V*, bool> Insert(std::string_view key, V value, TextArena& keys) {
    return Place(key, std::move(value), &keys);
  }
  // Takes `key` out; false when it was not there.
  bool Erase(std::string_view key) {
    if (slots_.empty()) return false;
    size_t hole = SlotOf(key, Hash(key));
    if (!slots_[hole].used()) return false;
    // Later entries of the same run of slots move back into the hole, so
    // that every entry stays reachable from where its hash points.
    const size_t mask = slots_.size() - 1;
    for (size_t next = (hole + 1) & mask; slots_[next].used(); next = (next + 1) & mask) {
      const size_t home = slots_[next].hash & mask;
      if (((next - home) & mask) >= ((next - hole) & mask)) {
        slots_[hole] = std::move(slots_[next]);
        hole = next;
      }
    }
    slots_[hole] = Slot{};
    --count_;
    return true;
  }
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  void Clear() {
    slots_.clear();
    count_ = 0;
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    const char* text = nullptr;
    size_t size = kUnused;
    V value{};
    bool used() const { return size != kUnused; }
  };
  static constexpr size_t kUnused = SIZE_MAX;
  static uint64_t Hash(std::string_view key) { return std::hash<std::string_view>{}(key); }
  std::pair<V*, bool> Place(std::string_view key, V value, TextArena* keys) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const uint64_t hash = Hash(key);
    Slot& slot = slots_[SlotOf(key, hash)];
    if (slot.used()) return {&slot.value, false};
    if (keys) key = keys->Keep(key);
    slot = Slot{hash, key.data(), key.size(), std::move(value)};
    ++count_;
    return {&slot.value, true};
  }
  // The slot holding `key`, or the empty one where it would go.
  size_t SlotOf(std::string_view key, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& s = slots_[at];
      if (!s.used() || (s.hash == hash && std::string_view(s.text, s.size) == key)) return at;
    }
  }
  void Grow() {
    std::vector<Slot> old(std::max<size_t>(16, slots_.size() * 2));
    old.swap(slots_);
    for (Slot& s : old)
      if (s.used()) slots_[SlotOf(std::string_view(s.text, s.size), s.hash)] = std::move(s);
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace vl
