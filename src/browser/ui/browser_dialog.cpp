#include "browser/ui/browser_dialog.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "browser/ui/browser_list_model.h"

// Resources of a static library are registered by hand, once, outside any namespace.
static void registerBrowserIcons() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(browser);
    return true;
  }();
  (void)registered;
}

namespace quillon::browser {
namespace {

// Sizes in device-independent pixels.
constexpr int kButtonWidth = 18;
constexpr int kButtonHeight = 20;
constexpr int kRowHeight = 22;
constexpr int kLabelWidth = 40;
constexpr int kSizeColumnWidth = 50;

QString qt(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

BrowserDialog::BrowserDialog(FileSystem& files, Interaction& interaction, BrowserSetup setup,
                             QWidget* parent)
    : QDialog(parent), controller_(files, interaction, std::move(setup)) {
  registerBrowserIcons();
  setWindowTitle(qt(controller_.setup().title));
  setSizeGripEnabled(true);
  model_ = new BrowserListModel(controller_, this);
  buildLayout();
  connectInput();
  resize(640, 480);
  controller_.setView(this);
}

BrowserDialog::~BrowserDialog() {
  controller_.setView(nullptr);
  if (busy_) QApplication::restoreOverrideCursor();
  // The list and its model read the controller, which goes before the dialog's children do.
  delete list_;
  delete model_;
}

QToolButton* BrowserDialog::makeButton(const char* name, const char* icon, const char* themeIcon,
                                       const QString& tip, void (BrowserController::*command)()) {
  auto* button = new QToolButton(toolbar_);
  button->setObjectName(name);
  button->setIcon(QIcon::fromTheme(themeIcon, QIcon(QString(":/icons/") + icon)));
  button->setIconSize(QSize(16, 16));
  button->setFixedSize(kButtonWidth, kButtonHeight);
  button->setAutoRaise(true);
  button->setToolTip(tip);
  connect(button, &QToolButton::clicked, this, [this, command] { (controller_.*command)(); });
  return button;
}

void BrowserDialog::buildLayout() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 6);
  layout->setSpacing(2);

  toolbar_ = new QWidget(this);
  auto* tools = new QHBoxLayout(toolbar_);
  tools->setContentsMargins(0, 0, 0, 0);
  tools->setSpacing(2);
  tools->addWidget(
      makeButton("back", "browser-back.svg", "go-previous", tr("Back"), &BrowserController::back));
  tools->addWidget(makeButton("forward", "browser-forward.svg", "go-next", tr("Forward"),
                              &BrowserController::forward));
  tools->addWidget(makeButton("up", "browser-up.svg", "go-up", tr("Up"), &BrowserController::up));
  tools->addWidget(makeButton("refresh", "browser-refresh.svg", "view-refresh", tr("Refresh"),
                              &BrowserController::refresh));
  tools->addStretch(1);
  auto* edits = new QHBoxLayout;
  edits->setSpacing(0);
  edits->addWidget(makeButton("newFolder", "browser-new-folder.svg", "folder-new", tr("New Folder"),
                              &BrowserController::newFolder));
  edits->addWidget(makeButton("rename", "browser-rename.svg", "edit-rename", tr("Rename"),
                              &BrowserController::rename));
  edits->addWidget(makeButton("delete", "browser-delete.svg", "edit-delete", tr("Delete"),
                              &BrowserController::deleteSelected));
  tools->addLayout(edits);
  layout->addWidget(toolbar_);
  toolbar_->setVisible(controller_.has(kToolbar));

  auto* boxes = new QGridLayout;
  boxes->setContentsMargins(2, 0, 0, 0);
  boxes->setHorizontalSpacing(4);
  boxes->setVerticalSpacing(2);
  boxes->setColumnMinimumWidth(0, kLabelWidth);
  auto addRow = [&](const QString& label, QWidget* box) {
    const int row = boxes->rowCount();
    auto* text = new QLabel(label, this);
    text->setBuddy(box);
    box->setFixedHeight(kRowHeight);
    boxes->addWidget(text, row, 0);
    boxes->addWidget(box, row, 1);
  };
  if (controller_.has(kFolderBox)) {
    folderBox_ = new QComboBox(this);
    folderBox_->setObjectName("folderBox");
    folderBox_->setEditable(true);
    folderBox_->setInsertPolicy(QComboBox::NoInsert);
    folderBox_->setCompleter(nullptr);
    addRow(tr("Folder:"), folderBox_);
  }
  if (controller_.has(kNameBox)) {
    nameBox_ = new QLineEdit(qt(controller_.name()), this);
    nameBox_->setObjectName("nameBox");
    addRow(tr("File:"), nameBox_);
  }
  if (controller_.hasTypeBox()) {
    typeBox_ = new QComboBox(this);
    typeBox_->setObjectName("typeBox");
    for (const FileFilter& filter : controller_.setup().filters)
      typeBox_->addItem(qt(filter.description));
    typeBox_->setCurrentIndex(controller_.filter());
    addRow(tr("Type:"), typeBox_);
  }
  layout->addLayout(boxes);

