#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_file.h"

namespace quillon::platform {

// The file that stands in for the registry: $XDG_CONFIG_HOME/quillon/settings.ini.
// Nothing is cached: every read parses the file as it is now. Every change takes an advisory
// lock, re-reads the file, applies the change and replaces the file atomically, so concurrent
// writers from several processes lose nothing and a crash never leaves a truncated file.
// A file that cannot be parsed reads as empty (every value at its default); before the first
// change replaces it, it is kept aside as "settings.ini.unreadable" (or ".unreadable.N").
class SettingsFile {
 public:
  // The user's settings file, located afresh from the environment at every call.
  static SettingsFile user();
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}

  std::optional<std::string> read(std::string_view section, std::string_view name) const;
  std::vector<std::string> names(std::string_view section) const;
  // The whole file as it is now (empty when missing; nothing when it cannot be parsed).
  std::optional<IniFile> readAll() const { return load(); }

  // False when the file could not be written (the change is then lost, nothing else).
  bool write(std::string_view section, std::string_view name, std::string_view value);
  bool remove(std::string_view section, std::string_view name);
  bool removeSection(std::string_view section);
  // Applies several changes under one lock and one replacement.
  bool update(const std::function<void(IniFile&)>& change);

  const std::string& path() const { return path_; }

 private:
  std::optional<IniFile> load() const;

  std::string path_;
};

}  // namespace quillon::platform
