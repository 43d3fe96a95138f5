#include "fake_decoder_service.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "decoder_service/decoder_protocol.h"

namespace quillon::testing {

using namespace decoder;

int32_t FakeDecoderService::fakeSample(int32_t frame, int channel) {
  return int32_t((int64_t{frame} * 977 + channel * 500009) % 0x400000) - 0x200000;
}

bool FakeDecoderService::handle(const uint8_t* query, size_t querySize, uint8_t* reply,
                                size_t replySize) {
  if (querySize < 16 || replySize < kOpenReplySize) return false;
  const Request request = readRequest(query, querySize);
  std::memset(reply, 0, 8);
  auto stream = [&]() -> Stream* {
    const auto id = uint32_t(request.stream);
    return id < 64 && streams_[id].open ? &streams_[id] : nullptr;
  };
  switch (request.code) {
    case kPing:
    case kQuit:
      writeStatusReply(reply, replySize, kStatusOk);
      return request.code == kPing;
    case kOpen: {
      // A path without its terminator opens nothing, as in the service.
      const std::string path = readOpenPath(query, querySize).value_or("");
      int slot = 0;
      while (slot < 64 && streams_[slot].open)
        ++slot;
      std::ifstream file(path, std::ios::binary);
      char start[3] = {};
      file.read(start, 3);
      const bool mpeg = uint8_t(start[0]) == 0xFF || std::memcmp(start, "ID3", 3) == 0;
      const int32_t status = slot == 64        ? kStatusNoFreeStream
                             : !file.is_open() ? kStatusCannotOpen
                             : mpeg            ? kStatusOk
                                               : kStatusNoFrame;
      if (status != kStatusOk) {
        writeStatusReply(reply, replySize, status);
        return true;
      }
      const std::string name = path.substr(path.find_last_of('/') + 1);
      Stream& s = streams_[slot];
      s = Stream{true, name.find("mono") != std::string::npos ? 1 : 2,
                 name.find("slow") != std::string::npos, 0};
      writeOpenReply(
          reply, replySize,
          {kStatusOk, slot, 0, s.channels == 1 ? 22050 : 44100, uint8_t(s.channels), kLength});
      return true;
    }
    case kRead:
    case kSeek:
    case kClose: {
      Stream* s = stream();
      if (!s) {
        writeStatusReply(reply, replySize, kStatusUnknownStream);
        return false;
      }
      if (request.code == kClose) {
        s->open = false;
        return true;
      }
      const int32_t value = request.count;
      if (request.code == kSeek) {
        s->position = value;
      } else {
        if (s->slow) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const size_t words = std::min(size_t(std::max(value, 0)) * size_t(s->channels),
                                      size_t(readReplyCapacity(replySize)));
        for (size_t i = 0; i < words; ++i) {
          const int32_t frame = s->position + int32_t(i / size_t(s->channels));
          const int32_t word =
              frame < kLength ? fakeSample(frame, int(i % size_t(s->channels))) : 0;
          storeI32(reply + kSamplesOffset + 4 * i, word);
        }
        s->position += int32_t(words / size_t(s->channels));
      }
      writePositionReply(reply, replySize, {kStatusOk, s->position});
      return true;
    }
    default:
      writeStatusReply(reply, replySize, kStatusUnknownRequest);
      return true;
  }
}

}  // namespace quillon::testing
