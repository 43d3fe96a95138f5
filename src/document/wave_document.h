#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/bookmark.h"
#include "document/clip.h"
#include "document/tag_list.h"
#include "document/undo_ring.h"
#include "platform/interaction.h"
#include "platform/job.h"
#include "platform/ref_counted.h"

namespace quillon {

class WaveDocument;

// Fills a new document from a file (the open pipeline).
class DocumentLoader {
 public:
  virtual ~DocumentLoader() = default;
  // The audio, under its own progress job titled "Loading Audio File Source" (`failure` says
  // why it failed, when the reason is known).
  virtual JobResult load(const std::string& path, WaveDocument& document, Interaction& owner,
                         std::string& failure) = 0;
  // Bookmarks from the side file and tags from the file itself.
  virtual void loadMetadata(const std::string& path, WaveDocument& document) = 0;
};

// The one audio file the editor has open: its audio as a Clip, the selection, the playback
// cursor, the visible range, the path, bookmarks, tags and the undo ring. Counted: the view and
// every job in progress hold a reference.
class WaveDocument : public RefCounted {
 public:
  // Empty audio: 44100 Hz, mono, no Segments.
  static Ref<WaveDocument> createEmpty();
  // Empty audio of the given format, named "Untitled <number>".
  static Ref<WaveDocument> createUntitled(int number, int32_t sampleRate, int channels);
  // Loads a file. On failure a message captioned "Error loading file" says why (or, when the
  // reason is not known, "Quillon could not open the file …") and loadFailed is set; on cancel
  // loadFailed is set silently. The caller discards a document
  // whose load failed.
  static Ref<WaveDocument> createFromFile(const std::string& path, Interaction& owner,
                                          DocumentLoader& loader);

  // Selection rules. There is a selection when selectionStart ≥ 0, selectionEnd ≠ 0 and
  // selectionStart < selectionEnd.
  bool hasSelection() const;
  // selectionEnd with a selection, else the length of the audio.
  int32_t playEnd() const;
  // selectionStart with a selection, else 0.
  int32_t selectionOrStart() const;
  // A position kept within the audio, [0, length]: every selection end and cursor is set
  // through it.
  int32_t withinAudio(int64_t frame) const;

  // Undo (see UndoRing).
  void recordAction(std::string_view name) { undoRing.record(*this, name); }
  bool undo() { return undoRing.undo(*this); }
  bool redo() { return undoRing.redo(*this); }
  bool canUndo() const { return undoRing.canUndo(); }
  bool canRedo() const { return undoRing.canRedo(); }
  void dropLastAction() { undoRing.dropLast(); }

  // After a trim: drops the markers before `first` or after `last` and moves the others back by
  // `shift` frames, so that they keep pointing at the same audio.
  void trimMarkers(int32_t first, int32_t last, int32_t shift);

  Clip audio;
  bool modified = false;  // set when an action begins, cleared when loaded or saved
  int32_t selectionStart = 0;
  int32_t selectionEnd = 0;
  int32_t cursor = 0;  // where playback starts and insertions "at current position" happen
  int32_t viewStart = 0;
  int32_t viewEnd = 0;
  bool loadFailed = false;
  std::string path;  // for an unsaved document its display name, "Untitled <n>"
  bool verticalZoom = false;
  int32_t waveFormMode = 0;  // 0 plus/minus, 1 left/right, 2 dual
  std::vector<Bookmark> markers;
  // The side file the markers were loaded from or last saved to (empty: none). Only that file is
  // deleted when a save finds every marker gone; another document's file of the same stem is
  // left alone.
  std::string markersFile;
  TagList tags;
  UndoRing undoRing;

 protected:
  WaveDocument() = default;
  // Releases the undo slots, the tags, the markers and the audio, in that order.
  ~WaveDocument() override;
};

}  // namespace quillon
