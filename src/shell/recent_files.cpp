#include "shell/recent_files.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "platform/settings.h"
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

const RecentFiles::Entry* RecentFiles::entry(size_t index) const {
  return index < entries_.size() ? &entries_[index] : nullptr;
}

void RecentFiles::load() {
  entries_.clear();
  const int64_t time = now ? now() : currentTime();
  for (size_t i = 0;; ++i) {
    const std::string path = settings::readText(kSubKey, key("File", i));
    if (path.empty()) break;
    const int64_t when = settings::readNumber(kSubKey, key("Time", i), int32_t(time));
    if (platform::fileExists(path)) entries_.insert(entries_.begin(), {when, path});
  }
  sort();
}

void RecentFiles::save() const {
  RecentFiles sorted = *this;
  sorted.sort();
  size_t i = 0;
  for (const Entry& e : sorted.entries_) {
    settings::writeText(kSubKey, key("File", i), e.path);
    settings::writeNumber(kSubKey, key("Time", i), int32_t(e.time));
    ++i;
  }
  settings::writeText(kSubKey, key("File", i), "");
  settings::writeNumber(kSubKey, key("Time", i), 0);
}

void RecentFiles::add(const std::string& path) {
  if (!platform::fileExists(path)) return;
  const int64_t time = now ? now() : currentTime();
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return samePath(e.path, path); });
  if (it != entries_.end()) {
    it->time = time;
  } else {
    entries_.insert(entries_.begin(), {time, path});
  }
  sort();
  notify();
  save();
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

// Newest first; equal times keep their order.
void RecentFiles::sort() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const Entry& a, const Entry& b) { return a.time > b.time; });
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
