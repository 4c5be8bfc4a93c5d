#pragma once
// Entries by key, at most a given number, the least recently read the first
// to go: a flood of new keys cannot grow the memory, and an entry that a
// caller still holds lives on with it. Not locked: its owner's lock guards it.

#include <algorithm>
#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

template <typename Entry>  // an Entry has a `key`
class RecentlyRead {
 public:
  // The entry of `key`, made by `make` when there is none, now the most
  // recently read; the least recently read go past `limit` entries.
  template <typename Make>
  std::shared_ptr<Entry> touch(const std::string& key, std::size_t limit, Make make) {
    auto found = entries_.find(key);
    if (found != entries_.end()) {
      order_.splice(order_.begin(), order_, found->second);
      return *found->second;
    }
    order_.push_front(make());
    entries_.emplace(key, order_.begin());
    std::shared_ptr<Entry> entry = order_.front();
    while (entries_.size() > std::max<std::size_t>(1, limit)) {
      entries_.erase(order_.back()->key);
      order_.pop_back();
    }
    return entry;
  }
  std::size_t size() const { return entries_.size(); }

 private:
  using Order = std::list<std::shared_ptr<Entry>>;  // the most recently read first
  Order order_;
  std::unordered_map<std::string, typename Order::iterator> entries_;
};
