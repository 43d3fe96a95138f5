#include "decoder_client/mp3_service_source.h"

#include <algorithm>

#include "decoder_service/decoder_protocol.h"

namespace quillon {

Mp3ServiceSource::Mp3ServiceSource(const std::string& path) : SampleSource(kDefaultSampleRate, 2) {
  setPeakBound(kDefaultPeakBound);
  stream_ = DecoderClient::instance().open(path);
  setStatus(statusForReply(stream_.status));
  if (stream_.status == decoder::kStatusOk) {
    setFormat(stream_.sampleRate, stream_.channels);  // a rate ≤ 0 or no channels: corrupt
    stream_.channels = channels();
  }
}

Mp3ServiceSource::~Mp3ServiceSource() {
  if (stream_.status == decoder::kStatusOk && stream_.id >= 0) {
    DecoderClient::instance().close(stream_);
  }
}

SourceStatus Mp3ServiceSource::statusForReply(int32_t replyStatus) {
  switch (replyStatus) {
    case decoder::kStatusOk:
      return SourceStatus::Ok;
    case decoder::kStatusCannotOpen:
      return SourceStatus::CannotOpen;
    case decoder::kStatusEndedEarly:
    case decoder::kStatusNoFrame:
      return SourceStatus::Corrupt;
    default:
      return SourceStatus::InnerFailed;
  }
}

int32_t Mp3ServiceSource::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  if (stream_.status == decoder::kStatusOk &&
      DecoderClient::instance().read(stream_, buffer, frames) == decoder::kStatusOk) {
    return frames;
  }
  std::fill_n(buffer, size_t(frames) * channels(), 0);
  return -1;
}

void Mp3ServiceSource::seek(int32_t frame) {
  if (stream_.status == decoder::kStatusOk) DecoderClient::instance().seek(stream_, frame);
}

Ref<SampleSource> openMp3ServiceSource(const std::string& path) {
  return makeRef<Mp3ServiceSource>(path);
}

}  // namespace quillon
