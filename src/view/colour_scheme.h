#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon::view {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// What each stroke and fill of the wave view is drawn with; the painter maps a role to a pen or
// brush of the active colour scheme.
enum class PaintRole : uint8_t {
  SelectionBrush,
  WavePen,
  SelectedWavePen,
  PencilPen,
  CentrePen,
  RangeBoxPen,
  CursorPen,
  CursorBrush,
  DropMarkerPen,
  DropMarkerBrush,
  BookmarkLinePen,
  BookmarkBrush,
  BookmarkOutlinePen,
  BookmarkText,
  FramePen,
  Count
};

// The two colour schemes of the wave view: standard and "classic" (the setting "UseClassic").
struct ColourScheme {
  Rgb colours[size_t(PaintRole::Count)];
  Rgb operator[](PaintRole role) const { return colours[size_t(role)]; }
};
const ColourScheme& colourScheme(bool classic);

// The standard background: a vertical gradient from this colour at the top to the system's
// button face colour at the bottom. The classic scheme paints on black: its green, yellow and
// white strokes are made for a dark ground, as in the dialog wave strip.
inline constexpr Rgb kBackgroundTop{250, 250, 250};
inline constexpr Rgb kClassicBackground{0, 0, 0};
// The button face colour where no system gives one (the command line's pictures).
inline constexpr Rgb kButtonFace{240, 240, 240};
// The pencil pen is two pixels wide; every other pen one.
inline constexpr int kPencilPenWidth = 2;

}  // namespace quillon::view
