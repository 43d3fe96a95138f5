#include "formats/raw_file.h"

#include <algorithm>
#include <optional>

#include "formats/headered_file_writer.h"
#include "formats/positioned_file_reader.h"
#include "formats/vox.h"
#include "platform/settings.h"

namespace quillon {
namespace {

constexpr int kCodecVox = 0;

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

RawLayout readRawLayout(const char* family, const RawLayout& defaults) {
  RawLayout layout;
  layout.sampleRate = settings::readNumber(family, "SampleRate", defaults.sampleRate);
  layout.channels = std::max(settings::readNumber(family, "Channels", defaults.channels), 1);
  layout.codec = settings::readNumber(family, "Codec", defaults.codec);
  return layout;
}

void writeRawLayout(const char* family, const RawLayout& layout) {
  settings::writeNumber(family, "SampleRate", layout.sampleRate);
  settings::writeNumber(family, "Channels", layout.channels);
  settings::writeNumber(family, "Codec", layout.codec);
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
