#include "document/edit_commands.h"

#include <algorithm>
#include <limits>

#include "document/action_scope.h"
#include "document/clip_editing.h"
#include "document/document_messages.h"
#include "document/low_disk_guard.h"
#include "document/wave_document.h"
#include "platform/form.h"
#include "platform/job.h"
#include "platform/paths.h"
#include "platform/settings.h"

namespace quillon {
namespace {

constexpr int32_t kNoLimit = std::numeric_limits<int32_t>::max();

// The low-disk guard every audio-changing command passes first.
bool guard(DocumentView& view) {
  return view.document() &&
         lowDiskGuard(&view, GuardMode::WorkingFolder, messages::kLowDiskBeforeAction);
}

// Cut and Copy take no more than there is: a negative start becomes 0, an end past the audio
// becomes its length.
void clampSelectionToAudio(WaveDocument& document) {
  document.selectionStart = std::max(document.selectionStart, 0);
  document.selectionEnd = std::min(document.selectionEnd, document.audio.length());
}

int32_t oneSecond(const WaveDocument& document) {
  return document.audio.sampleRate;
}
int32_t halfSecond(const WaveDocument& document) {
  return document.audio.sampleRate / 2;
}

bool sameFormat(const Clip& a, const Clip& b) {
  return a.sampleRate == b.sampleRate && a.channels == b.channels;
}

// Replaces [a, b) of the document by a Clip, converting a copy of it first when its format
// differs. Runs as the job of Paste and Insert File.
class PlaceClipJob : public Job {
 public:
  PlaceClipJob(std::string title, WaveDocument& document, const Clip& clip, int32_t a, int32_t b,
               ClipServices& services, Interaction& owner)
      : Job(std::move(title)),
        document_(document),
        clip_(clip),
        a_(a),
        b_(b),
        services_(services),
        owner_(owner) {}

  // Frames placed, in the document's format.
  int32_t placedLength() const { return placed_; }

 protected:
  JobResult run() override {
    Clip& audio = document_.audio;
    if (sameFormat(clip_, audio)) {
      replaceRange(audio, a_, b_, clip_);
      placed_ = clip_.length();
      return JobResult::Done;
    }
    Clip converted = clip_;
    const JobResult result = services_.convert(converted, audio.sampleRate, audio.channels, owner_);
    if (result != JobResult::Done) return result;
    replaceRange(audio, a_, b_, converted);
    placed_ = converted.length();
    return JobResult::Done;
  }

