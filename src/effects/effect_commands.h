#pragma once

#include <string>

#include "document/document_view.h"

namespace quillon {

// The commands of the Effects menu and Auto Trim. Each runs the common path: the low-disk guard,
// stop playback, select everything when nothing is selected (not Auto Trim), the last-used
// parameters from "StoredValues", the effect's dialog (values written back once confirmed), the
// undo action, the processing under a progress dialog, then commit with the effect's pre-roll or
// roll back. Each answers 1 when the document changed, else 0.
int amplifyCommand(DocumentView& view);
int normalizeCommand(DocumentView& view);
int automaticGainControlCommand(DocumentView& view);
int compressorCommand(DocumentView& view);
int highPassCommand(DocumentView& view);
int echoCommand(DocumentView& view);
int reverbCommand(DocumentView& view);
int reverseCommand(DocumentView& view);
int fadeInCommand(DocumentView& view);
int fadeOutCommand(DocumentView& view);
int fadeOutAndTrimCommand(DocumentView& view);
int autoTrimCommand(DocumentView& view);

// The compressor dialog's ratio: a name of the ratio list ("2:1", "Limit") or its index.
int compressorRatioIndex(const std::string& text);

}  // namespace quillon
