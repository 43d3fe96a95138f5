#include "audio_io/ui/play_control_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "audio_io/ui/db_slider.h"
#include "audio_io/ui/level_meter.h"
#include "audio_io/ui/transport_icons.h"
#include "document/clip_reader.h"
#include "document/wave_document.h"
#include "platform/paths.h"
#include "view/time_texts.h"
#include "view/ui/wave_strip_widget.h"

namespace quillon::audio_io::ui {
namespace {

constexpr TransportIcon kIcons[] = {
    TransportIcon::Start, TransportIcon::Rewind,  TransportIcon::Play, TransportIcon::Pause,
    TransportIcon::Stop,  TransportIcon::Forward, TransportIcon::End};

LevelRecord silentLevels(int channels) {
  LevelRecord record{uint8_t(std::clamp(channels, 1, 255)), {}};
  record.decibels.fill(int8_t(kSilentLevel));
  return record;
}

}  // namespace

PlayControlDialog::PlayControlDialog(const Clip& audio, int32_t position, const QString& fileName,
                                     Interaction& interaction, AudioDevices& devices,
                                     QWidget* parent)
    : PlayControlDialog(
          [&](NoticePoster& poster) {
            return std::make_unique<PlayControl>(poster, devices, interaction);
          },
          fileName, QStringLiteral("Play Control"), parent) {
  control_->setAudio(audio);
  control_->setPosition(position);
}

PlayControlDialog::PlayControlDialog(const MakeControl& make, const QString& fileName,
                                     const QString& title, QWidget* parent)
    : QDialog(parent), control_(make(poster_)) {
  setWindowTitle(title);
  build(fileName);
  control_->setListener(this);
}

PlayControlDialog::~PlayControlDialog() {
  control_->setListener(nullptr);
  control_.reset();
}

void PlayControlDialog::addRow(const QString& label, QWidget* field) {
  const int row = grid_->rowCount();
  grid_->addWidget(new QLabel(label, this), row, 0);
  grid_->addWidget(field, row, 1);
}

void PlayControlDialog::addButton(Button which, const char* tip) {
  auto* button = new QToolButton(this);
  const int i = static_cast<int>(which);
  button->setIcon(transportIcon(kIcons[i]));
  button->setIconSize(QSize(16, 16));
  button->setFixedSize(32, 26);
  button->setToolTip(QString::fromLatin1(tip));
  button->setFocusPolicy(Qt::NoFocus);
  buttons_[i] = button;
  buttonRow_->addWidget(button);
}

void PlayControlDialog::build(const QString& fileName) {
  auto* main = new QVBoxLayout(this);
  grid_ = new QGridLayout;
  grid_->setColumnStretch(1, 1);
  main->addLayout(grid_);

  fileName_ = new QLineEdit(fileName, this);
  connect(fileName_, &QLineEdit::textEdited, this, [this] { fileNameEdited_ = true; });
  addRow(QStringLiteral("File:"), fileName_);
  meter_ = new LevelMeter(this);
  meter_->setFixedHeight(10);
  meter_->setLevels(silentLevels(control_->audio().channels));
  addRow(QStringLiteral("Level:"), meter_);
  outputs_ = new QComboBox(this);
  for (const std::string& name : control_->outputNames())
    outputs_->addItem(QString::fromStdString(name));
  outputs_->setCurrentIndex(control_->outputDevice());
  connect(outputs_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) control_->setOutputDevice(index, outputs_->itemText(index).toStdString());
  });
  addRow(QStringLiteral("Output:"), outputs_);
  volume_ = new DbSlider(-36, 10, this);
  volume_->setFixedHeight(16);
  volume_->setValue(control_->volume());
  volume_->setToolTip(QStringLiteral("Volume (+ and − keys)"));
  connect(volume_, &DbSlider::valueChanged, this,
          [this](int decibels) { control_->setVolume(decibels); });
  addRow(QStringLiteral("Volume:"), volume_);

  strip_ = new view::ui::WaveStripWidget(this);
  strip_->setMinimumHeight(56);
  connect(strip_, &view::ui::WaveStripWidget::tapped, this,
          [this](qint64 frame) { control_->setPosition(int32_t(frame)); });
  main->addWidget(strip_, 1);

  bar_ = new QScrollBar(Qt::Horizontal, this);
  bar_->setRange(0, 100);
  bar_->setSingleStep(1);
  bar_->setPageStep(5);
  connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) { barAction(action); });
  main->addWidget(bar_);

  auto* positionRow = new QHBoxLayout;
  positionRow->addWidget(new QLabel(QStringLiteral("Position:"), this));
  positionText_ = new QLabel(this);
  positionText_->setMinimumWidth(90);
  positionRow->addWidget(positionText_);
  positionRow->addStretch(1);
  main->addLayout(positionRow);

  buttonRow_ = new QHBoxLayout;
  buttonRow_->setSpacing(2);
  addButton(Button::Start, "Start (Home)");
  addButton(Button::Rewind, "Rewind (hold Left)");
  addButton(Button::Play, "Play (F9)");
  addButton(Button::Pause, "Pause (F10, Space)");
  addButton(Button::Stop, "Stop");
  addButton(Button::Forward, "Forward (hold Right)");
  addButton(Button::End, "End (End)");
  for (Button b : {Button::Play, Button::Pause, Button::Stop})
    button(b)->setCheckable(true);
  connect(button(Button::Start), &QToolButton::clicked, this, [this] { control_->toStart(); });
  connect(button(Button::Play), &QToolButton::clicked, this, [this] {
    control_->play();
    refreshButtons();
  });
  connect(button(Button::Pause), &QToolButton::clicked, this, [this] {
    control_->pause();
    refreshButtons();
  });
  connect(button(Button::Stop), &QToolButton::clicked, this, [this] {
    control_->stop();
    refreshButtons();
  });
  connect(button(Button::End), &QToolButton::clicked, this, [this] { control_->toEnd(); });
  connect(button(Button::Rewind), &QToolButton::pressed, this,
          [this] { control_->beginScan(false); });
  connect(button(Button::Forward), &QToolButton::pressed, this,
          [this] { control_->beginScan(true); });
  for (Button b : {Button::Rewind, Button::Forward}) {
    connect(button(b), &QToolButton::released, this, [this] { control_->endScan(); });
  }
  buttonRow_->addStretch(1);

  menu_ = new QMenu(this);
  connect(menu_->addAction(QStringLiteral("Play\tF9")), &QAction::triggered, this,
          [this] { control_->play(); });
  connect(menu_->addAction(QStringLiteral("Pause\tF10")), &QAction::triggered, this,
          [this] { control_->pause(); });
  connect(menu_->addAction(QStringLiteral("Stop")), &QAction::triggered, this,
          [this] { control_->stop(); });
  connect(menu_->addAction(QStringLiteral("Start\tHome")), &QAction::triggered, this,
          [this] { control_->toStart(); });
  connect(menu_->addAction(QStringLiteral("End\tEnd")), &QAction::triggered, this,
          [this] { control_->toEnd(); });
  menu_->addSeparator();
  stepBack_ = menu_->addAction(QStringLiteral("Step Back\tCtrl+Left"));
  connect(stepBack_, &QAction::triggered, this,
          [this] { control_->stepPercent(-PlayControl::kStepPercent); });
  stepForward_ = menu_->addAction(QStringLiteral("Step Forward\tCtrl+Right"));
  connect(stepForward_, &QAction::triggered, this,
          [this] { control_->stepPercent(PlayControl::kStepPercent); });
  menuButton_ = new QToolButton(this);
  menuButton_->setText(QStringLiteral("Menu"));
  menuButton_->setMenu(menu_);
  menuButton_->setPopupMode(QToolButton::InstantPopup);
  menuButton_->setFocusPolicy(Qt::NoFocus);
  buttonRow_->addWidget(menuButton_);
  main->addLayout(buttonRow_);

  dialogButtons_ = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(dialogButtons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(dialogButtons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  main->addWidget(dialogButtons_);
  setMinimumWidth(400);

  audioChanged();
  refreshButtons();
}

QString PlayControlDialog::fileName() const {
  return fileName_->text();
}

// The position bar: a line or page step moves 2 s, the thumb a percentage, the ends the ends.
void PlayControlDialog::barAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
      control_->barStep(-1);
      break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
      control_->barStep(+1);
      break;
    case QAbstractSlider::SliderToMinimum:
      control_->setPosition(0);
      break;
    case QAbstractSlider::SliderToMaximum:
      control_->setPosition(control_->length());
      break;
    case QAbstractSlider::SliderMove:
      control_->setPercent(bar_->sliderPosition());
      return;  // the thumb stays where the user put it
    default:
      return;
  }
  bar_->setSliderPosition(control_->percent());
}

