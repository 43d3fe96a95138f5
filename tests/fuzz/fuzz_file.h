#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "platform/file.h"
#include "platform/ref_counted.h"

namespace quillon::fuzz {

// Readers open paths: the fuzz input goes into a private temporary file first.
inline std::string inputFile(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/quillon-fuzz-" + std::to_string(::getpid());
  }();
  platform::File file;
  file.open(path, platform::File::Mode::Create);
  file.write(data, size);
  return path;
}

// Exercises a source the way the program does: length, reads in blocks, seeks around, within a
// bound of frames so that a huge declared length cannot make a run slow.
inline void exercise(const Ref<SampleSource>& source) {
  constexpr int32_t kMaxFrames = 1 << 16;
  std::vector<Sample> buffer(size_t(8192) * source->channels());
  const int32_t length = source->length();
  int32_t done = 0;
  while (done < std::min(length, kMaxFrames)) {
    const int32_t n = std::min<int32_t>(8192, std::min(length, kMaxFrames) - done);
    if (source->read(buffer.data(), n) < 0) break;
    done += n;
  }
  for (int64_t at : {int64_t{-5}, int64_t{0}, int64_t{1}, int64_t{length} / 2, int64_t{length} - 1,
                     int64_t{length} + 3}) {
    source->seek(int32_t(std::min<int64_t>(at, 0x7FFFFFFF)));
    source->read(buffer.data(), 100);
  }
  source->lengthUnknown();
  source->position();
}

}  // namespace quillon::fuzz