  list_ = new QTreeView(this);
  list_->setObjectName("list");
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setItemsExpandable(false);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView* header = list_->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(BrowserListModel::NameColumn, QHeaderView::Stretch);
  header->setSectionResizeMode(BrowserListModel::SizeColumn, QHeaderView::Fixed);
  header->resizeSection(BrowserListModel::SizeColumn,
                        std::max(kSizeColumnWidth, fontMetrics().horizontalAdvance("1000 K") + 16));
  layout->addWidget(list_, 1);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)
      ->setText(controller_.has(kNameBox) ? tr("Save") : tr("Open"));
  buttons_->setContentsMargins(0, 4, 0, 0);
  layout->addWidget(buttons_);
}

void BrowserDialog::connectInput() {
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &BrowserDialog::forwardSelection);
  connect(list_, &QTreeView::doubleClicked, this,
          [this](const QModelIndex& index) { controller_.activate(size_t(index.row())); });
  connect(list_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
          [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) { editorClosed(hint); });
  connect(list_, &QTreeView::customContextMenuRequested, this,
          [this](const QPoint& at) { contextMenu()->exec(list_->viewport()->mapToGlobal(at)); });
  if (folderBox_) {
    connect(folderBox_, &QComboBox::activated, this,
            [this](int index) { goToFolderInBox(folderBox_->itemText(index)); });
    folderBox_->lineEdit()->installEventFilter(this);
  }
  if (nameBox_) {
    connect(nameBox_, &QLineEdit::textEdited, this,
            [this](const QString& text) { controller_.typeName(text.toStdString()); });
  }
  if (typeBox_) {
    connect(typeBox_, &QComboBox::activated, this,
            [this](int index) { controller_.chooseFilter(index); });
  }
  connect(buttons_, &QDialogButtonBox::accepted, this, &BrowserDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &BrowserDialog::reject);

  // Keys of the list, and of the whole window.
  auto onList = [this](QKeySequence keys, auto command) {
    new QShortcut(keys, list_, command, Qt::WidgetShortcut);
  };
  auto activateCurrent = [this] {
    if (list_->currentIndex().isValid()) controller_.activate(size_t(list_->currentIndex().row()));
  };
  onList(QKeySequence(Qt::Key_Return), activateCurrent);
  onList(QKeySequence(Qt::Key_Enter), activateCurrent);
  onList(QKeySequence(Qt::Key_Delete), [this] { controller_.deleteSelected(); });
  onList(QKeySequence(Qt::Key_F2), [this] { controller_.rename(); });
  onList(QKeySequence(Qt::Key_Backspace), [this] { controller_.up(); });
  auto onWindow = [this](QKeySequence keys, auto command) {
    new QShortcut(keys, this, command, Qt::WidgetWithChildrenShortcut);
  };
  onWindow(QKeySequence::Back, [this] { controller_.back(); });
  onWindow(QKeySequence::Forward, [this] { controller_.forward(); });
  onWindow(QKeySequence(Qt::ALT | Qt::Key_Up), [this] { controller_.up(); });
  onWindow(QKeySequence::Refresh, [this] { controller_.refresh(); });
  onWindow(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), [this] { controller_.newFolder(); });
}

QToolButton* BrowserDialog::toolButton(const char* name) const {
  return toolbar_->findChild<QToolButton*>(name);
}

QMenu* BrowserDialog::contextMenu() {
  delete menu_;
  menu_ = new QMenu(this);
  menu_->setObjectName("contextMenu");
  QAction* shell = menu_->addAction(tr("Open in Shell"), [this] { controller_.openInShell(); });
  shell->setEnabled(controller_.canDelete());  // a real entry is selected
  menu_->addSeparator();
  menu_->addAction(tr("New Folder"), [this] { controller_.newFolder(); });
  menu_->addAction(tr("Rename"), [this] { controller_.rename(); })
      ->setEnabled(controller_.canRename());
  menu_->addAction(tr("Delete"), [this] { controller_.deleteSelected(); })
      ->setEnabled(controller_.canDelete());
  menu_->addSeparator();
  menu_->addAction(tr("Refresh"), [this] { controller_.refresh(); });
  return menu_;
}

