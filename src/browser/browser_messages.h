#pragma once

// The texts the file browser shows to the user, exactly as they appear.
namespace quillon::messages {

inline constexpr char kDirectoryMissing[] = "Directory \"%s\" does not exist";
inline constexpr char kCannotCreateFolder[] = "Cannot create folder: %s";
inline constexpr char kCannotRename[] = "Cannot rename %s: %s";
inline constexpr char kInvalidFolderName[] = "Please enter a valid folder name.";
inline constexpr char kConfirmDeleteOne[] =
    "Are you sure you want to delete selected %s:\n\"%s\" ?";
inline constexpr char kConfirmDeleteMany[] =
    "Are you sure you want to delete the selected files or directories ?";
inline constexpr char kCannotDelete[] = "Could not delete %s:\n\"%s\"";
inline constexpr char kEntryMissing[] = "%s \"%s\" does not exist";
inline constexpr char kConfirmOverwrite[] = "Are you sure to overwrite %s \"%s\" ?";
inline constexpr char kSelectAFile[] = "Please select a file";

inline constexpr char kNewFolderName[] = "New Folder";
inline constexpr char kNumberedNewFolderName[] = "New Folder %i";

}  // namespace quillon::messages
