#include "formats/byte_io.h"

#include <cstring>

namespace quillon {

const uint8_t* ByteReader::take(size_t count) {
  if (!ok_ || count > size_ - position_) {
    ok_ = false;
    position_ = size_;
    return nullptr;
  }
  const uint8_t* at = data_ + position_;
  position_ += count;
  return at;
}

uint8_t ByteReader::u8() {
  const uint8_t* p = take(1);
  return p ? p[0] : 0;
}

uint16_t ByteReader::u16le() {
  const uint8_t* p = take(2);
  return p ? uint16_t(p[0] | p[1] << 8) : 0;
}

uint16_t ByteReader::u16be() {
  const uint8_t* p = take(2);
  return p ? uint16_t(p[0] << 8 | p[1]) : 0;
}

uint32_t ByteReader::u32le() {
  const uint8_t* p = take(4);
  return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24 : 0;
}

uint32_t ByteReader::u32be() {
  const uint8_t* p = take(4);
  return p ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]) : 0;
}

std::string ByteReader::fourCC() {
  const uint8_t* p = take(4);
  return p ? std::string(reinterpret_cast<const char*>(p), 4) : std::string();
}

bool ByteReader::bytes(uint8_t* out, size_t count) {
  const uint8_t* p = take(count);
  if (p && count) std::memcpy(out, p, count);
  return p != nullptr;
}

void ByteReader::skip(size_t count) {
  take(count);
}

ByteWriter& ByteWriter::u8(uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

ByteWriter& ByteWriter::u16le(uint16_t value) {
  return u8(uint8_t(value)).u8(uint8_t(value >> 8));
}
ByteWriter& ByteWriter::u16be(uint16_t value) {
  return u8(uint8_t(value >> 8)).u8(uint8_t(value));
}

ByteWriter& ByteWriter::u32le(uint32_t value) {
  return u16le(uint16_t(value)).u16le(uint16_t(value >> 16));
}

ByteWriter& ByteWriter::u32be(uint32_t value) {
  return u16be(uint16_t(value >> 16)).u16be(uint16_t(value));
}

ByteWriter& ByteWriter::fourCC(std::string_view id) {
  for (size_t i = 0; i < 4; ++i)
    u8(i < id.size() ? uint8_t(id[i]) : uint8_t(' '));
  return *this;
}

ByteWriter& ByteWriter::bytes(const uint8_t* data, size_t count) {
  bytes_.insert(bytes_.end(), data, data + count);
  return *this;
}

ByteWriter& ByteWriter::zeros(size_t count) {
  bytes_.insert(bytes_.end(), count, 0);
  return *this;
}

}  // namespace quillon
