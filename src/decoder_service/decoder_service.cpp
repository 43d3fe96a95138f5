#include "decoder_service/decoder_service.h"

#include <algorithm>

#include "decoder_service/decoder_stream.h"

namespace quillon {

using namespace decoder;

DecoderService::DecoderService() : words_(size_t(kMaxReadWords)) {}

DecoderService::~DecoderService() = default;

int DecoderService::openStreams() const {
  return int(std::count_if(streams_.begin(), streams_.end(), [](const auto& s) { return !!s; }));
}

bool DecoderService::handle(const uint8_t* query, size_t querySize, uint8_t* reply,
                            size_t replySize) {
  const Request request = readRequest(query, querySize);
  if (querySize < 4) {
    writeStatusReply(reply, replySize, kStatusUnknownRequest);
    return true;
  }
  switch (request.code) {
    case kPing:
      writeStatusReply(reply, replySize, kStatusOk);
      return true;
    case kOpen:
      return open(query, querySize, reply, replySize);
    case kRead:
      return read(request, reply, replySize);
    case kSeek:
      return seek(request, reply, replySize);
    case kClose:
      return close(request, reply, replySize);
    case kQuit:
      writeStatusReply(reply, replySize, kStatusOk);
      return false;
    default:
      writeStatusReply(reply, replySize, kStatusUnknownRequest);
      return true;
  }
}

DecoderStream* DecoderService::find(int32_t stream) const {
  return stream >= 0 && stream < kMaxStreams ? streams_[size_t(stream)].get() : nullptr;
}

// A path that is not NUL-terminated within its 256 units is refused as a file that cannot be
// opened. A stream that did not open is not kept: the client never learns its id.
bool DecoderService::open(const uint8_t* query, size_t querySize, uint8_t* reply,
                          size_t replySize) {
  const auto slot = std::find(streams_.begin(), streams_.end(), nullptr);
  OpenReply answer;
  if (slot == streams_.end()) {
    answer.status = kStatusNoFreeStream;
    writeOpenReply(reply, replySize, answer);
    return true;
  }
  auto stream = std::make_unique<DecoderStream>();
  if (const auto path = readOpenPath(query, querySize)) stream->open(*path);
  answer.status = stream->status();
  answer.stream = int32_t(slot - streams_.begin());
  answer.position = stream->position();
  answer.sampleRate = stream->sampleRate();
  answer.channels = uint8_t(stream->channels());
  answer.length = stream->length();
  if (answer.status == kStatusOk) *slot = std::move(stream);
  writeOpenReply(reply, replySize, answer);
  return true;
}

// A read is cut to what the reply holds (4094 words); past the end of the audio it is silence.
bool DecoderService::read(const Request& request, uint8_t* reply, size_t replySize) {
  DecoderStream* stream = find(request.stream);
  if (!stream) {
    writeStatusReply(reply, replySize, kStatusUnknownStream);
    return false;
  }
  const int channels = stream->channels();
  const int32_t frames = std::clamp(request.count, 0, readReplyCapacity(replySize) / channels);
  stream->read(words_.data(), frames);
  writePositionReply(reply, replySize, {kStatusOk, stream->position()});
  writeSampleWords(reply, replySize, words_.data(), size_t(frames) * size_t(channels));
  return true;
}

bool DecoderService::seek(const Request& request, uint8_t* reply, size_t replySize) {
  DecoderStream* stream = find(request.stream);
  if (!stream) {
    writeStatusReply(reply, replySize, kStatusUnknownStream);
    return false;
  }
  stream->seek(request.count);
  writePositionReply(reply, replySize, {kStatusOk, stream->position()});
  return true;
}

bool DecoderService::close(const Request& request, uint8_t* reply, size_t replySize) {
  if (!find(request.stream)) {
    writeStatusReply(reply, replySize, kStatusUnknownStream);
    return false;
  }
  streams_[size_t(request.stream)].reset();
  writeStatusReply(reply, replySize, kStatusOk);
  return true;
}

}  // namespace quillon
