#include "browser/file_filter.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace quillon::browser {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The pattern as it is compared: without leading "*" and "." characters.
std::string_view comparedPart(const std::string& pattern) {
  std::string_view part(pattern);
  while (!part.empty() && (part.front() == '*' || part.front() == '.'))
    part.remove_prefix(1);
  return part;
}

bool endsWithExtension(const std::string& name, std::string_view extension) {
  if (extension.empty() || name.size() <= extension.size()) return false;
  const size_t dot = name.size() - extension.size() - 1;
  if (name[dot] != '.') return false;
  for (size_t i = 0; i < extension.size(); ++i) {
    if (lower(name[dot + 1 + i]) != lower(extension[i])) return false;
  }
  return true;
}

}  // namespace

FileFilter FileFilter::make(std::string description, const std::string& patternList) {
  FileFilter filter;
  filter.description = std::move(description);
  size_t start = 0;
  while (start <= patternList.size()) {
    size_t end = patternList.find(';', start);
    if (end == std::string::npos) end = patternList.size();
    std::string pattern = trimmed(patternList.substr(start, end - start));
    if (!pattern.empty() && pattern.front() == '*') pattern.erase(0, 1);
    if (!pattern.empty()) {
      if (pattern == ".*") filter.matchAll = true;
      filter.patterns.push_back(std::move(pattern));
    }
    start = end + 1;
  }
  return filter;
}

bool FileFilter::matches(const std::string& name) const {
  if (matchAll) return true;
  for (const std::string& pattern : patterns) {
    if (endsWithExtension(name, comparedPart(pattern))) return true;
  }
  return false;
}

std::vector<FileFilter> filtersFor(const std::vector<FileChooserRequest::FileType>& types) {
  std::vector<FileFilter> filters;
  for (const FileChooserRequest::FileType& type : types)
    filters.push_back(FileFilter::make(type.text, type.extension));
  return filters;
}

int initialFilter(const std::vector<FileFilter>& filters, const std::string& name) {
  int chosen = -1;
  size_t fewest = 0;
  for (size_t i = 0; i < filters.size(); ++i) {
    if (!filters[i].matches(name)) continue;
    const size_t count = filters[i].matchAll ? SIZE_MAX : filters[i].patterns.size();
    if (chosen < 0 || count < fewest) {
      chosen = int(i);
      fewest = count;
    }
  }
  return chosen < 0 ? 0 : chosen;
}

std::string withFilterExtension(const std::string& name, const FileFilter& filter,
                                const std::vector<FileFilter>& filters) {
  if (filter.matchAll || filter.patterns.empty() || filter.matches(name)) return name;
  std::string_view extension = comparedPart(filter.patterns.front());
  if (extension.empty()) return name;
  std::string base = name;
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) {
    for (const FileFilter& other : filters) {
      if (!other.matchAll && other.matches(name)) {
        base.erase(dot);
        break;
      }
    }
  }
  return base + "." + std::string(extension);
}

std::string sizeText(int64_t bytes) {
  char text[32];
  const double size = double(bytes);
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%.0f B", size);
  } else if (bytes < 1000000) {
    std::snprintf(text, sizeof text, "%.0f K", size * 0.001);
  } else if (bytes < 1000000000) {
    std::snprintf(text, sizeof text, "%.0f M", size * 0.000001);
  } else {
    std::snprintf(text, sizeof text, "%.0f G", size * 0.000000001);
  }
  return text;
}

}  // namespace quillon::browser
