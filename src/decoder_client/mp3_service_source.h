#pragma once

#include <cstdint>
#include <string>

#include "decoder_client/decoder_client.h"
#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// An MP3 file decoded by korrel, read as an ordinary source. Before the open it is 44,100 Hz
// stereo; afterwards it has the file's rate and channels. Its peak bound is 0x200000, so loading
// puts the peak limiter in front of it. Status: 0 opened; 4 the file cannot be opened; 3 corrupt
// (not MPEG audio, no decodable frame, or an open reply without a usable rate or channel count);
// 2 the service is not available or has no free stream. Reads of any size are split to fit the
// reply buffer; releasing the last handle closes the decoder stream.
class Mp3ServiceSource : public SampleSource {
 public:
  explicit Mp3ServiceSource(const std::string& path);
  ~Mp3ServiceSource() override;

  // Answers `frames`, or −1 when the service failed (the buffer is then silence).
  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override { return stream_.position; }
  int32_t length() override { return stream_.length; }
  void seek(int32_t frame) override;

  const DecoderStream& stream() const { return stream_; }
  // The source status for a status of the service's open reply.
  static SourceStatus statusForReply(int32_t replyStatus);

 private:
  DecoderStream stream_;
};

Ref<SampleSource> openMp3ServiceSource(const std::string& path);

}  // namespace quillon