void PlayControlDialog::showPosition() {
  const int32_t position = control_->position();
  positionText_->setText(QString::fromStdString(view::formatB(control_->positionMilliseconds())));
  if (!bar_->isSliderDown()) {
    const QSignalBlocker block(bar_);
    bar_->setValue(control_->percent());
  }
  const int64_t rate = std::max(control_->sampleRate(), 1);
  view::WaveStripModel& strip = strip_->model();
  strip.setTotalLength(control_->audio().length());
  strip.setViewStart(std::max<int64_t>(position - rate, 0));
  strip.setSelection(position, control_->isPaused() ? rate * 25 / 1000 : 0);
}

void PlayControlDialog::refreshButtons() {
  const bool playing = control_->isPlaying() && !control_->scanning();
  button(Button::Play)->setChecked(playing && !control_->isPaused());
  button(Button::Pause)->setChecked(playing && control_->isPaused());
  button(Button::Stop)->setChecked(!control_->isPlaying() && !control_->scanning());
}

void PlayControlDialog::positionChanged() {
  showPosition();
}

void PlayControlDialog::levelsChanged(const LevelRecord& levels) {
  meter_->setLevels(levels);
}

void PlayControlDialog::stateChanged() {
  refreshButtons();
  showPosition();
}

void PlayControlDialog::audioChanged() {
  const Clip& audio = control_->audio();
  strip_->model().setVisibleLength(int64_t{2} * std::max(audio.sampleRate, 1));
  strip_->model().setSource(makeRef<ClipReader>(audio), audio.length());
  showPosition();
}

