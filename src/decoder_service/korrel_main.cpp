// korrel: the MP3 decoding service the editor starts on first use. Windowless; it serves the
// editor's requests through two shared buffers until told to quit.
#include "decoder_service/decoder_service.h"
#include "decoder_service/korrel_server.h"

int main(int argc, char** argv) {
  quillon::DecoderService service;
  return quillon::runKorrel(
      argc, argv,
      [&service](const uint8_t* query, size_t querySize, uint8_t* reply, size_t replySize) {
        return service.handle(query, querySize, reply, replySize);
      });
}
