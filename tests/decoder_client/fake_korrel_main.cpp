// The test service: korrel's own request loop around the made-up decoder.
#include "decoder_service/korrel_server.h"
#include "fake_decoder_service.h"

int main(int argc, char** argv) {
  quillon::testing::FakeDecoderService service;
  return quillon::runKorrel(
      argc, argv,
      [&service](const uint8_t* query, size_t querySize, uint8_t* reply, size_t replySize) {
        return service.handle(query, querySize, reply, replySize);
      });
}
