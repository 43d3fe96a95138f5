#include "audio_io/ui/preferences_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "audio_io/audio_messages.h"
#include "audio_io/audio_settings.h"
#include "audio_io/test_sound.h"
#include "audio_io/ui/db_slider.h"
#include "audio_io/ui/level_meter.h"
#include "audio_io/ui/transport_icons.h"

namespace quillon::audio_io::ui {
namespace {

int indexOf(const std::vector<std::string>& names, const std::string& name) {
  if (name.empty()) return 0;
  const auto found =
      std::find(names.begin() + std::min<size_t>(1, names.size()), names.end(), name);
  return found == names.end() ? 0 : int(found - names.begin());
}

}  // namespace

PreferencesDialog::PreferencesDialog(Interaction& interaction, Player* mainPlayer,
                                     AudioDevices& devices, QWidget* parent)
    : QDialog(parent),
      interaction_(interaction),
      mainPlayer_(mainPlayer),
      storedDevice_(settings::kSoundDevice.read()),
      storedVolume_(settings::kPlayVolume.read()) {
  // The test sound's player keeps the main player's values; until OK they are put back.
  testPlayer_ = std::make_unique<Player>(poster_, devices);
  monitor_ = std::make_unique<InputMonitor>(poster_, devices);
  setWindowTitle(QStringLiteral("Preferences"));
  auto* main = new QVBoxLayout(this);
  pages_ = new QTabWidget(this);
  pages_->addTab(buildOutputPage(), QStringLiteral("Sound Output && Volume"));
  pages_->addTab(buildInputPage(), QStringLiteral("Microphone && Record Volume"));
  main->addWidget(pages_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  main->addWidget(buttons);
  connect(pages_, &QTabWidget::currentChanged, this, [this](int) { listen(); });
  monitor_->setLevelsListener([this](const LevelRecord& levels) { meter_->setLevels(levels); });
  setMinimumWidth(420);
}

PreferencesDialog::~PreferencesDialog() {
  monitor_.reset();
  if (testPlayer_) {
    testPlayer_.reset();
    settings::kSoundDevice.write(storedDevice_);
    settings::kPlayVolume.write(storedVolume_);
  }
}

QWidget* PreferencesDialog::buildOutputPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  playDevices_ = new QComboBox(page);
  const std::vector<std::string> names = testPlayer_->deviceNames();
  for (const std::string& name : names)
    playDevices_->addItem(QString::fromStdString(name));
  playDevices_->setCurrentIndex(mainPlayer_ ? mainPlayer_->device().number
                                            : indexOf(names, storedDevice_));
  form->addRow(QStringLiteral("Play device:"), playDevices_);
  playVolume_ = new DbSlider(-36, 10, page);
  playVolume_->setFixedHeight(16);
  playVolume_->setValue(mainPlayer_ ? mainPlayer_->volume() : storedVolume_);
  playVolume_->setToolTip(QStringLiteral("Play volume (+ and − keys)"));
  connect(playVolume_, &DbSlider::valueChanged, this,
          [this](int decibels) { testPlayer_->setVolume(decibels); });
  form->addRow(QStringLiteral("Play volume:"), playVolume_);
  auto* announcement = new QLabel(
      QStringLiteral("Play the test sound to check the device and the volume: a rising chime of "
                     "four tones should sound from the chosen device."),
      page);
  announcement->setWordWrap(true);
  form->addRow(announcement);
  testSound_ =
      new QPushButton(transportIcon(TransportIcon::Play), QStringLiteral("Play Test Sound"), page);
  testSound_->setAutoDefault(false);
  connect(testSound_, &QPushButton::clicked, this, [this] { playTestSound(); });
  form->addRow(QString(), testSound_);
  return page;
}

QWidget* PreferencesDialog::buildInputPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  recordDevices_ = new QComboBox(page);
  inputNames_ = monitor_->recorder().deviceNames();
  for (const std::string& name : inputNames_)
    recordDevices_->addItem(QString::fromStdString(name));
  recordDevices_->setCurrentIndex(indexOf(inputNames_, settings::kRecordDevice.read()));
  form->addRow(QStringLiteral("Record device:"), recordDevices_);
  channels_ = new QComboBox(page);
  fillChannels();
  channels_->setCurrentIndex(
      std::clamp(settings::kRecordDeviceChannel.read(), 0, std::max(channels_->count() - 1, 0)));
  form->addRow(QStringLiteral("Input channel:"), channels_);
  connect(recordDevices_, &QComboBox::currentIndexChanged, this, [this](int) {
    fillChannels();
    listen();
  });
  recordVolume_ = new DbSlider(-36, 12, page);
  recordVolume_->setFixedHeight(16);
  recordVolume_->setValue(std::clamp(settings::kRecordVolume.read(), -36, 12));
  recordVolume_->setToolTip(QStringLiteral("Record level (+ and − keys)"));
  connect(recordVolume_, &DbSlider::valueChanged, this,
          [this](int decibels) { monitor_->setVolume(decibels); });
  form->addRow(QStringLiteral("Record level:"), recordVolume_);

