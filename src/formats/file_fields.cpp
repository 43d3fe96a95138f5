#include "formats/file_fields.h"

#include "formats/byte_io.h"

namespace quillon {

uint8_t FileFieldReader::u8() {
  return bytes(field_.data(), 1) ? ByteReader(field_.data(), 1).u8() : 0;
}

uint16_t FileFieldReader::u16le() {
  return bytes(field_.data(), 2) ? ByteReader(field_.data(), 2).u16le() : 0;
}

uint32_t FileFieldReader::u32le() {
  return bytes(field_.data(), 4) ? ByteReader(field_.data(), 4).u32le() : 0;
}

bool FileFieldReader::bytes(uint8_t* out, size_t count) {
  const auto wanted = static_cast<int64_t>(count);
  if (!ok_ || wanted > remaining() || file_.readAt(out, count, offset_) != wanted) {
    ok_ = false;
    return false;
  }
  offset_ += wanted;
  return true;
}

void FileFieldReader::skip(int64_t count) {
  if (!ok_ || count < 0 || count > remaining()) {
    ok_ = false;
    return;
  }
  offset_ += count;
}

}  // namespace quillon
