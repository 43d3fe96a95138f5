#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "document/clip.h"
#include "platform/notice_poster.h"
#include "view/peak_columns.h"

namespace quillon::view {

// What the wave view asks its worker for: the visible range with its scale and width, and
// whether the length (rescale) or the first frame (scroll) changed.
struct PeakRequest {
  int64_t first = 0;
  int64_t length = 0;
  double samplesPerPixel = 1.0;
  double pixelsPerSample = 1.0;
  int width = 1;  // visible columns
  bool rescale = false;
  bool scrolled = false;
};

// The peaks the worker handed over last: one byte per visible column in each array, the
// absolute column of the first (counted from frame 0) and the first visible frame.
struct PublishedPeaks {
  std::vector<uint8_t> upper, lower;
  int64_t firstColumn = 0;
  int64_t firstFrame = 0;
  uint64_t generation = 0;  // counts publications since the worker was made
};

// What the worker did, for tests and benchmarks.
struct PeakWorkerStats {
  uint64_t rescales = 0;  // whole windows computed
  uint64_t shifts = 0;    // windows shifted by a scroll
  uint64_t columnsComputed = 0;
  uint64_t abandoned = 0;  // computations given up for a newer request or a stop
  uint64_t published = 0;
  bool usedPeakFiles = false;  // how the last computation got its peaks
};

// The wave view's peak worker. It keeps a local window of peaks two cache widths long, centred on
// the first visible column (a cache width on each side), so that scrolling by at most a cache
// width computes only the exposed columns. Columns come from the samples, or from the blocks'
// peak files when a column covers more than 256 frames. Finished peaks are copied under the view
// lock and announced through the notice poster; the worker reads only its own copy of the
// document's Segments, never touches the caller's objects, and stops when asked (between
// columns).
class PeakWorker {
 public:
  explicit PeakWorker(NoticePoster& poster);
  ~PeakWorker();
  PeakWorker(const PeakWorker&) = delete;
  PeakWorker& operator=(const PeakWorker&) = delete;

  // Runs on the user-interface thread after each publication.
  void setPublishedListener(std::function<void()> listener) { listener_ = std::move(listener); }

  // Stops the worker, copies the audio's Segments and starts again with an empty window of
  // 2 × cacheColumns columns per array.
  void attach(const Clip& audio, const PeakStyle& style, int cacheColumns);
  // Stops the worker and waits for it.
  void stop();
  // Stops the worker and lets go of its copy of the audio (and so of the blocks).
  void detach();
  bool running() const { return thread_.joinable(); }

  // Hands a new request to the worker (the latest one counts; flags add up).
  void request(const PeakRequest& request);
  // Copies what was published last (the view lock is held while copying).
  void copyPublished(PublishedPeaks& out) const;
  // Waits until the worker has nothing to do; false after `milliseconds` without that.
  bool waitIdle(int milliseconds) const;
  PeakWorkerStats stats() const;

 private:
  void run();
  // Computes the columns [from, to) of the window (absolute columns), clipped to the document.
  bool computeColumns(int64_t from, int64_t to);
  bool recomputeWindow(int64_t centre);
  bool shiftWindow(int64_t centre);
  void publish(const PeakRequest& request);
  bool abandonNow() const;

  NoticePoster& poster_;
  std::function<void()> listener_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  const std::weak_ptr<int> token_ = alive_;

  // The worker's own state, touched by the worker thread only while it runs.
  Clip audio_;
  PeakStyle style_;
  int64_t half_ = 2048;  // a cache width
  std::vector<uint8_t> upperWindow_, lowerWindow_;
  int64_t centre_ = 0;  // absolute column at window index half_
  ColumnScale scale_;
  bool useFiles_ = false;
  std::unique_ptr<ClipPeakReader> peaks_;
  Ref<SampleSource> samples_;
  std::vector<Sample> readBuffer_;

  // The request lock guards these.
  mutable std::mutex requestLock_;
  mutable std::condition_variable changed_;
  PeakRequest pending_;
  bool idle_ = false;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> rescalePending_{false};

  // The view lock guards these.
  mutable std::mutex viewLock_;
  PublishedPeaks published_;
  PeakWorkerStats stats_;

  std::thread thread_;
};

}  // namespace quillon::view
