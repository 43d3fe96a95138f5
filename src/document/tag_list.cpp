#include "document/tag_list.h"

#include <algorithm>

namespace quillon {

std::string TagList::get(std::string_view key) const {
  for (const Entry& entry : entries_) {
    if (entry.key == key) return entry.value;
  }
  return {};
}

void TagList::set(std::string_view key, std::string_view value) {
  for (Entry& entry : entries_) {
    if (entry.key == key) {
      entry.value = value;
      return;
    }
  }
  entries_.insert(entries_.begin(), Entry{std::string(key), std::string(value)});
}

void TagList::remove(std::string_view key) {
  std::erase_if(entries_, [key](const Entry& entry) { return entry.key == key; });
}

}  // namespace quillon
