#include "document/wave_document.h"

#include <algorithm>

#include "document/document_messages.h"
#include "platform/job.h"
#include "platform/text_format.h"

namespace quillon {
namespace {

// Opens the protected constructor to the factories.
struct NewDocument : WaveDocument {};

}  // namespace

Ref<WaveDocument> WaveDocument::createEmpty() {
  return Ref<WaveDocument>(new NewDocument);
}

Ref<WaveDocument> WaveDocument::createUntitled(int number, int32_t sampleRate, int channels) {
  Ref<WaveDocument> document = createEmpty();
  document->audio.sampleRate = sampleRate;
  document->audio.channels = static_cast<uint8_t>(channels);
  document->path = formatMessage(messages::kUntitledName, {std::to_string(number)});
  return document;
}

Ref<WaveDocument> WaveDocument::createFromFile(const std::string& path, Interaction& owner,
                                               DocumentLoader& loader) {
  Ref<WaveDocument> document = createEmpty();
  std::string failure;
  const JobResult result = loader.load(path, *document, owner, failure);
  if (result == JobResult::Failed) {
    owner.messageBox(messages::kLoadFailedCaption,
                     failure.empty() ? formatMessage(messages::kLoadFailed, {path}) : failure,
                     MessageIcon::Information, MessageButtons::Ok);
  }
  if (result != JobResult::Done) document->loadFailed = true;
  document->path = path;
  loader.loadMetadata(path, *document);
  document->modified = false;
  return document;
}

WaveDocument::~WaveDocument() {
  undoRing.clear();
  tags.clear();
  markers.clear();
  audio.clear();
}

bool WaveDocument::hasSelection() const {
  return selectionStart >= 0 && selectionEnd != 0 && selectionStart < selectionEnd;
}

int32_t WaveDocument::playEnd() const {
  return hasSelection() ? selectionEnd : audio.length();
}

int32_t WaveDocument::selectionOrStart() const {
  return hasSelection() ? selectionStart : 0;
}

int32_t WaveDocument::withinAudio(int64_t frame) const {
  return int32_t(std::clamp<int64_t>(frame, 0, audio.length()));
}

void WaveDocument::trimMarkers(int32_t first, int32_t last, int32_t shift) {
  std::erase_if(markers, [&](const Bookmark& marker) {
    return marker.position < first || marker.position > last;
  });
  for (Bookmark& marker : markers)
    marker.position -= shift;
}

}  // namespace quillon
