#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "platform/interaction.h"
#include "shell/ui/form_dialog.h"

namespace quillon::ui {

// How the editor asks and tells the user, in Qt: message boxes with the callers' captions, icons
// and buttons, the progress dialog, the file browser as the file chooser, and every form through
// the one form dialog. Each dialog is modal over the window that is modal now (a progress dialog,
// another dialog), else over the owner.
class QtInteraction : public Interaction {
 public:
  explicit QtInteraction(QWidget* owner);
  ~QtInteraction() override;

  Answer messageBox(const std::string& caption, const std::string& text, MessageIcon icon,
                    MessageButtons buttons) override;
  std::unique_ptr<ProgressDisplay> openProgress(const std::string& title) override;
  std::optional<std::string> chooseFile(const FileChooserRequest& request) override;
  bool editForm(const Form& form, DialogValues& values) override;

  // Makes the previewer of a form with a preview (the effect dialogs plug the player in here);
  // without one, no Preview button is shown.
  using PreviewerFactory = std::function<std::unique_ptr<FormPreviewer>(const Form& form)>;
  void setPreviewerFactory(PreviewerFactory factory) { previewers_ = std::move(factory); }
  // Opens a help page by its topic (by default the program's page in the desktop's browser).
  void setHelpOpener(std::function<void(const std::string& topic)> opener) {
    helpOpener_ = std::move(opener);
  }
  void openHelp(const std::string& topic);
  // The current document's path, where the file chooser starts when it has a folder.
  void setDocumentPath(std::function<std::string()> path) { documentPath_ = std::move(path); }

  // The window a dialog goes over now.
  QWidget* dialogParent() const;

 private:
  QPointer<QWidget> owner_;
  PreviewerFactory previewers_;
  std::function<void(const std::string&)> helpOpener_;
  std::function<std::string()> documentPath_;
};

// The message shown when the help pages cannot be found.
inline constexpr char kHelpMissing[] = "The help pages of Quillon cannot be found.";

}  // namespace quillon::ui