// Keys.

bool PlayControlDialog::filenameHasFocus() const {
  return fileName_->hasFocus();
}

bool PlayControlDialog::transportKey(QKeyEvent* event, bool press) {
  const int key = event->key();
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool once = press && !event->isAutoRepeat();
  switch (key) {
    case Qt::Key_F9:
      if (once) control_->play();
      return true;
    case Qt::Key_F10:
      if (once) control_->pause();
      return true;
    case Qt::Key_Space:
    case Qt::Key_Home:
    case Qt::Key_End:
      if (filenameHasFocus() || modifiers != Qt::NoModifier) return false;
      if (once) {
        if (key == Qt::Key_Space) control_->pauseOrResume();
        if (key == Qt::Key_Home) control_->toStart();
        if (key == Qt::Key_End) control_->toEnd();
      }
      return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (filenameHasFocus()) return false;
      if (modifiers == Qt::ControlModifier) {
        if (press) {
          control_->stepPercent(key == Qt::Key_Right ? PlayControl::kStepPercent
                                                     : -PlayControl::kStepPercent);
        }
        return true;
      }
      if (modifiers != Qt::NoModifier) return false;
      if (event->isAutoRepeat()) return true;  // held: the scan goes on
      if (press) {
        control_->beginScan(key == Qt::Key_Right);
      } else {
        control_->endScan();
      }
      return true;
    default:
      return false;
  }
}

bool PlayControlDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
    if (transportKey(static_cast<QKeyEvent*>(event), event->type() == QEvent::KeyPress)) {
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void PlayControlDialog::keyPressEvent(QKeyEvent* event) {
  if (!transportKey(event, true)) QDialog::keyPressEvent(event);
}

void PlayControlDialog::keyReleaseEvent(QKeyEvent* event) {
  if (!transportKey(event, false)) QDialog::keyReleaseEvent(event);
}

void PlayControlDialog::showEvent(QShowEvent* event) {
  if (!filtersInstalled_) {
    filtersInstalled_ = true;
    for (QWidget* child : findChildren<QWidget*>())
      child->installEventFilter(this);
    bar_->setFocus();
  }
  QDialog::showEvent(event);
}

void PlayControlDialog::contextMenuEvent(QContextMenuEvent* event) {
  menu_->exec(event->globalPos());
}

void PlayControlDialog::done(int result) {
  control_->stop();
  control_->storeSettings();
  QDialog::done(result);
}

// The entry point.

std::string renamedPath(const std::string& path, const std::string& fileName) {
  const std::string folder = platform::parentFolder(path);
  return folder.empty() ? fileName : platform::joinPath(folder, fileName);
}

void showPlayControl(QWidget* owner, DocumentView& view, AudioDevices& devices) {
  WaveDocument* document = view.document();
  if (!document) return;
  view.stopPlayback();
  const int32_t start = std::clamp(document->cursor, 0, document->audio.length());
  PlayControlDialog dialog(document->audio, start,
                           QString::fromStdString(platform::fileNameOf(document->path)),
                           view.interaction(), devices, owner);
  dialog.exec();
  const std::string name = dialog.fileName().trimmed().toStdString();
  if (dialog.fileNameEdited() && !name.empty() && name != platform::fileNameOf(document->path)) {
    document->path = renamedPath(document->path, name);
    view.refreshAll();
  }
}

}  // namespace quillon::audio_io::ui
