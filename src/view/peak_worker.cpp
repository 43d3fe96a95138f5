#include "view/peak_worker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "document/block_format.h"
#include "document/clip_reader.h"

namespace quillon::view {

PeakWorker::PeakWorker(NoticePoster& poster) : poster_(poster) {}

PeakWorker::~PeakWorker() {
  stop();
  alive_.reset();
}

void PeakWorker::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(requestLock_);
    stopRequested_ = true;
  }
  changed_.notify_all();
  thread_.join();
  stopRequested_ = false;
}

void PeakWorker::detach() {
  stop();
  audio_.clear();
}

void PeakWorker::attach(const Clip& audio, const PeakStyle& style, int cacheColumns) {
  stop();
  audio_ = audio;
  style_ = style;
  style_.channels = audio.channels;
  half_ = std::max(cacheColumns, 1);
  upperWindow_.assign(size_t(2 * half_), 0);
  lowerWindow_.assign(size_t(2 * half_), 0);
  centre_ = 0;
  {
    std::lock_guard lock(requestLock_);
    pending_ = PeakRequest{};
    idle_ = false;
    rescalePending_ = false;
  }
  {
    std::lock_guard lock(viewLock_);
    std::fill(published_.upper.begin(), published_.upper.end(), 0);
    std::fill(published_.lower.begin(), published_.lower.end(), 0);
    published_.firstColumn = 0;
    published_.firstFrame = 0;
  }
  thread_ = std::thread(&PeakWorker::run, this);
}

void PeakWorker::request(const PeakRequest& request) {
  {
    std::lock_guard lock(requestLock_);
    const bool rescale = pending_.rescale || request.rescale;
    const bool scrolled = pending_.scrolled || request.scrolled;
    pending_ = request;
    pending_.rescale = rescale;
    pending_.scrolled = scrolled;
    if (request.rescale) rescalePending_ = true;
  }
  changed_.notify_all();
}

void PeakWorker::copyPublished(PublishedPeaks& out) const {
  std::lock_guard lock(viewLock_);
  out.upper.assign(published_.upper.begin(), published_.upper.end());
  out.lower.assign(published_.lower.begin(), published_.lower.end());
  out.firstColumn = published_.firstColumn;
  out.firstFrame = published_.firstFrame;
  out.generation = published_.generation;
}

bool PeakWorker::waitIdle(int milliseconds) const {
  std::unique_lock lock(requestLock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
    return !thread_.joinable() || (idle_ && !pending_.rescale && !pending_.scrolled);
  });
}

PeakWorkerStats PeakWorker::stats() const {
  std::lock_guard lock(viewLock_);
  return stats_;
}

bool PeakWorker::abandonNow() const {
  return stopRequested_ || rescalePending_;
}

void PeakWorker::run() {
  // The readers are made here, so that every file of the document is opened on this thread.
  samples_ = makeRef<ClipReader>(audio_);
  peaks_ = std::make_unique<ClipPeakReader>(audio_);
  bool stale = true;  // the window does not hold the columns around centre_
  for (;;) {
    PeakRequest r;
    {
      std::unique_lock lock(requestLock_);
      while (!stopRequested_ && !pending_.rescale && !pending_.scrolled) {
        idle_ = true;
        changed_.notify_all();
        changed_.wait(lock);
      }
      idle_ = false;
      if (stopRequested_) break;
      r = pending_;
      pending_.rescale = pending_.scrolled = false;
      rescalePending_ = false;
    }
    scale_ = ColumnScale{r.samplesPerPixel, audio_.length()};
    // Peak files once a column covers more than 256 frames.
    useFiles_ = int64_t{r.width} * kPeakGroupFrames < r.length;
    // The column of the first visible frame (first × pixels per sample, taken by dividing so that
    // whole scales stay exact).
    const int64_t centre = int64_t(std::floor(double(r.first) / r.samplesPerPixel));
    const bool done = r.rescale || stale ? recomputeWindow(centre) : shiftWindow(centre);
    if (!done) {
      stale = true;
      std::lock_guard lock(viewLock_);
      ++stats_.abandoned;
      continue;
    }
    stale = false;
    publish(r);
  }
  peaks_.reset();
  samples_ = nullptr;
  std::lock_guard lock(requestLock_);
  idle_ = true;
  changed_.notify_all();
}

bool PeakWorker::computeColumns(int64_t from, int64_t to) {
  from = std::max<int64_t>({from, 0, centre_ - half_});
  to = std::min<int64_t>({to, scale_.columnCount(), centre_ + half_});
  if (from >= to) return true;
  const int64_t index = from - (centre_ - half_);
  uint8_t* upper = upperWindow_.data() + index;
  uint8_t* lower = lowerWindow_.data() + index;
  const StopCheck stop = [this] { return abandonNow(); };
  const bool done =
      useFiles_ ? computeFileColumns(*peaks_, scale_, style_, from, to - from, upper, lower, stop)
                : computeSampleColumns(*samples_, scale_, style_, from, to - from, upper, lower,
                                       stop, readBuffer_);
  std::lock_guard lock(viewLock_);
  stats_.columnsComputed += uint64_t(to - from);
  stats_.usedPeakFiles = useFiles_;
  return done;
}

bool PeakWorker::recomputeWindow(int64_t centre) {
  centre_ = centre;
  std::fill(upperWindow_.begin(), upperWindow_.end(), 0);
  std::fill(lowerWindow_.begin(), lowerWindow_.end(), 0);
  {
    std::lock_guard lock(viewLock_);
    ++stats_.rescales;
  }
  return computeColumns(centre - half_, centre + half_);
}

bool PeakWorker::shiftWindow(int64_t centre) {
  const int64_t d = centre - centre_;
  if (d == 0) return true;
  if (std::abs(d) > half_) return recomputeWindow(centre);
  const size_t n = upperWindow_.size(), shift = size_t(std::abs(d));
  for (std::vector<uint8_t>* window : {&upperWindow_, &lowerWindow_}) {
    uint8_t* w = window->data();
    if (d > 0) {
      std::memmove(w, w + shift, n - shift);
      std::memset(w + n - shift, 0, shift);
    } else {
      std::memmove(w + shift, w, n - shift);
      std::memset(w, 0, shift);
    }
  }
  centre_ = centre;
  {
    std::lock_guard lock(viewLock_);
    ++stats_.shifts;
  }
  return d > 0 ? computeColumns(centre_ + half_ - d, centre_ + half_)
               : computeColumns(centre_ - half_, centre_ - half_ - d);
}

void PeakWorker::publish(const PeakRequest& r) {
  const int width = std::clamp(r.width, 1, int(half_));
  {
    std::lock_guard lock(viewLock_);
    const auto begin = upperWindow_.begin() + half_;
    published_.upper.assign(begin, begin + width);
    const auto lowerBegin = lowerWindow_.begin() + half_;
    published_.lower.assign(lowerBegin, lowerBegin + width);
    published_.firstColumn = centre_;
    published_.firstFrame = std::max<int64_t>(r.first, 0);
    ++published_.generation;
    ++stats_.published;
  }
  poster_.post([this, token = token_] {
    if (token.lock() && listener_) listener_();
  });
}

}  // namespace quillon::view
