// The file browser's window driven by real Qt events (offscreen): typing a name, double clicks,
// the toolbar, in-place editing, the folder and type boxes, keys and the context menu.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <fstream>
#include <memory>

#include "browser/file_browser.h"
#include "browser/memory_file_system.h"
#include "browser/ui/browser_dialog.h"
#include "browser/ui/file_browser_dialog.h"
#include "formats/save_pipeline.h"
#include "platform/scripted_interaction.h"

namespace quillon::browser {

class BrowserDialogTest : public QObject {
  Q_OBJECT

 private:
  const std::string music = "/home/u/Music";
  std::unique_ptr<MemoryFileSystem> files;
  std::unique_ptr<ScriptedInteraction> answers;
  std::unique_ptr<BrowserDialog> dialog;

  static std::vector<FileChooserRequest::FileType> saveTypes() {
    std::vector<FileChooserRequest::FileType> types;
    for (const SaveFileType& type : kSaveFileTypes) {
      if (type.canSave) types.push_back({type.text, type.extension});
    }
    return types;
  }

  BrowserDialog& show(FileChooserRequest::Mode mode, std::string proposed = "") {
    FileChooserRequest request;
    request.mode = mode;
    request.title =
        mode == FileChooserRequest::Mode::Save ? "Save Audio File As" : "Open Audio File";
    request.folder = music;
    request.proposedName = std::move(proposed);
    request.types = saveTypes();
    request.preferredExtension = ".wav";
    dialog = std::make_unique<BrowserDialog>(*files, *answers, setupFor(request));
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    if (!QTest::qWaitForWindowExposed(dialog.get())) qWarning("the browser was not exposed");
    // The folder is read once the window is up.
    if (!QTest::qWaitFor([&] { return !dialog->controller().folder().empty(); })) {
      qWarning("the browser did not read its folder");
    }
    return *dialog;
  }

  int rowOf(const std::string& name) {
    const auto& rows = dialog->controller().rows();
    for (size_t row = 0; row < rows.size(); ++row) {
      if (rows[row].name == name) return int(row);
    }
    qWarning("%s is not listed", name.c_str());
    return -1;
  }
  QPoint pointOf(int row) {
    QTreeView* list = dialog->list();
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    return list->visualRect(index).center();
  }
  void click(int row, Qt::KeyboardModifiers keys = {}) {
    QTest::mouseClick(dialog->list()->viewport(), Qt::LeftButton, keys, pointOf(row));
  }
  void doubleClick(int row) {
    const QPoint at = pointOf(row);
    QWidget* viewport = dialog->list()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  }
  void press(const char* button) { QTest::mouseClick(dialog->toolButton(button), Qt::LeftButton); }
  // The line edit of the in-place editor that is open, if any.
  QLineEdit* editor() {
    return qobject_cast<QLineEdit*>(QApplication::focusWidget()) != dialog->nameBox()
               ? qobject_cast<QLineEdit*>(QApplication::focusWidget())
               : nullptr;
  }
  QString displayed(int row, int column = 0) {
    return dialog->list()->model()->index(row, column).data().toString();
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (const auto& shown : answers->shown)
      out.push_back(shown.text);
    return out;
  }

 private slots:
  void init() {
    files = std::make_unique<MemoryFileSystem>();
    files->addFolder(music + "/albums/inner");
    files->addFolder(music + "/Interviews");
    files->addFile(music + "/take1.wav", 999);
    files->addFile(music + "/take2.wav", 1500);
    files->addFile(music + "/song.au", 3'000'000);
    files->addFile(music + "/notes.txt", 1);
    answers = std::make_unique<ScriptedInteraction>();
  }
  void cleanup() { dialog.reset(); }

