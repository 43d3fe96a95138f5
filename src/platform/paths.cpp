#include "platform/paths.h"

#include <cctype>

namespace quillon::platform {

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string parentFolder(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string extensionOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0) {
    return {};
  }
  std::string extension = path.substr(dot);
  for (char& c : extension)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::string storedExtension(const std::string& path) {
  std::string extension = extensionOf(path);
  extension.erase(0, extension.find_first_not_of(".*"));
  return extension;
}

}  // namespace quillon::platform
