#pragma once

#include "audio_io/record_control.h"
#include "audio_io/ui/play_control_dialog.h"

class QPushButton;

namespace quillon::audio_io::ui {

// The "Record Control" dialog: Play Control over a new recording (the document's rate and
// channels), plus the input device and its input, the record volume (−36 … +12 dB), Record (F8:
// from the position) and its retake (F6: from the start), "Advanced Record Options" (the
// "Advanced Settings" form) and a status line with the recorder's state and dropouts. Record
// shows pressed while recording, Stop while nothing plays or records. With "Autostart" on,
// recording starts as the dialog opens. OK keeps the recording, Cancel discards it; closing
// stores "RecordDevice", "RecordDeviceChannel" and "RecordVolume".
class RecordControlDialog : public PlayControlDialog {
  Q_OBJECT

 public:
  RecordControlDialog(int32_t sampleRate, int channels, const QString& fileName,
                      Interaction& interaction, AudioDevices& devices, QWidget* parent = nullptr);

  RecordControl& control() { return static_cast<RecordControl&>(*control_); }

  QComboBox* inputDevices() const { return inputs_; }
  QComboBox* inputChannels() const { return channels_; }
  DbSlider* recordVolume() const { return recordVolume_; }
  QToolButton* recordButton() const { return record_; }
  QPushButton* advancedButton() const { return advanced_; }
  QLabel* statusText() const { return status_; }

 protected:
  bool transportKey(QKeyEvent* event, bool press) override;
  void refreshButtons() override;
  void showEvent(QShowEvent* event) override;
  void positionChanged() override;

 private:
  void build();
  void fillChannels();
  void showStatus();

  QComboBox* inputs_ = nullptr;
  QComboBox* channels_ = nullptr;
  DbSlider* recordVolume_ = nullptr;
  QToolButton* record_ = nullptr;
  QPushButton* advanced_ = nullptr;
  QLabel* status_ = nullptr;
  bool opened_ = false;
};

enum class RecordResult {
  Recorded,         // the recording is in the document
  Cancelled,        // the dialog was cancelled: the document is as it was
  NothingRecorded,  // OK without a recording: the document is as it was
  NoDocument,
};

// The main window's Record: the Record Control dialog on a new recording in the document's
// format; OK puts the recording in place of the selection (an insert at the selection start
// without one) as the undoable action "Record", selects it and puts the cursor at its start.
RecordResult recordIntoDocument(QWidget* owner, DocumentView& view, AudioDevices& devices);

}  // namespace quillon::audio_io::ui
