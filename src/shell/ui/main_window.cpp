#include "shell/ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "audio_io/system_audio_devices.h"
#include "audio_io/transport.h"
#include "audio_io/ui/play_control_dialog.h"
#include "audio_io/ui/preferences_dialog.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "shell/help_pages.h"
#include "shell/startup_sequence.h"
#include "shell/ui/document_window.h"
#include "shell/ui/record_session.h"
#include "view/ui/document_pane.h"
#include "view/ui/status_fields_widget.h"
#include "view/ui/wave_view_widget.h"

// Resources of a static library are registered by hand, once, outside any namespace.
static void registerEditorIcons() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(editor);
    return true;
  }();
  (void)registered;
}

namespace quillon::ui {
namespace {

using namespace command;

constexpr char kProgramName[] = "Quillon";
constexpr settings::TextSetting kGeometry{kWindowSettings, "Geometry", ""};

// The keys desktop users expect, besides those the menu texts name: the desktop's own standard
// key first where there is one, then the key that works everywhere.
struct KeyBinding {
  int id;
  QKeySequence::StandardKey standard;
  std::vector<const char*> keys;
};
const std::vector<KeyBinding>& desktopKeys() {
  static const std::vector<KeyBinding> keys = {
      {kNewFile, QKeySequence::New, {"Ctrl+N"}},
      {kOpenFile, QKeySequence::Open, {"Ctrl+O"}},
      {kSave, QKeySequence::Save, {"Ctrl+S"}},
      {kSaveAs, QKeySequence::SaveAs, {"Ctrl+Shift+S"}},
      {kCloseFile, QKeySequence::Close, {"Ctrl+W"}},
      {kExit, QKeySequence::Quit, {"Ctrl+Q"}},
      {kUndo, QKeySequence::Undo, {"Ctrl+Z"}},
      {kRedo, QKeySequence::Redo, {"Ctrl+Y", "Ctrl+Shift+Z"}},
      {kCut, QKeySequence::Cut, {"Ctrl+X"}},
      {kCopy, QKeySequence::Copy, {"Ctrl+C"}},
      {kPaste, QKeySequence::Paste, {"Ctrl+V"}},
      {kDelete, QKeySequence::Delete, {"Del"}},
      {kSelectAll, QKeySequence::SelectAll, {"Ctrl+A"}},
      {kZoomIn, QKeySequence::ZoomIn, {"Ctrl++", "Ctrl+="}},
      {kZoomOut, QKeySequence::ZoomOut, {"Ctrl+-"}},
      {kGoToStart, QKeySequence::UnknownKey, {"Home"}},
      {kGoToEnd, QKeySequence::UnknownKey, {"End"}},
      {kHelpContents, QKeySequence::HelpContents, {"F1"}},
      {kPreferences, QKeySequence::Preferences, {}},
  };
  return keys;
}

// The handheld's key names in the menu texts, as keys of a desktop keyboard. "Action" (the
// centre of the direction pad) plays and stops: the Space bar.
constexpr char kActionKey[] = "Action";
QString desktopKeyName(const std::string& name) {
  return name == kActionKey ? QStringLiteral("Space") : QString::fromStdString(name);
}

QList<QKeySequence> keysOf(const KeyBinding& binding) {
  QList<QKeySequence> keys;
  if (binding.standard != QKeySequence::UnknownKey)
    keys = QKeySequence::keyBindings(binding.standard);
  for (const char* key : binding.keys) {
    const QKeySequence sequence(QString::fromUtf8(key));
    if (!keys.contains(sequence)) keys.append(sequence);
  }
  return keys;
}

bool isCheckable(int id) {
  return id == kVerticalZoom || id == kLoopPlay ||
         (id >= kWaveFormPlusMinus && id <= kWaveFormDual) ||
         (id >= kPlaySpeedSlow && id <= kPlaySpeedFast);
}

bool isWindowCommand(int id) {
  return id == kHelpContents || id == kExit || id == kAbout || id == kPlayControl ||
         id == kPreferences;
}

// The window's own commands are always available, but Play Control, which wants a document as
// Play does; the context menu works without a document too (it is the fallback menu then).
bool isEnabledIn(const CommandStates& states, int id) {
  if (id == kPlayControl) return states.isEnabled(kPlay);
  return isWindowCommand(id) || id == kContextMenu || states.isEnabled(commandRowOf(id));
}

// Menu texts show "&" literally when doubled.
QString escapedMenuText(const std::string& text) {
  return QString::fromStdString(text).replace('&', "&&");
}

// The empty window: the program's logo in the middle. Its context menu is the fallback menu.
class LogoWidget : public QWidget {
 public:
  LogoWidget(MainWindow& window, QWidget* parent) : QWidget(parent), window_(window) {
    setAutoFillBackground(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const int side = std::min({160, width() / 2, height() / 2});
    if (side < 16) return;
    const QRect logo((width() - side) / 2, (height() - side) / 2 - 20, side, side);
    QIcon(":/icons/quillon.svg").paint(&painter, logo);
    painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(QRect(0, logo.bottom() + 16, width(), 40), Qt::AlignHCenter | Qt::AlignTop,
                     tr("Open a file with Ctrl+O, drop one here, or create one with Ctrl+N."));
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    window_.requestContextMenu(event->globalPos());
  }

 private:
  MainWindow& window_;
};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), interaction_(this) {
  registerEditorIcons();
  QApplication::setWindowIcon(QIcon(":/icons/quillon.svg"));
  setWindowTitle(kProgramName);
  setAcceptDrops(true);
  recorder_ = recordThroughTransport;

  stack_ = new QStackedWidget(this);
  logo_ = new LogoWidget(*this, stack_);
  stack_->addWidget(logo_);
  setCentralWidget(stack_);

  editor_ = std::make_unique<Editor>(*this);
  interaction_.setDocumentPath(
      [this] { return editor_->hasDocument() ? editor_->document().path : std::string(); });
  buildMenus();
  buildToolBar();
  buildKeys();
  editor_->recentFiles().addObserver(this);
  begin();
  for (size_t i = 0; i < editor_->recentFiles().count(); ++i)
    entry(editor_->recentFiles().entry(i)->path);
  end();

  const std::string geometry = kGeometry.read();
  if (geometry.empty() ||
      !restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(geometry)))) {
    resize(1100, 700);
  }
  editor_->refreshCommandStates();
}

