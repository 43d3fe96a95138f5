#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Reads fields of a header held in memory with explicit byte order. Every read is bounds
// checked: reading past the end yields 0 and marks the reader as failed, so a parser can read a
// whole record and check `ok()` once.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit ByteReader(const std::vector<uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

  bool ok() const { return ok_; }
  size_t position() const { return position_; }
  size_t remaining() const { return size_ - position_; }

  uint8_t u8();
  uint16_t u16le();
  uint16_t u16be();
  uint32_t u32le();
  uint32_t u32be();
  int16_t s16le() { return static_cast<int16_t>(u16le()); }
  int16_t s16be() { return static_cast<int16_t>(u16be()); }
  int32_t s32le() { return static_cast<int32_t>(u32le()); }
  int32_t s32be() { return static_cast<int32_t>(u32be()); }
  // Four characters of a chunk or magic id.
  std::string fourCC();
  bool bytes(uint8_t* out, size_t count);
  void skip(size_t count);

 private:
  const uint8_t* take(size_t count);

  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  bool ok_ = true;
};

// Builds a header in memory with explicit byte order.
class ByteWriter {
 public:
  ByteWriter& u8(uint8_t value);
  ByteWriter& u16le(uint16_t value);
  ByteWriter& u16be(uint16_t value);
  ByteWriter& u32le(uint32_t value);
  ByteWriter& u32be(uint32_t value);
  ByteWriter& fourCC(std::string_view id);  // exactly four characters
  ByteWriter& bytes(const uint8_t* data, size_t count);
  ByteWriter& zeros(size_t count);

  const std::vector<uint8_t>& data() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace quillon
