#pragma once

// The texts the shell shows to the user, exactly as they appear.
namespace quillon::messages {

inline constexpr char kNewFileDialog[] = "New File";
inline constexpr char kBadNewFileRate[] =
    "Sample rates must be between 6000 and 96000 samples per second.";
inline constexpr char kConfirmClose[] = "Are you sure you want to close file \"%s\"?";
inline constexpr char kSaveChanges[] = "Save changes to \"%s\"?";
inline constexpr char kConfirmClearRecent[] = "Are you sure to delete recent files list ?";
inline constexpr char kCaption[] = "%s%s";

}  // namespace quillon::messages
