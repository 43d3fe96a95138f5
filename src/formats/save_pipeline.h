#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/clip.h"
#include "document/document_view.h"
#include "document/sample_stream.h"
#include "document/tag_list.h"
#include "formats/format_table.h"
#include "formats/wave_format_record.h"
#include "platform/interaction.h"
#include "platform/job.h"

namespace quillon {

// The writer for a path's extension, configured from the stored per-format settings (rate and
// channels are the document's, for the settings that default to them); a NullSink for anything
// without a writer. It writes to `writePath` when one is given (a temporary file), else to
// `path`.
Ref<SampleSink> CreateSinkForExtension(const std::string& path, int32_t sampleRate, int channels,
                                       const std::string& writePath = {});

// Shows the settings dialog of an extension and stores what it confirms; false when cancelled
// (".gsm" has none and answers true; unknown extensions answer false).
bool EditFormatSettings(const std::string& extension, Interaction& owner, int32_t sampleRate,
                        int channels);

// What a save command hands to the save task.
struct SaveRequest {
  Clip clip;         // the document, or a copy trimmed to the selection
  std::string path;  // where the file goes
  bool askSettings = false;
  std::optional<WaveFormatRecord> wavFormat;  // ".wav": this format instead of the stored one
};

// Streams the clip into the writer for the path (converting rate and channels to the writer's)
// under a progress job. Cancelled settings fail the task (as the save does not happen). With a
// `writePath` the file written is that one (a temporary file), while the format and every
// message go by the request's path.
JobResult SaveTask(Job& progress, Interaction& owner, const SaveRequest& request,
                   const std::string& writePath = {});

// Saves a clip so that the user's file is never lost: the new file is written completely under a
// temporary name of its own beside the target (made exclusively, never through a link: two saves
// of one target at once never share it), synced, given the tags, and only then renamed over the
// target. A failed or cancelled save leaves the target exactly as it was and removes the
// temporary file; its message names the target. Of two saves at once the last rename wins.
JobResult saveSafely(Interaction& owner, const SaveRequest& request, const TagList* tags);

// The save commands' bodies. `SaveDocument` saves under the document's path (Save As when it has
// no folder); in Save As mode it asks for the format settings and does not reuse the old file's
// WAV format. They answer whether the file was saved.
bool SaveDocument(DocumentView& view, bool saveAs = false);
bool SaveDocumentAs(DocumentView& view);
bool SaveRegion(DocumentView& view);

}  // namespace quillon
