#include "fake_decoder_service.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "decoder_client/service_records.h"
#include "platform/text_encoding.h"

namespace quillon::testing {

using namespace service_records;

int32_t FakeDecoderService::fakeSample(int32_t frame, int channel) {
  return int32_t((int64_t{frame} * 977 + channel * 500009) % 0x400000) - 0x200000;
}

bool FakeDecoderService::handle(const uint8_t* query, size_t querySize, uint8_t* reply,
                                size_t replySize) {
  if (querySize < 16 || replySize < kOpenReplyBytes) return false;
  const uint32_t code = get32(query);
  std::memset(reply, 0, 8);
  auto stream = [&]() -> Stream* {
    const uint32_t id = get32(query + 4);
    return id < 64 && streams_[id].open ? &streams_[id] : nullptr;
  };
  switch (code) {
    case kPing:
    case kQuit:
      put32(reply, kOk);
      return code == kPing;
    case kOpen: {
      const size_t units = std::min((querySize - 4) / 2, kPathUnits);
      const std::string path =
          fromUtf16(std::string_view(reinterpret_cast<const char*>(query + 4), units * 2), false);
      int slot = 0;
      while (slot < 64 && streams_[slot].open)
        ++slot;
      std::ifstream file(path, std::ios::binary);
      char start[3] = {};
      file.read(start, 3);
      const bool mpeg = uint8_t(start[0]) == 0xFF || std::memcmp(start, "ID3", 3) == 0;
      const int32_t status = slot == 64        ? kNoFreeStream
                             : !file.is_open() ? kCannotOpen
                             : mpeg            ? kOk
                                               : kNoDecodableFrame;
      put32(reply, uint32_t(status));
      if (status != kOk) return true;
      const std::string name = path.substr(path.find_last_of('/') + 1);
      Stream& s = streams_[slot];
      s = Stream{true, name.find("mono") != std::string::npos ? 1 : 2,
                 name.find("slow") != std::string::npos, 0};
      put32(reply + kOpenReplyId, uint32_t(slot));
      put32(reply + kOpenReplyPosition, 0);
      put32(reply + kOpenReplyRate, s.channels == 1 ? 22050 : 44100);
      reply[kOpenReplyChannels] = uint8_t(s.channels);
      put32(reply + kOpenReplyLength, kLength);
      return true;
    }
    case kRead:
    case kSeek:
    case kClose: {
      Stream* s = stream();
      if (!s) {
        put32(reply, kUnknownStream);
        return false;
      }
      if (code == kClose) {
        s->open = false;
        return true;
      }
      const auto value = int32_t(get32(query + 8));
      if (code == kSeek) {
        s->position = value;
      } else {
        if (s->slow) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const size_t words = std::min(size_t(std::max(value, 0)) * size_t(s->channels),
                                      (replySize - kReadReplySamples) / 4);
        for (size_t i = 0; i < words; ++i) {
          const int32_t frame = s->position + int32_t(i / size_t(s->channels));
          const int32_t word =
              frame < kLength ? fakeSample(frame, int(i % size_t(s->channels))) : 0;
          put32(reply + kReadReplySamples + 4 * i, uint32_t(word));
        }
        s->position += int32_t(words / size_t(s->channels));
      }
      put32(reply + 4, uint32_t(s->position));
      return true;
    }
    default:
      put32(reply, kUnknownRequest);
      return true;
  }
}

}  // namespace quillon::testing
