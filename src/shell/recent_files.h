#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {
namespace platform {
class IniFile;
}

// The files opened and saved lately, newest first, kept under the settings sub key "MRU" as
// "File%i"/"Time%i" pairs ended by an empty "File%i", at most kMaxEntries of them. Every change
// is one transaction on the store (read, change, one atomic replacement, all under its lock), so
// runs at once lose none of each other's files. Menus watch it as observers.
class RecentFiles {
 public:
  struct Entry {
    int64_t time;  // seconds, as time() gives them
    std::string path;
  };
  // Told about the whole list whenever it changes: begin, each entry in order, end.
  class Observer {
   public:
    virtual ~Observer() = default;
    virtual void begin() = 0;
    virtual void entry(const std::string& path) = 0;
    virtual void end() = 0;
  };
  static constexpr size_t kMaxObservers = 16;
  static constexpr size_t kMenuEntries = 12;
  static constexpr size_t kMaxEntries = 100;

  // Entries whose file no longer exists are dropped.
  void load();
  void save() const;
  // A file that does not exist is not added; one already listed (compared without case) moves
  // to the top with the time now. The list becomes the stored one (with what other runs added)
  // with this file on top.
  void add(const std::string& path);
  void clear();
  size_t count() const { return entries_.size(); }
  const Entry* entry(size_t index) const;
  bool addObserver(Observer* observer);

  // The clock, replaceable for tests.
  std::function<int64_t()> now;

 private:
  static std::vector<Entry> readList(const platform::IniFile& ini, int64_t time);
  static void writeList(platform::IniFile& ini, const std::vector<Entry>& entries);
  static void merge(std::vector<Entry>& entries, const Entry& added);
  void notify();

  std::vector<Entry> entries_;
  std::vector<Observer*> observers_;
};

}  // namespace quillon