MainWindow::~MainWindow() {
  // The document window and the Editor go before the widgets and the transport they use.
  editor_.reset();
  transport_.reset();
}

// Commands.

void MainWindow::runCommand(int id, int code) {
  if (isBusy()) {
    deferred_.push_back([this, id, code] { runCommand(id, code); });
    return;
  }
  switch (id) {
    case kHelpContents:
      setBusy(true);
      interaction_.openHelp(std::string(shell::kHelpIndex));
      setBusy(false);
      return;
    case kAbout:
      setBusy(true);
      showAbout();
      setBusy(false);
      return;
    case kExit:
      close();
      return;
    case kPlayControl:
      if (!editor_->hasDocument()) return;
      setBusy(true);
      audio_io::ui::showPlayControl(this, editor_->view(), systemAudioDevices());
      editor_->refreshCommandStates();  // a name edited in the dialog shows in the title
      setBusy(false);
      return;
    case kPreferences:
      setBusy(true);
      audio_io::ui::showPreferences(
          this, interaction_, transport_ ? &transport_->player() : nullptr, systemAudioDevices());
      setBusy(false);
      return;
    default:
      editor_->dispatchCommand(id, code);
  }
}

void MainWindow::setBusy(bool busy) {
  busy_ += busy ? 1 : -1;
  if (busy_ == 0 && !deferred_.empty()) QTimer::singleShot(0, this, &MainWindow::runDeferred);
}

void MainWindow::runDeferred() {
  if (isBusy() || deferred_.empty()) return;
  std::function<void()> next = std::move(deferred_.front());
  deferred_.pop_front();
  next();
  if (!deferred_.empty() && !isBusy()) QTimer::singleShot(0, this, &MainWindow::runDeferred);
}

void MainWindow::handOver(std::vector<std::string> arguments) {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  if (isBusy()) {
    deferred_.push_back([this, arguments = std::move(arguments)] { handOver(arguments); });
    return;
  }
  setBusy(true);
  openFiles(*editor_, arguments);
  setBusy(false);
}

void MainWindow::showAbout() {
  QMessageBox::about(
      this, tr("About Quillon"),
      tr("<h3>Quillon %1</h3><p>A small, fast audio editor.</p>"
         "<p>Audio is written once into block files; editing, undo and the clipboard never copy "
         "samples.</p>")
          .arg(QCoreApplication::applicationVersion()));
}

// Menus, the toolbar and keys.

QAction* MainWindow::makeAction(int id, const std::string& text) {
  const MenuText parts = splitMenuText(text);
  QString label = QString::fromStdString(parts.label);
  auto* action = new QAction(this);
  action->setData(id);
  if (!parts.key.empty()) {
    const QString key = desktopKeyName(parts.key);
    if (parts.key == kActionKey) {
      // Play and Stop share the key: one key action plays or stops (buildKeys).
      label += "\t" + QKeySequence(key).toString(QKeySequence::NativeText);
    } else {
      action->setShortcut(QKeySequence(key));
    }
  }
  action->setText(label);
  action->setCheckable(isCheckable(id));
  connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
  actions_[id] = action;
  return action;
}

