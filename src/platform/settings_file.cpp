#include "platform/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"
#include "platform/xdg_dirs.h"

namespace quillon::platform {
namespace {

// Holds an exclusive flock on "<settings>.lock" for its lifetime. flock locks belong to the
// open file description, so two threads of one process exclude each other too.
class WriteLock {
 public:
  explicit WriteLock(const std::string& path) {
    fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~WriteLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

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
  WriteLock lock(path_);
  if (!lock.held()) return false;

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
