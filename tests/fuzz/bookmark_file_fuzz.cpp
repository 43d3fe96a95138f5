// Bookmark side files of any content. Whatever is read must survive being written and read
// again with the same number of records.
#include <cstdlib>

#include "formats/bookmark_file.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = quillon::fuzz::inputFile(data, size);
  const std::vector<quillon::Bookmark> bookmarks = quillon::readBookmarkFile(path, 44100);
  const std::string copy = path + ".qbm";
  if (!quillon::writeBookmarkFile(copy, bookmarks)) std::abort();
  if (quillon::readBookmarkFile(copy, 8000).size() != bookmarks.size()) std::abort();
  quillon::platform::removeFile(copy);
  return 0;
}
