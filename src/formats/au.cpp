#include "formats/au.h"

#include "formats/byte_io.h"
#include "formats/headered_file_writer.h"
#include "formats/positioned_file_reader.h"
#include "platform/settings.h"

namespace quillon {
namespace {

constexpr FormChoice kAuCodecs[] = {{"PCM 16 bit", 0}, {"PCM 8 bit", 1}, {"aLaw", 2}, {"uLaw", 3}};
constexpr FormField kAuFields[] = {{.name = "codec",
                                    .kind = FieldKind::Choice,
                                    .label = "Encoding",
                                    .choices = kAuCodecs,
                                    .setting = &settings::kAuCodecIndex},
                                   sampleRateField(&settings::kAuSampleRate),
                                   channelsField(&settings::kAuChannels)};
constexpr FormValue kAuDefaults[] = {{"codec", 0}, {"rate", 44100}, {"channels", 2}};

// The data size field is 32 bits, and 0xFFFFFFFF means "to the end of the file".
constexpr int64_t kMaxDataBytes = 0xFFFFFFFE;

constexpr uint32_t kEncodingMuLaw = 1;
constexpr uint32_t kEncodingSigned8 = 2;
constexpr uint32_t kEncodingPcm16 = 3;
constexpr uint32_t kEncodingALaw = 27;

}  // namespace

Ref<SampleSource> OpenAuSource(const std::string& path) {
  platform::File file;
  if (!file.open(path, platform::File::Mode::Read))
    return makeRef<NullSource>(SourceStatus::CannotOpen);
  uint8_t header[24];
  if (file.read(header, 24) != 24) return makeRef<NullSource>(SourceStatus::Corrupt);
  ByteReader in(header, 24);
  if (in.fourCC() != ".snd") return makeRef<NullSource>(SourceStatus::Corrupt);
  const uint32_t offset = in.u32be();
  const uint32_t size = in.u32be();
  const uint32_t encoding = in.u32be();
  const uint32_t rate = in.u32be();
  const uint32_t channels = in.u32be();

  PositionedFileReader::Layout layout;
  switch (encoding) {
    case kEncodingMuLaw:
      layout.encoding = SampleEncoding::MuLaw;
      break;
    case kEncodingSigned8:
      layout.encoding = SampleEncoding::Signed8;
      break;
    case kEncodingPcm16:
      layout.encoding = SampleEncoding::Pcm16Be;
      break;
    case kEncodingALaw:
      layout.encoding = SampleEncoding::ALaw;
      break;
    default:
      return makeRef<NullSource>(SourceStatus::MissingCodec);
  }
  if (rate < uint32_t(kLowestSampleRate) || rate > uint32_t(kHighestSampleRate) || channels > 255)
    return makeRef<NullSource>(SourceStatus::Corrupt);
  layout.sampleRate = int32_t(rate);
  layout.channels = int(channels);
  layout.dataStart = offset;
  layout.dataBytes = int32_t(size);  // 0xFFFFFFFF and the like: to the end of the file
  return makeRef<PositionedFileReader>(std::move(file), layout);
}

Ref<SampleSink> CreateAuSink(const std::string& path, int codecIndex, int32_t sampleRate,
                             int channels) {
  SampleEncoding encoding = SampleEncoding::Pcm16Be;
  uint32_t code = kEncodingPcm16;
  switch (codecIndex) {
    case 0:
      break;
    case 1:
      encoding = SampleEncoding::Signed8, code = kEncodingSigned8;
      break;
    case 2:
      encoding = SampleEncoding::ALaw, code = kEncodingALaw;
      break;
    case 3:
      encoding = SampleEncoding::MuLaw, code = kEncodingMuLaw;
      break;
    default:
      sampleRate = 44100, channels = 2;
  }
  const int bytesPerFrame = channels * bytesPerSample(encoding);
  return makeRef<HeaderedFileWriter>(
      path, sampleRate, channels, std::make_unique<SampleDataEncoder>(encoding, channels),
      [=](bool final, int64_t dataBytes, int32_t) {
        (void)bytesPerFrame;
        ByteWriter out;
        out.fourCC(".snd").u32be(24).u32be(final ? uint32_t(dataBytes) : 0xFFFFFFFF);
        out.u32be(code).u32be(uint32_t(sampleRate)).u32be(uint32_t(channels));
        return out.data();
      },
      kMaxDataBytes);
}

const Form kAuSettingsForm{.dialog = "LAuSettingsDlg",
                           .caption = "AU Settings",
                           .fields = kAuFields,
                           .defaults = kAuDefaults};

bool EditAuSettings(Interaction& owner, int32_t, int) {
  DialogValues values;
  return askForm(owner, kAuSettingsForm, values);
}

Ref<SampleSink> CreateAuSinkFromSettings(const std::string& path, int32_t, int) {
  return CreateAuSink(path, settings::kAuCodecIndex.read(), settings::kAuSampleRate.read(),
                      settings::kAuChannels.read());
}

}  // namespace quillon
