#include "shell/ui/qt_interaction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "browser/file_browser.h"
#include "browser/ui/file_browser_dialog.h"
#include "platform/xdg_dirs.h"
#include "shell/help_pages.h"
#include "shell/ui/progress_dialog.h"

namespace quillon::ui {
namespace {

QMessageBox::Icon iconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// The texts of the handheld's boxes used "\r\n" for a new line.
QString boxText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace("\r\n", "\n");
  return shown;
}

// The progress dialog as the job holds it: when the job is done the dialog goes and its owner
// gets the focus back.
class OwnedProgress final : public ProgressDisplay {
 public:
  explicit OwnedProgress(ProgressDialog* dialog) : dialog_(dialog) {}
  ~OwnedProgress() override {
    QWidget* owner = dialog_ ? dialog_->parentWidget() : nullptr;
    delete dialog_.data();
    if (owner) owner->window()->activateWindow();
  }
  void setLine(int line, const std::string& text) override {
    if (dialog_) dialog_->setLine(line, text);
  }
  void setPercent(int percent) override {
    if (dialog_) dialog_->setPercent(percent);
  }
  void setMarquee(bool on) override {
    if (dialog_) dialog_->setMarquee(on);
  }
  bool pump() override { return dialog_ && dialog_->pump(); }

 private:
  QPointer<ProgressDialog> dialog_;
};

}  // namespace

QtInteraction::QtInteraction(QWidget* owner) : owner_(owner) {
  helpOpener_ = [this](const std::string& topic) {
    const std::string page = shell::helpPagePath(topic);
    if (page.empty() ||
        !QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page)))) {
      messageBox(kProductTitle, kHelpMissing, MessageIcon::Exclamation, MessageButtons::Ok);
    }
  };
}

QtInteraction::~QtInteraction() = default;

QWidget* QtInteraction::dialogParent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return owner_;
}

Answer QtInteraction::messageBox(const std::string& caption, const std::string& text,
                                 MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(iconOf(icon), QString::fromStdString(caption), boxText(text),
                  QMessageBox::NoButton, dialogParent());
  box.setTextFormat(Qt::PlainText);
  std::map<QAbstractButton*, Answer> answers;
  auto add = [&](QMessageBox::StandardButton standard, Answer answer) {
    answers[box.addButton(standard)] = answer;
  };
  auto addText = [&](const char* label, QMessageBox::ButtonRole role, Answer answer) {
    answers[box.addButton(QString::fromUtf8(label), role)] = answer;
  };
  switch (buttons) {
    case MessageButtons::Ok:
      add(QMessageBox::Ok, Answer::Ok);
      break;
    case MessageButtons::OkCancel:
      add(QMessageBox::Ok, Answer::Ok);
      add(QMessageBox::Cancel, Answer::Cancel);
      break;
    case MessageButtons::YesNo:
      add(QMessageBox::Yes, Answer::Yes);
      add(QMessageBox::No, Answer::No);
      break;
    case MessageButtons::YesNoCancel:
      add(QMessageBox::Yes, Answer::Yes);
      add(QMessageBox::No, Answer::No);
      add(QMessageBox::Cancel, Answer::Cancel);
      break;
    case MessageButtons::SaveDontSaveCancel:
      addText("Save", QMessageBox::AcceptRole, Answer::Yes);
      addText("Don't Save", QMessageBox::DestructiveRole, Answer::No);
      addText("Cancel", QMessageBox::RejectRole, Answer::Cancel);
      break;
    case MessageButtons::OverwriteCancel:
      addText("Overwrite", QMessageBox::AcceptRole, Answer::Ok);
      addText("Cancel", QMessageBox::RejectRole, Answer::Cancel);
      break;
  }
  // Escape gives the answer that changes nothing.
  const Answer escape = fitAnswer(Answer::Cancel, buttons);
  for (const auto& [button, answer] : answers) {
    if (answer == escape) box.setEscapeButton(button);
  }
  box.exec();
  auto chosen = answers.find(box.clickedButton());
  return chosen != answers.end() ? chosen->second : escape;
}

std::unique_ptr<ProgressDisplay> QtInteraction::openProgress(const std::string& title) {
  auto* dialog = new ProgressDialog(QString::fromStdString(title), dialogParent());
  dialog->show();
  return std::make_unique<OwnedProgress>(dialog);
}

std::optional<std::string> QtInteraction::chooseFile(const FileChooserRequest& request) {
  browser::DesktopFileSystem files;
  FileChooserRequest shown = request;
  shown.folder = browser::startFolder(files, documentPath_ ? documentPath_() : std::string(),
                                      request.folder, platform::XdgDirs::musicDir());
  return browser::runFileBrowser(dialogParent(), shown, *this, files);
}

bool QtInteraction::editForm(const Form& form, DialogValues& values) {
  FormDialog dialog(form, values, dialogParent());
  dialog.setRefusalHandler([this](const Refusal& refusal) {
    messageBox(refusal.caption, refusal.text, refusal.icon, MessageButtons::Ok);
  });
  dialog.setHelpHandler([this](const std::string& topic) { openHelp(topic); });
  if (form.preview && previewers_) dialog.setPreviewer(previewers_(form));
  if (dialog.exec() != QDialog::Accepted) return false;
  values = dialog.values();
  return true;
}

void QtInteraction::openHelp(const std::string& topic) {
  if (helpOpener_) helpOpener_(topic);
}

}  // namespace quillon::ui
