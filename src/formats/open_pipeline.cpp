#include "formats/open_pipeline.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "document/block_writer.h"
#include "document/document_messages.h"
#include "effects/stream_transfer.h"
#include "formats/bookmark_file.h"
#include "formats/format_messages.h"
#include "formats/format_table.h"
#include "formats/raw_file.h"
#include "formats/tags.h"
#include "formats/wav.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text_format.h"
#include "platform/xdg_dirs.h"

namespace quillon {
namespace {

std::string systemTempFolder() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

// A SampleSource that passes a WAV reader through and deletes the file when it goes.
class TempWavSource : public SampleSource {
 public:
  TempWavSource(Ref<SampleSource> inner, TempWavName name)
      : SampleSource(inner->sampleRate(), inner->channels()),
        inner_(std::move(inner)),
        name_(std::move(name)) {
    setStatus(inner_->status());
    setPeakBound(inner_->peakBound());
  }
  ~TempWavSource() override {
    inner_ = nullptr;  // closes the file before the name removes it
  }
  int32_t read(Sample* buffer, int32_t frames) override { return inner_->read(buffer, frames); }
  int32_t position() override { return inner_->position(); }
  int32_t length() override { return inner_->length(); }
  void seek(int32_t frame) override { inner_->seek(frame); }
  bool lengthUnknown() override { return inner_->lengthUnknown(); }

