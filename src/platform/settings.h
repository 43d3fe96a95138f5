#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::settings {

// The settings store. Every value is text under a sub key ("Settings", "StoredValues", "MRU",
// …); every read names its default, so a missing value is never an error. Numbers are written
// as by "%d" and read by decimal conversion of the leading digits ("abc" reads as 0); flags are
// written "1"/"0" and read as true when the text is not empty and does not start with "0".
// A value too long for the 260-character read buffer (259 characters and the terminator) reads
// as the default. Nothing is cached.

// The longest value text that can be read back, in UTF-16 code units.
inline constexpr size_t kMaxValueChars = 259;

// Copies the value, or the default when the value is missing, empty or too long; answers
// whether the value was read from the store.
bool readText(std::string_view subKey, std::string_view name, std::string_view defaultText,
              std::string& out);
std::string readText(std::string_view subKey, std::string_view name,
                     std::string_view defaultText = {});
void writeText(std::string_view subKey, std::string_view name, std::string_view text);

int32_t readNumber(std::string_view subKey, std::string_view name, int32_t defaultNumber);
void writeNumber(std::string_view subKey, std::string_view name, int32_t number);

bool readFlag(std::string_view subKey, std::string_view name, bool defaultFlag);
void writeFlag(std::string_view subKey, std::string_view name, bool flag);

void removeValue(std::string_view subKey, std::string_view name);
void removeSubKey(std::string_view subKey);

// Decimal conversion of the leading digits (after blanks and one sign); saturates at the
// 32-bit limits.
int32_t parseLeadingNumber(std::string_view text);

// Named accessors: one object per stored value, carrying its sub key, name and default.
struct TextSetting {
  const char* subKey;
  const char* name;
  const char* defaultText;
  std::string read() const { return readText(subKey, name, defaultText); }
  std::string read(std::string_view otherDefault) const {
    return readText(subKey, name, otherDefault);
  }
  void write(std::string_view text) const { writeText(subKey, name, text); }
};

struct NumberSetting {
  const char* subKey;
  const char* name;
  int32_t defaultNumber;
  int32_t read() const { return readNumber(subKey, name, defaultNumber); }
  int32_t read(int32_t otherDefault) const { return readNumber(subKey, name, otherDefault); }
  void write(int32_t number) const { writeNumber(subKey, name, number); }
};

struct FlagSetting {
  const char* subKey;
  const char* name;
  bool defaultFlag;
  bool read() const { return readFlag(subKey, name, defaultFlag); }
  void write(bool flag) const { writeFlag(subKey, name, flag); }
};

// A chooser folder: its default is the user's music folder (created if needed) or, when the
// system has none, the default working folder.
struct FolderSetting {
  const char* subKey;
  const char* name;
  std::string read() const;
  void write(std::string_view folder) const { writeText(subKey, name, folder); }
};

std::string defaultChooserFolder();

inline constexpr char kSettings[] = "Settings";
inline constexpr char kStoredValues[] = "StoredValues";

// Sub key "Settings".
inline constexpr TextSetting kSaveAsFormat{kSettings, "SaveAsFormat", "wav"};
inline constexpr TextSetting kOpenFileFormat{kSettings, "OpenFileFormat", ""};
inline constexpr TextSetting kInsertFileFormat{kSettings, "InsertFileFormat", "wav"};
inline constexpr FolderSetting kSaveAsDir{kSettings, "SaveAsDir"};
inline constexpr FolderSetting kOpenFileDir{kSettings, "OpenFileDir"};
inline constexpr FolderSetting kInsertFileDir{kSettings, "InsertFileDir"};
inline constexpr FlagSetting kNewInstall{kSettings, "NewInstall", true};
inline constexpr NumberSetting kSaveRegionCount{kSettings, "SaveRegionCount", 0};
inline constexpr NumberSetting kPlaySpeed{kSettings, "PlaySpeed", 1};
inline constexpr NumberSetting kUntitledCount{kSettings, "UntitledCount", 0};
inline constexpr FlagSetting kPlayRepeat{kSettings, "PlayRepeat", false};
inline constexpr FlagSetting kVerticalZoom{kSettings, "VerticalZoom", false};
inline constexpr NumberSetting kWaveFormMode{kSettings, "WaveFormMode", 0};
inline constexpr FlagSetting kPromptSampleAndChannels{kSettings, "PromptSampleAndChannels", true};
inline constexpr FlagSetting kPromptFileFormat{kSettings, "PromptFileFormat", true};
inline constexpr NumberSetting kDefaultSampleRate{kSettings, "DefaultSampleRate", 11025};
inline constexpr NumberSetting kSelectedSampleRate{kSettings, "SelectedSampleRate", 11025};
inline constexpr NumberSetting kDefaultChannels{kSettings, "DefaultChannels", 1};
inline constexpr NumberSetting kSelectedChannels{kSettings, "SelectedChannels", 1};
inline constexpr FlagSetting kUseDefaultWorkingDir{kSettings, "UseDefaultWorkingDir", true};
// Its default is the folder that the default working-folder rule gives: read(thatFolder).
inline constexpr TextSetting kWorkingFolder{kSettings, "WorkingFolder", ""};
inline constexpr FlagSetting kAutoPlaybackAfterEffects{kSettings, "AutoPlaybackAfterEffects",
                                                       false};
