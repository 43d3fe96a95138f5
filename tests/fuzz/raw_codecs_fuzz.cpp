// Headerless files through every raw codec (VOX, G.711, PCM, float) and raw GSM; the first byte
// chooses the codec and the channel count.
#include "formats/gsm_file.h"
#include "formats/raw_file.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path = quillon::fuzz::inputFile(data + 1, size - 1);
  const int codec = data[0] % 10;
  if (codec == 9) {
    quillon::fuzz::exercise(quillon::OpenGsmSource(path));
  } else {
    quillon::RawLayout layout{8000, 1 + (data[0] >> 4) % 3, codec};
    quillon::fuzz::exercise(quillon::OpenRawSource(path, layout));
  }
  return 0;
}
