#include <strings.h>

#include <optional>

#include "formats/wav.h"
#include "platform/codec_manager.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/xdg_dirs.h"

namespace quillon {
namespace {

constexpr char kPcmCodec[] = "PCM Uncompressed";
constexpr char kGsmCodec[] = "GSM6.10 Native";
constexpr char kFloatCodec[] = "IEEE Float";  // written by the program itself, 32 bits

// The GSM 06.10 record at a rate: 65-byte blocks of 320 samples.
WaveFormatRecord gsmRecord(uint32_t rate) {
  WaveFormatRecord record;
  record.tag = 49;
  record.channels = 1;
  record.sampleRate = rate;
  const struct {
    uint32_t rate, bytes;
  } known[] = {{8000, 1625},  {11025, 2239}, {16000, 3250},
               {22050, 4478}, {32000, 6500}, {44100, 8957}};
  record.averageBytesPerSecond = rate * 65 / 320;
  for (const auto& k : known) {
    if (k.rate == rate) record.averageBytesPerSecond = k.bytes;
  }
  record.blockAlign = 65;
  record.bitsPerSample = 0;
  record.extraSize = 2;
  record.extra[0] = 320 & 0xFF;
  record.extra[1] = 320 >> 8;
  return record;
}

// A driver's standard format of a tag at a rate and channel count, with the driver's ids.
std::optional<WaveFormatRecord> driverFormat(uint16_t tag, uint32_t rate, uint16_t channels) {
  for (const auto& driver : platform::CodecManager::instance().drivers()) {
    for (const platform::WaveFormat& format : driver->standardFormats(tag)) {
      if (format.sampleRate == rate && format.channels == channels) {
        return WaveFormatRecord::fromWaveFormat(format, driver->manufacturerId(),
                                                driver->productId());
      }
    }
  }
  return std::nullopt;
}

// The name a codec entry has in the WAV format dialog.
std::string codecName(const WaveFormatRecord& record) {
  if (record.tag == 1) return kPcmCodec;
  if (record.tag == 49) return kGsmCodec;
  return wavCodecNameForTag(record.tag);
}

// The record that a codec, rate, channel count and bit depth name.
std::optional<WaveFormatRecord> recordFor(const std::string& codec, int32_t rate, int channels,
                                          int bits) {
  if (rate <= 0 || channels < 1 || channels > 2) return std::nullopt;
  if (codec == kPcmCodec) {
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
    return WaveFormatRecord::pcm(uint32_t(rate), uint16_t(channels), uint16_t(bits));
  }
  if (codec == kFloatCodec) {
    WaveFormatRecord record = WaveFormatRecord::pcm(uint32_t(rate), uint16_t(channels), 32);
    record.tag = 3;
    return record;
  }
  if (codec == kGsmCodec)
    return channels == 1 ? std::optional(gsmRecord(uint32_t(rate))) : std::nullopt;
  for (const auto& driver : platform::CodecManager::instance().drivers()) {
    for (uint16_t tag : driver->formatTags()) {
      if (wavCodecNameForTag(tag) == codec)
        return driverFormat(tag, uint32_t(rate), uint16_t(channels));
    }
  }
  return std::nullopt;
}

// The codec list: PCM, GSM 06.10, then every format tag of the installed drivers that has a
// standard format.
std::vector<std::string> codecNames() {
  std::vector<std::string> names = {kPcmCodec, kGsmCodec};
  for (const auto& driver : platform::CodecManager::instance().drivers()) {
    for (uint16_t tag : driver->formatTags()) {
      const std::string name = wavCodecNameForTag(tag);
      if (tag != 1 && !driver->standardFormats(tag).empty() &&
          std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(name);
      }
    }
  }
  return names;
}

// The short names a codec word may take, any case, beside the full names of the list.
constexpr struct {
  const char* word;
  uint16_t tag;
} kCodecWords[] = {{"pcm", 1},      {"float", 3}, {"gsm", 49}, {"ima-adpcm", 0x11},
                   {"ms-adpcm", 2}, {"alaw", 6},  {"mulaw", 7}};

std::string codecNameOfTag(uint16_t tag) {
  WaveFormatRecord record;
  record.tag = tag;
  return codecName(record);
}

// The dialog's list, and 32-bit float, which the program writes without a driver.
std::vector<std::string> writableCodecNames() {
  std::vector<std::string> names = codecNames();
  names.insert(names.begin() + 1, kFloatCodec);
  return names;
}

bool listed(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The codec list's name for a word (a short name or a full name, any case), when it is listed.
std::optional<std::string> codecOfWord(const std::string& word) {
  const std::vector<std::string> names = writableCodecNames();
  for (const auto& w : kCodecWords) {
    if (::strcasecmp(word.c_str(), w.word) == 0 && listed(names, codecNameOfTag(w.tag)))
      return codecNameOfTag(w.tag);
  }
  for (const std::string& name : names) {
    if (::strcasecmp(word.c_str(), name.c_str()) == 0) return name;
  }
  return std::nullopt;
}

constexpr FormChoice kBitDepths[] = {{"8", 8}, {"16", 16}, {"24", 24}, {"32", 32}};
constexpr FormField kWavFormatFields[] = {
    {.name = "codec", .kind = FieldKind::Choice, .label = "Codec", .choiceTexts = codecNames},
    sampleRateField(),
    channelsField(),
    {.name = "bits", .kind = FieldKind::Choice, .label = "Bits", .choices = kBitDepths}};

std::optional<WaveFormatRecord> recordOf(const DialogValues& values) {
  const Form& form = kWavFormatForm;
  return recordFor(codecOfWord(values.text("codec")).value_or(""),
                   form.field("rate")->typedValue(values.text("rate")),
                   form.field("channels")->typedValue(values.text("channels")),
                   form.field("bits")->typedValue(values.text("bits")));
}

std::optional<Refusal> refuseMissingFormat(const DialogValues& values) {
  if (recordOf(values)) return std::nullopt;
  if (!codecOfWord(values.text("codec"))) {
    std::string names;
    for (const std::string& name : wavCodecWords())
      names += (names.empty() ? "" : ", ") + name;
    return Refusal{"Invalid value",
                   "\"" + values.text("codec") + "\" is not a codec: it takes " + names + "."};
  }
  return Refusal{"Invalid value", "There is no " + values.text("codec") + " format for " +
                                      values.text("rate") + " Hz with " + values.text("channels") +
                                      " channel(s)."};
}

}  // namespace

std::vector<std::string> wavCodecWords() {
  const std::vector<std::string> names = writableCodecNames();
  std::vector<std::string> words;
  for (const auto& w : kCodecWords) {
    if (listed(names, codecNameOfTag(w.tag))) words.push_back(w.word);
  }
  for (const std::string& name : names)
    words.push_back("\"" + name + "\"");
  return words;
}

const Form kWavFormatForm{.dialog = "LWaveEncodeDlg",
                          .caption = "Wave Format",
                          .fields = kWavFormatFields,
                          .check = refuseMissingFormat};

bool EditWavFormat(Interaction& owner, int32_t documentRate, int documentChannels) {
  const WaveFormatRecord stored = readDefaultWavFormat(documentRate, documentChannels);
  const int32_t rate = int32_t(stored.sampleRate) < 0 ? 44100 : int32_t(stored.sampleRate);
  const int bits = stored.channels && stored.sampleRate
                       ? int(int64_t{stored.averageBytesPerSecond} * 8 /
                             (int64_t{stored.sampleRate} * stored.channels))
                       : 16;
  DialogValues values;
  values.set("codec", codecName(stored));
  values.set("rate", rate);
  values.set("channels", stored.channels);
  values.set("bits", bits == 8 || bits == 24 || bits == 32 ? bits : 16);
  if (!askForm(owner, kWavFormatForm, values)) return false;
  if (auto codec = codecOfWord(values.text("codec"))) values.set("codec", *codec);
  const std::optional<WaveFormatRecord> record = recordOf(values);
  return record && writeDefaultWavFormat(*record);
}

Ref<SampleSink> CreateWavSinkFromSettings(const std::string& path, int32_t documentRate,
                                          int documentChannels) {
  return CreateWavSink(path, readDefaultWavFormat(documentRate, documentChannels));
}

// The old file's WAV format, adapted to the document's rate and channels: a codec keeps its tag
// but takes the format its driver offers for the new layout.
WaveFormatRecord adaptWavFormat(WaveFormatRecord record, int32_t rate, int channels) {
  const bool sameLayout = record.sampleRate == uint32_t(rate) && record.channels == channels;
  record.sampleRate = uint32_t(rate);
  record.channels = uint16_t(channels);
  if (!sameLayout && record.tag != 1 && record.tag != 3 && record.tag != 49) {
    if (auto offered = driverFormat(record.tag, uint32_t(rate), uint16_t(channels)))
      return *offered;
  }
  return record;
}

std::string defaultWavFormatPath() {
  return platform::joinPath(platform::XdgDirs::configFolder(), "WavCodec.wff");
}

bool writeDefaultWavFormat(const WaveFormatRecord& format) {
  if (!platform::makeFolders(platform::XdgDirs::configFolder())) return false;
  const auto bytes = format.toBytes();
  return platform::replaceFileAtomically(defaultWavFormatPath(),
                                         std::string(bytes.begin(), bytes.end()), 0644);
}

WaveFormatRecord readDefaultWavFormat(int32_t sampleRate, int channels) {
  const WaveFormatRecord pcm = WaveFormatRecord::pcm(uint32_t(sampleRate), uint16_t(channels), 16);
  if (!platform::fileExists(defaultWavFormatPath())) writeDefaultWavFormat(pcm);
  std::string bytes;
  if (!platform::readWholeFile(defaultWavFormatPath(), bytes)) return pcm;
  return WaveFormatRecord::fromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace quillon
