#pragma once

#include <cstddef>
#include <string>

namespace quillon::decoder {

// The diagnostics log that korrel and the editor's MP3 client share: each message, formatted
// printf-style and cut at 512 characters, is appended as one line ("%s\n") to "korrel.txt" in
// the state folder ($XDG_STATE_HOME/quillon) and also written to standard error, each time with
// a single write, so that lines of several processes never mix. A log that cannot be opened is
// ignored; nothing here needs the decoder library.
void serviceLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The file the log appends to.
std::string serviceLogPath();

inline constexpr size_t kMaxLogMessage = 512;

}  // namespace quillon::decoder
