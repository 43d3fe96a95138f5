#pragma once

#include <QWidget>

#include "audio_io/decibel_slider_model.h"

namespace quillon::audio_io::ui {

// The decibel slider: a bar that is green up to 0 dB (or up to the value below it), red from
// 0 dB up to a value above it, grey beyond, with a thumb at the value. + and − (also on the
// keypad) step one decibel; a tap or a drag sets the value from x. Grey when disabled.
class DbSlider : public QWidget {
  Q_OBJECT

 public:
  DbSlider(int minimum, int maximum, QWidget* parent = nullptr);

  int value() const { return model_.value(); }
  int minimum() const { return model_.minimum(); }
  int maximum() const { return model_.maximum(); }
  // Sets the value without telling (as the engine's own news does).
  void setValue(int decibels);
  void setRange(int minimum, int maximum);
  const DecibelSliderModel& model() const { return model_; }
  // The client rectangle one pixel inside the border.
  ControlBox clientBox() const;

  QSize sizeHint() const override { return {160, 16}; }
  QSize minimumSizeHint() const override { return {40, 8}; }

 Q_SIGNALS:
  // The user changed the value (keys, tap or drag).
  void valueChanged(int decibels);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void setFromX(int x);
  void change(bool changed);
  bool overThumb(int x, int y) const;

  DecibelSliderModel model_;
  bool dragging_ = false;
  bool hover_ = false;
};

}  // namespace quillon::audio_io::ui
