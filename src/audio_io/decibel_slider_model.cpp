#include "audio_io/decibel_slider_model.h"

#include <algorithm>

namespace quillon {

DecibelSliderModel::DecibelSliderModel(int minimum, int maximum, int value)
    : minimum_(std::min(minimum, maximum)),
      maximum_(std::max(minimum, maximum)),
      value_(std::clamp(value, minimum_, maximum_)) {}

void DecibelSliderModel::setRange(int minimum, int maximum) {
  minimum_ = std::min(minimum, maximum);
  maximum_ = std::max(minimum, maximum);
  value_ = std::clamp(value_, minimum_, maximum_);
}

bool DecibelSliderModel::setValue(int decibels) {
  const int value = std::clamp(decibels, minimum_, maximum_);
  if (value == value_) return false;
  value_ = value;
  return true;
}

int DecibelSliderModel::valueAt(int x, int width) const {
  if (width <= 0) return minimum_;
  const int64_t v = minimum_ + int64_t{maximum_ - minimum_} * x / width;
  return int(std::clamp<int64_t>(v, minimum_, maximum_));
}

int DecibelSliderModel::xOf(int decibels, const ControlBox& client) const {
  if (maximum_ == minimum_) return client.left;
  return client.left + int(int64_t{decibels - minimum_} * client.width() / (maximum_ - minimum_));
}

ControlBox DecibelSliderModel::thumbBox(const ControlBox& client) const {
  int left = xOf(value_, client) - kThumbWidth / 2;
  left = std::max(std::min(left, client.right - kThumbWidth), client.left);
  return {left, client.top, std::min(left + kThumbWidth, client.right), client.bottom};
}

DecibelSliderModel::Drawing DecibelSliderModel::draw(const ControlBox& client, bool hot,
                                                     bool enabled) const {
  Drawing d;
  const auto within = [&](int x) { return std::clamp(x, client.left, client.right); };
  const auto part = [&](int from, int to, ControlColour fill, ControlColour outline) {
    if (to > from) {
      d.parts.push_back({{from, client.top, to, client.bottom},
                         enabled ? fill : kDisabled,
                         enabled ? outline : kDisabled});
    }
  };
  const int zero = within(xOf(0, client));
  const int at = within(xOf(value_, client));
  const int lowEnd = value_ < 0 ? at : zero;
  part(client.left, lowEnd, kLowFill, kLowOutline);
  int restStart = lowEnd;
  if (value_ > 0) {
    part(zero, at, kHighFill, kHighOutline);
    restStart = std::max(at, zero);
  }
  part(restStart, client.right, kRestFill, kRestOutline);

  const ControlBox thumb = thumbBox(client);
  d.thumb = {thumb, enabled ? (hot ? kThumbHot : kThumbCold) : kDisabled,
             enabled ? kThumbEdge : kDisabled};
  d.gripLightX = thumb.left + 4;
  d.gripDarkX = thumb.left + 6;
  d.gripTop = thumb.top + 2;
  d.gripBottom = std::max(thumb.bottom - 2, d.gripTop);
  if (!enabled) d.gripLight = d.gripDark = kDisabled;
  return d;
}

}  // namespace quillon
