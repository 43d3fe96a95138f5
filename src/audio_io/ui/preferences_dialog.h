#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "audio_io/audio_device.h"
#include "audio_io/input_monitor.h"
#include "audio_io/player.h"
#include "platform/interaction.h"
#include "view/ui/qt_notice_poster.h"

class QComboBox;
class QPushButton;
class QTabWidget;

namespace quillon::audio_io::ui {

class DbSlider;
class LevelMeter;

// The preferences: the page "Sound Output & Volume" (the main player's device "SoundDevice" and
// volume "PlayVolume", and a test sound: a chime the program makes, played on the chosen device
// at the chosen volume) and the page "Microphone & Record Volume" (the input device
// "RecordDevice", its input "RecordDeviceChannel", the record volume "RecordVolume" and a level
// meter that listens to the input while the page is shown). OK stores them and hands device and
// volume to the main player; Cancel leaves everything as it was.
class PreferencesDialog : public QDialog {
  Q_OBJECT

 public:
  enum Page { kSoundOutput = 0, kMicrophone = 1 };

  // `mainPlayer` may be null (no player made yet: the stored values are enough).
  PreferencesDialog(Interaction& interaction, Player* mainPlayer, AudioDevices& devices,
                    QWidget* parent = nullptr);
  ~PreferencesDialog() override;

  QTabWidget* pages() const { return pages_; }
  QComboBox* playDevices() const { return playDevices_; }
  DbSlider* playVolume() const { return playVolume_; }
  QPushButton* testSoundButton() const { return testSound_; }
  QComboBox* recordDevices() const { return recordDevices_; }
  QComboBox* inputChannels() const { return channels_; }
  DbSlider* recordVolume() const { return recordVolume_; }
  LevelMeter* recordMeter() const { return meter_; }
  Player& testPlayer() { return *testPlayer_; }
  InputMonitor& monitor() { return *monitor_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  QWidget* buildOutputPage();
  QWidget* buildInputPage();
  void playTestSound();
  void pageShown(int page);
  void listen();
  void fillChannels();

  Interaction& interaction_;
  Player* mainPlayer_;
  view::ui::QtNoticePoster poster_;
  std::unique_ptr<Player> testPlayer_;
  std::unique_ptr<InputMonitor> monitor_;
  std::string storedDevice_;
  int storedVolume_ = 0;
  std::vector<std::string> inputNames_;

  QTabWidget* pages_ = nullptr;
  QComboBox* playDevices_ = nullptr;
  DbSlider* playVolume_ = nullptr;
  QPushButton* testSound_ = nullptr;
  QComboBox* recordDevices_ = nullptr;
  QComboBox* channels_ = nullptr;
  DbSlider* recordVolume_ = nullptr;
  LevelMeter* meter_ = nullptr;
};

// Shows the preferences at `page`; true when they were accepted.
bool showPreferences(QWidget* owner, Interaction& interaction, Player* mainPlayer,
                     AudioDevices& devices, int page = PreferencesDialog::kSoundOutput);

}  // namespace quillon::audio_io::ui
