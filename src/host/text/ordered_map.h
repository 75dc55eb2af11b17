// A dictionary that keeps its keys in insertion order; keys are compared
// exactly (case-sensitive). Look-ups by key are constant time.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "errors/vl_error.h"

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
    }
    return *this;
  }
  OrderedMap(OrderedMap&&) noexcept = default;
  OrderedMap& operator=(OrderedMap&&) noexcept = default;

  bool Exists(const std::string& key) const { return index_.count(key) != 0; }
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
      index_.emplace(entries_.back().first, entries_.size() - 1);
    } catch (...) {
      entries_.pop_back();
      throw;
    }
    ++live_;
  }

  // The item of `key`; a key that is missing is added with a default item
  // (as reading a dictionary item does).
  V& operator[](const std::string& key) {
    auto it = index_.find(key);
    if (it != index_.end()) return entries_[it->second].second;
    Add(key, V{});
    return entries_.back().second;
  }

  // The item of `key`, or nullptr; never adds.
  const V* Find(const std::string& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }
  V* Find(const std::string& key) {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }

  bool Remove(const std::string& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return false;
    const size_t at = it->second;
    index_.erase(it);  // before its key, which it refers to, is cleared
    entries_[at].first.clear();
    erased_.resize(entries_.size(), false);
    erased_[at] = true;
    --live_;
    return true;
  }

  void Clear() {
    index_.clear();
    entries_.clear();
    erased_.clear();
    live_ = 0;
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
  void Reindex() {
    index_.clear();
    for (size_t i = 0; i < entries_.size(); ++i)
      if (i >= erased_.size() || !erased_[i]) index_.emplace(entries_[i].first, i);
  }

  // A run keeps a translation per copied object, hundreds of thousands of
  // them: the index refers to each key where the entry keeps it rather
  // than holding a copy. The entries never move (a deque grows without
  // moving what it holds), so the references stay valid.
  std::deque<Entry> entries_;
  std::unordered_map<std::string_view, size_t> index_;
  std::vector<bool> erased_;
  size_t live_ = 0;
};

}  // namespace vl
