// The settings file is read from disk, where anything may stand in it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<quillon::platform::IniFile> ini = quillon::platform::IniFile::parse(text);
  if (!ini) return 0;
  // What parses must serialise to text that parses to the same thing.
  std::string again = ini->serialize();
  std::optional<quillon::platform::IniFile> back = quillon::platform::IniFile::parse(again);
  if (!back || back->serialize() != again) __builtin_trap();
  return 0;
}
