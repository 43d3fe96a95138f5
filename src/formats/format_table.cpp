#include "formats/format_table.h"

#include "decoder_client/mp3_service_source.h"
#include "formats/aiff.h"
#include "formats/au.h"
#include "formats/dictation_files.h"
#include "formats/gsm_file.h"
#include "formats/raw_file.h"
#include "formats/wav.h"
#include "platform/paths.h"

namespace quillon {
namespace {

// A headerless family: read with its stored layout (opening defaults), written with it (the
// document's rate and channels by default), asked for by its layout dialog.
template <const RawFamily& Family>
Ref<SampleSource> openHeaderless(const std::string& path) {
  return OpenRawSource(path, readRawLayout(Family, openingDefaults(Family)));
}
template <const RawFamily& Family>
Ref<SampleSink> createHeaderless(const std::string& path, int32_t rate, int channels) {
  return CreateRawSink(path, readRawLayout(Family, {rate, channels, Family.codec.defaultNumber}));
}

// ".vox" opens on the document's layout; ".raw" on 44,100 Hz mono 16-bit PCM.
bool editVoxLayout(Interaction& owner, int32_t rate, int channels) {
  return askRawLayout(owner, kVoxAudioFamily, {rate, channels, kVoxAudioDefaults.codec});
}
bool editRawLayout(Interaction& owner, int32_t, int) {
  return askRawLayout(owner, kRawAudioFamily, kRawAudioDefaults);
}

Ref<SampleSink> createGsm(const std::string& path, int32_t, int) {
  return CreateGsmSink(path);  // 8,000 Hz mono whatever the document is
}

constexpr FormatExtension kWav[] = {{".wav", "Wave (*.wav)"}};
constexpr FormatExtension kMp3[] = {{".mp3", "MPEG Layer-3 (*.mp3)"}};
constexpr FormatExtension kAiff[] = {{".aif", "Apple AIFF(*.aif)"},
                                     {".aiff", "Apple AIFF(*.aiff)"}};
constexpr FormatExtension kAu[] = {{".au", "Sun AU (*.au)"}};
constexpr FormatExtension kGsm[] = {{".gsm", "GSM (*.gsm)"}};
constexpr FormatExtension kVox[] = {{".vox", "Dialogic Vox (*.vox)"}};
constexpr FormatExtension kRaw[] = {{".raw", "Raw Audio (*.raw)"}, {".snd", nullptr}};
constexpr FormatExtension kDct[] = {{".dct", nullptr}};
constexpr FormatExtension kDart[] = {{".dart", nullptr}};

const FileFormat kFormats[] = {
    {.chooserText = "Wave (*.wav)",
     .extensions = kWav,
     .saves = true,
     .open = OpenWavSource,
     .createSink = CreateWavSinkFromSettings,
     .settings = &kWavFormatForm,
     .editSettings = EditWavFormat,
     .tags = TagFamily::Riff},
    {.chooserText = "MPEG Layer-3 (*.mp3)",
     .extensions = kMp3,
     .saves = false,
     .open = openMp3ServiceSource,
     .tags = TagFamily::Id3},
    {.chooserText = "Apple AIFF (*.aif, *.aiff)",
     .extensions = kAiff,
     .saves = true,
     .open = OpenAiffSource,
     .createSink = CreateAiffSinkFromSettings,
     .settings = &kAiffSettingsForm,
     .editSettings = EditAiffSettings},
    {.chooserText = "Sun AU (*.au)",
     .extensions = kAu,
     .saves = true,
     .open = OpenAuSource,
     .createSink = CreateAuSinkFromSettings,
     .settings = &kAuSettingsForm,
     .editSettings = EditAuSettings},
    {.chooserText = "GSM (*.gsm)",
     .extensions = kGsm,
     .saves = true,
     .open = OpenGsmSource,
     .createSink = createGsm},
    {.chooserText = "Dialogic Vox (*.vox)",
     .extensions = kVox,
     .saves = true,
     .open = openHeaderless<kVoxAudioFamily>,
     .createSink = createHeaderless<kVoxAudioFamily>,
     .settings = &kVoxAudioLayoutForm,
     .editSettings = editVoxLayout,
     .rawFamily = &kVoxAudioFamily},
    {.chooserText = "Raw Audio (*.raw, *.snd)",
     .extensions = kRaw,
     .saves = true,
     .open = openHeaderless<kRawAudioFamily>,
     .createSink = createHeaderless<kRawAudioFamily>,
     .settings = &kRawAudioLayoutForm,
     .editSettings = editRawLayout,
     .rawFamily = &kRawAudioFamily},
    {.chooserText = "Dictation (*.dct)",
     .extensions = kDct,
     .saves = false,
     .convertToWav = ConvertDctToWav},
    {.chooserText = "Dictation (*.dart)",
     .extensions = kDart,
     .saves = false,
     .convertToWav = ConvertDartToWav},
};

}  // namespace

const char* FileFormat::saveTextOf(const std::string& extension) const {
  if (!saves) return nullptr;
  for (const FormatExtension& e : extensions) {
    if (extension == e.extension) return e.saveText;
  }
  return nullptr;
}

std::span<const FileFormat> fileFormats() {
  return kFormats;
}

const FileFormat* formatForExtension(const std::string& extension) {
  for (const FileFormat& format : kFormats) {
    for (const FormatExtension& e : format.extensions) {
      if (extension == e.extension) return &format;
    }
  }
  return nullptr;
}

const FileFormat* formatOf(const std::string& path) {
  return formatForExtension(platform::extensionOf(path));
}

bool CanSaveExtension(const std::string& extension) {
  const FileFormat* format = formatForExtension(extension);
  return format && format->saveTextOf(extension);
}

std::vector<FileChooserRequest::FileType> openableFileTypes() {
  std::vector<FileChooserRequest::FileType> types = {{"Audio Files", ""}};
  for (const FileFormat& format : kFormats) {
    std::string extensions;
    for (const FormatExtension& e : format.extensions) {
      if (!extensions.empty()) extensions += ';';
      extensions += e.extension;
    }
    types.push_back({format.chooserText, extensions});
    std::string& all = types.front().extension;
    if (!all.empty()) all += ';';
    all += extensions;
  }
  return types;
}

std::vector<SaveFileType> saveFileTypes() {
  std::vector<SaveFileType> types;
  for (const FileFormat& format : kFormats) {
    for (const FormatExtension& e : format.extensions) {
      if (e.saveText) types.push_back({e.saveText, e.extension, format.saves});
    }
  }
  return types;
}

}  // namespace quillon
