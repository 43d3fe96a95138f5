#pragma once

#include "document/document_view.h"
#include "platform/interaction.h"

namespace quillon {
class Transport;
}

namespace quillon::ui {

// Record (command 2040) until the Record Control dialog takes its place: records into the view's
// document through the transport under a progress dialog titled "Record" whose Cancel ends the
// recording; what was recorded replaces the selection (or goes in at the cursor) as the undoable
// "Record". False when nothing was recorded or the input did not open (then the sound device
// error is shown).
bool recordThroughTransport(DocumentView& view, Transport& transport, Interaction& interaction);

}  // namespace quillon::ui
