#include "formats/raw_file.h"

#include <algorithm>
#include <array>
#include <optional>

#include "formats/format_messages.h"
#include "formats/headered_file_writer.h"
#include "formats/positioned_file_reader.h"
#include "formats/vox.h"
#include "platform/settings.h"

namespace quillon {
namespace {

constexpr int kCodecVox = 0;

constexpr FormChoice kCodecs[] = {{"Dialogic ADPCM", 0},
                                  {"G711 uLaw", 1},
                                  {"G711 aLaw", 2},
                                  {"16 bit PCM (Intel Endian)", 3},
                                  {"8 bit unsigned", 4},
                                  {"8 bit signed", 5},
                                  {"16 bit PCM (Big Endian)", 6},
                                  {"32 bit float (Intel Endian)", 7},
                                  {"32 bit float (Big Endian)", 8}};

// The layout dialog's fields, stored under the family.
constexpr std::array<FormField, 3> layoutFields(const RawFamily& family) {
  return {{{.name = "codec",
            .kind = FieldKind::Choice,
            .label = "Encoding",
            .choices = kCodecs,
            .setting = &family.codec},
           sampleRateField(&family.sampleRate),
           channelsField(&family.channels)}};
}
constexpr auto kRawAudioFields = layoutFields(kRawAudioFamily);
constexpr auto kVoxAudioFields = layoutFields(kVoxAudioFamily);
constexpr FormValue kLayoutDefaults[] = {{"codec", 3}, {"rate", 44100}, {"channels", 2}};
constexpr FormCheck kLayoutChecks[] = {
    {"rate", 6000, kHighestSampleRate, kProductTitle, messages::kBadRawRate}};

std::optional<SampleEncoding> encodingOf(int codec) {
  switch (codec) {
    case 1:
      return SampleEncoding::MuLaw;
    case 2:
      return SampleEncoding::ALaw;
    case 3:
      return SampleEncoding::Pcm16Le;
    case 4:
      return SampleEncoding::Unsigned8;
    case 5:
      return SampleEncoding::Signed8;
    case 6:
      return SampleEncoding::Pcm16Be;
    case 7:
      return SampleEncoding::Float32Le;
    case 8:
      return SampleEncoding::Float32Be;
    default:
      return std::nullopt;
  }
}

}  // namespace

RawLayout readRawLayout(const RawFamily& family, const RawLayout& defaults) {
  RawLayout layout;
  layout.sampleRate = family.sampleRate.read(defaults.sampleRate);
  layout.channels = std::max(family.channels.read(defaults.channels), 1);
  layout.codec = family.codec.read(defaults.codec);
  return layout;
}

void writeRawLayout(const RawFamily& family, const RawLayout& layout) {
  family.sampleRate.write(layout.sampleRate);
  family.channels.write(layout.channels);
  family.codec.write(layout.codec);
}

const Form kRawAudioLayoutForm{.dialog = messages::kRawLayoutDialog,
                               .caption = "Raw Audio Format",
                               .fields = kRawAudioFields,
                               .defaults = kLayoutDefaults,
                               .checks = kLayoutChecks};
const Form kVoxAudioLayoutForm{.dialog = messages::kRawLayoutDialog,
                               .caption = "Raw Audio Format",
                               .fields = kVoxAudioFields,
                               .defaults = kLayoutDefaults,
                               .checks = kLayoutChecks};

const Form& layoutFormOf(const RawFamily& family) {
  return &family == &kVoxAudioFamily ? kVoxAudioLayoutForm : kRawAudioLayoutForm;
}

bool askRawLayout(Interaction& owner, const RawFamily& family, const RawLayout& initial) {
  const RawLayout stored = readRawLayout(family, initial);
  DialogValues values;
  values.set("codec", stored.codec);
  values.set("rate", stored.sampleRate);
  values.set("channels", stored.channels);
  return askForm(owner, layoutFormOf(family), values);
}

Ref<SampleSource> OpenRawSource(const std::string& path, const RawLayout& layout) {
  if (layout.codec == kCodecVox) return OpenVoxSource(path, layout.sampleRate);
  const std::optional<SampleEncoding> encoding = encodingOf(layout.codec);
  if (!encoding) return makeRef<NullSource>();
  platform::File file;
  if (!file.open(path, platform::File::Mode::Read))
    return makeRef<NullSource>(SourceStatus::CannotOpen);
  PositionedFileReader::Layout positioned;
  positioned.sampleRate = layout.sampleRate;
  positioned.channels = layout.channels;
  positioned.encoding = *encoding;
  return makeRef<PositionedFileReader>(std::move(file), positioned);
}

Ref<SampleSink> CreateRawSink(const std::string& path, const RawLayout& layout) {
  if (layout.codec == kCodecVox) return CreateVoxSink(path, layout.sampleRate);
  const std::optional<SampleEncoding> encoding = encodingOf(layout.codec);
  if (!encoding) return makeRef<NullSink>();
  return makeRef<HeaderedFileWriter>(
      path, layout.sampleRate, layout.channels,
      std::make_unique<SampleDataEncoder>(*encoding, layout.channels), HeaderBuilder());
}

}  // namespace quillon