  auto* meterBox = new QWidget(page);
  auto* meterLayout = new QVBoxLayout(meterBox);
  meterLayout->setContentsMargins(0, 0, 0, 0);
  meterLayout->setSpacing(1);
  meter_ = new LevelMeter(meterBox);
  meter_->setFixedHeight(12);
  LevelRecord silent{InputMonitor::kChannels, {}};
  silent.decibels.fill(int8_t(kSilentLevel));
  meter_->setLevels(silent);
  meterLayout->addWidget(meter_);
  auto* captions = new QHBoxLayout;
  const auto caption = [&](const char* text, Qt::Alignment alignment) {
    auto* label = new QLabel(QString::fromLatin1(text), meterBox);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    captions->addWidget(label, 1);
  };
  caption("|- low", Qt::AlignLeft);
  caption("-|-   good   -|-", Qt::AlignHCenter);
  caption("high -|", Qt::AlignRight);
  meterLayout->addLayout(captions);
  form->addRow(QStringLiteral("Input level:"), meterBox);
  return page;
}

void PreferencesDialog::fillChannels() {
  const QSignalBlocker block(channels_);
  channels_->clear();
  const int device = recordDevices_->currentIndex();
  if (device >= 0 && size_t(device) < inputNames_.size()) {
    channels_->addItem(QString::fromStdString(inputNames_[size_t(device)]));
  }
  channels_->setCurrentIndex(0);
}

void PreferencesDialog::playTestSound() {
  const int device = playDevices_->currentIndex();
  testPlayer_->setDevice({device, playDevices_->itemText(device).toStdString()});
  testPlayer_->setVolume(playVolume_->value());
  if (!testPlayer_->start(makeRef<TestSoundSource>())) {
    interaction_.messageBox(messages::kSoundDeviceErrorCaption, messages::kSoundDeviceError,
                            MessageIcon::Error, MessageButtons::Ok);
  }
}

void PreferencesDialog::listen() {
  if (pages_->currentIndex() == kMicrophone && isVisible()) {
    monitor_->start(recordDevices_->currentIndex(), recordVolume_->value());
  } else {
    monitor_->stop();
  }
}

void PreferencesDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  listen();
}

void PreferencesDialog::done(int result) {
  monitor_->stop();
  testPlayer_.reset();
  const bool ok = result == QDialog::Accepted;
  const int device = playDevices_->currentIndex();
  const std::string deviceName =
      device > 0 ? playDevices_->itemText(device).toStdString() : std::string();
  settings::kSoundDevice.write(ok ? deviceName : storedDevice_);
  settings::kPlayVolume.write(ok ? playVolume_->value() : storedVolume_);
  if (ok) {
    if (mainPlayer_) {
      mainPlayer_->setDevice({device, playDevices_->itemText(device).toStdString()});
      mainPlayer_->setVolume(playVolume_->value());
    }
    const int input = recordDevices_->currentIndex();
    settings::kRecordDevice.write(input > 0 ? recordDevices_->itemText(input).toStdString()
                                            : std::string());
    settings::kRecordDeviceChannel.write(std::max(channels_->currentIndex(), 0));
    settings::kRecordVolume.write(recordVolume_->value());
  }
  QDialog::done(result);
}

bool showPreferences(QWidget* owner, Interaction& interaction, Player* mainPlayer,
                     AudioDevices& devices, int page) {
  PreferencesDialog dialog(interaction, mainPlayer, devices, owner);
  dialog.pages()->setCurrentIndex(page);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace quillon::audio_io::ui
