#include "document/action_scope.h"

#include <algorithm>

#include "document/document_messages.h"
#include "document/document_view.h"
#include "document/low_disk_guard.h"
#include "document/wave_document.h"
#include "platform/settings.h"

namespace quillon {

ActionScope::ActionScope(DocumentView* view, std::string_view name) : view_(view) {
  if (!view_ || !view_->document()) return;
  start(name, true);
  begun_ = true;
}

ActionScope::ActionScope(DocumentView& view, std::string_view name, NoRollback) : view_(&view) {
  if (view.document()) start(name, false);
}

void ActionScope::start(std::string_view name, bool reversible) {
  document_ = Ref<WaveDocument>(view_->document());
  if (reversible) {
    displaced_ = document_->undoRing.recordReversibly(*document_, name);
  } else {
    document_->recordAction(name);
  }
  document_->modified = true;
  view_->onActionBegin();
  view_->onActionOrUndo();
}

bool ActionScope::commit(int32_t cursor, int32_t preRoll) {
  if (!document_) return false;
  if (!lowDiskGuard(view_, GuardMode::WorkingFolder, messages::kLowDiskAfterAction,
                    document_->path)) {
    return false;
  }
  document_->cursor = cursor;
  view_->refreshAll();
  if (settings::kAutoPlaybackAfterEffects.read()) {
    document_->cursor = std::max(0, cursor - preRoll);
    view_->play();
  }
  committed_ = true;
  return true;
}

ActionScope::~ActionScope() {
  if (!begun_ || committed_) return;
  view_->stopPlayback();
  document_->undoRing.rollBack(*document_, std::move(displaced_));
  view_->onActionOrUndo();
  view_->refreshAll();
  view_->onActionBegin();
}

namespace {

bool afterStep(DocumentView& view, WaveDocument& document, bool stepped) {
  if (!stepped) return false;
  view.onActionOrUndo();
  view.refreshAll();
  document.modified = true;
  view.onActionBegin();
  return true;
}

}  // namespace

bool undoCommand(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  view.stopPlayback();
  return afterStep(view, *document, document->undo());
}

bool redoCommand(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  view.stopPlayback();
  return afterStep(view, *document, document->canRedo() && document->redo());
}

}  // namespace quillon
