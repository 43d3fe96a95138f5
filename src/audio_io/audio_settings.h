#pragma once

#include "platform/settings.h"

namespace quillon::settings {

// The recorder's options, as the "Advanced Settings" of Record Control stores them.
inline constexpr char kRecorder[] = "Recorder";
inline constexpr FlagSetting kRecorderAutostart{kRecorder, "Autostart", false};
inline constexpr FlagSetting kRecorderAutotrim{kRecorder, "Autotrim", false};
inline constexpr FlagSetting kRecorderVor{kRecorder, "Vor", false};
inline constexpr NumberSetting kRecorderThreshold{kRecorder, "Threshold", -24};
inline constexpr int kThresholdMinimum = -40;
inline constexpr int kThresholdMaximum = -6;

// The input device by name and its input line ("%sChannel" of "RecordDevice").
inline constexpr TextSetting kRecordDevice{kSettings, "RecordDevice", ""};
inline constexpr NumberSetting kRecordDeviceChannel{kSettings, "RecordDeviceChannel", 0};

// The Play Control dialog's own player.
inline constexpr char kPlayer[] = "Player";
inline constexpr TextSetting kPlayerDevice{kPlayer, "Device", ""};
inline constexpr NumberSetting kPlayerVolumeDb{kPlayer, "VolumeDB", 0};

}  // namespace quillon::settings
