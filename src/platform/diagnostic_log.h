#pragma once

#include <string>
#include <string_view>

namespace quillon::platform {

// Appends one diagnostic line to "<state folder>/<fileName>" ($XDG_STATE_HOME/quillon) and to
// the standard error stream. The message is cut at 512 characters; a file that cannot be opened
// is ignored. The MP3 decoding service and its client write "korrel.txt" this way.
void appendDiagnosticLine(const std::string& fileName, std::string_view message);

}  // namespace quillon::platform
