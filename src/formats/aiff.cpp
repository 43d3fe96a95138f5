#include "formats/aiff.h"

#include <algorithm>
#include <bit>

#include "formats/byte_io.h"
#include "formats/headered_file_writer.h"
#include "formats/positioned_file_reader.h"
#include "platform/settings.h"

namespace quillon {
namespace {

// Sizes up to 8 bits write 8-bit samples, larger ones 16-bit.
constexpr FormChoice kSampleSizes[] = {{"8", 8}, {"16", 16}};
constexpr FormField kAiffFields[] = {sampleRateField(&settings::kAiffSampleRate, 44100),
                                     {.name = "bits",
                                      .kind = FieldKind::Number,
                                      .label = "Sample Size",
                                      .unit = "bits",
                                      .choices = kSampleSizes,
                                      .setting = &settings::kAiffSampleSize,
                                      .zeroAs = 16},
                                     channelsField(&settings::kAiffChannels)};
constexpr FormValue kAiffDefaults[] = {{"rate", 44100}, {"channels", 2}};

// Chunk sizes with the top bit set end a chunk walk: the SSND chunk holds less than 2 GiB.
constexpr int64_t kMaxSsndBytes = 0x7FFFFFFF;

Ref<SampleSource> failed(SourceStatus status) {
  return makeRef<NullSource>(status);
}

// Walks chunks from `offset` to the one named `id`; its body starts at offset + 8. A size with
// the top bit set ends the walk; odd sizes are followed by a pad byte.
bool findChunk(platform::File& file, int64_t& offset, const char* id, uint32_t& size) {
  for (;;) {
    uint8_t head[8];
    if (file.readAt(head, 8, offset) != 8) return false;
    ByteReader in(head, 8);
    const std::string name = in.fourCC();
    size = in.u32be();
    if (size & 0x80000000u) return false;
    if (name == id) return true;
    offset += 8 + int64_t{size} + (size & 1);
  }
}

}  // namespace

void writeExtendedRate(uint32_t rate, uint8_t out[10]) {
  std::fill_n(out, 10, 0);
  if (rate == 0) return;
  const int exponent = 31 - std::countl_zero(rate);  // ⌊log2(rate)⌋
  const uint16_t biased = uint16_t(16383 + exponent);
  const uint32_t mantissa = rate << (31 - exponent);
  out[0] = uint8_t(biased >> 8), out[1] = uint8_t(biased);
  out[2] = uint8_t(mantissa >> 24), out[3] = uint8_t(mantissa >> 16);
  out[4] = uint8_t(mantissa >> 8), out[5] = uint8_t(mantissa);
}

uint32_t readExtendedRate(const uint8_t in[10]) {
  const int exponent = in[0] << 8 | in[1];
  if (exponent < 0x4000 || exponent > 0x401E) return 0;
  const uint32_t mantissa =
      uint32_t(in[2]) << 24 | uint32_t(in[3]) << 16 | uint32_t(in[4]) << 8 | uint32_t(in[5]);
  const int shift = 30 - (exponent & 0xFF);
  if (shift == 0) return mantissa;
  return (mantissa >> shift) + ((mantissa >> (shift - 1)) & 1);
}

Ref<SampleSource> OpenAiffSource(const std::string& path) {
  platform::File file;
  if (!file.open(path, platform::File::Mode::Read)) return failed(SourceStatus::CannotOpen);
  uint8_t form[12];
  if (file.readAt(form, 12, 0) != 12) return failed(SourceStatus::Corrupt);
  ByteReader head(form, 12);
  if (head.fourCC() != "FORM") return failed(SourceStatus::Corrupt);
  head.u32be();
  if (head.fourCC() != "AIFF") return failed(SourceStatus::Corrupt);  // AIFC and others too

  int64_t offset = 12;
  uint32_t size = 0;
  if (!findChunk(file, offset, "COMM", size)) return failed(SourceStatus::Corrupt);
  uint8_t comm[18];
  if (size < 18 || file.readAt(comm, 18, offset + 8) != 18) return failed(SourceStatus::Corrupt);
  ByteReader in(comm, 18);
  const uint16_t channels = in.u16be();
  in.u32be();  // frame count: the data size decides
  const uint16_t sampleSize = in.u16be();
  const uint32_t rate = readExtendedRate(comm + 8);
  offset += 8 + int64_t{size} + (size & 1);

  if (!findChunk(file, offset, "SSND", size)) return failed(SourceStatus::Corrupt);
  uint8_t fields[8];
  if (file.readAt(fields, 8, offset + 8) != 8) return failed(SourceStatus::Corrupt);

  PositionedFileReader::Layout layout;
  if (rate < uint32_t(kLowestSampleRate) || rate > uint32_t(kHighestSampleRate))
    return failed(SourceStatus::Corrupt);
  layout.sampleRate = int32_t(rate);
  layout.channels = channels > 255 ? 0 : channels;
  layout.encoding = sampleSize <= 8    ? SampleEncoding::Signed8Aiff
                    : sampleSize <= 16 ? SampleEncoding::Pcm16Be
                    : sampleSize <= 24 ? SampleEncoding::Pcm24Be
                                       : SampleEncoding::Pcm32Be;
  // The first frame lies `offset` bytes into the data (a writer aligning its frames to blocks of
  // `blockSize` bytes puts the padding there); the chunk's size counts that padding.
  ByteReader ssnd(fields, 8);
  const uint32_t dataOffset = ssnd.u32be();
  layout.dataStart = offset + 16 + int64_t{dataOffset};
  layout.dataBytes = std::max<int64_t>(int64_t{size} - 8 - int64_t{dataOffset}, 0);
  return makeRef<PositionedFileReader>(std::move(file), layout);
}

Ref<SampleSink> CreateAiffSink(const std::string& path, int32_t sampleRate, int channels,
                               int sampleSize) {
  const SampleEncoding encoding =
      sampleSize <= 8 ? SampleEncoding::Signed8Aiff : SampleEncoding::Pcm16Be;
  const uint16_t bits = sampleSize <= 8 ? 8 : 16;
  return makeRef<HeaderedFileWriter>(
      path, sampleRate, channels, std::make_unique<SampleDataEncoder>(encoding, channels),
      [=](bool final, int64_t dataBytes, int32_t frames) {
        uint8_t rate[10];
        writeExtendedRate(uint32_t(sampleRate), rate);
        ByteWriter out;
        out.fourCC("FORM").u32be(uint32_t(dataBytes + 46)).fourCC("AIFF");
        out.fourCC("COMM").u32be(18).u16be(uint16_t(channels)).u32be(uint32_t(frames));
        out.u16be(bits).bytes(rate, 10);
        out.fourCC("SSND").u32be(final ? uint32_t(dataBytes + 8) : 0xFFFFFFFF).u32be(0).u32be(0);
        return out.data();
      },
      kMaxSsndBytes - 8);
}

const Form kAiffSettingsForm{.dialog = "LAIFFEncodeDlg",
                             .caption = "AIFF Settings",
                             .fields = kAiffFields,
                             .defaults = kAiffDefaults};

bool EditAiffSettings(Interaction& owner, int32_t documentRate, int documentChannels) {
  DialogValues values;
  values.set("rate", settings::kAiffSampleRate.read(documentRate));
  values.set("channels", settings::kAiffChannels.read(documentChannels));
  return askForm(owner, kAiffSettingsForm, values);
}

Ref<SampleSink> CreateAiffSinkFromSettings(const std::string& path, int32_t documentRate,
                                           int documentChannels) {
  return CreateAiffSink(path, settings::kAiffSampleRate.read(documentRate),
                        settings::kAiffChannels.read(documentChannels),
                        settings::kAiffSampleSize.read());
}

}  // namespace quillon
