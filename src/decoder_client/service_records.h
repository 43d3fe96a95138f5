#pragma once

#include <cstddef>
#include <cstdint>

// The request and reply records the editor exchanges with korrel, as the client writes and reads
// them: little-endian 32-bit fields at fixed offsets of the query and reply buffers.
namespace quillon::service_records {

// The names and sizes of the channel's objects, all formed from one base word.
inline constexpr char kBaseWord[] = "Quillon";
inline constexpr size_t kQueryBytes = 4096;
inline constexpr size_t kReplyBytes = 16384;

enum RequestCode : uint32_t {
  kPing = 0,
  kOpen = 1,
  kRead = 2,
  kSeek = 3,
  kClose = 4,
  kQuit = 5,
};

// Reply statuses; 4 is the client's own, for a service it cannot reach.
enum ReplyStatus : int32_t {
  kOk = 0,
  kCannotOpen = 1,
  kEndedBeforeFrame = 2,
  kNoDecodableFrame = 3,
  kServiceUnavailable = 4,
  kUnknownRequest = 5,
  kNoFreeStream = 6,
  kUnknownStream = 7,
};

// Open: the code, then the path in UTF-16 with its terminator, 256 units at most.
inline constexpr size_t kPathUnits = 256;
inline constexpr size_t kOpenRequestBytes = 4 + kPathUnits * 2;
// Open reply: status, stream id, position, sample rate, channels (one byte), length (unaligned).
inline constexpr size_t kOpenReplyBytes = 21;
inline constexpr size_t kOpenReplyId = 4;
inline constexpr size_t kOpenReplyPosition = 8;
inline constexpr size_t kOpenReplyRate = 12;
inline constexpr size_t kOpenReplyChannels = 16;
inline constexpr size_t kOpenReplyLength = 17;
// Read reply: status, position after the read, then the sample words.
inline constexpr size_t kReadReplySamples = 8;
inline constexpr size_t kMaxReadWords = (kReplyBytes - kReadReplySamples) / 4;  // 4094

inline void put32(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value);
  at[1] = uint8_t(value >> 8);
  at[2] = uint8_t(value >> 16);
  at[3] = uint8_t(value >> 24);
}

inline uint32_t get32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

inline int32_t getSigned32(const uint8_t* at) {
  return static_cast<int32_t>(get32(at));
}

}  // namespace quillon::service_records