 private:
  Ref<SampleSource> inner_;
  TempWavName name_;
};

// Unwraps a dictation file into a temporary WAV and opens it.
OpenResult openDictation(Job& progress, const std::string& path, const FileFormat& format,
                         const std::string& tempFolder) {
  OpenResult out;
  TempWavName name(tempFolder.empty() ? systemTempFolder() : tempFolder);
  const JobResult converted =
      name.path().empty() ? JobResult::Failed : format.convertToWav(progress, path, name.path());
  if (converted != JobResult::Done) {
    out.result = converted;
    // A file that cannot be read gets its reason here; every other failure has been shown by
    // the converter already.
    const bool readable = platform::File().open(path, platform::File::Mode::Read);
    out.source = makeRef<NullSource>(readable ? SourceStatus::Corrupt : SourceStatus::CannotOpen);
    if (!readable) out.failure = openFailureMessage(path, SourceStatus::CannotOpen);
    return out;
  }
  out.source = OpenTempWavSource(std::move(name));
  out.result = out.source->status() == SourceStatus::Ok ? JobResult::Done : JobResult::Failed;
  if (out.result != JobResult::Done) out.failure = openFailureMessage(path, out.source->status());
  return out;
}

}  // namespace

std::string openFailureMessage(const std::string& path, SourceStatus status) {
  const std::string extension = platform::extensionOf(path);
  if (extension == ".mp3") {
    // The service cannot be reached without a private runtime folder: say so, not "bad file".
    std::string refusal;
    if (status == SourceStatus::InnerFailed &&
        platform::XdgDirs::privateRuntimeFolder(&refusal).empty()) {
      return refusal;
    }
    return formatMessage(messages::kBadMp3, {path});
  }
  switch (status) {
    case SourceStatus::Corrupt:
      return formatMessage(messages::kCorruptFile, {path});
    case SourceStatus::CannotOpen:
      return formatMessage(messages::kCannotOpenFile, {path});
    case SourceStatus::Encrypted:
      return formatMessage(messages::kEncryptedFile, {path});
    case SourceStatus::MissingCodec:
      if (extension == ".wav" || extension == ".dct") {
        const std::string codec = GetWavCodecName(path);
        if (codec == wavCodecNameForTag(0))
          return formatMessage(messages::kUnknownWavCodec, {path});
        return formatMessage(messages::kMissingWavCodec, {path, codec});
      }
      [[fallthrough]];
    default:
      return formatMessage(messages::kUnsupportedFormat, {path});
  }
}

OpenResult OpenSourceByExtension(Job& progress, const std::string& path, bool quiet,
                                 const std::string& tempFolder) {
  const FileFormat* format = formatOf(path);
  OpenResult out;
  if (format && format->convertToWav) {
    out = openDictation(progress, path, *format, tempFolder);
  } else {
    out.source = format && format->open ? format->open(path) : makeRef<NullSource>();
    out.result = out.source->status() == SourceStatus::Ok ? JobResult::Done : JobResult::Failed;
    if (out.result != JobResult::Done) out.failure = openFailureMessage(path, out.source->status());
  }
  if (!quiet && !out.failure.empty()) progress.reportError(out.failure);
  return out;
}

JobResult AskRawLayout(const std::string& path, Interaction& owner, bool& askFlag) {
  const FileFormat* format = formatOf(path);
  if (!askFlag || !format || !format->rawFamily) return JobResult::Done;
  askFlag = false;
  const RawFamily& family = *format->rawFamily;
  return askRawLayout(owner, family, openingDefaults(family)) ? JobResult::Done
                                                              : JobResult::Cancelled;
}

TempWavName::TempWavName(const std::string& folder) {
  platform::makeFolders(folder);
  std::string pattern = platform::joinPath(folder, "quillon-XXXXXX");
  if (!::mkdtemp(pattern.data())) return;
  folder_ = pattern;
  path_ = platform::joinPath(folder_, "Temp.wav");
}

TempWavName::TempWavName(TempWavName&& other) noexcept
    : folder_(std::move(other.folder_)), path_(std::move(other.path_)) {
  other.folder_.clear();
  other.path_.clear();
}

TempWavName::~TempWavName() {
  if (folder_.empty()) return;
  platform::removeFile(path_);
  ::rmdir(folder_.c_str());
}

Ref<SampleSource> OpenTempWavSource(TempWavName name) {
  Ref<SampleSource> reader = OpenWavSource(name.path());
  return makeRef<TempWavSource>(std::move(reader), std::move(name));
}

JobResult LoadFileIntoDocument(Job& progress, Interaction& owner, LoadRequest& request) {
  const std::string text =
      formatMessage(messages::kLoadingFile, {platform::fileNameOf(request.path)});
  progress.setLine(text, 0);
  progress.setLine("Please wait...", 1);
  if (AskRawLayout(request.path, owner, request.askRawLayout) == JobResult::Cancelled) {
    return JobResult::Cancelled;
  }
  // ".mp3" is read through the decoding service.
  const bool mp3 = platform::extensionOf(request.path) == ".mp3";
  OpenResult opened = OpenSourceByExtension(progress, request.path, true);
  if (opened.result != JobResult::Done) {
    request.failure = opened.failure;
    return opened.result;
  }
  Clip& audio = request.document->audio;
  auto writer = makeRef<BlockWriter>(audio, opened.source->sampleRate(), opened.source->channels());
  // The MP3 source's peak bound passes 16-bit full scale: the transfer limits it.
  const JobResult result = TransferStream(progress, text, opened.source, writer);
  if (result == JobResult::Failed && writer->failed()) {
    request.failure = "The audio could not be written to the working folder: " +
                      std::string(std::strerror(writer->ioError())) + ".";
  } else if (result == JobResult::Failed && mp3) {
    request.failure =
        openFailureMessage(request.path, SourceStatus::InnerFailed);  // the service failed
  }
  return result;
}

namespace {

class LoadJob : public Job {
 public:
  LoadJob(Interaction& owner, LoadRequest& request)
      : Job(messages::kLoadingJobTitle), owner_(owner), request_(request) {}

 protected:
  JobResult run() override { return LoadFileIntoDocument(*this, owner_, request_); }

 private:
  Interaction& owner_;
  LoadRequest& request_;
};

}  // namespace

JobResult FileLoader::load(const std::string& path, WaveDocument& document, Interaction& owner,
                           std::string& failure) {
  LoadRequest request{path, Ref<WaveDocument>(&document), true, {}};
  LoadJob job(owner, request);
  const JobResult result = runJob(job, owner);
  failure = request.failure;
  return result;
}

void FileLoader::loadMetadata(const std::string& path, WaveDocument& document) {
  document.markers = readBookmarkFile(bookmarkPathFor(path), document.audio.sampleRate);
  document.markersFile = document.markers.empty() ? std::string() : bookmarkPathFor(path);
  ReadTags(document.tags, path, kWavAllTags);
}

}  // namespace quillon
