#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/interaction.h"

namespace quillon::browser {

// One entry of the type box: its text and the extensions it lists (".wav"; one leading "*" of
// each pattern is dropped). A filter listing ".*" keeps every file.
struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;
  bool matchAll = false;

  // Builds a filter from a pattern list such as "*.aif;*.aiff" or ".wav".
  static FileFilter make(std::string description, const std::string& patternList);

  // True when the name ends in one of the patterns: leading "*" and "." are dropped from the
  // pattern and the rest must follow a "." at the end of the name, compared without case.
  bool matches(const std::string& name) const;
};

std::vector<FileFilter> filtersFor(const std::vector<FileChooserRequest::FileType>& types);

// The type selected at first for `name`: among the filters matching it, the one with the fewest
// patterns (a match-all filter counts as the largest); ties keep the earlier; with no match, the
// first. 0 for an empty table.
int initialFilter(const std::vector<FileFilter>& filters, const std::string& name);

// The name a typed name stands for under `filter`: unchanged when the filter keeps every file,
// has no patterns or already matches it; otherwise the filter's first pattern becomes its
// extension, replacing an extension that another filter of the table knows ("song.mp3" under
// Wave becomes "song.wav") and else added ("take1" becomes "take1.wav", "Take 1.2" becomes
// "Take 1.2.wav").
std::string withFilterExtension(const std::string& name, const FileFilter& filter,
                                const std::vector<FileFilter>& filters);

// The text of the size column: "%.0f B" below 1000 bytes, else kilo, mega or giga in whole
// units ("2 K" for 1500 bytes). Exactly 1000 bytes is "1 K", and so on up.
std::string sizeText(int64_t bytes);

}  // namespace quillon::browser
