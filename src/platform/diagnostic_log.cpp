#include "platform/diagnostic_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/xdg_dirs.h"

namespace quillon::platform {

void appendDiagnosticLine(const std::string& fileName, std::string_view message) {
  std::string line(message.substr(0, 512));
  line += '\n';
  // Written in one call, so lines of the two programs never interleave within a line.
  (void)!::write(STDERR_FILENO, line.data(), line.size());
  const std::string folder = XdgDirs::stateFolder();
  if (!makeFolders(folder)) return;
  const int fd =
      ::open(joinPath(folder, fileName).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  (void)!::write(fd, line.data(), line.size());
  ::close(fd);
}

}  // namespace quillon::platform
