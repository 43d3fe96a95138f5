#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "decoder_service/decoder_protocol.h"

namespace quillon {

namespace decoder {
class DecoderStream;
}

// The MP3 service's request handling, apart from the channel that carries the requests.
class DecoderService {
 public:
  DecoderService();
  ~DecoderService();
  DecoderService(const DecoderService&) = delete;
  DecoderService& operator=(const DecoderService&) = delete;

  // Handles the request at `query` (the whole query buffer) and writes the reply at `reply`
  // (the whole reply buffer, never written past `replySize`); answers whether to keep serving
  // (false after quit, and after a read, seek or close naming an unknown stream).
  bool handle(const uint8_t* query, size_t querySize, uint8_t* reply, size_t replySize);

  // Decoder streams currently open.
  int openStreams() const;

 private:
  bool open(const uint8_t* query, size_t querySize, uint8_t* reply, size_t replySize);
  bool read(const decoder::Request& request, uint8_t* reply, size_t replySize);
  bool seek(const decoder::Request& request, uint8_t* reply, size_t replySize);
  bool close(const decoder::Request& request, uint8_t* reply, size_t replySize);
  decoder::DecoderStream* find(int32_t stream) const;

  // Slot i holds stream id i; an open that fails leaves its slot free.
  std::array<std::unique_ptr<decoder::DecoderStream>, decoder::kMaxStreams> streams_;
  std::vector<int32_t> words_;  // one read's sample words before they go into the reply
};

}  // namespace quillon