 private:
  WaveDocument& document_;
  const Clip& clip_;
  int32_t a_;
  int32_t b_;
  ClipServices& services_;
  Interaction& owner_;
  int32_t placed_ = 0;
};

const char* insertFileName(InsertPlace place) {
  switch (place) {
    case InsertPlace::Start:
      return "Insert File At Beginning";
    case InsertPlace::Cursor:
      return "Insert File At Current Position";
    case InsertPlace::End:
      break;
  }
  return "Insert File At The End";
}

const char* insertSilenceName(InsertPlace place) {
  switch (place) {
    case InsertPlace::Start:
      return "Insert Silence At The Start";
    case InsertPlace::Cursor:
      return "Insert Silence At Current Position";
    case InsertPlace::End:
      break;
  }
  return "Insert Silence At The End";
}

int32_t insertPosition(const WaveDocument& document, InsertPlace place) {
  switch (place) {
    case InsertPlace::Start:
      return 0;
    case InsertPlace::Cursor:
      return document.cursor;
    case InsertPlace::End:
      break;
  }
  return document.audio.length();
}

}  // namespace

Clip& clipboard() {
  // Never destroyed: the block store outlives every Clip, and the shell clears this one at exit.
  static Clip* const clip = [] {
    auto* c = new Clip;
    c->sampleRate = kDefaultSampleRate;
    c->channels = 1;
    return c;
  }();
  return *clip;
}

void setSelection(DocumentView& view, int32_t a, int32_t b, int32_t cursor) {
  WaveDocument* document = view.document();
  if (!document) return;
  a = document->withinAudio(a), b = document->withinAudio(b);
  document->selectionStart = std::min(a, b);
  document->selectionEnd = std::max(a, b);
  document->cursor = document->withinAudio(cursor);
  view.showCursor();
  if (view.isPlaying()) {
    view.stopPlayback();
    view.play();
  }
}

void placeCursor(DocumentView& view, int32_t frame) {
  WaveDocument* document = view.document();
  if (!document) return;
  frame = document->withinAudio(frame);
  if (view.isPlaying()) {
    view.seekPlayback(frame);
    return;
  }
  document->cursor = frame;
  if (!document->hasSelection()) {
    document->selectionStart = frame;
    document->selectionEnd = frame;
  }
  view.showCursor();
  view.refresh(false);
}

bool deleteSelection(DocumentView& view) {
  if (!guard(view)) return false;
  WaveDocument& document = *view.document();
  if (!document.hasSelection()) return false;
  view.stopPlayback();
  ActionScope scope(&view, "Delete");
  const int32_t start = document.selectionStart;
  deleteRange(document.audio, start, document.selectionEnd);
  setSelection(view, start, start, start);
  return scope.commit(start, oneSecond(document));
}

bool cutSelection(DocumentView& view) {
  if (!guard(view)) return false;
  view.stopPlayback();
  WaveDocument& document = *view.document();
  if (!document.hasSelection()) return false;
  ActionScope scope(&view, "Cut");
  clampSelectionToAudio(document);
  const int32_t start = document.selectionStart;
  cutRange(document.audio, start, document.selectionEnd, clipboard());
  setSelection(view, start, start, document.cursor);
  return scope.commit(start, oneSecond(document));
}

bool copySelection(DocumentView& view) {
  if (!guard(view)) return false;
  WaveDocument& document = *view.document();
  if (!document.hasSelection()) {
    document.selectionStart = 0;
    document.selectionEnd = document.audio.length();
  }
  clampSelectionToAudio(document);
  copyRange(document.audio, document.selectionStart, document.selectionEnd, clipboard());
  return true;
}

bool pasteClipboard(DocumentView& view, ClipServices& services) {
  WaveDocument* doc = view.document();
  if (!doc) return false;
  WaveDocument& document = *doc;
  view.stopPlayback();
  // Recorded and never rolled back: a cancelled paste leaves its undo entry.
  ActionScope scope(view, "Paste", ActionScope::NoRollback{});
  const int32_t start = document.selectionStart;
  const int32_t end = document.hasSelection() ? document.selectionEnd : start;
  const Clip pasted = clipboard();
  PlaceClipJob job("Paste", document, pasted, start, end, services, view.interaction());
  if (runJob(job, view.interaction()) != JobResult::Done) return false;
  // After a conversion the new selection covers what was pasted, in the document's frames.
  setSelection(view, start, start + job.placedLength(), document.cursor);
  return scope.commit(start, halfSecond(document));
}

bool trimToSelection(DocumentView& view) {
  if (!guard(view)) return false;
  view.stopPlayback();
  WaveDocument& document = *view.document();
  if (!document.hasSelection()) {
    document.selectionStart = 0;
    document.selectionEnd = document.audio.length();
  }
  ActionScope scope(&view, "Trim");
  const int32_t start = document.selectionStart;
  const int32_t end = document.selectionEnd;
  keepRange(document.audio, start, end);
  document.trimMarkers(start, end, start);
  setSelection(view, 0, 0, 0);
  return scope.commit(0, 0);
}

bool trimStart(DocumentView& view) {
  if (!guard(view)) return false;
  view.stopPlayback();
  WaveDocument& document = *view.document();
  ActionScope scope(&view, "Trim Start");
  const int32_t start = document.selectionStart;
  deleteBefore(document.audio, start);
  if (start > 0) document.trimMarkers(start, kNoLimit, start);
  document.cursor = 0;
  return scope.commit(0, 0);
}

bool trimEnd(DocumentView& view) {
  if (!guard(view)) return false;
  view.stopPlayback();
  WaveDocument& document = *view.document();
  ActionScope scope(&view, "Trim End");
  const int32_t end = document.selectionEnd;
  deleteFrom(document.audio, end);
  document.trimMarkers(std::numeric_limits<int32_t>::min(), end, 0);
  document.cursor = 0;
  return scope.commit(0, 0);
}

bool insertFile(DocumentView& view, InsertPlace place, ClipServices& services) {
  if (!guard(view)) return false;
  view.stopPlayback();
  Interaction& owner = view.interaction();
  FileChooserRequest request;
  request.mode = FileChooserRequest::Mode::Open;
  request.title = messages::kOpenAudioFile;
  request.folder = settings::kInsertFileDir.read();
  request.types = services.openableTypes();
  request.preferredExtension = std::string(".").append(settings::kInsertFileFormat.read());
  const std::optional<std::string> path = owner.chooseFile(request);
  if (!path) return false;
  settings::kInsertFileDir.write(platform::parentFolder(*path));
  settings::kInsertFileFormat.write(platform::storedExtension(*path));

  Clip inserted;
  if (services.loadFile(*path, inserted, owner) != JobResult::Done) return false;

  WaveDocument& document = *view.document();
  ActionScope scope(&view, insertFileName(place));
  const int32_t at = insertPosition(document, place);
  PlaceClipJob job("Insert File", document, inserted, at, at, services, owner);
  if (runJob(job, owner) != JobResult::Done) return false;
  return scope.commit(document.selectionStart, oneSecond(document));
}

int32_t silenceFrames(int32_t sampleRate, int32_t milliseconds) {
  const int64_t frames = int64_t(sampleRate) * (milliseconds % 1000) / 1000 +
                         int64_t(sampleRate) * (milliseconds / 1000);
  return int32_t(std::clamp<int64_t>(frames, 0, std::numeric_limits<int32_t>::max()));
}

namespace {

constexpr FormField kSilenceFields[] = {{.name = "time",
                                         .kind = FieldKind::Number,
                                         .label = "Silence Time",
                                         .unit = "ms",
                                         .setting = &settings::kSilenceTimes}};
constexpr FormCheck kSilenceChecks[] = {{"time", 1, std::numeric_limits<int32_t>::max(),
                                         messages::kInvalidSilenceCaption,
                                         messages::kInvalidSilence, MessageIcon::Information}};

}  // namespace

const Form kSilenceDurationForm{.dialog = messages::kSilenceDialog,
                                .caption = "Insert Silence",
                                .fields = kSilenceFields,
                                .checks = kSilenceChecks,
                                .helpPage = "editing"};

bool askSilenceDuration(Interaction& owner, int32_t& milliseconds) {
  DialogValues values;
  values.set("time", milliseconds);
  if (!askForm(owner, kSilenceDurationForm, values)) return false;
  milliseconds = values.number("time");
  return true;
}

bool insertSilenceCommand(DocumentView& view, InsertPlace place) {
  if (!guard(view)) return false;
  view.stopPlayback();
  int32_t milliseconds = settings::kSilenceTimes.read();
  if (!askSilenceDuration(view.interaction(), milliseconds)) return false;
  WaveDocument& document = *view.document();
  ActionScope scope(&view, insertSilenceName(place));
  insertSilence(document.audio, insertPosition(document, place),
                silenceFrames(document.audio.sampleRate, milliseconds));
  return scope.commit(document.selectionStart, oneSecond(document));
}

bool silenceSelection(DocumentView& view) {
  if (!guard(view)) return false;
  view.stopPlayback();
  WaveDocument& document = *view.document();
  ActionScope scope(&view, "Edit Silence");
  silenceRange(document.audio, document.selectionStart, document.selectionEnd);
  return scope.commit(document.selectionStart, oneSecond(document));
}

bool selectAll(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  setSelection(view, 0, document->audio.length(), document->cursor);
  view.refreshAll();
  return true;
}

bool selectToStart(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  setSelection(view, 0, document->cursor, document->cursor);
  view.refreshAll();
  return true;
}

bool selectToEnd(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  setSelection(view, document->cursor, document->audio.length(), document->cursor);
  view.refreshAll();
  return true;
}

void acceptRecording(DocumentView& view, const Clip& recorded) {
  WaveDocument* document = view.document();
  if (!document) return;
  document->recordAction("Record");
  document->modified = true;
  const int32_t start = document->selectionStart;
  const int32_t end = document->hasSelection() ? document->selectionEnd : start;
  replaceRange(document->audio, start, end, recorded);
  document->selectionEnd = start + recorded.length();
  document->cursor = start;
  view.showWholeWave();
  view.refreshAll();
}

}  // namespace quillon
