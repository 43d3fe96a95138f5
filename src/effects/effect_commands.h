#pragma once

#include <string>

#include "document/document_view.h"

namespace quillon {

// The commands of the Effects menu and Auto Trim. Each runs the common path: the low-disk guard,
// stop playback, select everything when nothing is selected (not Auto Trim), the last-used
// parameters from "StoredValues", the effect's dialog (values written back once confirmed), the
// undo action, the processing under a progress dialog, then commit with the effect's pre-roll or
// roll back. Each answers whether the document changed.
bool amplifyCommand(DocumentView& view);
bool normalizeCommand(DocumentView& view);
bool automaticGainControlCommand(DocumentView& view);
bool compressorCommand(DocumentView& view);
bool highPassCommand(DocumentView& view);
bool echoCommand(DocumentView& view);
bool reverbCommand(DocumentView& view);
bool reverseCommand(DocumentView& view);
bool fadeInCommand(DocumentView& view);
bool fadeOutCommand(DocumentView& view);
bool fadeOutAndTrimCommand(DocumentView& view);
bool autoTrimCommand(DocumentView& view);

// The compressor dialog's ratio: a name of the ratio list ("2:1", "Limit") or its index.
int compressorRatioIndex(const std::string& text);

}  // namespace quillon
