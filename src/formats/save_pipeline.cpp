#include "formats/save_pipeline.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "document/low_disk_guard.h"
#include "document/wave_document.h"
#include "effects/stream_transfer.h"
#include "formats/aiff.h"
#include "formats/au.h"
#include "formats/bookmark_file.h"
#include "formats/format_messages.h"
#include "formats/gsm_file.h"
#include "formats/open_pipeline.h"
#include "formats/raw_file.h"
#include "formats/tags.h"
#include "formats/wav.h"
#include "platform/codec_manager.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text_format.h"
#include "platform/xdg_dirs.h"

namespace quillon {

const SaveFileType kSaveFileTypes[8] = {
    {"Wave (*.wav)", ".wav", true},         {"MPEG Layer-3 (*.mp3)", ".mp3", false},
    {"Apple AIFF(*.aif)", ".aif", true},    {"Apple AIFF(*.aiff)", ".aiff", true},
    {"Sun AU (*.au)", ".au", true},         {"GSM (*.gsm)", ".gsm", true},
    {"Dialogic Vox (*.vox)", ".vox", true}, {"Raw Audio (*.raw)", ".raw", true},
};

namespace {

constexpr char kAuEncoder[] = "AuEncoder";
constexpr char kAiffEncode[] = "AIFFEncode";
constexpr char kInvalidValue[] = "Invalid value";
constexpr char kPcmCodec[] = "PCM Uncompressed";
constexpr char kGsmCodec[] = "GSM6.10 Native";

bool offeredForSaving(const std::string& extension) {
  return std::any_of(std::begin(kSaveFileTypes), std::end(kSaveFileTypes),
                     [&](const SaveFileType& t) { return t.canSave && extension == t.extension; });
}

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

int32_t storedNumber(const char* subKey, const char* name, int32_t fallback) {
  return settings::readNumber(subKey, name, fallback);
}

class SaveJob : public Job {
 public:
  SaveJob(Interaction& owner, const SaveRequest& request)
      : Job(messages::kSavingJobTitle), owner_(owner), request_(request) {}

 protected:
  JobResult run() override { return SaveTask(*this, owner_, request_); }

