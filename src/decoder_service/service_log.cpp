#include "decoder_service/service_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/xdg_dirs.h"

namespace quillon::decoder {

std::string serviceLogPath() {
  return platform::joinPath(platform::XdgDirs::stateFolder(), "korrel.txt");
}

void serviceLog(const char* format, ...) {
  char message[kMaxLogMessage + 1];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);

  std::fprintf(stderr, "%s\n", message);
  platform::makeFolders(platform::XdgDirs::stateFolder());
  if (std::FILE* log = std::fopen(serviceLogPath().c_str(), "a")) {
    std::fprintf(log, "%s\n", message);
    std::fclose(log);
  }
}

}  // namespace quillon::decoder
