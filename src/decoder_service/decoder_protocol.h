#pragma once

// The request and reply records that the editor and korrel exchange through the query buffer
// (4096 bytes) and the reply buffer (16,384 bytes). Both sides use these helpers, so the byte
// layout lives in one place: every integer is little-endian, the path is UTF-16LE, and the open
// reply's length sits unaligned at offset 17. No helper ever writes or reads past the size it is
// given: a record that does not fit is not written (0 bytes), a field that is not there reads 0.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace quillon::decoder {

// The word every name of the channel is formed from: the service's liveness lock "MutexQuillon",
// the buffers "QueryBufQuillon" and "ReplyBufQuillon", the clients' lock files.
inline constexpr char kBaseWord[] = "Quillon";

// Request codes, the first word of a query.
enum RequestCode : uint32_t {
  kPing = 0,
  kOpen = 1,
  kRead = 2,
  kSeek = 3,
  kClose = 4,
  kQuit = 5,
};

// Reply status codes, the first word of every reply.
enum ReplyStatus : int32_t {
  kStatusOk = 0,
  kStatusCannotOpen = 1,      // the file could not be opened
  kStatusEndedEarly = 2,      // the file ended before any frame could be decoded
  kStatusNoFrame = 3,         // no decodable frame, or an unrecoverable decoding error
  kStatusUnavailable = 4,     // the client's own: the service is not available
  kStatusUnknownRequest = 5,  // the request code is not known
  kStatusNoFreeStream = 6,    // all 64 decoder streams are in use
  kStatusUnknownStream = 7,   // the stream id names no open decoder stream
};

inline constexpr size_t kQueryBufferSize = 4096;
inline constexpr size_t kReplyBufferSize = 16384;
inline constexpr int kMaxStreams = 64;

// Open request: code, then the path as UTF-16LE units, NUL-terminated within 256 units.
inline constexpr size_t kPathOffset = 4;
inline constexpr size_t kMaxPathUnits = 256;  // including the terminating NUL
inline constexpr size_t kOpenRequestSize = kPathOffset + 2 * kMaxPathUnits;  // 516
// Read, seek and close requests: code, stream id, then frames (read) or frame (seek).
inline constexpr size_t kStreamIdOffset = 4;
inline constexpr size_t kCountOffset = 8;
inline constexpr size_t kStreamRequestSize = 12;
inline constexpr size_t kCloseRequestSize = 8;

// Every reply starts with its 32-bit status.
inline constexpr size_t kStatusOffset = 0;
inline constexpr size_t kStatusReplySize = 4;
// Open reply.
inline constexpr size_t kOpenStreamIdOffset = 4;
inline constexpr size_t kOpenPositionOffset = 8;
inline constexpr size_t kOpenSampleRateOffset = 12;
inline constexpr size_t kOpenChannelsOffset = 16;  // 8 bits
inline constexpr size_t kOpenLengthOffset = 17;    // 32 bits, unaligned
inline constexpr size_t kOpenReplySize = 21;
// Read and seek replies: status, position after the request; a read's samples follow.
inline constexpr size_t kPositionOffset = 4;
inline constexpr size_t kPositionReplySize = 8;
inline constexpr size_t kSamplesOffset = 8;

// The most sample words one read reply holds: 4094 frames mono, 2047 frames stereo.
inline constexpr int32_t kMaxReadWords = int32_t((kReplyBufferSize - kSamplesOffset) / 4);

// --- Little-endian fields --------------------------------------------------------------------

inline void storeU32(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value);
  at[1] = uint8_t(value >> 8);
  at[2] = uint8_t(value >> 16);
  at[3] = uint8_t(value >> 24);
}
inline uint32_t loadU32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}
inline void storeI32(uint8_t* at, int32_t value) {
  storeU32(at, uint32_t(value));
}
inline int32_t loadI32(const uint8_t* at) {
  return int32_t(loadU32(at));
}

// A 32-bit field of a buffer of `size` bytes; 0 when the buffer ends before it.
inline uint32_t fieldU32(const uint8_t* buffer, size_t size, size_t offset) {
  return offset + 4 <= size ? loadU32(buffer + offset) : 0;
}
inline int32_t fieldI32(const uint8_t* buffer, size_t size, size_t offset) {
  return int32_t(fieldU32(buffer, size, offset));
}

// --- Requests ----------------------------------------------------------------------------------

// The fields of any request; `stream` and `count` are 0 for requests that do not carry them.
struct Request {
  uint32_t code = kPing;
  int32_t stream = 0;
  int32_t count = 0;  // read: frames wanted; seek: target frame
};

// Writes a request without a path (ping, read, seek, close, quit); answers the bytes written,
// 0 when the buffer is too small.
inline size_t writeRequest(uint8_t* query, size_t size, const Request& request) {
  const size_t bytes = request.code == kRead || request.code == kSeek ? kStreamRequestSize
                       : request.code == kClose                       ? kCloseRequestSize
                                                                      : 4;
  if (size < bytes) return 0;
  storeU32(query, request.code);
  if (bytes > 4) storeI32(query + kStreamIdOffset, request.stream);
  if (bytes > 8) storeI32(query + kCountOffset, request.count);
  return bytes;
}

