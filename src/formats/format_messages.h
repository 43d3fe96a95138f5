#pragma once

// The texts the file formats show to the user, exactly as they appear.
namespace quillon::messages {

inline constexpr char kLoadingFile[] = "Loading file %s";
inline constexpr char kSavingFile[] = "Saving file...";
inline constexpr char kSavingJobTitle[] = "Saving...";

inline constexpr char kCorruptFile[] = "Cannot open the file \"%s\" because it is corrupt.";
inline constexpr char kCannotOpenFile[] =
    "Cannot open the file \"%s\". Check it exists and you have read access.";
inline constexpr char kUnsupportedFormat[] =
    "Cannot open the file \"%s\". Its format is not one this program can open; the formats it "
    "opens are listed in its help pages.";
inline constexpr char kUnknownWavCodec[] =
    "Cannot open the file \"%s\" because it is using an unknown codec or is possibly not a real "
    "wave file.";
inline constexpr char kMissingWavCodec[] =
    "Cannot open the file \"%s\" because the codec it needs (%s) is not installed.";
inline constexpr char kBadMp3[] =
    "Cannot open the file \"%s\". It is possibly either corrupt or not a true layer-3 MPEG file.";
inline constexpr char kEncryptedFile[] =
    "Cannot open the file \"%s\" because it is encrypted, and this program cannot open encrypted "
    "files.";

inline constexpr char kRawLayoutDialog[] = "LRAWDlg";
inline constexpr char kBadRawRate[] = "Please select a sample rate between 6000 and 196000.";

inline constexpr char kNotEnoughSpaceToSave[] =
    "Cannot save the file \"%s\" because there is not enough free disk space. Please try saving "
    "the file to a different location or making more space by removing unwanted files then try "
    "again.";
inline constexpr char kSaveFormatUnsupported[] =
    "Saving in this file format is not supported. Do you want to save in another format instead?";
inline constexpr char kRealAudioUnsupported[] =
    "Saving in real audio file format is not supported. Do you want to save in another format "
    "(wav, mp3, gsm, vox) instead?";
inline constexpr char kCannotCreateForSaving[] = "Unable to create file \"%s\" for saving.";
inline constexpr char kTooLargeForFormat[] =
    "Unable to save \"%s\": the audio would take more than 4 GB, more than this file format can "
    "hold. Save a shorter selection, or choose another format.";
inline constexpr char kFileExistsCaption[] = "File already exists";
inline constexpr char kFileExists[] = "File \"%s\" already exists. Do you want to overwrite it?";
inline constexpr char kSaveAsTitle[] = "Save Audio File As";
inline constexpr char kSaveRegionTitle[] = "Save Select Region As";
inline constexpr char kRegionName[] = "Region%03i";

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
