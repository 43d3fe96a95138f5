// AIFF and AU headers of any content; the first byte chooses the reader.
#include "formats/aiff.h"
#include "formats/au.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path = quillon::fuzz::inputFile(data + 1, size - 1);
  quillon::fuzz::exercise(data[0] & 1 ? quillon::OpenAiffSource(path)
                                      : quillon::OpenAuSource(path));
  return 0;
}
