// A dictionary that keeps its keys in insertion order; keys are compared
// exactly (case-sensitive). Look-ups by key are constant time.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors/vl_error.h"
#include "host/text/text_table.h"

namespace vl {

template <typename V>
class OrderedMap {
 public:
  using Entry = std::pair<std::string, V>;

  OrderedMap() = default;
  // The index refers to the keys of this map's own entries: a copy makes
  // an index of its own. (A move keeps the entries where they are.)
  OrderedMap(const OrderedMap& other)
      : entries_(other.entries_), erased_(other.erased_), live_(other.live_) {
    Reindex();
  }
  OrderedMap& operator=(const OrderedMap& other) {
    if (this != &other) {
      entries_ = other.entries_;
      erased_ = other.erased_;
      live_ = other.live_;
      Reindex();
      layout_ = NewLayout();
    }
    return *this;
  }
  OrderedMap(OrderedMap&& other) noexcept
      : entries_(std::move(other.entries_)),
        index_(std::move(other.index_)),
        erased_(std::move(other.erased_)),
        live_(other.live_) {
    other.Clear();
  }
  OrderedMap& operator=(OrderedMap&& other) noexcept {
    if (this != &other) {
      entries_ = std::move(other.entries_);
      index_ = std::move(other.index_);
      erased_ = std::move(other.erased_);
      live_ = other.live_;
      layout_ = NewLayout();
      other.Clear();
    }
    return *this;
  }

  bool Exists(const std::string& key) const { return index_.Find(key) != nullptr; }
  size_t Count() const { return index_.size(); }
  bool Empty() const { return index_.empty(); }

  // Adds a new key; throws VlError(err::kKeyAlreadyExists) when the key is
  // present (the map is then unchanged).
  void Add(const std::string& key, V value) {
    if (Exists(key))
      throw VlError(err::kKeyAlreadyExists, "Dictionary",
                    "This key is already associated with an element of this collection");
    entries_.emplace_back(key, std::move(value));
    try {
      index_.Insert(entries_.back().first, entries_.size() - 1);
    } catch (...) {
      entries_.pop_back();
      throw;
    }
    ++live_;
  }

  // The item of `key`; a key that is missing is added with a default item
  // (as reading a dictionary item does).
  V& operator[](const std::string& key) { return entries_[PositionOf(key)].second; }

  // Where the entry of `key` stands, a missing key added first with a
  // default item. An entry keeps its position until
  // the map is cleared or assigned to, which changes layout().
  size_t PositionOf(const std::string& key) {
    if (const size_t* at = index_.Find(key)) return *at;
    Add(key, V{});
    return entries_.size() - 1;
  }
  V& ItemAt(size_t position) { return entries_[position].second; }
  // Differs between any two maps, and for one map before and after it was
  // cleared or assigned to: what is known of the entries by their
  // positions holds while the layout is the same.
  uint64_t layout() const { return layout_; }

  // The item of `key`, or nullptr; never adds.
  const V* Find(const std::string& key) const {
    const size_t* at = index_.Find(key);
    return at ? &entries_[*at].second : nullptr;
  }
  V* Find(const std::string& key) {
    const size_t* at = index_.Find(key);
    return at ? &entries_[*at].second : nullptr;
  }

  bool Remove(const std::string& key) {
    const size_t* found = index_.Find(key);
    if (!found) return false;
    const size_t at = *found;
    index_.Erase(key);  // before its key, which it refers to, is cleared
    entries_[at].first.clear();
    erased_.resize(entries_.size(), false);
    erased_[at] = true;
    --live_;
    return true;
  }

  void Clear() {
    index_.Clear();
    entries_.clear();
    erased_.clear();
    live_ = 0;
    layout_ = NewLayout();
  }

  // Calls f(key, value) in insertion order.
  template <typename F>
  void ForEach(F&& f) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (i >= erased_.size() || !erased_[i]) f(entries_[i].first, entries_[i].second);
  }

  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    keys.reserve(live_);
    ForEach([&](const std::string& k, const V&) { keys.push_back(k); });
    return keys;
  }

 private:
  static uint64_t NewLayout() {
    static std::atomic<uint64_t> layouts{0};
    return ++layouts;
  }
  void Reindex() {
    index_.Clear();
    for (size_t i = 0; i < entries_.size(); ++i)
      if (i >= erased_.size() || !erased_[i]) index_.Insert(entries_[i].first, i);
  }

  // A run keeps a translation per copied object, hundreds of thousands of
  // them: the index refers to each key where the entry keeps it rather
  // than holding a copy. The entries never move (a deque grows without
  // moving what it holds), so the references stay valid.
  std::deque<Entry> entries_;
  TextTable<size_t> index_;
  std::vector<bool> erased_;
  size_t live_ = 0;
  uint64_t layout_ = NewLayout();
};

}  // namespace vl
