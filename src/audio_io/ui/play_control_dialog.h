#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "audio_io/audio_device.h"
#include "audio_io/play_control.h"
#include "document/document_view.h"
#include "view/ui/qt_notice_poster.h"

class QAction;
class QComboBox;
class QDialogButtonBox;
class QGridLayout;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;
class QToolButton;

namespace quillon::view::ui {
class WaveStripWidget;
}

namespace quillon::audio_io::ui {

class DbSlider;
class LevelMeter;

// The "Play Control" dialog: the file name, the level meter, the output device and volume, the
// wave strip around the position, the position bar and text, and the buttons Start, Rewind,
// Play, Pause, Stop, Forward and End with their keys: F9 Play, F10 Pause, Space (resume or
// pause), Home, End, Left and Right held to scan; the menu (its button or the context menu)
// adds Step Back and Step Forward (Ctrl+Left, Ctrl+Right). Enter closes it with OK, Esc closes
// it. Closing stores "Player"/"Device" and "Player"/"VolumeDB".
class PlayControlDialog : public QDialog, protected PlayControlListener {
  Q_OBJECT

 public:
  enum class Button { Start, Rewind, Play, Pause, Stop, Forward, End };

  // Plays `audio` from `position`; the output devices are listed now.
  PlayControlDialog(const Clip& audio, int32_t position, const QString& fileName,
                    Interaction& interaction, AudioDevices& devices, QWidget* parent = nullptr);
  ~PlayControlDialog() override;

  PlayControl& control() { return *control_; }
  QString fileName() const;
  // The user edited the file name.
  bool fileNameEdited() const { return fileNameEdited_; }

  QLineEdit* fileNameEdit() const { return fileName_; }
  LevelMeter* levelMeter() const { return meter_; }
  QComboBox* outputDevices() const { return outputs_; }
  DbSlider* volumeSlider() const { return volume_; }
  view::ui::WaveStripWidget* waveStrip() const { return strip_; }
  QScrollBar* positionBar() const { return bar_; }
  QLabel* positionText() const { return positionText_; }
  QToolButton* button(Button which) const { return buttons_[static_cast<int>(which)]; }
  QAction* stepBackAction() const { return stepBack_; }
  QAction* stepForwardAction() const { return stepForward_; }
  QMenu* menu() const { return menu_; }

 protected:
  using MakeControl = std::function<std::unique_ptr<PlayControl>(NoticePoster&)>;
  // For Record Control: the dialog over the control `make` builds on the dialog's poster.
  PlayControlDialog(const MakeControl& make, const QString& fileName, const QString& title,
                    QWidget* parent);

  // The layout's rows, for Record Control to add its own: the grid of labelled controls, the
  // button row and the dialog's buttons.
  QGridLayout* grid() const { return grid_; }
  QHBoxLayout* buttonRow() const { return buttonRow_; }
  QDialogButtonBox* dialogButtons() const { return dialogButtons_; }
  void addRow(const QString& label, QWidget* field);

  // Handles a transport key (press or release); false when it is not one.
  virtual bool transportKey(QKeyEvent* event, bool press);
  // Pressed states and enabled states of the buttons.
  virtual void refreshButtons();

  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void done(int result) override;

  void positionChanged() override;
  void levelsChanged(const LevelRecord& levels) override;
  void stateChanged() override;
  void audioChanged() override;

  view::ui::QtNoticePoster poster_;
  std::unique_ptr<PlayControl> control_;

 private:
  void build(const QString& fileName);
  void addButton(Button which, const char* tip);
  void showPosition();
  void barAction(int action);
  bool filenameHasFocus() const;

  QGridLayout* grid_ = nullptr;
  QHBoxLayout* buttonRow_ = nullptr;
  QDialogButtonBox* dialogButtons_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  LevelMeter* meter_ = nullptr;
  QComboBox* outputs_ = nullptr;
  DbSlider* volume_ = nullptr;
  view::ui::WaveStripWidget* strip_ = nullptr;
  QScrollBar* bar_ = nullptr;
  QLabel* positionText_ = nullptr;
  QToolButton* buttons_[7] = {};
  QToolButton* menuButton_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* stepBack_ = nullptr;
  QAction* stepForward_ = nullptr;
  bool fileNameEdited_ = false;
  bool filtersInstalled_ = false;
};

// Play Control over the view's document, from its cursor: the main window's playback stops
// first, an edited file name becomes the document's name.
void showPlayControl(QWidget* owner, DocumentView& view, AudioDevices& devices);

// The document's name with its file name replaced (its folder stays).
std::string renamedPath(const std::string& path, const std::string& fileName);

}  // namespace quillon::audio_io::ui
