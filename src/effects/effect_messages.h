#pragma once

// The texts the effects show in their progress dialogs, exactly as they appear.
namespace quillon::messages {

inline constexpr char kPleaseWait[] = "Please wait...";
inline constexpr char kNormalizing[] = "Normalizing";
inline constexpr char kReversingSound[] = "Reversing Sound";
inline constexpr char kPerformingAgc[] = "Performing Automatic Gain Control";
inline constexpr char kAutoTrim[] = "AutoTrim";
inline constexpr char kConvertingRate[] = "Converting Rate";
inline constexpr char kEnvelope[] = "Envelope";

}  // namespace quillon::messages
