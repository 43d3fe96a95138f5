#include "view/colour_scheme.h"

namespace quillon::view {
namespace {

constexpr ColourScheme makeScheme(Rgb wave, Rgb centre, Rgb selectedWave, Rgb selection, Rgb cursor,
                                  Rgb dropPen) {
  ColourScheme s{};
  auto set = [&s](PaintRole role, Rgb colour) { s.colours[size_t(role)] = colour; };
  set(PaintRole::WavePen, wave);
  set(PaintRole::CentrePen, centre);
  set(PaintRole::SelectedWavePen, selectedWave);
  set(PaintRole::SelectionBrush, selection);
  set(PaintRole::CursorPen, cursor);
  set(PaintRole::CursorBrush, cursor);
  set(PaintRole::DropMarkerPen, dropPen);
  // The same in both schemes.
  set(PaintRole::DropMarkerBrush, {0, 0, 128});
  set(PaintRole::RangeBoxPen, {192, 215, 224});
  set(PaintRole::BookmarkLinePen, {0, 191, 255});
  set(PaintRole::BookmarkBrush, {0, 191, 255});
  set(PaintRole::BookmarkOutlinePen, {0, 0, 0});
  set(PaintRole::BookmarkText, {0, 0, 0});
  set(PaintRole::PencilPen, {255, 0, 0});
  set(PaintRole::FramePen, {210, 210, 210});
  return s;
}

constexpr ColourScheme kStandard = makeScheme({58, 81, 87}, {0, 0, 0}, {211, 226, 255},
                                              {97, 122, 164}, {255, 150, 0}, {0, 0, 128});
constexpr ColourScheme kClassic = makeScheme({102, 255, 102}, {255, 255, 17}, {255, 255, 255},
                                             {5, 95, 167}, {255, 255, 17}, {255, 255, 255});

}  // namespace

const ColourScheme& colourScheme(bool classic) {
  return classic ? kClassic : kStandard;
}

}  // namespace quillon::view
