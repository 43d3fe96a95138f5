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

// Refusals of the effect dialogs' OK checks.
inline constexpr char kInvalidValue[] = "Invalid value";
inline constexpr char kAmplifyTooLarge[] = "Amplify Gain must be less than 400%. Please try again.";
inline constexpr char kEchoTimeRange[] =
    "Echo time must be between 10 and 3000ms. Please try again.";
inline constexpr char kEchoGainTooLarge[] = "Echo Gain must be less than 100%. Please try again.";

}  // namespace quillon::messages
