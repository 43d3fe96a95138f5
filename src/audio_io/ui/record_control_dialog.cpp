#include "audio_io/ui/record_control_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "audio_io/ui/db_slider.h"
#include "audio_io/ui/transport_icons.h"
#include "document/edit_commands.h"
#include "document/wave_document.h"
#include "platform/paths.h"

namespace quillon::audio_io::ui {

RecordControlDialog::RecordControlDialog(int32_t sampleRate, int channels, const QString& fileName,
                                         Interaction& interaction, AudioDevices& devices,
                                         QWidget* parent)
    : PlayControlDialog(
          [&](NoticePoster& poster) {
            return std::make_unique<RecordControl>(poster, devices, interaction, sampleRate,
                                                   channels);
          },
          fileName, QStringLiteral("Record Control"), parent) {
  build();
}

void RecordControlDialog::build() {
  RecordControl& c = control();
  inputs_ = new QComboBox(this);
  for (const std::string& name : c.inputNames())
    inputs_->addItem(QString::fromStdString(name));
  inputs_->setCurrentIndex(c.inputDevice());
  addRow(QStringLiteral("Input:"), inputs_);
  channels_ = new QComboBox(this);
  fillChannels();
  addRow(QStringLiteral("Channel:"), channels_);
  connect(inputs_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    control().setInputDevice(index);
    fillChannels();
  });
  connect(channels_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) control().setChannel(index);
  });
  recordVolume_ = new DbSlider(-36, 12, this);
  recordVolume_->setFixedHeight(16);
  recordVolume_->setValue(c.recordVolume());
  recordVolume_->setToolTip(QStringLiteral("Record volume (+ and − keys)"));
  connect(recordVolume_, &DbSlider::valueChanged, this,
          [this](int decibels) { control().setRecordVolume(decibels); });
  addRow(QStringLiteral("Record volume:"), recordVolume_);

  record_ = new QToolButton(this);
  record_->setIcon(transportIcon(TransportIcon::Record));
  record_->setIconSize(QSize(16, 16));
  record_->setFixedSize(32, 26);
  record_->setCheckable(true);
  record_->setFocusPolicy(Qt::NoFocus);
  record_->setToolTip(QStringLiteral("Record (F8; from the start: F6)"));
  connect(record_, &QToolButton::clicked, this, [this] {
    control().record();
    refreshButtons();
  });
  buttonRow()->insertWidget(0, record_);

  menu()->addSeparator();
  connect(menu()->addAction(QStringLiteral("Record\tF8")), &QAction::triggered, this,
          [this] { control().record(); });
  connect(menu()->addAction(QStringLiteral("Record From Start\tF6")), &QAction::triggered, this,
          [this] { control().retake(); });
  connect(menu()->addAction(QStringLiteral("Advanced Record Options...")), &QAction::triggered,
          this, [this] { control().editAdvancedSettings(); });

  auto* statusRow = new QHBoxLayout;
  status_ = new QLabel(this);
  statusRow->addWidget(status_, 1);
  advanced_ = new QPushButton(QStringLiteral("Advanced Record Options"), this);
  advanced_->setAutoDefault(false);
  connect(advanced_, &QPushButton::clicked, this, [this] { control().editAdvancedSettings(); });
  statusRow->addWidget(advanced_);
  auto* main = static_cast<QBoxLayout*>(layout());
  main->insertLayout(main->indexOf(dialogButtons()), statusRow);
  dialogButtons()->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  refreshButtons();
}

void RecordControlDialog::fillChannels() {
  const QSignalBlocker block(channels_);
  channels_->clear();
  for (const std::string& name : control().channelNames())
    channels_->addItem(QString::fromStdString(name));
  channels_->setCurrentIndex(std::min(control().channel(), channels_->count() - 1));
}

void RecordControlDialog::showStatus() {
  const RecordControl& c = control();
  QString text;
  if (c.recorderState() == Recorder::kRecording) {
    text = QStringLiteral("Recording");
  } else if (c.recorderState() == Recorder::kWaiting) {
    text = QStringLiteral("Waiting for sound");
  } else if (!c.lastError().empty()) {
    text = QStringLiteral("Recording did not start: ") + QString::fromStdString(c.lastError());
  } else if (c.isPlaying()) {
    text = c.isPaused() ? QStringLiteral("Paused") : QStringLiteral("Playing");
  } else {
    text = QStringLiteral("Stopped");
  }
  text += QStringLiteral("   Dropouts: %1").arg(c.dropouts());
  status_->setText(text);
}

void RecordControlDialog::refreshButtons() {
  PlayControlDialog::refreshButtons();
  if (!record_) return;
  RecordControl& c = control();
  record_->setChecked(c.recorderState() == Recorder::kRecording);
  button(Button::Stop)->setChecked(!c.isPlaying() && !c.scanning() && !c.isRecording());
  showStatus();
}

void RecordControlDialog::positionChanged() {
  PlayControlDialog::positionChanged();
  if (status_) showStatus();
}

bool RecordControlDialog::transportKey(QKeyEvent* event, bool press) {
  const bool once = press && !event->isAutoRepeat();
  switch (event->key()) {
    case Qt::Key_F8:
      if (once) control().record();
      return true;
    case Qt::Key_F6:
      if (once) control().retake();
      return true;
    default:
      return PlayControlDialog::transportKey(event, press);
  }
}

void RecordControlDialog::showEvent(QShowEvent* event) {
  PlayControlDialog::showEvent(event);
  if (!opened_) {
    opened_ = true;
    control().opened();
  }
}

RecordResult recordIntoDocument(QWidget* owner, DocumentView& view, AudioDevices& devices) {
  WaveDocument* document = view.document();
  if (!document) return RecordResult::NoDocument;
  view.stopPlayback();
  RecordControlDialog dialog(document->audio.sampleRate, document->audio.channels,
                             QString::fromStdString(platform::fileNameOf(document->path)),
                             view.interaction(), devices, owner);
  if (dialog.exec() != QDialog::Accepted) return RecordResult::Cancelled;
  const std::string name = dialog.fileName().trimmed().toStdString();
  if (dialog.fileNameEdited() && !name.empty() && name != platform::fileNameOf(document->path)) {
    document->path = renamedPath(document->path, name);
  }
  const Clip recorded = dialog.control().recording();
  if (recorded.length() == 0) {
    view.refreshAll();
    return RecordResult::NothingRecorded;
  }
  acceptRecording(view, recorded);
  return RecordResult::Recorded;
}

}  // namespace quillon::audio_io::ui
