#pragma once

#include <QWidget>
#include <functional>

#include "audio_io/player.h"

class QToolButton;

namespace quillon::audio_io::ui {

class DbSlider;
class LevelMeter;

// The main window's transport strip (20 pixels high): the buttons Go To Start, Play, Stop, Go To
// End and Loop Play (18 × 18 at x = 1, 20, 39, 58, 77), the volume slider (x = 96, 8 high) and
// the level meter below it (y = 9, 8 high), both to the right edge. The buttons hand their
// command ids (2033, 2031, 2032, 2034, 2039) to the command handler; the slider sets the main
// player's volume; the meter and the slider follow the player's Levels and Volume news. The
// player must outlive the strip.
class TransportStrip : public QWidget, private PlayerListener {
  Q_OBJECT

 public:
  static constexpr int kGoToStart = 2033;
  static constexpr int kPlay = 2031;
  static constexpr int kStop = 2032;
  static constexpr int kGoToEnd = 2034;
  static constexpr int kLoopPlay = 2039;
  static constexpr int kHeight = 20;

  explicit TransportStrip(Player& player, QWidget* parent = nullptr);
  ~TransportStrip() override;

  void setCommandHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }
  // Checks Loop Play from "PlayRepeat" (the window calls it after Loop Play, as for the menu).
  void showLoopPlay();

  QToolButton* button(int command) const;
  DbSlider* volumeSlider() const { return volume_; }
  LevelMeter* levelMeter() const { return meter_; }

  QSize sizeHint() const override { return {400, kHeight}; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void run(int command);
  void playerStopped(intptr_t user) override;
  void playerLevels(intptr_t user, const LevelRecord& levels) override;
  void playerVolume(intptr_t user, int decibels) override;

  Player& player_;
  std::function<void(int)> handler_;
  QToolButton* buttons_[5] = {};
  DbSlider* volume_;
  LevelMeter* meter_;
};

}  // namespace quillon::audio_io::ui
