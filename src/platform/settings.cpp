#include "platform/settings.h"

#include <limits>

#include "platform/settings_file.h"
#include "platform/text_encoding.h"
#include "platform/xdg_dirs.h"

namespace quillon::settings {

bool readText(std::string_view subKey, std::string_view name, std::string_view defaultText,
              std::string& out) {
  std::optional<std::string> value = platform::SettingsFile::user().read(subKey, name);
  if (!value || utf16Length(*value) > kMaxValueChars) {
    out = defaultText;
    return false;
  }
  out = value->empty() ? std::string(defaultText) : std::move(*value);
  return true;
}

std::string readText(std::string_view subKey, std::string_view name, std::string_view defaultText) {
  std::string out;
  readText(subKey, name, defaultText, out);
  return out;
}

void writeText(std::string_view subKey, std::string_view name, std::string_view text) {
  platform::SettingsFile::user().write(subKey, name, text);
}

int32_t parseLeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t readNumber(std::string_view subKey, std::string_view name, int32_t defaultNumber) {
  std::string text = readText(subKey, name, "");
  return text.empty() ? defaultNumber : parseLeadingNumber(text);
}

void writeNumber(std::string_view subKey, std::string_view name, int32_t number) {
  writeText(subKey, name, std::to_string(number));
}

bool readFlag(std::string_view subKey, std::string_view name, bool defaultFlag) {
  std::string text = readText(subKey, name, "");
  return text.empty() ? defaultFlag : text[0] != '0';
}

void writeFlag(std::string_view subKey, std::string_view name, bool flag) {
  writeText(subKey, name, flag ? "1" : "0");
}

void removeValue(std::string_view subKey, std::string_view name) {
  platform::SettingsFile::user().remove(subKey, name);
}

void removeSubKey(std::string_view subKey) {
  platform::SettingsFile::user().removeSection(subKey);
}

std::string defaultChooserFolder() {
  std::string music = platform::XdgDirs::musicDir();
  if (!music.empty() && platform::makeFolders(music)) return music;
  std::string working = platform::XdgDirs::cacheFolder();
  platform::makeFolders(working);
  return working;
}

std::string FolderSetting::read() const {
  std::string out;
  if (readText(subKey, name, "", out) && !out.empty()) return out;
  return defaultChooserFolder();
}

}  // namespace quillon::settings
