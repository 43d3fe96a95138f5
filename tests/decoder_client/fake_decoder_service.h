#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::testing {

// A stand-in for korrel's decoder that makes up its audio, so the channel and the client can be
// tested on their own. It answers every request code with the record layouts of the real
// service. A file opens when it exists and starts like MPEG audio (a 0xFF byte or "ID3"): 44,100
// Hz stereo, or 22,050 Hz mono when its name contains "mono", 100,000 frames long; any other
// file gives status 3, a missing one status 1. Sample words follow `fakeSample`, silence past
// the end. A file whose name contains "slow" takes 20 ms per read. 64 streams; a failed open
// keeps no slot; an unknown stream id answers 7 and ends the service.
class FakeDecoderService {
 public:
  bool handle(const uint8_t* query, size_t querySize, uint8_t* reply, size_t replySize);

  static constexpr int32_t kLength = 100000;
  // The word of a frame and channel: a ramp over the whole ±0x200000 range.
  static int32_t fakeSample(int32_t frame, int channel);

 private:
  struct Stream {
    bool open = false;
    int channels = 2;
    bool slow = false;
    int32_t position = 0;
  };
  Stream streams_[64];
};

}  // namespace quillon::testing
