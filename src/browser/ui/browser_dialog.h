#pragma once

#include <QDialog>

#include "browser/browser_controller.h"

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QMenu;
class QToolButton;
class QTreeView;

namespace quillon::browser {

class BrowserListModel;

// The file browser's window: a toolbar (Back, Forward, Up, Refresh; New Folder, Rename, Delete
// at the right), the folder box, the name box (save), the type box and the list of the folder
// with name and size columns. Every input goes to the BrowserController; the window shows what
// the controller holds. The first folder is read as soon as the window is shown. Modal through
// exec(); closes when the controller has an outcome.
class BrowserDialog : public QDialog, private BrowserView {
  Q_OBJECT

 public:
  BrowserDialog(FileSystem& files, Interaction& interaction, BrowserSetup setup,
                QWidget* parent = nullptr);
  ~BrowserDialog() override;

  BrowserController& controller() { return controller_; }

  // The parts, for tests.
  QTreeView* list() const { return list_; }
  QComboBox* folderBox() const { return folderBox_; }
  QLineEdit* nameBox() const { return nameBox_; }  // nullptr without one
  QComboBox* typeBox() const { return typeBox_; }  // nullptr without one
  QDialogButtonBox* buttons() const { return buttons_; }
  QToolButton* toolButton(const char* name) const;  // "back", "forward", "up", "refresh",
                                                    // "newFolder", "rename", "delete"
  // The context menu of the list, as it would open now.
  QMenu* contextMenu();

  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // BrowserView
  void rowsChanged(bool more) override;
  void selectionChanged() override;
  void folderChanged() override;
  void nameChanged() override;
  void editRow(size_t row) override;
  void setBusy(bool busy) override;
  void closeBrowser() override;

  QToolButton* makeButton(const char* name, const char* icon, const char* themeIcon,
                          const QString& tip, void (BrowserController::*command)());
  void buildLayout();
  void connectInput();
  void forwardSelection();
  void editorClosed(int hint);
  void goToFolderInBox(const QString& text);
  void updateCommands();

  BrowserController controller_;
  BrowserListModel* model_ = nullptr;
  QTreeView* list_ = nullptr;
  QComboBox* folderBox_ = nullptr;
  QLineEdit* nameBox_ = nullptr;
  QComboBox* typeBox_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  QWidget* toolbar_ = nullptr;
  QMenu* menu_ = nullptr;
  bool syncing_ = false;  // the window is being set from the controller
  bool shown_ = false;
  bool busy_ = false;
};

}  // namespace quillon::browser