// Writes the open request for a UTF-8 path; 0 when the path needs more than 255 UTF-16 units
// (or holds a NUL) or the buffer is too small.
inline size_t writeOpenRequest(uint8_t* query, size_t size, std::string_view utf8Path) {
  if (size < kOpenRequestSize || utf8Path.find('\0') != std::string_view::npos) return 0;
  const std::string units = toUtf16LittleEndian(utf8Path);
  if (units.size() / 2 >= kMaxPathUnits) return 0;
  storeU32(query, kOpen);
  for (size_t i = 0; i < 2 * kMaxPathUnits; ++i)
    query[kPathOffset + i] = i < units.size() ? uint8_t(units[i]) : 0;
  return kOpenRequestSize;
}

// Reads any request's fixed fields.
inline Request readRequest(const uint8_t* query, size_t size) {
  Request request;
  request.code = fieldU32(query, size, 0);
  request.stream = fieldI32(query, size, kStreamIdOffset);
  request.count = fieldI32(query, size, kCountOffset);
  return request;
}

// The path of an open request as UTF-8; none when no NUL unit ends it within 256 units.
inline std::optional<std::string> readOpenPath(const uint8_t* query, size_t size) {
  if (size <= kPathOffset) return std::nullopt;
  const size_t bytes = std::min(2 * kMaxPathUnits, (size - kPathOffset) & ~size_t{1});
  const uint8_t* units = query + kPathOffset;
  for (size_t i = 0; i < bytes; i += 2) {
    if (units[i] == 0 && units[i + 1] == 0)
      return fromUtf16(std::string_view(reinterpret_cast<const char*>(units), i), false);
  }
  return std::nullopt;
}

// --- Replies -----------------------------------------------------------------------------------

struct OpenReply {
  int32_t status = kStatusOk;
  int32_t stream = 0;
  int32_t position = 0;
  int32_t sampleRate = 0;
  uint8_t channels = 0;
  int32_t length = 0;
};

// Read and seek replies: status and the position after the request.
struct PositionReply {
  int32_t status = kStatusOk;
  int32_t position = 0;
};

// A reply that is only a status (ping, close, quit, unknown code, unknown stream, failures).
inline size_t writeStatusReply(uint8_t* reply, size_t size, int32_t status) {
  if (size < kStatusReplySize) return 0;
  storeI32(reply + kStatusOffset, status);
  return kStatusReplySize;
}
inline int32_t readStatus(const uint8_t* reply, size_t size) {
  return fieldI32(reply, size, kStatusOffset);
}

inline size_t writeOpenReply(uint8_t* reply, size_t size, const OpenReply& open) {
  if (size < kOpenReplySize) return 0;
  storeI32(reply + kStatusOffset, open.status);
  storeI32(reply + kOpenStreamIdOffset, open.stream);
  storeI32(reply + kOpenPositionOffset, open.position);
  storeI32(reply + kOpenSampleRateOffset, open.sampleRate);
  reply[kOpenChannelsOffset] = open.channels;
  storeI32(reply + kOpenLengthOffset, open.length);
  return kOpenReplySize;
}
inline OpenReply readOpenReply(const uint8_t* reply, size_t size) {
  OpenReply open;
  open.status = fieldI32(reply, size, kStatusOffset);
  open.stream = fieldI32(reply, size, kOpenStreamIdOffset);
  open.position = fieldI32(reply, size, kOpenPositionOffset);
  open.sampleRate = fieldI32(reply, size, kOpenSampleRateOffset);
  open.channels = size > kOpenChannelsOffset ? reply[kOpenChannelsOffset] : 0;
  open.length = fieldI32(reply, size, kOpenLengthOffset);
  return open;
}

inline size_t writePositionReply(uint8_t* reply, size_t size, const PositionReply& position) {
  if (size < kPositionReplySize) return 0;
  storeI32(reply + kStatusOffset, position.status);
  storeI32(reply + kPositionOffset, position.position);
  return kPositionReplySize;
}
inline PositionReply readPositionReply(const uint8_t* reply, size_t size) {
  return {fieldI32(reply, size, kStatusOffset), fieldI32(reply, size, kPositionOffset)};
}

// The sample words a read reply can hold in a reply buffer of `size` bytes.
inline int32_t readReplyCapacity(size_t size) {
  if (size < kSamplesOffset) return 0;
  const size_t words = (size - kSamplesOffset) / 4;
  return words < size_t(kMaxReadWords) ? int32_t(words) : kMaxReadWords;
}

// Stores `count` sample words after a read reply's position; false (nothing written) when they
// do not fit in `size` bytes.
inline bool writeSampleWords(uint8_t* reply, size_t size, const int32_t* words, size_t count) {
  if (count > size_t(readReplyCapacity(size))) return false;
  uint8_t* at = reply + kSamplesOffset;
  for (size_t i = 0; i < count; ++i, at += 4)
    storeI32(at, words[i]);
  return true;
}

// Copies `count` sample words out of a read reply; false (nothing copied) when a reply buffer
// of `size` bytes cannot hold them.
inline bool readSampleWords(const uint8_t* reply, size_t size, int32_t* words, size_t count) {
  if (count > size_t(readReplyCapacity(size))) return false;
  const uint8_t* at = reply + kSamplesOffset;
  // The words of every read the editor makes: on a little-endian host the bytes as they stand.
  if constexpr (std::endian::native == std::endian::little) {
    if (count > 0) std::memcpy(words, at, count * 4);
  } else {
    for (size_t i = 0; i < count; ++i, at += 4)
      words[i] = loadI32(at);
  }
  return true;
}

}  // namespace quillon::decoder