inline constexpr NumberSetting kAutoTrimThreshold{kSettings, "AutoTrimThreshold", -30};
inline constexpr NumberSetting kButtonNumber{kSettings, "ButtonNumber", 0};
inline constexpr NumberSetting kPlayVolume{kSettings, "PlayVolume", 0};
inline constexpr NumberSetting kRecordVolume{kSettings, "RecordVolume", 0};
inline constexpr TextSetting kSoundDevice{kSettings, "SoundDevice", ""};
inline constexpr FlagSetting kUseClassic{kSettings, "UseClassic", false};
inline constexpr NumberSetting kAsioPlayVolume{kSettings, "ASIOPlayVolume", 0};

// Sub key "StoredValues": the last used effect parameters.
inline constexpr NumberSetting kAmplifyGain{kStoredValues, "AmplifyGain", 100};
inline constexpr NumberSetting kNormalizePeakLevel{kStoredValues, "NormalizePeakLevel", 100};
inline constexpr NumberSetting kCompressorThreshold{kStoredValues, "CompressorThreshold", 0};
inline constexpr NumberSetting kCompressorRatio{kStoredValues, "CompressorRatio", 0};
inline constexpr NumberSetting kCompressorLimit{kStoredValues, "CompressorLimit", 0};
inline constexpr NumberSetting kLowCutFreq{kStoredValues, "LowCutFreq", 250};
inline constexpr NumberSetting kEchoTime{kStoredValues, "EchoTime", 800};
inline constexpr NumberSetting kEchoGain{kStoredValues, "EchoGain", 50};
inline constexpr NumberSetting kReverbDecay{kStoredValues, "ReverbDecay", 250};
inline constexpr NumberSetting kReverbPredelay{kStoredValues, "ReverbPredelay", 25};
inline constexpr NumberSetting kReverbDiffusion{kStoredValues, "ReverbDiffusion", 50};
inline constexpr NumberSetting kDbWet{kStoredValues, "dbWet", 0};
inline constexpr NumberSetting kDbDry{kStoredValues, "dbDry", 0};
inline constexpr NumberSetting kSilenceTimes{kStoredValues, "SilenceTimes", 1000};

// Sub key "AuEncoder": how ".au" files are written. CodecIndex 0 "PCM 16 bit", 1 "PCM 8 bit",
// 2 "aLaw", 3 "uLaw".
inline constexpr char kAuEncoder[] = "AuEncoder";
inline constexpr NumberSetting kAuCodecIndex{kAuEncoder, "CodecIndex", 0};
inline constexpr NumberSetting kAuSampleRate{kAuEncoder, "SampleRate", 44100};
inline constexpr NumberSetting kAuChannels{kAuEncoder, "Channels", 2};

// Sub key "AIFFEncode": how ".aif" and ".aiff" files are written. The rate and the channels
// default to the document's: read(documentRate), read(documentChannels).
inline constexpr char kAiffEncode[] = "AIFFEncode";
inline constexpr NumberSetting kAiffSampleRate{kAiffEncode, "SampleRate", 0};
inline constexpr NumberSetting kAiffChannels{kAiffEncode, "Channels", 0};
inline constexpr NumberSetting kAiffSampleSize{kAiffEncode, "SampleSize", 16};

// Sub keys "RawAudio" (".raw", ".snd") and "VoxAudio" (".vox"): the layout of headerless files,
// with the defaults for opening (saving defaults to the document's rate and channels).
struct RawLayoutSetting {
  NumberSetting sampleRate;
  NumberSetting channels;  // a stored 0 reads as 1
  NumberSetting codec;
};
inline constexpr RawLayoutSetting kRawAudioLayout{
    {"RawAudio", "SampleRate", 44100}, {"RawAudio", "Channels", 1}, {"RawAudio", "Codec", 3}};
inline constexpr RawLayoutSetting kVoxAudioLayout{
    {"VoxAudio", "SampleRate", 8000}, {"VoxAudio", "Channels", 1}, {"VoxAudio", "Codec", 0}};

}  // namespace quillon::settings
