#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace quillon {

// quillon-cli: the editor's commands without a window. The arguments are options and a sequence
// of steps run in order on one document (see `cliUsage`). Answers the exit status: 0 every step
// succeeded, 1 a step was cancelled, 2 a step failed (the run stops at the first that did not
// succeed).
int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// A position or length given on the command line: frames ("4410"), seconds ("1.5s") or
// milliseconds ("250ms") at the document's rate. False when the text is none of these.
bool parseCliPosition(const std::string& text, int32_t sampleRate, int32_t& frames);

// The --help text. The words of the effects, the layout of headerless files and the format
// settings are those of their dialogs' forms.
std::string cliUsage();

}  // namespace quillon
