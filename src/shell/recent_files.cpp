#include "shell/recent_files.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "platform/settings.h"
#include "platform/settings_file.h"
#include "platform/text_encoding.h"
#include "platform/xdg_dirs.h"

namespace quillon {
namespace {

constexpr char kSubKey[] = "MRU";

std::string key(const char* name, size_t i) {
  return name + std::to_string(i);
}

int64_t currentTime() {
  return int64_t(std::time(nullptr));
}

bool samePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

// The list as the store holds it ("File%i"/"Time%i" up to the first empty or unreadable "File"),
// without the files that no longer exist, newest first.
std::vector<RecentFiles::Entry> RecentFiles::readList(const platform::IniFile& ini, int64_t time) {
  std::vector<Entry> entries;
  for (size_t i = 0;; ++i) {
    const std::string* path = ini.find(kSubKey, key("File", i));
    if (!path || path->empty() || utf16Length(*path) > settings::kMaxValueChars) break;
    const std::string* when = ini.find(kSubKey, key("Time", i));
    const int64_t stamp = when && !when->empty() ? settings::parseLeadingNumber(*when) : time;
    if (platform::fileExists(*path)) entries.push_back({stamp, *path});
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.time > b.time; });
  return entries;
}

// Replaces the stored list by `entries`, at most kMaxEntries of them, ended by an empty "File".
void RecentFiles::writeList(platform::IniFile& ini, const std::vector<Entry>& entries) {
  ini.removeSection(kSubKey);
  size_t i = 0;
  for (; i < entries.size() && i < kMaxEntries; ++i) {
    ini.set(kSubKey, key("File", i), entries[i].path);
    ini.set(kSubKey, key("Time", i), std::to_string(int32_t(entries[i].time)));
  }
  ini.set(kSubKey, key("File", i), "");
  ini.set(kSubKey, key("Time", i), "0");
}

const RecentFiles::Entry* RecentFiles::entry(size_t index) const {
  return index < entries_.size() ? &entries_[index] : nullptr;
}

void RecentFiles::load() {
  const int64_t time = now ? now() : currentTime();
  const std::optional<platform::IniFile> ini = platform::SettingsFile::user().readAll();
  entries_ = ini ? readList(*ini, time) : std::vector<Entry>{};
  if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
}

void RecentFiles::save() const {
  platform::SettingsFile::user().update([&](platform::IniFile& ini) { writeList(ini, entries_); });
}

// One transaction: the list another run may have changed since is read again under the lock,
// the file goes to its top, and the list is written back in one replacement.
void RecentFiles::add(const std::string& path) {
  if (!platform::fileExists(path)) return;
  const int64_t time = now ? now() : currentTime();
  std::vector<Entry> merged;
  const bool stored = platform::SettingsFile::user().update([&](platform::IniFile& ini) {
    merged = readList(ini, time);
    merge(merged, {time, path});
    writeList(ini, merged);
  });
  if (!stored) {  // the store cannot be written: the list of this run still changes
    merged = entries_;
    merge(merged, {time, path});
  }
  entries_ = std::move(merged);
  if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
  notify();
}

void RecentFiles::merge(std::vector<Entry>& entries, const Entry& added) {
  std::erase_if(entries, [&](const Entry& e) { return samePath(e.path, added.path); });
  entries.insert(entries.begin(), added);
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.time > b.time; });
}

void RecentFiles::clear() {
  entries_.clear();
  save();
  notify();
}

bool RecentFiles::addObserver(Observer* observer) {
  if (observers_.size() >= kMaxObservers) return false;
  observers_.push_back(observer);
  observer->begin();
  for (const Entry& e : entries_)
    observer->entry(e.path);
  observer->end();
  return true;
}

void RecentFiles::notify() {
  for (Observer* observer : observers_) {
    observer->begin();
    for (const Entry& e : entries_)
      observer->entry(e.path);
    observer->end();
  }
}

}  // namespace quillon
