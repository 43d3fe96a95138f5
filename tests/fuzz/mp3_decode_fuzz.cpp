// MPEG audio files of any content through the decoding service's requests: open (the tag, the
// scan, the Xing record, the first frame), then reads, seeks and reads the way the editor does.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "decoder_service/decoder_service.h"
#include "fuzz_file.h"

namespace {

using namespace quillon::decoder;

struct Channel {
  quillon::DecoderService service;
  std::vector<uint8_t> query = std::vector<uint8_t>(kQueryBufferSize);
  std::vector<uint8_t> reply = std::vector<uint8_t>(kReplyBufferSize);

  bool send() { return service.handle(query.data(), query.size(), reply.data(), reply.size()); }
  int32_t request(uint32_t code, int32_t stream, int32_t count) {
    writeRequest(query.data(), query.size(), {code, stream, count});
    send();
    return readPositionReply(reply.data(), reply.size()).position;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = quillon::fuzz::inputFile(data, size);
  Channel channel;
  writeOpenRequest(channel.query.data(), channel.query.size(), path);
  channel.send();
  const OpenReply open = readOpenReply(channel.reply.data(), channel.reply.size());
  if (open.status != kStatusOk) return 0;
  // Within a bound of frames, so that a huge declared length cannot make a run slow.
  const int32_t frames = std::min(open.length, 1 << 16);
  for (int32_t done = 0; done < frames; done += 4094)
    channel.request(kRead, open.stream, 4094);
  for (int64_t at : {int64_t{0}, int64_t{open.length} / 2, int64_t{open.length} - 1,
                     int64_t{open.length} + 3, int64_t{-5}}) {
    channel.request(kSeek, open.stream, int32_t(std::clamp<int64_t>(at, INT32_MIN, INT32_MAX)));
    channel.request(kRead, open.stream, 3000);
  }
  channel.request(kClose, open.stream, 0);
  return 0;
}
