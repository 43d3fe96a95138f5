// GSM frames come from files, where any bytes may stand. The first byte chooses the packing: the
// rest is cut into 33-byte frames or 65-byte blocks and decoded to sample words.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "formats/gsm610.h"

using namespace quillon::gsm610;

namespace {

void decodeFrame(Decoder& decoder, WordPostprocessor& post, const FrameParameters& frame) {
  int16_t sr[kFrameSamples];
  quillon::Sample words[kFrameSamples];
  decoder.decode(frame, sr);
  post.process(sr, words);
  // De-emphasis of 16-bit input stays below 2^20 / (1 − 880/1024).
  for (quillon::Sample word : words) {
    if (word > (1 << 23) || word < -(1 << 23)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool msBlocks = data[0] & 1;
  ++data, --size;
  Decoder decoder;
  WordPostprocessor post;
  if (msBlocks) {
    for (; size >= kMsBlockBytes; data += kMsBlockBytes, size -= kMsBlockBytes) {
      FrameParameters first, second;
      unpackMsBlock(data, first, second);
      // Every one of the 520 bits is a parameter bit, so packing gives the block back.
      uint8_t again[kMsBlockBytes];
      packMsBlock(first, second, again);
      if (std::memcmp(again, data, kMsBlockBytes) != 0) __builtin_trap();
      decodeFrame(decoder, post, first);
      decodeFrame(decoder, post, second);
    }
  } else {
    for (; size >= kFrameBytes; data += kFrameBytes, size -= kFrameBytes) {
      FrameParameters frame;
      const bool signature = unpackFrame(data, frame);
      // Packing gives the frame back with the signature in its first nibble.
      uint8_t again[kFrameBytes];
      packFrame(frame, again);
      if (again[0] != (0xD0 | (data[0] & 0x0F)) ||
          std::memcmp(again + 1, data + 1, kFrameBytes - 1) != 0 ||
          signature != (data[0] >> 4 == 0xD))
        __builtin_trap();
      decodeFrame(decoder, post, frame);
    }
  }
  return 0;
}
