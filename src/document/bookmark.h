#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// A named position in a document, kept in insertion order and saved in the ".qbm" side file.
struct Bookmark {
  std::string name;
  std::string secondText;     // saved and loaded with the record, not shown
  int32_t positionMs = 0;     // kept for old side files, derived for newer ones
  int32_t position = 0;       // frames
  int32_t positionRate = 0;   // the sample rate that `position` refers to
  uint8_t flag = 1;           // saved and loaded as it is
  uint32_t value = 0;         // saved and loaded as it is
  int32_t displayNumber = 0;  // the number drawn in the flag
};

}  // namespace quillon
