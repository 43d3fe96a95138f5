#include "shell/command_table.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "document/action_scope.h"
#include "document/edit_commands.h"
#include "formats/save_pipeline.h"
#include "platform/settings.h"
#include "shell/shell_messages.h"

namespace quillon {
namespace {

// Enable tests.

bool always(Editor&) {
  return true;
}
bool view(Editor& e) {
  return e.hasDocument();
}

// The clipboard lasts at least one millisecond (whole seconds first, so nothing overflows).
bool clipboardFilled(Editor& e) {
  if (!view(e)) return false;
  const Clip& clip = clipboard();
  if (clip.sampleRate <= 0) return false;
  const int64_t length = clip.length();
  const int64_t ms =
      length / clip.sampleRate * 1000 + (length % clip.sampleRate) * 1000 / clip.sampleRate;
  return ms > 0;
}

bool stereo(Editor& e) {
  return view(e) && e.document().audio.channels > 1;
}
bool selection(Editor& e) {
  return view(e) && e.document().hasSelection();
}
bool undoable(Editor& e) {
  return view(e) && e.document().canUndo();
}
bool redoable(Editor& e) {
  return view(e) && e.document().canRedo();
}

template <int Id>
bool zoomButton(Editor& e) {
  return view(e) && e.view().zoomEnabled(Id);
}

// Operations. Each takes the editor, the id and the notification code, and answers whether it
// did its work.

using Operation = bool (*)(Editor&, int, int);

template <auto Command>
bool onView(Editor& e, int, int) {
  return bool(Command(e.view()));
}

bool openFile(Editor& e, int, int) {
  return e.chooseAndOpen();
}
bool newFile(Editor& e, int, int) {
  return e.newFile();
}
bool closeFile(Editor& e, int, int) {
  return e.closeFileCommand();
}
bool nothing(Editor&, int, int) {
  return true;
}

bool clearRecentFiles(Editor& e, int, int) {
  if (e.recentFiles().count() > 0 &&
      e.interaction().messageBox(kProductTitle, messages::kConfirmClearRecent,
                                 MessageIcon::Question, MessageButtons::YesNo) != Answer::Yes) {
    return false;
  }
  e.recentFiles().clear();
  return true;
}

bool openRecent(Editor& e, int id, int) {
  return e.openRecent(id - command::kRecentFirst);
}

bool play(Editor& e, int, int) {
  e.view().play();
  return true;
}

bool stop(Editor& e, int, int) {
  e.view().stopPlayback();
  return true;
}

bool goToStart(Editor& e, int, int) {
  WaveDocument& d = e.document();
  placeCursor(e.view(), d.hasSelection() ? d.selectionStart : 0);
  return true;
}

bool goToEnd(Editor& e, int, int) {
  placeCursor(e.view(), e.document().playEnd());
  return true;
}

bool volume(Editor& e, int id, int) {
  e.view().changeVolume(id == command::kVolumeUp ? 1 : -1);
  return true;
}

// One step is one pixel of the main view; the code is the key's repeat count (1 when 0).
bool step(Editor& e, int id, int code) {
  WaveDocument& d = e.document();
  const int64_t distance = int64_t(std::max(code, 1)) * std::max(e.view().framesPerStep(), 1);
  int64_t frame = d.cursor;
  if (id == command::kStepLeft) {
    frame = std::max<int64_t>(frame - distance, d.hasSelection() ? d.selectionStart : 0);
  } else {
    frame = std::min<int64_t>(frame + distance, d.audio.length());
  }
  placeCursor(e.view(), int32_t(frame));
  return true;
}

void restartIfPlaying(DocumentView& v) {
  if (!v.isPlaying()) return;
  v.stopPlayback();
  v.play();
}

bool playSpeed(Editor& e, int id, int) {
  settings::kPlaySpeed.write(id - command::kPlaySpeedSlow);
  restartIfPlaying(e.view());
  e.view().showPlaySpeed();
  return true;
}

bool loopPlay(Editor& e, int, int) {
  settings::kPlayRepeat.write(!settings::kPlayRepeat.read());
  restartIfPlaying(e.view());
  e.view().showLoopPlay();
  return true;
}

// Without a document, New File comes first; cancelling it cancels the recording.
bool record(Editor& e, int, int) {
  if (!e.hasDocument() && !e.newFile()) return false;
  const bool recorded = e.view().record();
  e.view().showWholeWave();
  return recorded;
}

bool save(Editor& e, int, int) {
  return SaveDocument(e.view(), false);
}
bool saveAs(Editor& e, int, int) {
  return SaveDocumentAs(e.view());
}
bool saveRegion(Editor& e, int, int) {
  return SaveRegion(e.view());
}
bool paste(Editor& e, int, int) {
  return pasteClipboard(e.view(), e.clipServices());
}

bool insertFileAt(Editor& e, int id, int) {
  return insertFile(e.view(), InsertPlace(id - command::kInsertFileBegin), e.clipServices());
}

bool insertSilenceAt(Editor& e, int id, int) {
  return insertSilenceCommand(e.view(), InsertPlace(id - command::kInsertSilenceBegin));
}

bool zoom(Editor& e, int id, int) {
  e.view().zoom(id);
  return true;
}

bool verticalZoom(Editor& e, int, int) {
  WaveDocument& d = e.document();
  d.verticalZoom = !d.verticalZoom;
  settings::kVerticalZoom.write(d.verticalZoom);
  e.view().refreshAll();
  return true;
}

bool waveFormMode(Editor& e, int id, int) {
  e.document().waveFormMode = id - command::kWaveFormPlusMinus;
  settings::kWaveFormMode.write(e.document().waveFormMode);
  e.view().refreshAll();
  return true;
}

bool contextMenu(Editor& e, int, int) {
  e.view().showContextMenu();
  return true;
}

constexpr CommandRow row(int first, int last, const char* text, const char* name, Operation op,
                         bool (*enabled)(Editor&)) {
  return {uint16_t(first), uint16_t(last), text, name, op, enabled};
}
constexpr CommandRow row(int id, const char* text, const char* name, Operation op,
                         bool (*enabled)(Editor&)) {
  return row(id, id, text, name, op, enabled);
}

using namespace command;

// An effect command: the one of the effect table with this id.
bool effect(Editor& e, int id, int) {
  const EffectCommand* command = findEffectCommand(id);
  return command && runEffectCommand(e.view(), *command);
}

constexpr std::array kShellRows = {
    row(kOpenFile, "&Open File...", nullptr, openFile, always),
    row(kNewFile, "&New File...", nullptr, newFile, always),
    row(kCloseFile, "Close File", "close", closeFile, view),
    row(kDeleteRecentList, "Delete &Recent Files List", nullptr, clearRecentFiles, always),
    row(kRecentFirst, kRecentEmpty, "Empty", nullptr, openRecent, always),
    row(kPlay, "Play\tAction", "play", play, view),
    row(kStop, "&Stop\tAction", "stop", stop, view),
    row(kGoToStart, "&Go To Start", "go-to-start", goToStart, view),
    row(kGoToEnd, "Go To &End", "go-to-end", goToEnd, view),
    row(kVolumeUp, "Volume Up\tUp", "volume-up", volume, view),
    row(kVolumeDown, "Volume Down\tDown", "volume-down", volume, view),
    row(kStepLeft, "Step Left\tLeft", "step-left", step, view),
    row(kStepRight, "Step Right\tRight", "step-right", step, view),
    row(kPlaySpeedSlow, kPlaySpeedFast, "", nullptr, playSpeed, view),
    row(kLoopPlay, "L&oop Play", "loop-play", loopPlay, view),
    row(kRecord, "&Record", "record", record, always),
    row(kNothing, "", nullptr, nothing, view),
    row(kSave, "&Save File", "save", save, view),
    row(kSaveAs, "Save File &As...", "save-as", saveAs, view),
    row(kSaveRegion, "Save Select &Region As...", "save-region", saveRegion, selection),
    row(kDelete, "Delete", "delete", onView<deleteSelection>, selection),
    row(kUndo, "Undo", "undo", onView<undoCommand>, undoable),
    row(kRedo, "Redo", "redo", onView<redoCommand>, redoable),
    row(kCut, "Cut", "cut", onView<cutSelection>, selection),
    row(kCopy, "Copy", "copy", onView<copySelection>, selection),
    row(kPaste, "Paste", "paste", paste, clipboardFilled),
    row(kSelectAll, "Select All", "select-all", onView<selectAll>, view),
    row(kSelectToStart, "Select To Start", "select-to-start", onView<selectToStart>, view),
    row(kSelectToEnd, "Select To End", "select-to-end", onView<selectToEnd>, view),
    row(kTrim, "Tri&m", "trim", onView<trimToSelection>, selection),
    row(kTrimStart, "Trim St&art", "trim-start", onView<trimStart>, view),
    row(kTrimEnd, "Trim En&d", "trim-end", onView<trimEnd>, view),
    row(kInsertFileBegin, kInsertFileEnd, "Begin", nullptr, insertFileAt, view),
    row(kInsertSilenceBegin, kInsertSilenceEnd, "Begin", nullptr, insertSilenceAt, view),
    row(kSilence, "Silence Select Re&gion", "silence", onView<silenceSelection>, selection),
    row(kZoomToSelection, "Zoom To &Selection", "zoom-to-selection", zoom, selection),
    row(kZoomIn, "&Zoom In", "zoom-in", zoom, zoomButton<kZoomIn>),
    row(kZoomOut, "Zoom &Out", "zoom-out", zoom, zoomButton<kZoomOut>),
    row(kZoomFull, "Zoom &Full", "zoom-full", zoom, zoomButton<kZoomFull>),
    row(kVerticalZoom, "V&ertical Zoom", "vertical-zoom", verticalZoom, view),
    row(kWaveFormPlusMinus, "&Display Wave Form in + /-", "display-plus-minus", waveFormMode, view),
    row(kWaveFormLeftRight, "Dis&play Wave Form in L / R", "display-left-right", waveFormMode,
        stereo),
    row(kWaveFormDual, "Dis&play Wave Form in Dual", "display-dual", waveFormMode, stereo),
    row(kContextMenu, "", nullptr, contextMenu, view),
};

}  // namespace

std::span<const CommandRow> commandTable() {
  static const std::vector<CommandRow> table = [] {
    std::vector<CommandRow> rows(kShellRows.begin(), kShellRows.end());
    for (const EffectCommand& e : effectCommands())
      rows.push_back(row(e.id, e.menuText, e.name, effect, view));
    return rows;
  }();
  return table;
}

bool runCommand(Editor& editor, int id, int code, bool* done) {
  bool handled = false;
  bool worked = false;
  for (const CommandRow& r : commandTable()) {
    if (id < r.first || id > r.last || !r.enabled(editor)) continue;
    worked = r.execute(editor, id, code) || worked;
    handled = true;
  }
  if (done) *done = worked;
  return handled;
}

bool commandEnabled(Editor& editor, int id) {
  for (const CommandRow& r : commandTable()) {
    if (r.first == id) return r.enabled(editor);
  }
  return false;
}

CommandStates computeCommandStates(Editor& editor) {
  CommandStates states;
  for (const CommandRow& r : commandTable())
    states.enabled[r.first] = r.enabled(editor);
  if (!editor.hasDocument()) return states;
  const WaveDocument& d = editor.document();
  if (d.verticalZoom) states.checked.insert(kVerticalZoom);
  states.checked.insert(kWaveFormPlusMinus + std::clamp(d.waveFormMode, 0, 2));
  if (settings::kPlayRepeat.read()) states.checked.insert(kLoopPlay);
  states.checked.insert(kPlaySpeedSlow + std::clamp(settings::kPlaySpeed.read(), 0, 2));
  return states;
}

int commandIdByName(std::string_view name) {
  for (const CommandRow& r : commandTable()) {
    if (r.name && name == r.name) return r.first;
  }
  // Rows over a range of ids name each id.
  static constexpr std::pair<const char*, int> kRanged[] = {
      {"insert-file-begin", kInsertFileBegin},
      {"insert-file-cursor", kInsertFileCurrent},
      {"insert-file-end", kInsertFileEnd},
      {"insert-silence-begin", kInsertSilenceBegin},
      {"insert-silence-cursor", kInsertSilenceCurrent},
      {"insert-silence-end", kInsertSilenceEnd},
      {"play-speed-slow", kPlaySpeedSlow},
      {"play-speed-normal", kPlaySpeedNormal},
      {"play-speed-fast", kPlaySpeedFast},
  };
  for (const auto& [text, id] : kRanged) {
    if (name == text) return id;
  }
  return 0;
}

}  // namespace quillon
