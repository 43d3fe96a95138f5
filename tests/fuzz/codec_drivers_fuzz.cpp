// A compressed WAV's format record and data come from the file, where anything may stand. The
// input is an 18-byte format record, its extra bytes and the data: the drivers must refuse a
// record they cannot use and convert any data of one they accept within the buffers given.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/codec_manager.h"

namespace {

using quillon::platform::CodecConversion;
using quillon::platform::CodecManager;
using quillon::platform::CodecStream;
using quillon::platform::WaveFormat;

unsigned field16(const uint8_t* data, size_t at) {
  return data[at] | (data[at + 1] << 8);
}

// Converts `data` in two calls, the second with the end flag, into destinations of the size the
// stream asks for, and checks that it keeps within both buffers.
void convertAll(CodecStream& stream, const uint8_t* data, size_t size) {
  std::vector<uint8_t> pending(data, data + size);
  const size_t firstPiece = size / 2 + 1;
  for (int call = 0; call < 2; ++call) {
    const size_t offered = call == 0 ? std::min(firstPiece, pending.size()) : pending.size();
    const size_t room = stream.destinationSizeFor(offered);
    if (room > (size_t(64) << 20)) __builtin_trap();  // never more than a bounded multiple
    std::vector<uint8_t> destination(room);
    const unsigned flags = call == 0 ? quillon::platform::kCodecConvertBlockAlign
                                     : quillon::platform::kCodecConvertEnd;
    const CodecConversion done =
        stream.convert(pending.data(), offered, destination.data(), destination.size(), flags);
    if (!done.ok || done.sourceUsed > offered || done.destinationUsed > destination.size())
      __builtin_trap();
    pending.erase(pending.begin(), pending.begin() + long(done.sourceUsed));
  }
  stream.destinationSizeFor(SIZE_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 18) return 0;
  WaveFormat format;
  format.tag = uint16_t(field16(data, 0));
  format.channels = uint16_t(field16(data, 2));
  format.sampleRate = field16(data, 4) | (uint32_t(field16(data, 6)) << 16);
  format.averageBytesPerSecond = field16(data, 8) | (uint32_t(field16(data, 10)) << 16);
  format.blockAlign = uint16_t(field16(data, 12));
  format.bitsPerSample = uint16_t(field16(data, 14));
  const size_t extra = std::min<size_t>(field16(data, 16), size - 18);
  format.extra.assign(data + 18, data + 18 + extra);
  const uint8_t* body = data + 18 + extra;
  const size_t bodySize = size - 18 - extra;

  const WaveFormat pcm = WaveFormat::pcm16(format.sampleRate, format.channels);
  if (auto decoding = CodecManager::instance().open(format, pcm)) {
    convertAll(*decoding, body, bodySize);
  }
  if (auto encoding = CodecManager::instance().open(pcm, format)) {
    convertAll(*encoding, body, bodySize);
  }
  return 0;
}
