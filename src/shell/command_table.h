#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "effects/effect_commands.h"
#include "shell/editor.h"

namespace quillon {

// Command ids: menu items, toolbar buttons, context-menu entries and posted commands (the effect
// commands' ids are with the effects).
namespace command {
inline constexpr int kOpenFile = 2000;
inline constexpr int kNewFile = 2001;
inline constexpr int kNothing = 2018;
inline constexpr int kSave = 2019;
inline constexpr int kSaveAs = 2020;
inline constexpr int kSaveRegion = 2021;
inline constexpr int kDelete = 2022;
inline constexpr int kUndo = 2023;
inline constexpr int kRedo = 2024;
inline constexpr int kCut = 2025;
inline constexpr int kCopy = 2026;
inline constexpr int kPaste = 2027;
inline constexpr int kSelectAll = 2028;
inline constexpr int kSelectToStart = 2029;
inline constexpr int kSelectToEnd = 2030;
inline constexpr int kPlay = 2031;
inline constexpr int kStop = 2032;
inline constexpr int kGoToStart = 2033;
inline constexpr int kGoToEnd = 2034;
inline constexpr int kPlaySpeedSlow = 2036;  // "PlaySpeed" 0, 1, 2
inline constexpr int kPlaySpeedNormal = 2037;
inline constexpr int kPlaySpeedFast = 2038;
inline constexpr int kLoopPlay = 2039;
inline constexpr int kRecord = 2040;
inline constexpr int kVerticalZoom = 2041;
inline constexpr int kWaveFormPlusMinus = 2042;  // waveFormMode 0, 1, 2
inline constexpr int kWaveFormLeftRight = 2043;
inline constexpr int kWaveFormDual = 2044;
inline constexpr int kStepLeft = 2045;
inline constexpr int kStepRight = 2046;
inline constexpr int kVolumeUp = 2047;
inline constexpr int kVolumeDown = 2048;
inline constexpr int kCloseFile = 2098;
inline constexpr int kCloseBeforeExit = 2100;  // handled by the dispatcher, not the table
inline constexpr int kRecentFirst = 2150;      // 2150 + i opens recent entry i
inline constexpr int kRecentEmpty = 2250;      // the "Empty" placeholder
inline constexpr int kDeleteRecentList = 2251;
inline constexpr int kTrim = 2301;
inline constexpr int kTrimStart = 2302;
inline constexpr int kTrimEnd = 2303;
inline constexpr int kInsertFileBegin = 2305;  // begin, current, end
inline constexpr int kInsertFileCurrent = 2306;
inline constexpr int kInsertFileEnd = 2307;
inline constexpr int kInsertSilenceBegin = 2308;  // begin, current, end
inline constexpr int kInsertSilenceCurrent = 2309;
inline constexpr int kInsertSilenceEnd = 2310;
inline constexpr int kSilence = 2311;
inline constexpr int kContextMenu = 7000;
inline constexpr int kZoomIn = 7003;
inline constexpr int kZoomOut = 7004;
inline constexpr int kZoomFull = 7006;
inline constexpr int kZoomToSelection = 7007;
}  // namespace command

inline constexpr int kCommandCloseBeforeExit = command::kCloseBeforeExit;

// One row of the command table: a range of ids, its operation (with the id and the notification
// code for ranges) and its enable test. `name` is the stable lower-case name under which
// quillon-cli runs the row (null when it has none).
struct CommandRow {
  uint16_t first;
  uint16_t last;
  const char* menuText;
  const char* name;
  // Answers whether the command did its work (false: nothing was done, as when the user
  // cancelled or the work failed).
  bool (*execute)(Editor& editor, int id, int code);
  bool (*enabled)(Editor& editor);
};

// The table, in its order: the shell's rows, then one row for each effect command. Built on
// first use; it never changes.
std::span<const CommandRow> commandTable();

// Runs every row that covers `id` and whose enable test passes; answers whether one ran, and in
// `done` whether the work was done.
bool runCommand(Editor& editor, int id, int code, bool* done = nullptr);
// The enable test of the row whose first id is `id` (false when there is none).
bool commandEnabled(Editor& editor, int id);
// Every row's enabled state by its first id, then the check marks: vertical zoom, the one wave
// form mode in use, loop play and the play speed.
CommandStates computeCommandStates(Editor& editor);
// The first id of the row with a quillon-cli name; 0 when no row has it.
int commandIdByName(std::string_view name);

}  // namespace quillon
