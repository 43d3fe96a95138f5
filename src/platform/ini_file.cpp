#include "platform/ini_file.h"

#include <algorithm>

namespace quillon::platform {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string escape(std::string_view text, bool isName) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\0':
        out += "\\0";
        break;
      case '=':
      case '[':
      case ']':
      case ';':
      case '#':
        if (isName) out += '\\';
        out += c;
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Unescapes text up to (not including) the first unescaped `stop`; `end` receives its index
// (npos when absent). Nothing when a backslash ends the text.
std::optional<std::string> unescape(std::string_view text, char stop, size_t& end) {
  std::string out;
  end = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == stop) {
      end = i;
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case '0':
        out += '\0';
        break;
      default:
        out += text[i];
    }
  }
  return out;
}

}  // namespace

std::optional<IniFile> IniFile::parse(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  IniFile ini;
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    size_t stop = newline == std::string_view::npos ? text.size() : newline;
    const std::string_view raw = text.substr(start, stop - start);
    start = stop + 1;
    std::string_view line = raw;  // a line of a CRLF file counts without its CR
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::vector<Line>& lines = ini.sections_.empty() ? ini.preamble_ : ini.sections_.back().lines;
    if (line.empty() || line[0] == ';' || line[0] == '#') {
      lines.push_back({false, {}, std::string(raw)});  // kept byte for byte
      continue;
    }
    size_t end = 0;
    if (line[0] == '[') {
      auto name = unescape(line.substr(1), ']', end);
      if (!name || line.size() < 2 || end != line.size() - 2) return std::nullopt;
      ini.sections_.push_back({std::move(*name), {}});
      continue;
    }
    if (ini.sections_.empty()) return std::nullopt;
    auto name = unescape(line, '=', end);
    if (!name || end == std::string_view::npos) return std::nullopt;
    size_t ignored = 0;
    auto value = unescape(line.substr(end + 1), '\n', ignored);
    if (!value) return std::nullopt;
    lines.push_back({true, std::move(*name), std::move(*value)});
  }
  return ini;
}

std::string IniFile::serialize() const {
  std::string out;
  auto emit = [&out](const std::vector<Line>& lines) {
    for (const Line& line : lines) {
      if (line.isEntry) {
        out += escape(line.name, true) + "=" + escape(line.text, false) + "\n";
      } else {
        out += line.text + "\n";
      }
    }
  };
  emit(preamble_);
  for (const Section& section : sections_) {
    out += '[';
    out += escape(section.name, true);
    out += "]\n";
    emit(section.lines);
  }
  return out;
}

IniFile::Section* IniFile::findSection(std::string_view name) {
  for (Section& section : sections_) {
    if (sameName(section.name, name)) return &section;
  }
  return nullptr;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
  return const_cast<IniFile*>(this)->findSection(name);
}

const std::string* IniFile::find(std::string_view section, std::string_view name) const {
  const Section* s = findSection(section);
  if (!s) return nullptr;
  for (const Line& line : s->lines) {
    if (line.isEntry && sameName(line.name, name)) return &line.text;
  }
  return nullptr;
}

void IniFile::set(std::string_view section, std::string_view name, std::string_view value) {
  Section* s = findSection(section);
  if (!s) {
    sections_.push_back({std::string(section), {}});
    s = &sections_.back();
  }
  for (Line& line : s->lines) {
    if (line.isEntry && sameName(line.name, name)) {
      line.text = value;
      return;
    }
  }
  s->lines.push_back({true, std::string(name), std::string(value)});
}

bool IniFile::remove(std::string_view section, std::string_view name) {
  Section* s = findSection(section);
  if (!s) return false;
  auto it = std::find_if(s->lines.begin(), s->lines.end(), [&](const Line& line) {
    return line.isEntry && sameName(line.name, name);
  });
  if (it == s->lines.end()) return false;
  s->lines.erase(it);
  return true;
}

void IniFile::removeSection(std::string_view section) {
  std::erase_if(sections_, [&](const Section& s) { return sameName(s.name, section); });
}

std::vector<std::string> IniFile::names(std::string_view section) const {
  std::vector<std::string> out;
  if (const Section* s = findSection(section)) {
    for (const Line& line : s->lines) {
      if (line.isEntry) out.push_back(line.name);
    }
  }
  return out;
}

}  // namespace quillon::platform
