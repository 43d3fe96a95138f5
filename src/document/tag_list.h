#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The metadata of a document: key/value texts, keys compared exactly. A new key goes in front.
class TagList {
 public:
  struct Entry {
    std::string key;
    std::string value;
  };

  // The value, or empty text when the key is absent.
  std::string get(std::string_view key) const;
  void set(std::string_view key, std::string_view value);
  void remove(std::string_view key);
  void clear() { entries_.clear(); }
  bool empty() const { return entries_.empty(); }
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace quillon
