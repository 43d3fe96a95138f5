#include "formats/dictation_files.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "formats/byte_io.h"
#include "formats/file_fields.h"
#include "formats/format_messages.h"
#include "platform/file.h"

namespace quillon {
namespace {

constexpr int64_t kCopyBlockBytes = 32768;

constexpr int kDctTextFields = 11;
constexpr uint32_t kDctEncrypted = 2;    // flag bit 1, from version 2 on
constexpr uint32_t kDctAttachments = 4;  // flag bit 2
constexpr int64_t kDartHeaderBytes = 1024;
constexpr int64_t kTrueSpeechHeaderBytes = 78;

// Where the WAV file inside a DCT file lies.
struct DctPayload {
  int64_t offset = 0;
  int64_t length = 0;
};

// Checks and skips the DCT header field by field, in file order. Answers the message that
// refuses the file, or nullptr with the payload's place. A header that runs past the end of the
// file is corrupt; a payload length that does is cut to the bytes that are there.
const char* walkDctHeader(FileFieldReader& in, int64_t fileSize, Job& progress,
                          DctPayload& payload) {
  const uint16_t version = in.u16le();
  if (!in.ok()) return messages::kDctCorrupt;
  if (version >= 4) return messages::kDctLoadError;

  const uint32_t totalSize = in.u32le();
  if (!in.ok() || int64_t{totalSize} != fileSize) return messages::kDctCorrupt;
  const uint32_t flags = in.u32le();
  if (!in.ok()) return messages::kDctCorrupt;
  if (version > 1 && (flags & kDctEncrypted)) return messages::kDctEncrypted;
  in.skip(8);

  if (version > 2) {
    const uint32_t extraHeader = in.u32le();
    if (!in.ok() || extraHeader >= totalSize) return messages::kDctCorrupt;
    in.skip(extraHeader);
  }
  in.skip(4);
  for (int i = 0; i < kDctTextFields; ++i)
    in.skip(in.u8());
  if (!in.ok()) return messages::kDctCorrupt;
  progress.setProgress(0.06);

  in.skip(1);
  const uint32_t notes = in.u32le();
  if (!in.ok()) return messages::kDctCorrupt;
  if (notes > totalSize) return messages::kDctNotesError;
  in.skip(notes);

  if (flags & kDctAttachments) {
    const int count = in.u8();
    for (int i = 0; i < count; ++i) {
      in.skip(in.u8());  // the name
      const uint32_t size = in.u32le();
      if (!in.ok()) return messages::kDctCorrupt;
      if (size > totalSize) return messages::kDctAttachmentTooLarge;
      in.skip(size);
    }
  }

  int64_t length = -1;  // to the end of the file
  if (version >= 1) {
    const uint8_t channels = in.u8();
    if (!in.ok()) return messages::kDctCorrupt;
    if (channels == 0) return messages::kDctZeroChannels;
    length = in.u32le();
  }
  if (!in.ok()) return messages::kDctCorrupt;

  payload.offset = in.offset();
  payload.length = length < 0 ? in.remaining() : std::min(length, in.remaining());
  return nullptr;
}

// Creates the WAV file (replacing one of that name), writes `header` and copies `length` bytes
// of `from` at `offset` after it in blocks, asking for a cancel before the first block and after
// every full one. A short block ends the copy.
JobResult copyIntoWav(Job& progress, platform::File& from, int64_t offset, int64_t length,
                      const std::vector<uint8_t>& header, const std::string& wavPath) {
  platform::File wav;
  if (!wav.open(wavPath, platform::File::Mode::Create)) return JobResult::Failed;
  if (!wav.write(header.data(), header.size())) return JobResult::Failed;
  progress.setProgress(0.1);

  std::vector<uint8_t> block(kCopyBlockBytes);
  int64_t copied = 0;
  for (;;) {
    if (progress.checkCancelled()) return JobResult::Cancelled;
    const int64_t wanted = std::min(kCopyBlockBytes, length - copied);
    const int64_t got = from.readAt(block.data(), size_t(wanted), offset + copied);
    if (got < 0 || !wav.write(block.data(), size_t(got))) return JobResult::Failed;
    copied += got;
    progress.setProgress(length > 0 ? 0.1 + 0.9 * double(copied) / double(length) : 1.0);
    if (got < kCopyBlockBytes) return JobResult::Done;
  }
}

uint32_t clampToField(int64_t value) {
  return uint32_t(std::clamp<int64_t>(value, 0, UINT32_MAX));
}

// The WAV header put in front of DART audio: TrueSpeech, 8,000 Hz mono, with the format's
// 32-byte extra record. Both sizes are derived from the DART file's size as the format has them.
std::vector<uint8_t> trueSpeechWavHeader(int64_t dartSize) {
  ByteWriter header;
  header.fourCC("RIFF").u32le(clampToField(dartSize)).fourCC("WAVE");
  header.fourCC("fmt ").u32le(50);
  header
      .u16le(0x0022)  // TrueSpeech
      .u16le(1)       // channels
      .u32le(8000)    // samples per second
      .u32le(1067)    // average bytes per second
      .u16le(32)      // block align
      .u16le(1)       // bits per sample
      .u16le(32);     // extra bytes
  header.u16le(1).u16le(240).zeros(28);
  header.fourCC("data").u32le(clampToField(dartSize - kTrueSpeechHeaderBytes));
  return header.data();
}

}  // namespace

JobResult ConvertDctToWav(Job& progress, const std::string& dctPath, const std::string& wavPath) {
  progress.setLine(messages::kLoadingDct, 0);
  progress.setLine(dctPath, 1);
  progress.setProgress(0.0);
  platform::File dct;
  if (!dct.open(dctPath, platform::File::Mode::Read)) return JobResult::Failed;
  const int64_t fileSize = dct.size();
  if (fileSize < 0) return JobResult::Failed;

  progress.setProgress(0.03);
  FileFieldReader header(dct, fileSize);
  DctPayload payload;
  if (const char* refusal = walkDctHeader(header, fileSize, progress, payload)) {
    progress.reportError(refusal);
    return JobResult::Failed;
  }
  return copyIntoWav(progress, dct, payload.offset, payload.length, {}, wavPath);
}

JobResult ConvertDartToWav(Job& progress, const std::string& dartPath, const std::string& wavPath) {
  progress.setLine(messages::kLoadingDart, 0);
  progress.setLine(dartPath, 1);
  platform::File dart;
  if (!dart.open(dartPath, platform::File::Mode::Read)) return JobResult::Failed;
  const int64_t fileSize = dart.size();
  if (fileSize < 0) return JobResult::Failed;

  progress.setProgress(0.03);
  return copyIntoWav(progress, dart, kDartHeaderBytes,
                     std::max<int64_t>(fileSize - kDartHeaderBytes, 0),
                     trueSpeechWavHeader(fileSize), wavPath);
}

}  // namespace quillon