void BrowserDialog::accept() {
  controller_.accept();
}

void BrowserDialog::reject() {
  if (controller_.outcome() == BrowserController::Outcome::Open) {
    controller_.cancel();
  } else {
    QDialog::reject();
  }
}

void BrowserDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // The folder is read once the window is up, so that a slow folder shows its first rows in it.
  QTimer::singleShot(0, this, [this] { controller_.start(); });
  // The name box takes the focus with its whole text selected, ready to be typed over.
  if (nameBox_) {
    nameBox_->setFocus(Qt::OtherFocusReason);
    nameBox_->selectAll();
  } else {
    list_->setFocus(Qt::OtherFocusReason);
  }
}

// Input --------------------------------------------------------------------------------------

bool BrowserDialog::eventFilter(QObject* watched, QEvent* event) {
  // Return in the folder box goes to the folder typed; it does not reach the Open button.
  if (folderBox_ && watched == folderBox_->lineEdit() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      goToFolderInBox(folderBox_->lineEdit()->text());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void BrowserDialog::forwardSelection() {
  if (syncing_) return;
  std::vector<size_t> rows;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows(0))
    rows.push_back(size_t(index.row()));
  controller_.select(std::move(rows));
  updateCommands();
}

void BrowserDialog::editorClosed(int hint) {
  std::optional<QString> text = model_->takeEditedText();
  if (hint == QAbstractItemDelegate::RevertModelCache || !text) {
    controller_.cancelEdit();
  } else {
    controller_.commitEdit(text->toStdString());
  }
}

void BrowserDialog::goToFolderInBox(const QString& text) {
  const std::string folder = normalFolder(text.toStdString(), controller_.folder());
  if (folder == controller_.folder()) return;
  if (!controller_.goTo(folder)) folderChanged();  // the box shows where the list still is
}

void BrowserDialog::updateCommands() {
  toolButton("back")->setEnabled(controller_.canGoBack());
  toolButton("forward")->setEnabled(controller_.canGoForward());
  toolButton("up")->setEnabled(controller_.canGoUp());
  toolButton("rename")->setEnabled(controller_.canRename());
  toolButton("delete")->setEnabled(controller_.canDelete());
}

// What the controller tells ------------------------------------------------------------------

void BrowserDialog::rowsChanged(bool more) {
  syncing_ = true;
  model_->reload();
  syncing_ = false;
  updateCommands();
  // A folder that takes long to read shows its first rows while the rest comes.
  if (more && isVisible()) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void BrowserDialog::selectionChanged() {
  syncing_ = true;
  QItemSelection selection;
  const std::vector<size_t>& rows = controller_.selection();
  for (size_t first = 0; first < rows.size();) {
    size_t last = first;
    while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
      ++last;
    selection.select(model_->index(int(rows[first]), 0), model_->index(int(rows[last]), 1));
    first = last + 1;
  }
  QItemSelectionModel* model = list_->selectionModel();
  model->select(selection, QItemSelectionModel::ClearAndSelect);
  if (!rows.empty()) {
    const QModelIndex current = model_->index(int(rows.front()), 0);
    model->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    list_->scrollTo(current);
  }
  syncing_ = false;
  updateCommands();
}

void BrowserDialog::folderChanged() {
  if (folderBox_) {
    syncing_ = true;
    folderBox_->clear();
    for (const std::string& folder : controller_.folderChoices())
      folderBox_->addItem(style()->standardIcon(QStyle::SP_DirIcon), qt(folder));
    folderBox_->setCurrentIndex(0);
    syncing_ = false;
  }
  updateCommands();
}

void BrowserDialog::nameChanged() {
  if (nameBox_ && nameBox_->text() != qt(controller_.name())) {
    nameBox_->setText(qt(controller_.name()));
  }
}

void BrowserDialog::editRow(size_t row) {
  const QModelIndex index = model_->index(int(row), BrowserListModel::NameColumn);
  syncing_ = true;
  list_->setCurrentIndex(index);
  syncing_ = false;
  list_->scrollTo(index);
  list_->setFocus(Qt::OtherFocusReason);
  list_->edit(index);
}

void BrowserDialog::setBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void BrowserDialog::closeBrowser() {
  QDialog::done(controller_.outcome() == BrowserController::Outcome::Accepted ? Accepted
                                                                              : Rejected);
}

}  // namespace quillon::browser