  void saveTakesTheTypedNameWithTheTypesExtension() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Save, "Region000");
    // The name box has the focus with its whole text selected: typing replaces it.
    QCOMPARE(QApplication::focusWidget(), d.nameBox());
    QCOMPARE(d.nameBox()->selectedText(), QString("Region000"));
    QCOMPARE(d.typeBox()->currentText(), QString("Wave (*.wav)"));
    QTest::keyClicks(d.nameBox(), "take3");
    QTest::keyClick(d.nameBox(), Qt::Key_Return);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(!d.isVisible());
    QCOMPARE(d.nameBox()->text(), QString("take3.wav"));
    QCOMPARE(chosenPath(d.controller()), std::optional<std::string>(music + "/take3.wav"));
  }

  void listShowsFoldersFirstWithSizes() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Open);
    QCOMPARE(d.list()->model()->rowCount(), 5);
    QCOMPARE(displayed(0), QString(".."));
    QCOMPARE(displayed(1), QString("albums"));
    QCOMPARE(displayed(1, 1), QString());
    QCOMPARE(displayed(3), QString("take1.wav"));
    QCOMPARE(displayed(3, 1), QString("999 B"));
    QCOMPARE(displayed(4, 1), QString("2 K"));
    QCOMPARE(d.folderBox()->currentText(), QString::fromStdString(music));
    // The type box re-lists: three types down is AU.
    for (int i = 0; i < 3; ++i)
      QTest::keyClick(d.typeBox(), Qt::Key_Down);
    QCOMPARE(d.typeBox()->currentText(), QString("Sun AU (*.au)"));
    QCOMPARE(d.list()->model()->rowCount(), 4);
    QCOMPARE(displayed(3), QString("song.au"));
    QCOMPARE(displayed(3, 1), QString("3 M"));
  }

  void doubleClicksAndTheNavigationButtons() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Open);
    QVERIFY(!d.toolButton("back")->isEnabled());
    // Return on a folder enters it, as a double click does.
    click(rowOf("Interviews"));
    QTest::keyClick(d.list(), Qt::Key_Return);
    QCOMPARE(d.controller().folder(), music + "/Interviews");
    QVERIFY(d.isVisible());
    press("back");
    doubleClick(rowOf("albums"));
    QCOMPARE(d.controller().folder(), music + "/albums");
    QCOMPARE(d.folderBox()->currentText(), QString::fromStdString(music + "/albums"));
    doubleClick(rowOf("inner"));
    QCOMPARE(d.controller().folder(), music + "/albums/inner");
    press("back");
    press("back");
    QCOMPARE(d.controller().folder(), music);
    press("forward");
    QCOMPARE(d.controller().folder(), music + "/albums");
    // Up selects the folder just left; ".." goes up too.
    press("up");
    QCOMPARE(d.controller().folder(), music);
    QCOMPARE(d.list()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(d.list()->selectionModel()->selectedRows()[0].row(), rowOf("albums"));
    doubleClick(rowOf(".."));
    QCOMPARE(d.controller().folder(), std::string("/home/u"));
    doubleClick(rowOf("Music"));
    // A double click on a file opens it.
    doubleClick(rowOf("take2.wav"));
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(chosenPath(d.controller()), std::optional<std::string>(music + "/take2.wav"));
    QVERIFY(answers->shown.empty());
  }

  void openWithNothingSelectedAsksAndStays() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Open);
    QPushButton* open = d.buttons()->button(QDialogButtonBox::Ok);
    QCOMPARE(open->text(), QString("Open"));
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(texts(), std::vector<std::string>{"Please select a file"});
    QVERIFY(d.isVisible());
    // A folder is not a file either; a click on a file and Open is.
    click(rowOf("albums"));
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(answers->shown.size(), size_t(2));
    click(rowOf("take1.wav"));
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(chosenPath(d.controller()), std::optional<std::string>(music + "/take1.wav"));
  }

  void newFolderRenameAndDeleteInPlace() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Save, "x");
    // New Folder: an editor on the proposed name below ".."; Return creates what was typed.
    press("newFolder");
    QLineEdit* edit = editor();
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString("New Folder"));
    QVERIFY(!files->exists(music + "/New Folder"));
    edit->selectAll();
    QTest::keyClicks(edit, "Session");
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(files->directoryExists(music + "/Session"));
    QCOMPARE(displayed(1), QString("Session"));
    QVERIFY(d.isVisible());

    // Escape drops a new folder's row.
    const int rows = d.list()->model()->rowCount();
    press("newFolder");
    QVERIFY(editor());
    QTest::keyClick(editor(), Qt::Key_Escape);
    QCOMPARE(d.list()->model()->rowCount(), rows);
    QVERIFY(d.isVisible());

    // Rename through F2 on the selected row.
    click(rowOf("take1.wav"));
    QCOMPARE(d.nameBox()->text(), QString("take1.wav"));
    QVERIFY(d.toolButton("rename")->isEnabled());
    QTest::keyClick(d.list(), Qt::Key_F2);
    QVERIFY(editor());
    editor()->selectAll();
    QTest::keyClicks(editor(), "first.wav");
    QTest::keyClick(editor(), Qt::Key_Return);
    QTRY_VERIFY(files->fileExists(music + "/first.wav"));
    QVERIFY(!files->exists(music + "/take1.wav"));

    // Rename onto an existing name is refused.
    click(rowOf("first.wav"));
    press("rename");
    editor()->selectAll();
    QTest::keyClicks(editor(), "take2.wav");
    QTest::keyClick(editor(), Qt::Key_Return);
    QTRY_COMPARE(texts(), std::vector<std::string>{"Cannot rename file: first.wav"});
    QCOMPARE(files->sizeOf(music + "/take2.wav"), int64_t(1500));

    // Delete asks; No keeps, Yes removes (a folder with what is in it).
    click(rowOf("albums"));
    answers->queueAnswer(Answer::No);
    press("delete");
    QVERIFY(files->exists(music + "/albums"));
    answers->queueAnswer(Answer::Yes);
    QTest::keyClick(d.list(), Qt::Key_Delete);
    QVERIFY(!files->exists(music + "/albums/inner"));
    QCOMPARE(rowOf("Session"), 1);
    QCOMPARE(answers->shown.back().text,
             std::string("Are you sure you want to delete selected directory:\n\"albums\" ?"));
    QVERIFY(!d.toolButton("delete")->isEnabled());
  }

  void severalRowsAndTheContextMenu() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Open);
    click(rowOf("take1.wav"));
    click(rowOf("albums"), Qt::ControlModifier);
    QCOMPARE(d.controller().selection().size(), size_t(2));
    QMenu* menu = d.contextMenu();
    QStringList enabled;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator() && action->isEnabled()) enabled << action->text();
    }
    QCOMPARE(enabled, QStringList({"Open in Shell", "New Folder", "Delete", "Refresh"}));
    answers->queueAnswer(Answer::Yes);
    menu->actions().at(4)->trigger();  // Delete
    QCOMPARE(answers->shown[0].text,
             std::string("Are you sure you want to delete the selected files or directories ?"));
    QVERIFY(!files->exists(music + "/take1.wav"));
    QVERIFY(!files->exists(music + "/albums"));

    click(rowOf("take2.wav"));
    d.contextMenu()->actions().at(0)->trigger();  // Open in Shell
    QCOMPARE(files->openedInShell, std::vector<std::string>{music + "/take2.wav"});
  }

  void theFolderBoxGoesWhereTyped() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Open);
    QLineEdit* box = d.folderBox()->lineEdit();
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClicks(box, "albums/inner");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(d.controller().folder(), music + "/albums/inner");
    QVERIFY(d.isVisible());
    box->selectAll();
    QTest::keyClicks(box, "/nowhere");
    QTest::keyClick(box, Qt::Key_Return);

    QCOMPARE(texts(), std::vector<std::string>{"Directory \"/nowhere\" does not exist"});
    QCOMPARE(d.folderBox()->currentText(), QString::fromStdString(music + "/albums/inner"));
    // Choosing a folder above from the list.
    d.folderBox()->setFocus();
    QTest::keyClick(d.folderBox(), Qt::Key_Down);
    QTest::keyClick(d.folderBox(), Qt::Key_Down);
    emit d.folderBox()->activated(d.folderBox()->currentIndex());
    QCOMPARE(d.controller().folder(), music);
    click(rowOf("take1.wav"));
    QTest::keyClick(d.list(), Qt::Key_Backspace);
    QCOMPARE(d.controller().folder(), std::string("/home/u"));
  }

  void cancelReturnsNothing() {
    BrowserDialog& d = show(FileChooserRequest::Mode::Save, "x");
    QTest::keyClick(d.nameBox(), Qt::Key_Escape);
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(chosenPath(d.controller()), std::nullopt);
  }

  // The modal wrapper on a real folder.
  void runsModallyOnARealFolder() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const std::string root = folder.path().toStdString();
    std::ofstream(root + "/take1.wav") << "RIFF";
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::Save;
    request.folder = root;
    request.proposedName = "Region000";
    request.types = saveTypes();
    request.preferredExtension = ".wav";
    QTimer::singleShot(0, [] {
      auto* modal = qobject_cast<BrowserDialog*>(QApplication::activeModalWidget());
      QVERIFY(modal);
      QTRY_COMPARE(modal->list()->model()->rowCount(), 2);  // ".." and take1.wav
      QTest::keyClicks(modal->nameBox(), "Region001");
      QTest::keyClick(modal->nameBox(), Qt::Key_Return);
    });
    ScriptedInteraction quiet;
    QCOMPARE(runFileBrowser(nullptr, request, quiet),
             std::optional<std::string>(root + "/Region001.wav"));
  }

  void screenshot() {
    const QByteArray folder = qgetenv("QUILLON_SCREENSHOT_DIR");
    if (folder.isEmpty()) QSKIP("QUILLON_SCREENSHOT_DIR is not set");
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::Save;
    request.title = "Save Audio File As";
    request.proposedName = "Interview take 3";
    request.types = saveTypes();
    request.preferredExtension = ".wav";
    QVERIFY(renderBrowserScreenshot(folder.toStdString() + "/browser.png", request));
  }
};

}  // namespace quillon::browser

int main(int argc, char** argv) {
  // Nothing of the user's: a private home and XDG folders, no display.
  QTemporaryDir home;
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                           "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
    qputenv(name, home.path().toUtf8());
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  quillon::browser::BrowserDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "browser_dialog_test.moc"
