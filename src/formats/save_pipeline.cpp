#include "formats/save_pipeline.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "document/low_disk_guard.h"
#include "document/wave_document.h"
#include "effects/stream_transfer.h"
#include "formats/bookmark_file.h"
#include "formats/format_messages.h"
#include "formats/format_table.h"
#include "formats/open_pipeline.h"
#include "formats/tags.h"
#include "formats/wav.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text_format.h"
#include "platform/xdg_dirs.h"

namespace quillon {

namespace {

class SaveJob : public Job {
 public:
  SaveJob(Interaction& owner, const SaveRequest& request, const std::string& writePath)
      : Job(messages::kSavingJobTitle), owner_(owner), request_(request), writePath_(writePath) {}

 protected:
  JobResult run() override { return SaveTask(*this, owner_, request_, writePath_); }

 private:
  Interaction& owner_;
  const SaveRequest& request_;
  const std::string& writePath_;
};

// A new file of this save's own beside the target: hidden, with the target's extension (so that
// the tag writers know it), ".~<random>~<name>", made exclusively and never through a link, so
// that two saves never share it and nothing planted there is written through. While it is
// written it is private when it replaces a file (which may hold what others must not read), and
// as a new file is (0644 less the umask) otherwise. "" when it cannot be made (errno tells why).
std::string createTemporaryBeside(const std::string& target, bool replacing) {
  constexpr size_t kLongestName = 255 - 16;  // room for ".~", the random part and "~"
  std::string name = platform::fileNameOf(target);
  if (name.size() > kLongestName) name = platform::extensionOf(target);
  platform::File file;
  const std::string path = platform::createUniqueFile(platform::parentFolder(target), ".~",
                                                      "~" + name, file, replacing ? 0600 : 0644);
  if (path.empty()) errno = file.error();
  return path;
}

// Starts writing a growing file out to the disk while it is still being written, every few
// milliseconds from a thread of its own, so that the fsync before the rename finds most of it
// written already: made durable, a save then costs little more than an unsynced copy.
class WriteBehind {
 public:
  explicit WriteBehind(const std::string& path) {
    if (!file_.open(path, platform::File::Mode::Read)) return;
    thread_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      while (!done_) {
        lock.unlock();
        ::sync_file_range(file_.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(5), [this] { return done_; });
      }
    });
  }
  ~WriteBehind() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

 private:
  platform::File file_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
};

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
  for (const SaveFileType& type : saveFileTypes()) {
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

Ref<SampleSink> CreateSinkForExtension(const std::string& path, int32_t sampleRate, int channels,
                                       const std::string& writePath) {
  const std::string extension = platform::extensionOf(path);
  const FileFormat* format = formatForExtension(extension);
  if (!format || !format->saveTextOf(extension)) return makeRef<NullSink>();
  return format->createSink(writePath.empty() ? path : writePath, sampleRate, channels);
}

bool EditFormatSettings(const std::string& extension, Interaction& owner, int32_t sampleRate,
                        int channels) {
  const FileFormat* format = formatForExtension(extension);
  if (!format || !format->saveTextOf(extension)) return false;
  return !format->editSettings || format->editSettings(owner, sampleRate, channels);
}

JobResult SaveTask(Job& progress, Interaction& owner, const SaveRequest& request,
                   const std::string& writePath) {
  const std::string& file = writePath.empty() ? request.path : writePath;
  const std::string extension = platform::extensionOf(request.path);
  const int32_t rate = request.clip.sampleRate;
  const int channels = request.clip.channels;
  if (request.askSettings && CanSaveExtension(extension) && !request.wavFormat &&
      !EditFormatSettings(extension, owner, rate, channels)) {
    return JobResult::Failed;
  }
  Ref<SampleSink> sink = extension == ".wav" && request.wavFormat
                             ? CreateWavSink(file, *request.wavFormat)
                             : CreateSinkForExtension(request.path, rate, channels, file);
  if (sink->status() & kSinkNull) {
    progress.reportError(formatMessage(messages::kCannotCreateForSaving, {request.path}));
    return JobResult::Failed;
  }
  // Refused before any audio is written: a header whose size fields would wrap reads back as
  // another, shorter file.
  const int64_t frames = rate > 0 ? int64_t{request.clip.length()} * sink->sampleRate() / rate : 0;
  if (!sink->canHold(frames)) {
    progress.reportError(formatMessage(messages::kTooLargeForFormat, {request.path}));
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
  auto refuse = [&](int error) {
    owner.messageBox("Error",
                     formatMessage(messages::kCannotCreateForSaving, {request.path}) + " " +
                         std::strerror(error) + ".",
                     MessageIcon::Exclamation, MessageButtons::Ok);
    return JobResult::Failed;
  };
  struct stat old {};
  const std::string temporary =
      createTemporaryBeside(request.path, ::stat(request.path.c_str(), &old) == 0);
  if (temporary.empty()) return refuse(errno);
  SaveJob job(owner, request, temporary);
  JobResult result;
  {
    const WriteBehind writeBehind(temporary);
    result = runJob(job, owner);
  }
  if (result == JobResult::Done && tags) WriteTags(*tags, temporary, kWavAllTags);
  if (result == JobResult::Done && !syncFile(temporary)) result = refuse(EIO);
  if (result == JobResult::Done) {
    // The file replaced keeps its permissions. Whatever replaced the target meanwhile (another
    // save, say) is replaced whole: the last save wins, and nobody sees a mix.
    if (::stat(request.path.c_str(), &old) == 0) ::chmod(temporary.c_str(), old.st_mode & 07777);
    if (std::rename(temporary.c_str(), request.path.c_str()) != 0) result = refuse(errno);
  }
  if (result != JobResult::Done) platform::removeFile(temporary);
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
  if (!CanSaveExtension(extension)) {
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
  const std::string sideFile = bookmarkPathFor(document->path);
  if ((!document->markers.empty() || document->markersFile == sideFile) &&
      writeBookmarkFile(sideFile, document->markers)) {
    document->markersFile = document->markers.empty() ? std::string() : sideFile;
  }
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
