#pragma once

#include <cstdint>
#include <vector>

#include "view/colour_scheme.h"

namespace quillon::view {

// A rectangle in view pixels; right and bottom are exclusive.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct PixelPoint {
  int x = 0, y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// One drawing call of the wave view. Its points are plan.points[first, first + count).
struct PaintOp {
  enum class Kind : uint8_t {
    Background,  // the gradient over the rectangle points[0]..points[1] (exclusive corner)
    FillRect,    // `role` fills the rectangle points[0]..points[1] (exclusive corner)
    Polyline,    // `role` pen through the points; every point is drawn
    Line,        // `role` pen from points[0] to points[1], both ends drawn
    Polygon,     // filled with `role` and outlined with `outline`
    Number,      // `number` in the bookmark font, its top left corner at points[0]
  };
  Kind kind;
  PaintRole role;
  PaintRole outline = PaintRole::Count;
  uint32_t first = 0;
  uint32_t count = 0;
  int32_t number = 0;
};

// Everything the wave view paints for an update rectangle, in painting order. A painter turns
// it into calls of its drawing system; the plan is worked out without one, so its geometry is
// tested apart from any window.
struct WavePaintPlan {
  int width = 0, height = 0;
  bool classic = false;
  int bookmarkFontPixels = 12;
  std::vector<PaintOp> ops;
  std::vector<PixelPoint> points;

  void clear() {
    ops.clear();
    points.clear();
  }
  void add(PaintOp::Kind kind, PaintRole role, std::initializer_list<PixelPoint> at,
           PaintRole outline = PaintRole::Count, int32_t number = 0) {
    ops.push_back({kind, role, outline, uint32_t(points.size()), uint32_t(at.size()), number});
    points.insert(points.end(), at);
  }
};

}  // namespace quillon::view
