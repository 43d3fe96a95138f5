#pragma once

// The texts the file-format subsystem shows to the user, exactly as they appear.
namespace quillon::messages {

// Dictation files (".dct", ".dart"): progress lines and the reasons a DCT file is refused.
inline constexpr char kLoadingDct[] = "Loading DCT File";
inline constexpr char kLoadingDart[] = "Loading Dart File";
inline constexpr char kDctLoadError[] = "DCT File load error";
inline constexpr char kDctCorrupt[] = "DCT File is corrupt";
inline constexpr char kDctEncrypted[] =
    "This DCT file is encrypted. Encrypted dictation files cannot be loaded by this program.";
inline constexpr char kDctNotesError[] =
    "Unable to load dct file because of file corruption (notes error).";
inline constexpr char kDctAttachmentTooLarge[] =
    "Unable to load dct file because of file corruption (attachment too large).";
inline constexpr char kDctZeroChannels[] =
    "Unable to load dct file because of file corruption (zero channels error). Please ask the "
    "dictator to send it again.";

}  // namespace quillon::messages
