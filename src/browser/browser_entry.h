#pragma once

#include <cstdint>
#include <string>

namespace quillon::browser {

// One row of the browser's list, and one element of every listing and result.
struct BrowserEntry {
  enum class Kind { File = 0, Directory = 1, Link = 2 };

  Kind kind = Kind::File;
  std::string name;      // as shown
  std::string path;      // full path
  int64_t size = 0;      // bytes; 0 for directories
  int64_t modified = 0;  // last write, seconds since the epoch
  bool real = true;      // false for the ".." row
  // A directory, or a link whose target is one: a double click enters it and the type filter
  // keeps it.
  bool opensAsFolder = false;

  bool isParentRow() const { return !real; }
};

// The kind as a word in messages: capitalised where it opens a sentence ("File", "Directory",
// "Link"), else lower-case.
const char* kindWord(BrowserEntry::Kind kind, bool capitalised);

}  // namespace quillon::browser
