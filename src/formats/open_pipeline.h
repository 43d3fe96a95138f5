#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "document/wave_document.h"
#include "formats/format_table.h"
#include "platform/interaction.h"
#include "platform/job.h"
#include "platform/ref_counted.h"

namespace quillon {

struct OpenResult {
  JobResult result = JobResult::Failed;  // Done: a source was built
  Ref<SampleSource> source;              // never null: a NullSource or a source with its status
  std::string failure;                   // the message that says why (always filled on failure)
};

// Builds a source for a path by its extension, through the format table: ".wav", ".mp3" (the
// decoding service), ".aif"/".aiff", ".au", ".gsm", ".vox" (stored "VoxAudio" layout),
// ".raw"/".snd" ("RawAudio" layout), ".dct" and ".dart" (unwrapped into a temporary WAV that is
// deleted with the source); anything else fails. When not `quiet`
// the failure message is also shown through the job. `tempFolder` empty: the system's.
OpenResult OpenSourceByExtension(Job& progress, const std::string& path, bool quiet,
                                 const std::string& tempFolder = {});

// The message for a source that did not open, chosen by its status and the extension.
std::string openFailureMessage(const std::string& path, SourceStatus status);

// Asks for the layout of a headerless file (".vox", ".raw", ".snd") when `askFlag` is set, then
// clears it; Cancelled when the user cancelled. The layout is stored under its family.
JobResult AskRawLayout(const std::string& path, Interaction& owner, bool& askFlag);

// A name for a temporary WAV, "Temp.wav" inside a folder of its own that is made in `folder`
// with a name nobody can guess and mode 0700 (mkdtemp), so that no other process, of this user or
// another, can know the name beforehand, plant a link there or share the file. The file and the
// folder are removed when the object goes. `path()` is "" when no folder could be made.
class TempWavName {
 public:
  explicit TempWavName(const std::string& folder);
  ~TempWavName();
  TempWavName(TempWavName&& other) noexcept;
  TempWavName& operator=(TempWavName&&) = delete;
  TempWavName(const TempWavName&) = delete;
  TempWavName& operator=(const TempWavName&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
};

// The WAV reader over a temporary file, which is deleted (with its folder) when the source is
// released.
Ref<SampleSource> OpenTempWavSource(TempWavName name);

// What the file-load command hands over: the file, the document to fill, and whether the layout
// of a headerless file is still to be asked (cleared once asked).
struct LoadRequest {
  std::string path;
  Ref<WaveDocument> document;
  bool askRawLayout = true;
  std::string failure;  // filled when the load fails: why
};

// The whole load, as the work of a job: opens the source by `OpenSourceByExtension` and streams it
// into a new block of the document in the source's own rate and channels.
JobResult LoadFileIntoDocument(Job& progress, Interaction& owner, LoadRequest& request);

// Loads documents from files for `WaveDocument::createFromFile`: the load runs as a job titled
// "Loading Audio File Source"; bookmarks and tags come from the side file and the file.
class FileLoader : public DocumentLoader {
 public:
  JobResult load(const std::string& path, WaveDocument& document, Interaction& owner,
                 std::string& failure) override;
  void loadMetadata(const std::string& path, WaveDocument& document) override;
};

}  // namespace quillon