 private:
  Interaction& owner_;
  const SaveRequest& request_;
};

// A hidden name beside the target with the same extension, so that the tag writers know it.
std::string temporaryNameFor(const std::string& path) {
  const std::string folder = platform::parentFolder(path);
  return platform::joinPath(folder.empty() ? "." : folder, ".~" + platform::fileNameOf(path));
}

bool syncFile(const std::string& path) {
  platform::File file;
  return file.open(path, platform::File::Mode::ReadWrite) && file.sync();
}

// The chooser's save types, with the remembered folder and type.
FileChooserRequest saveChooser(const char* title, std::string proposedName) {
  FileChooserRequest request;
  request.mode = FileChooserRequest::Mode::Save;
  request.title = title;
  request.folder = settings::kSaveAsDir.read();
  request.proposedName = std::move(proposedName);
  for (const SaveFileType& type : kSaveFileTypes) {
    if (type.canSave) request.types.push_back({type.text, type.extension});
  }
  request.preferredExtension = std::string(".").append(settings::kSaveAsFormat.read());
  return request;
}

// The save chooser, then, for a file that exists, the question whether to overwrite it; any
// answer but "Overwrite" cancels.
std::optional<std::string> chooseSavePath(Interaction& owner, const FileChooserRequest& request) {
  std::optional<std::string> chosen = owner.chooseFile(request);
  if (chosen && platform::fileExists(*chosen) &&
      owner.messageBox(messages::kFileExistsCaption,
                       formatMessage(messages::kFileExists, {platform::fileNameOf(*chosen)}),
                       MessageIcon::Exclamation, MessageButtons::OverwriteCancel) != Answer::Ok) {
    return std::nullopt;
  }
  return chosen;
}

void rememberChoice(const std::string& path) {
  settings::kSaveAsFormat.write(platform::storedExtension(path));
  settings::kSaveAsDir.write(platform::parentFolder(path));
}

}  // namespace

bool CanSaveExtension(const std::string& extension) {
  static const char* const kWritten[] = {".wav", ".aiff", ".aif", ".au", ".gsm", ".raw", ".vox"};
  return std::find(std::begin(kWritten), std::end(kWritten), extension) != std::end(kWritten);
}

Ref<SampleSink> CreateSinkForExtension(const std::string& path, int32_t sampleRate, int channels) {
  const std::string extension = platform::extensionOf(path);
  if (extension == ".wav") return CreateWavSink(path, readDefaultWavFormat(sampleRate, channels));
  if (extension == ".au") {
    return CreateAuSink(path, storedNumber(kAuEncoder, "CodecIndex", 0),
                        storedNumber(kAuEncoder, "SampleRate", 44100),
                        storedNumber(kAuEncoder, "Channels", 2));
  }
  if (extension == ".aiff" || extension == ".aif") {
    return CreateAiffSink(path, storedNumber(kAiffEncode, "SampleRate", sampleRate),
                          storedNumber(kAiffEncode, "Channels", channels),
                          storedNumber(kAiffEncode, "SampleSize", 16));
  }
  if (extension == ".gsm") return CreateGsmSink(path);
  if (extension == ".vox") {
    return CreateRawSink(path, readRawLayout(kVoxAudioFamily, {sampleRate, channels, 0}));
  }
  if (extension == ".raw") {
    return CreateRawSink(path, readRawLayout(kRawAudioFamily, {sampleRate, channels, 3}));
  }
  return makeRef<NullSink>();
}

bool EditFormatSettings(const std::string& extension, Interaction& owner, int32_t sampleRate,
                        int channels) {
  if (extension == ".gsm") return true;
  if (extension == ".wav") {
    WaveFormatRecord stored = readDefaultWavFormat(sampleRate, channels);
    const int32_t rate = int32_t(stored.sampleRate) < 0 ? 44100 : int32_t(stored.sampleRate);
    const int bits = stored.channels && stored.sampleRate
                         ? int(int64_t{stored.averageBytesPerSecond} * 8 /
                               (int64_t{stored.sampleRate} * stored.channels))
                         : 16;
    DialogValues dialog{"LWaveEncodeDlg", {}};
    dialog.set("codec", codecName(stored));
    dialog.set("rate", rate);
    dialog.set("channels", stored.channels);
    dialog.set("bits", bits == 8 || bits == 24 || bits == 32 ? bits : 16);
    auto pick = [](const DialogValues& v) {
      return recordFor(v.text("codec"), v.number("rate"), v.number("channels"), v.number("bits"));
    };
    if (!owner.editDialog(dialog, [&](const DialogValues& v) -> std::optional<Refusal> {
          if (pick(v)) return std::nullopt;
          return Refusal{kInvalidValue, "There is no " + v.text("codec") + " format for " +
                                            v.text("rate") + " Hz with " + v.text("channels") +
                                            " channel(s)."};
        })) {
      return false;
    }
    return writeDefaultWavFormat(*pick(dialog));
  }
  if (extension == ".au") {
    DialogValues dialog{"LAuSettingsDlg", {}};
    dialog.set("codec", storedNumber(kAuEncoder, "CodecIndex", 0));
    dialog.set("rate", storedNumber(kAuEncoder, "SampleRate", 44100));
    dialog.set("channels", storedNumber(kAuEncoder, "Channels", 2));
    if (!owner.editDialog(dialog, nullptr)) return false;
    settings::writeNumber(kAuEncoder, "SampleRate", dialog.number("rate"));
    settings::writeNumber(kAuEncoder, "Channels", std::clamp(dialog.number("channels"), 1, 2));
    settings::writeNumber(kAuEncoder, "CodecIndex", std::clamp(dialog.number("codec"), 0, 3));
    return true;
  }
  if (extension == ".aiff" || extension == ".aif") {
    DialogValues dialog{"LAIFFEncodeDlg", {}};
    dialog.set("rate", storedNumber(kAiffEncode, "SampleRate", 44100));
    dialog.set("bits", storedNumber(kAiffEncode, "SampleSize", 16));
    dialog.set("channels", storedNumber(kAiffEncode, "Channels", 2));
    if (!owner.editDialog(dialog, nullptr)) return false;
    const int32_t rate = dialog.number("rate");
    settings::writeNumber(kAiffEncode, "SampleSize", dialog.number("bits", 16));
    settings::writeNumber(kAiffEncode, "SampleRate", rate == 0 ? 44100 : rate);
    settings::writeNumber(kAiffEncode, "Channels", std::clamp(dialog.number("channels"), 1, 2));
    return true;
  }
  if (extension == ".vox" || extension == ".raw") {
    const bool vox = extension == ".vox";
    const char* family = vox ? kVoxAudioFamily : kRawAudioFamily;
    const RawLayout initial = vox ? RawLayout{sampleRate, channels, 0} : RawLayout{44100, 1, 3};
    writeRawLayout(family, readRawLayout(family, initial));
    bool ask = true;
    return AskRawLayout("x" + extension, owner, ask) == JobResult::Done;
  }
  return false;
}

JobResult SaveTask(Job& progress, Interaction& owner, const SaveRequest& request) {
  const std::string extension = platform::extensionOf(request.path);
  const int32_t rate = request.clip.sampleRate;
  const int channels = request.clip.channels;
  if (request.askSettings && CanSaveExtension(extension) && !request.wavFormat &&
      !EditFormatSettings(extension, owner, rate, channels)) {
    return JobResult::Failed;
  }
  Ref<SampleSink> sink = extension == ".wav" && request.wavFormat
                             ? CreateWavSink(request.path, *request.wavFormat)
                             : CreateSinkForExtension(request.path, rate, channels);
  if (sink->status() & kSinkNull) {
    progress.reportError(formatMessage(messages::kCannotCreateForSaving, {request.path}));
    return JobResult::Failed;
  }
  const JobResult result =
      TransferStream(progress, messages::kSavingFile, makeRef<ClipReader>(request.clip), sink);
  if (result == JobResult::Failed && sink->failed()) {
    progress.reportError(formatMessage(messages::kCannotCreateForSaving, {request.path}) + " " +
                         std::strerror(sink->ioError()) + ".");
  }
  return result;
}

JobResult saveSafely(Interaction& owner, const SaveRequest& request, const TagList* tags) {
  SaveRequest temporary = request;
  temporary.path = temporaryNameFor(request.path);
  SaveJob job(owner, temporary);
  JobResult result = runJob(job, owner);
  if (result == JobResult::Done && tags) WriteTags(*tags, temporary.path, kWavAllTags);
  if (result == JobResult::Done && !syncFile(temporary.path)) result = JobResult::Failed;
  if (result == JobResult::Done) {
    struct stat old {};
    if (::stat(request.path.c_str(), &old) == 0)
      ::chmod(temporary.path.c_str(), old.st_mode & 07777);
    if (std::rename(temporary.path.c_str(), request.path.c_str()) != 0) {
      owner.messageBox("Error", formatMessage(messages::kCannotCreateForSaving, {request.path}),
                       MessageIcon::Exclamation, MessageButtons::Ok);
      result = JobResult::Failed;
    }
  }
  if (result != JobResult::Done) platform::removeFile(temporary.path);
  return result;
}

bool SaveDocument(DocumentView& view, bool saveAs) {
  WaveDocument* document = view.document();
  if (!document) return false;
  if (!lowDiskGuard(&view, GuardMode::SaveFolder, messages::kNotEnoughSpaceToSave,
                    document->path)) {
    return false;
  }
  if (platform::parentFolder(document->path).empty()) return SaveDocumentAs(view);
  const std::string extension = platform::extensionOf(document->path);
  if (!offeredForSaving(extension)) {
    if (view.interaction().messageBox(kProductTitle, messages::kSaveFormatUnsupported,
                                      MessageIcon::Question,
                                      MessageButtons::YesNo) == Answer::Yes) {
      return SaveDocumentAs(view);
    }
    return false;
  }
  SaveRequest request{document->audio, document->path, saveAs, std::nullopt};
  if (extension == ".wav" && !saveAs && platform::fileExists(document->path)) {
    const WaveFormatRecord old = ReadWavFormat(document->path);
    if (old.tag != 0) {
      request.wavFormat = adaptWavFormat(old, document->audio.sampleRate, document->audio.channels);
    }
  }
  if (saveSafely(view.interaction(), request, &document->tags) != JobResult::Done) return false;
  writeBookmarkFile(bookmarkPathFor(document->path), document->markers);
  document->modified = false;
  view.refreshAll();
  view.documentSaved(*document);
  return true;
}

bool SaveDocumentAs(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  for (;;) {
    std::optional<std::string> chosen =
        chooseSavePath(view.interaction(),
                       saveChooser(messages::kSaveAsTitle, platform::fileNameOf(document->path)));
    if (!chosen) return false;
    rememberChoice(*chosen);
    const std::string extension = platform::extensionOf(*chosen);
    if (extension == ".ra" || extension == ".ram" || extension == ".rm") {
      if (view.interaction().messageBox(kProductTitle, messages::kRealAudioUnsupported,
                                        MessageIcon::Question,
                                        MessageButtons::YesNo) == Answer::Yes) {
        continue;
      }
      return false;
    }
    const std::string previous = document->path;
    document->path = *chosen;
    if (SaveDocument(view, true)) return true;
    document->path = previous;
    return false;
  }
}

bool SaveRegion(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  if (!lowDiskGuard(&view, GuardMode::SaveFolder, messages::kNotEnoughSpaceToSave,
                    document->path)) {
    return false;
  }
  const int32_t count = settings::kSaveRegionCount.read();
  char name[32];
  std::snprintf(name, sizeof name, messages::kRegionName, count);
  std::optional<std::string> chosen =
      chooseSavePath(view.interaction(), saveChooser(messages::kSaveRegionTitle, name));
  if (!chosen) return false;
  rememberChoice(*chosen);
  SaveRequest request{document->audio, *chosen, true, std::nullopt};
  deleteFrom(request.clip, document->selectionEnd);
  deleteBefore(request.clip, document->selectionStart);
  if (saveSafely(view.interaction(), request, nullptr) != JobResult::Done) return false;
  settings::kSaveRegionCount.write(count + 1);
  view.rememberFile(*chosen);
  return true;
}

}  // namespace quillon
