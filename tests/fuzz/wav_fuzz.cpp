// WAV files of any content: every header path, PCM, float, GSM and codec-manager formats.
#include "formats/wav.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = quillon::fuzz::inputFile(data, size);
  quillon::fuzz::exercise(quillon::OpenWavSource(path));
  quillon::GetWavCodecName(path);
  quillon::ReadWavFormat(path);
  return 0;
}
