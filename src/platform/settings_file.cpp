#include "platform/settings_file.h"

#include "platform/file.h"
#include "platform/lock_file.h"
#include "platform/paths.h"
#include "platform/xdg_dirs.h"

namespace quillon::platform {
namespace {

// Keeps an unparsable file's bytes under a name that no later write replaces.
bool keepAside(const std::string& path, const std::string& bytes) {
  std::string aside = path + ".unreadable";
  for (int n = 1; fileExists(aside); ++n)
    aside = path + ".unreadable." + std::to_string(n);
  return replaceFileAtomically(aside, bytes);
}

}  // namespace

SettingsFile SettingsFile::user() {
  return SettingsFile(joinPath(XdgDirs::configFolder(), "settings.ini"));
}

std::optional<IniFile> SettingsFile::load() const {
  std::string text;
  if (!readWholeFile(path_, text)) return IniFile{};  // missing: empty
  return IniFile::parse(text);
}

std::optional<std::string> SettingsFile::read(std::string_view section,
                                              std::string_view name) const {
  std::optional<IniFile> ini = load();
  if (!ini) return std::nullopt;
  const std::string* value = ini->find(section, name);
  if (!value) return std::nullopt;
  return *value;
}

std::vector<std::string> SettingsFile::names(std::string_view section) const {
  std::optional<IniFile> ini = load();
  return ini ? ini->names(section) : std::vector<std::string>{};
}

bool SettingsFile::update(const std::function<void(IniFile&)>& change) {
  if (!makeFolders(parentFolder(path_))) return false;
  // Held until the file is replaced; two threads of one process exclude each other too.
  const LockFile lock = LockFile::acquire(path_ + ".lock", LockFile::Mode::Exclusive);
  if (!lock.locked()) return false;

  std::string text;
  IniFile ini;
  if (!readWholeFile(path_, text)) {
    if (fileExists(path_)) return false;  // there but unreadable: leave it alone
  } else {
    std::optional<IniFile> parsed = IniFile::parse(text);
    if (parsed) {
      ini = std::move(*parsed);
    } else if (!keepAside(path_, text)) {
      return false;  // never replace what we could not keep
    }
  }
  change(ini);
  return replaceFileAtomically(path_, ini.serialize());
}

bool SettingsFile::write(std::string_view section, std::string_view name, std::string_view value) {
  return update([&](IniFile& ini) { ini.set(section, name, value); });
}

bool SettingsFile::remove(std::string_view section, std::string_view name) {
  return update([&](IniFile& ini) { ini.remove(section, name); });
}

bool SettingsFile::removeSection(std::string_view section) {
  return update([&](IniFile& ini) { ini.removeSection(section); });
}

}  // namespace quillon::platform
