// Closing the databases of a pool that no project uses any more.
#pragma once

#include <exception>

namespace vl {

// Closes and forgets every entry of `open` (a map whose values have
// `users` and a `ds` with Close()) that no one uses. Every such entry is
// forgotten even when its Close() throws; the first failure is kept in
// `failure` unless one is there already.
template <typename Map>
void CloseIdleIn(Map& open, std::exception_ptr& failure) {
  for (auto it = open.begin(); it != open.end();) {
    if (it->second.users > 0) {
      ++it;
      continue;
    }
    try {
      it->second.ds->Close();
    } catch (const std::exception&) {
      if (!failure) failure = std::current_exception();
    }
    it = open.erase(it);
  }
}

}  // namespace vl
