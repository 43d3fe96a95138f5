#pragma once

#include <string>

#include "platform/job.h"

namespace quillon {

// Dictation-recorder files are opened by unwrapping their audio into a temporary WAV file that
// the WAV reader then reads. Both converters run inside the load job and report through it:
// progress lines, fraction, cancel checks, and the message that refuses a damaged file.
// Cancelled leaves in `wavPath` what was copied so far. A file
// that cannot be opened or a WAV that cannot be written fails without a message (the caller
// reports the failed load); every structural error of a DCT file shows its message first.

// ".dct": a header with text fields, notes and attachments around a complete WAV file, which is
// copied out as it is.
JobResult ConvertDctToWav(Job& progress, const std::string& dctPath, const std::string& wavPath);

// ".dart": a 1,024-byte header followed by TrueSpeech data, which gets a WAV header of its own.
JobResult ConvertDartToWav(Job& progress, const std::string& dartPath, const std::string& wavPath);

}  // namespace quillon
