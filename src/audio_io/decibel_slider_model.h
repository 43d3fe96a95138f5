#pragma once

#include <cstdint>
#include <vector>

namespace quillon {

// A rectangle of a control in pixels: [left, right) × [top, bottom).
struct ControlBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  friend bool operator==(const ControlBox&, const ControlBox&) = default;
};

// 0xRRGGBB.
using ControlColour = uint32_t;

// A rectangle filled with one colour and outlined with another (the outline is its outermost
// ring of pixels).
struct FilledBox {
  ControlBox box;
  ControlColour fill = 0;
  ControlColour outline = 0;
  friend bool operator==(const FilledBox&, const FilledBox&) = default;
};

// The decibel slider without a window: its value in [minimum, maximum], the steps of its keys,
// the value a tap at x stands for and what it draws. Geometry is in the pixels of the client
// rectangle one pixel inside the border.
class DecibelSliderModel {
 public:
  static constexpr int kThumbWidth = 13;
  static constexpr ControlColour kLowFill = 0x99CC66, kLowOutline = 0x669933;
  static constexpr ControlColour kHighFill = 0xC00055, kHighOutline = 0x870A16;
  static constexpr ControlColour kRestFill = 0xA7AEA6, kRestOutline = 0x717B6F;
  static constexpr ControlColour kThumbHot = 0xCCCCCC, kThumbCold = 0xE6E6E6;
  static constexpr ControlColour kThumbEdge = 0x4B5154;
  static constexpr ControlColour kGripLight = 0xFFFFFF, kGripDark = 0x888F93;
  static constexpr ControlColour kDisabled = 0x808080;

  DecibelSliderModel(int minimum, int maximum, int value = 0);

  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int value() const { return value_; }
  // Sets the range and keeps the value within it.
  void setRange(int minimum, int maximum);
  // Keeps the value within the range; answers whether it changed.
  bool setValue(int decibels);
  // The + and − keys: one decibel up or down, never past the ends.
  bool step(int delta) { return setValue(value_ + delta); }

  // The value a tap or drag at x (pixels from the client rectangle's left edge) sets:
  // minimum + (maximum − minimum) × x / width, kept within the range.
  int valueAt(int x, int width) const;
  // x(v) = left + (v − minimum) × width / (maximum − minimum).
  int xOf(int decibels, const ControlBox& client) const;

  struct Drawing {
    std::vector<FilledBox> parts;  // left to right: up to 0 dB, above 0 dB, the rest
    FilledBox thumb;
    int gripLightX = 0, gripDarkX = 0;  // the two grip lines, from gripTop to gripBottom
    int gripTop = 0, gripBottom = 0;    // [gripTop, gripBottom)
    ControlColour gripLight = kGripLight, gripDark = kGripDark;
  };
  // `hot`: the pointer is over the thumb or the control has the focus.
  Drawing draw(const ControlBox& client, bool hot, bool enabled) const;
  // Where the thumb lies: 13 pixels centred on x(value), kept inside the client rectangle.
  ControlBox thumbBox(const ControlBox& client) const;

 private:
  int minimum_;
  int maximum_;
  int value_;
};

}  // namespace quillon