QAction* MainWindow::commandAction(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

std::vector<QAction*> MainWindow::commandActions() const {
  std::vector<QAction*> list;
  for (const auto& [id, action] : actions_)
    list.push_back(action);
  return list;
}

void MainWindow::fillMenu(QMenu* menu, std::span<const MenuEntry> entries) {
  for (const MenuEntry& entry : entries) {
    switch (entry.kind) {
      case MenuEntry::Kind::Command: {
        QAction* action = commandAction(entry.id);
        if (!action) action = makeAction(entry.id, entryText(entry));
        menu->addAction(action);
        break;
      }
      case MenuEntry::Kind::Separator:
        menu->addSeparator();
        break;
      case MenuEntry::Kind::Submenu:
        fillMenu(menu->addMenu(QString::fromUtf8(entry.text)), entry.entries);
        break;
      case MenuEntry::Kind::RecentFiles:
        recentMenu_ = menu->addMenu(QString::fromUtf8(entry.text));
        break;
    }
  }
}

void MainWindow::buildMenus() {
  for (const MenuBarMenu& menu : mainMenus())
    fillMenu(menuBar()->addMenu(QString::fromUtf8(menu.title)), menu.entries);
  // One mode of display and one play speed at a time.
  auto* modes = new QActionGroup(this);
  for (int id : {kWaveFormPlusMinus, kWaveFormLeftRight, kWaveFormDual})
    modes->addAction(commandAction(id));
  auto* speeds = new QActionGroup(this);
  for (int id : {kPlaySpeedSlow, kPlaySpeedNormal, kPlaySpeedFast})
    speeds->addAction(commandAction(id));
}

void MainWindow::buildToolBar() {
  toolBar_ = addToolBar(tr("Commands"));
  toolBar_->setObjectName("commands");
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(20, 20));
  for (const ToolbarButton& button : toolbarButtons()) {
    if (button.id == 0) {
      toolBar_->addSeparator();
      continue;
    }
    QAction* action = commandAction(button.id);
    if (!action) action = makeAction(button.id, commandMenuText(button.id));
    action->setIcon(QIcon::fromTheme(QString::fromUtf8(button.themeIcon),
                                     QIcon(QString(":/icons/") + button.icon)));
    action->setIconVisibleInMenu(false);
    action->setToolTip(
        QString::fromStdString(splitMenuText(commandMenuText(button.id)).label).remove('&'));
    toolBar_->addAction(action);
  }
}

void MainWindow::buildKeys() {
  for (const KeyBinding& binding : desktopKeys()) {
    QAction* action = commandAction(binding.id);
    if (!action) continue;
    QList<QKeySequence> keys = keysOf(binding);
    for (const QKeySequence& own : action->shortcuts()) {
      if (!keys.contains(own)) keys.append(own);
    }
    action->setShortcuts(keys);
  }
  // Keys without a menu item: Space plays or stops, the menu key opens the context menu.
  auto addKey = [this](int id, QList<QKeySequence> keys, std::function<void()> run) {
    auto* action = new QAction(this);
    action->setData(id);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, std::move(run));
    addAction(action);
    keyActions_.push_back(action);
  };
  addKey(kPlay, {QKeySequence(Qt::Key_Space)}, [this] {
    runCommand(editor_->hasDocument() && editor_->view().isPlaying() ? kStop : kPlay);
  });
  addKey(kContextMenu, {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}, [this] {
    QWidget* over = stack_->currentWidget();
    if (DocumentWindow* window = documentWindow()) over = window->pane().waveView();
    requestContextMenu(over->mapToGlobal(over->rect().center()));
  });
  // Menu items' keys work while the menu bar is hidden too.
  for (const auto& [id, action] : actions_)
    addAction(action);
}

void MainWindow::showCommandStates(const CommandStates& states) {
  states_ = states;
  auto apply = [&](QAction* action) {
    const int id = action->data().toInt();
    action->setEnabled(isEnabledIn(states, id));
    if (action->isCheckable()) action->setChecked(states.checked.count(id) > 0);
  };
  for (const auto& [id, action] : actions_)
    apply(action);
  for (QAction* action : keyActions_)
    apply(action);
}

void MainWindow::setCaption(const std::string& text, bool modified) {
  const bool open = editor_ && editor_->hasDocument();
  std::string name = text;
  if (modified && !name.empty() && name.back() == '*') name.pop_back();
  setWindowTitle(open ? QString::fromStdString(name) + "[*] \u2014 " + kProgramName : kProgramName);
  setWindowModified(open && modified);
  if (DocumentWindow* window = documentWindow()) {
    window->pane().setCaption(QString::fromStdString(text));
    window->pane().captionBar()->setModified(modified);
  }
}

// The Recent Files submenu: the 12 newest by file name, or "Empty"; "Delete &Recent Files List"
// after a separator when there are entries.

