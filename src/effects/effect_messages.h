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

// Why processing failed (a full working folder shows the low-disk message instead).
inline constexpr char kCannotReadAudio[] =
    "The document's audio could not be read from the working folder.";
inline constexpr char kCannotWriteAudio[] =
    "The processed audio could not be written to the working folder: %s.";

// Refusals of the effect dialogs' OK checks.
inline constexpr char kInvalidValue[] = "Invalid value";
inline constexpr char kAmplifyTooLarge[] = "Amplify Gain must be less than 400%. Please try again.";
inline constexpr char kEchoTimeRange[] =
    "Echo time must be between 10 and 3000ms. Please try again.";
inline constexpr char kEchoGainTooLarge[] = "Echo Gain must be less than 100%. Please try again.";

}  // namespace quillon::messages
