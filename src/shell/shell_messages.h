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

// Start-up and the storage card.
inline constexpr char kWelcomeCaption[] = "Welcome";
inline constexpr char kWelcome[] =
    "Welcome to Pocket Quillon.\r\n\r\nWould you like to read the tutorial now ?";
inline constexpr char kNoStorageCard[] =
    "Free space on the main storage memory is very low. Please insert a storage card with a "
    "large space to keep intermediate files.";
inline constexpr char kStorageCardInUse[] =
    "Storage card is in use to keep intermediate files.\nPlease do not remove storage card while "
    "Pocket Quillon is up and running.\n";
inline constexpr char kStorageCardRemoved[] =
    "Storage card has been removed, please insert it back.Storage card contains important "
    "intermediate files required by Pocket Quillon.\nPress \"Yes\" if storage card has been "
    "inserted.\nPress \"No\" to exit Pocket Quillon.";

}  // namespace quillon::messages