void MainWindow::begin() {
  for (QAction* action : recentActions_) {
    actions_.erase(action->data().toInt());
    delete action;
  }
  recentActions_.clear();
  recentMenu_->clear();
  recentShown_ = 0;
}

void MainWindow::entry(const std::string& path) {
  if (recentShown_ >= RecentFiles::kMenuEntries) return;
  const int id = kRecentFirst + int(recentShown_++);
  QAction* action = makeAction(id, {});
  action->setText(escapedMenuText(platform::fileNameOf(path)));
  action->setToolTip(QString::fromStdString(path));
  recentMenu_->addAction(action);
  recentActions_.push_back(action);
}

void MainWindow::end() {
  if (recentShown_ == 0) {
    QAction* empty = commandAction(kRecentEmpty);
    if (!empty) empty = makeAction(kRecentEmpty, commandMenuText(kRecentFirst));
    recentMenu_->addAction(empty);
  } else {
    recentMenu_->addSeparator();
    QAction* clear = commandAction(kDeleteRecentList);
    if (!clear) clear = makeAction(kDeleteRecentList, commandMenuText(kDeleteRecentList));
    recentMenu_->addAction(clear);
  }
  for (QAction* action : recentActions_)
    action->setEnabled(states_.isEnabled(kRecentFirst));
}

// The context menus.

std::unique_ptr<QMenu> MainWindow::buildContextMenu() {
  auto menu = std::make_unique<QMenu>(this);
  fillMenu(menu.get(), contextMenuEntries());
  return menu;
}

std::unique_ptr<QMenu> MainWindow::buildFallbackMenu() {
  auto menu = std::make_unique<QMenu>(this);
  fillMenu(menu.get(), fallbackMenuEntries());
  const RecentFiles& recent = editor_->recentFiles();
  const size_t count = std::min<size_t>(recent.count(), kRecentEmpty - kRecentFirst);
  if (count > 0) menu->addSeparator();
  for (size_t i = 0; i < count; ++i) {
    const int id = kRecentFirst + int(i);
    QAction* item = menu->addAction(escapedMenuText(recent.entry(i)->path));
    item->setData(id);
    connect(item, &QAction::triggered, this, [this, id] { runCommand(id); });
  }
  return menu;
}

void MainWindow::requestContextMenu(const QPoint& globalPosition) {
  contextPosition_ = globalPosition;
  runCommand(kContextMenu);
}

void MainWindow::showContextMenu() {
  // The chosen entry's command waits for this one (the context menu) to end.
  buildContextMenu()->exec(contextPosition_);
}

void MainWindow::showFallbackMenu() {
  buildFallbackMenu()->exec(contextPosition_);
}

// The document window.

std::unique_ptr<DocumentView> MainWindow::createView(Ref<WaveDocument> document) {
  auto window = std::make_unique<DocumentWindow>(*this, std::move(document));
  document_ = window.get();
  return window;
}

DocumentWindow* MainWindow::documentWindow() const {
  return document_;
}

view::ui::DocumentPane* MainWindow::placeDocumentPane() {
  auto* pane = new view::ui::DocumentPane(stack_);
  stack_->addWidget(pane);
  stack_->setCurrentWidget(pane);
  pane->waveView()->setFocus();
  return pane;
}

void MainWindow::removeDocumentPane(view::ui::DocumentPane* pane) {
  document_ = nullptr;
  stack_->setCurrentWidget(logo_);
  if (pane) {
    stack_->removeWidget(pane);
    delete pane;
  }
}

void MainWindow::documentTouched() {
  refreshSoon();
}

void MainWindow::refreshSoon() {
  if (refreshQueued_) return;
  refreshQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    refreshQueued_ = false;
    if (editor_) editor_->refreshCommandStates();
  });
}

Transport& MainWindow::transport() {
  if (!transport_) transport_ = std::make_unique<Transport>(poster_, systemAudioDevices());
  return *transport_;
}

bool MainWindow::record(DocumentView& view) {
  return recorder_ && recorder_(view, transport(), interaction_);
}

QWidget* MainWindow::makeTransportStrip(DocumentWindow& window) {
  return stripFactory_ ? stripFactory_(window) : nullptr;
}

// Closing, dropping.

void MainWindow::closeEvent(QCloseEvent* event) {
  if (isBusy() || !closeForExit(*editor_)) {
    event->ignore();
    return;
  }
  saveGeometryNow();
  event->accept();
}

void MainWindow::saveGeometryNow() {
  kGeometry.write(saveGeometry().toBase64().toStdString());
}

namespace {

QString droppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = droppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // Opened once the drop has ended (the dragging program waits for its answer).
  QTimer::singleShot(0, this, [this, file = path.toStdString()] {
    handOver({QCoreApplication::applicationFilePath().toStdString(), file});
  });
}

}  // namespace quillon::ui
