#pragma once

// The texts the document core shows to the user, exactly as they appear.
namespace quillon::messages {

inline constexpr char kLowDiskCaption[] = "Low Disk Space";
inline constexpr char kLowDiskBeforeAction[] =
    "The current action cannot be performed because you have very low free disk space. Please "
    "try making more space by removing unwanted files then try again.";
inline constexpr char kLowDiskAfterAction[] =
    "The last action you performed to the file \"%s\" might not be saved because you have very "
    "low free disk space. Please try saving the file to a different location or making more "
    "space by removing unwanted files then try again.";

inline constexpr char kLoadFailedCaption[] = "Error loading file";
inline constexpr char kLoadFailed[] =
    "Quillon could not open the file \"%s\" properly. It may be corrupted or an unsupported "
    "format.";
inline constexpr char kLoadingJobTitle[] = "Loading Audio File Source";

inline constexpr char kUntitledName[] = "Untitled %d";

inline constexpr char kOpenAudioFile[] = "Open Audio File";
inline constexpr char kSilenceDialog[] = "51";
inline constexpr char kInvalidSilenceCaption[] = "Invalid Silence Time";
inline constexpr char kInvalidSilence[] =
    "The specified silence time is not valid. Please try again.";

}  // namespace quillon::messages
