#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/clip.h"
#include "document/document_view.h"
#include "platform/form.h"
#include "platform/interaction.h"
#include "platform/job.h"

namespace quillon {

// The edit commands and the clipboard. Each command works on the view's document, wraps its
// change in an undo action named as the Edit menu names it, and answers whether the document
// changed.

// What the edit commands need from the subsystems above the document core: reading a file into a
// Clip and converting a Clip to another rate and channel count. The shell supplies them.
class ClipServices {
 public:
  virtual ~ClipServices() = default;
  // Loads a file into `clip` under a progress job titled "Loading Audio File Source"; the reason
  // for a failure is shown to the user.
  virtual JobResult loadFile(const std::string& path, Clip& clip, Interaction& owner) = 0;
  // Converts `clip` to the rate and channels under a progress job titled "Converting Rate"; the
  // clip is unchanged unless the result is Done.
  virtual JobResult convert(Clip& clip, int32_t sampleRate, int channels, Interaction& owner) = 0;
  // The file types the chooser offers when opening.
  virtual std::vector<FileChooserRequest::FileType> openableTypes() const = 0;
};

// The process's one clipboard: a Clip of 44100 Hz mono with no Segments until the first Cut or
// Copy. It holds block references like any Clip, so it outlives the document it came from.
Clip& clipboard();

// Where Insert File and Insert Silence put their audio.
enum class InsertPlace { Start = 0, Cursor = 1, End = 2 };

// selection = [min(a, b), max(a, b)], the cursor as given, each kept within [0, length]; the view
// shows the cursor, and a running playback restarts at the new place.
void setSelection(DocumentView& view, int32_t a, int32_t b, int32_t cursor);
// Moves the cursor, kept within [0, length]: while playing, the player seeks there instead.
// Without a selection the selection collapses to the cursor.
void placeCursor(DocumentView& view, int32_t frame);

bool deleteSelection(DocumentView& view);
bool cutSelection(DocumentView& view);
// Copies the selection (everything when nothing is selected) to the clipboard; no undo entry.
bool copySelection(DocumentView& view);
bool pasteClipboard(DocumentView& view, ClipServices& services);
bool trimToSelection(DocumentView& view);
bool trimStart(DocumentView& view);
bool trimEnd(DocumentView& view);
bool insertFile(DocumentView& view, InsertPlace place, ClipServices& services);
bool insertSilenceCommand(DocumentView& view, InsertPlace place);
bool silenceSelection(DocumentView& view);
bool selectAll(DocumentView& view);
bool selectToStart(DocumentView& view);
bool selectToEnd(DocumentView& view);

// Frames of silence for a duration: rate × (ms mod 1000) / 1000 + rate × (ms / 1000), so that
// long durations do not overflow.
int32_t silenceFrames(int32_t sampleRate, int32_t milliseconds);
// The silence duration dialog ("51"): "time" in milliseconds, which must be above 0, stored as
// "SilenceTimes" once confirmed.
extern const Form kSilenceDurationForm;
bool askSilenceDuration(Interaction& owner, int32_t& milliseconds);

// Puts a finished recording in place of the selection under the undo entry "Record", selects
// nothing and puts the cursor at the start of what was recorded.
void acceptRecording(DocumentView& view, const Clip& recorded);

}  // namespace quillon
