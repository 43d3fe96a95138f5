#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace quillon {

// Reads little-endian fields straight from a file, in order, for formats whose skipped parts may
// be far larger than anything worth holding in memory. The offset never passes the end of the
// file: a field or a skip that would run past it fails the reader, and failed reads answer 0,
// so a parser can read a whole record and check `ok()` once.
class FileFieldReader {
 public:
  FileFieldReader(platform::File& file, int64_t fileSize) : file_(file), fileSize_(fileSize) {}

  bool ok() const { return ok_; }
  int64_t offset() const { return offset_; }
  int64_t remaining() const { return fileSize_ - offset_; }

  uint8_t u8();
  uint16_t u16le();
  uint32_t u32le();
  int32_t s32le() { return static_cast<int32_t>(u32le()); }
  bool bytes(uint8_t* out, size_t count);
  void skip(int64_t count);

 private:
  platform::File& file_;
  int64_t fileSize_;
  int64_t offset_ = 0;
  bool ok_ = true;
  std::array<uint8_t, 4> field_{};
};

}  // namespace quillon
