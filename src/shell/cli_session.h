#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/job.h"

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

class WaveDocument;

// A step that another part of the program adds to the command line (the wave view's `peaks`
// and `render`): its name, its positional arguments (the first is a path when `pathArgument`),
// its name=value words, its lines for --help, and what it does with the open document. It
// answers whether it was done, cancelled or failed, saying why on `err`.
struct CliStep {
  std::string name;
  int arguments = 0;
  bool pathArgument = false;
  std::set<std::string> words;
  std::string usage;
  std::function<JobResult(WaveDocument& document, const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& words, std::ostream& out,
                          std::ostream& err)>
      run;
};
// Adds a step (a later step of the same name replaces it).
void addCliStep(CliStep step);

}  // namespace quillon
