#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "formats/raw_file.h"
#include "platform/form.h"
#include "platform/interaction.h"
#include "platform/job.h"
#include "platform/ref_counted.h"

namespace quillon {

// Which tags a format's files carry (read when a file opens, written after a save).
enum class TagFamily { None, Id3, Riff };

// One extension of a format, and the text of its row in the save chooser's type list (null:
// files are not saved under it).
struct FormatExtension {
  const char* extension;  // ".aif"
  const char* saveText;   // "Apple AIFF(*.aif)"
};

// One file format: everything the open and save pipelines, the tags, the file choosers and
// quillon-cli know about it. Adding a format is its own file plus one entry of the table.
struct FileFormat {
  const char* chooserText;  // its row in the open chooser: "Apple AIFF (*.aif, *.aiff)"
  std::span<const FormatExtension> extensions;
  bool saves;  // false: it opens only ("MPEG Layer-3")
  // Opening: a reader over the file, or, for the dictation formats, a converter into a temporary
  // WAV file that is then read (it reports through the load job).
  Ref<SampleSource> (*open)(const std::string& path) = nullptr;
  JobResult (*convertToWav)(Job& progress, const std::string& path,
                            const std::string& wavPath) = nullptr;
  // The writer, configured from the stored settings; rate and channels are the document's.
  Ref<SampleSink> (*createSink)(const std::string& path, int32_t rate, int channels) = nullptr;
  // The settings dialog that Save As shows, and how it runs (null: none, as for ".gsm").
  const Form* settings = nullptr;
  bool (*editSettings)(Interaction& owner, int32_t rate, int channels) = nullptr;
  TagFamily tags = TagFamily::None;
  // Headerless files: the family whose layout an interactive open asks for (null: a header says).
  const RawFamily* rawFamily = nullptr;

  // The save chooser's text for the extension when files are saved under it, else null.
  const char* saveTextOf(const std::string& extension) const;
};

// Every format, in the order the choosers list them.
std::span<const FileFormat> fileFormats();

// The format of a path's extension (compared without regard to case), or null.
const FileFormat* formatOf(const std::string& path);
// The format of an extension (".wav", lower case), or null.
const FileFormat* formatForExtension(const std::string& extension);

// Whether files with this extension are written in-process (".wav", ".aif", ".aiff", ".au",
// ".gsm", ".vox", ".raw").
bool CanSaveExtension(const std::string& extension);

// The types the file chooser offers when opening: all audio files first, then each format.
std::vector<FileChooserRequest::FileType> openableFileTypes();

// The save chooser's rows, in list order; `canSave` is false for a format that only opens.
struct SaveFileType {
  std::string text;
  std::string extension;
  bool canSave;
};
std::vector<SaveFileType> saveFileTypes();

}  // namespace quillon
