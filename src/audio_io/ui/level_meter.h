#pragma once

#include <QBrush>
#include <QWidget>

#include "audio_io/level_meter_model.h"

namespace quillon::audio_io::ui {

// The level meter: one bar per channel, green up to the level (at most 0 dB), red from 0 dB up
// to a level above it, black beyond, over −36 … +12 dB; a black line closes the bottom. Only the
// bars whose level changed are repainted. Grey when disabled.
class LevelMeter : public QWidget {
  Q_OBJECT

 public:
  explicit LevelMeter(QWidget* parent = nullptr);

  void setLevels(const LevelRecord& levels);
  // All bars empty (the channel count stays).
  void clearLevels();
  const LevelMeterModel& model() const { return model_; }

  QSize sizeHint() const override { return {160, 12}; }
  QSize minimumSizeHint() const override { return {40, 4}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  LevelMeterModel model_;
  QBrush green_;
  QBrush red_;
};

}  // namespace quillon::audio_io::ui
