#include "shell/editor.h"

#include "document/document_messages.h"
#include "formats/open_pipeline.h"
#include "formats/save_pipeline.h"
#include "platform/form.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text_format.h"
#include "shell/clip_services.h"
#include "shell/command_table.h"
#include "shell/default_view.h"
#include "shell/shell_messages.h"

namespace quillon {
namespace {

constexpr FormField kNewFileFields[] = {{.name = "rate",
                                         .kind = FieldKind::Number,
                                         .label = "Sample Rate",
                                         .unit = "Hz",
                                         .setting = &settings::kSelectedSampleRate},
                                        channelsField(&settings::kSelectedChannels)};
constexpr FormCheck kNewFileChecks[] = {
    {"rate", 6000, 96000, "", messages::kBadNewFileRate, MessageIcon::Error}};

bool hasFolder(const std::string& path) {
  return !platform::parentFolder(path).empty();
}

FileChooserRequest openChooser(const std::string& folder, const std::string& extension) {
  FileChooserRequest request;
  request.mode = FileChooserRequest::Mode::Open;
  request.title = messages::kOpenAudioFile;
  request.folder = folder;
  request.types = openableFileTypes();
  request.preferredExtension = extension.empty() ? "" : "." + extension;
  return request;
}

}  // namespace

const Form kNewFileForm{.dialog = messages::kNewFileDialog,
                        .caption = messages::kNewFileDialog,
                        .fields = kNewFileFields,
                        .checks = kNewFileChecks};

Editor::Editor(MainWindow& window)
    : window_(window), defaultView_(std::make_unique<DefaultView>(window.interaction())) {
  services_ = makeClipServices();
  recent_.load();
}

Editor::~Editor() = default;

DocumentView& Editor::view() {
  return view_ ? *view_ : *defaultView_;
}

std::string Editor::caption() {
  if (!hasDocument()) return kProductTitle;
  return formatMessage(messages::kCaption,
                       {platform::fileNameOf(document().path), document().modified ? "*" : ""});
}

void Editor::refreshCommandStates() {
  window_.showCommandStates(commandStates());
  window_.setCaption(caption(), hasDocument() && document().modified);
}

bool Editor::dispatchCommand(int id, int code) {
  window_.setBusy(true);
  bool ran = false;
  lastDone_ = false;
  if (id == kCommandCloseBeforeExit) {
    lastDone_ = closeDocument();
    ran = !lastDone_;
  } else if (id == command::kContextMenu && !hasDocument()) {
    window_.showFallbackMenu();
    lastDone_ = true;
  } else {
    ran = runCommand(*this, id, code, &lastDone_);
  }
  refreshCommandStates();
  window_.setBusy(false);
  return ran;
}

bool Editor::isCommandEnabled(int id) {
  return commandEnabled(*this, id);
}

CommandStates Editor::commandStates() {
  return computeCommandStates(*this);
}

bool Editor::newFile() {
  if (!closeDocument()) return false;
  int32_t rate = settings::kDefaultSampleRate.read();
  int channels = settings::kDefaultChannels.read();
  if (settings::kPromptSampleAndChannels.read()) {
    DialogValues values;
    if (!askForm(interaction(), kNewFileForm, values)) return false;
    rate = values.number("rate");
    channels = values.number("channels");
  }
  const int32_t number = settings::kUntitledCount.read();
  settings::kUntitledCount.write(number + 1);
  Ref<WaveDocument> document = WaveDocument::createUntitled(number, rate, channels);
  document->modified = true;  // an untitled document always counts as modified
  view_ = window_.createView(document);
  return true;
}

bool Editor::openFile(const std::string& path) {
  if (!closeDocument()) return false;
  FileLoader loader;
  Ref<WaveDocument> document = WaveDocument::createFromFile(path, interaction(), loader);
  if (document->loadFailed) return false;
  view_ = window_.createView(document);
  recent_.add(path);
  return true;
}

bool Editor::chooseAndOpen() {
  std::optional<std::string> path = interaction().chooseFile(
      openChooser(settings::kOpenFileDir.read(), settings::kOpenFileFormat.read()));
  if (!path) return false;
  settings::kOpenFileDir.write(platform::parentFolder(*path));
  settings::kOpenFileFormat.write(platform::storedExtension(*path));
  return openFile(*path);
}

bool Editor::openRecent(int index) {
  if (const RecentFiles::Entry* entry = recent_.entry(size_t(index))) {
    const std::string path = entry->path;
    return openFile(path);
  }
  return chooseAndOpen();
}

bool Editor::closeDocument() {
  DocumentView& current = view();
  current.stopPlayback();
  if (current.hasWindow()) {
    Ref<WaveDocument> held(current.document());
    if (!promptSaveChanges(current, *held)) return false;
  }
  view_.reset();
  return true;
}

bool Editor::closeFileCommand() {
  DocumentView& current = view();
  WaveDocument& doc = document();
  if ((current.touched() || current.isPlaying()) && !doc.modified && hasFolder(doc.path)) {
    const Answer answer = interaction().messageBox(
        kProductTitle, formatMessage(messages::kConfirmClose, {platform::fileNameOf(doc.path)}),
        MessageIcon::Question, MessageButtons::YesNo);
    if (answer != Answer::Yes) return false;
  }
  return closeDocument();
}

bool Editor::promptSaveChanges(DocumentView& view, WaveDocument& document) {
  if (!document.modified && hasFolder(document.path)) return true;
  const Answer answer = interaction().messageBox(
      kProductTitle, formatMessage(messages::kSaveChanges, {platform::fileNameOf(document.path)}),
      MessageIcon::Question, MessageButtons::SaveDontSaveCancel);
  if (answer == Answer::Cancel) return false;
  if (answer == Answer::No) return true;
  if (hasFolder(document.path)) return SaveDocument(view, settings::kPromptFileFormat.read());
  return SaveDocumentAs(view);
}

}  // namespace quillon
