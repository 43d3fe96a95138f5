#pragma once

#include <cstdint>

#include "document/sample_types.h"

namespace quillon {

// G.711 as the file formats store it, scaled to sample words. The µ-law segment bases of the
// sixth segment are 65408 (decoding) and 63360 (encoding), as files written by this program
// have always had them.
Sample muLawToWord(uint8_t byte);
uint8_t wordToMuLaw(Sample word);
Sample aLawToWord(uint8_t byte);
uint8_t wordToALaw(Sample word);

}  // namespace quillon
