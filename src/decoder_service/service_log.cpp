#include "decoder_service/service_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/paths.h"
#include "platform/xdg_dirs.h"

namespace quillon::decoder {

std::string serviceLogPath() {
  return platform::joinPath(platform::XdgDirs::stateFolder(), "korrel.txt");
}

void serviceLog(const char* format, ...) {
  char line[kMaxLogMessage + 2];
  va_list arguments;
  va_start(arguments, format);
  const int written = std::vsnprintf(line, kMaxLogMessage + 1, format, arguments);
  va_end(arguments);
  size_t length = written > 0 ? std::min(size_t(written), kMaxLogMessage) : 0;
  line[length++] = '\n';

  // Each line is written in one call, to an append-only file: the lines of korrel and of the
  // editors that share the log never interleave within a line.
  (void)!::write(STDERR_FILENO, line, length);
  if (!platform::makeFolders(platform::XdgDirs::stateFolder())) return;
  // A state file: never written through a link, and never waited on (a FIFO planted there).
  const int log = ::open(serviceLogPath().c_str(),
                         O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (log < 0) return;
  struct stat st {};
  if (::fstat(log, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(log);
    return;
  }
  (void)!::write(log, line, length);
  ::close(log);
}

}  // namespace quillon::decoder
