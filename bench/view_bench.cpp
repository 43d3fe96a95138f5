// The wave view's figures: how long the worker takes to publish after a zoom or a scroll, how long
// a paint of a full view takes, against plain runs of the same work in the same process, and how
// many files the user-interface thread read meanwhile (none, ever).
//
//   build/bench/view_bench [hours]     (default 10; QUILLON_BENCH_DIR chooses the file system)
//
// The long document (Zoom Full, the page scroll at an hour visible) is made of blocks of ten
// minutes whose peak files hold a music-like loudness curve and whose sample files are holes of
// the right size (sparse: no disk used): those figures read peak files only, and these are
// distinct, 6.2 million entries (24.8 MB) for 10 hours, as a recording in one piece would have.
// Each block is seen through a Segment with an offset off the peak-group grid and its own gain.
// The page scroll at 256 frames per column reads samples: an hour of real music-like stereo made
// of three ten-minute blocks (636 MB of sample files) seen through Segments of 40 … 200 seconds.
// Everything is in the page cache after one warm-up run.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "document/block_writer.h"
#include "document/clip_peak_reader.h"
#include "document/clip_reader.h"
#include "platform/file.h"
#include "support/audio_signals.h"
#include "view/ui/wave_painter.h"
#include "view/wave_view_model.h"

namespace quillon::bench {
namespace {

constexpr int32_t kRate = 44100;
constexpr int kColumns = 2048;

// Ten minutes of stereo: one minute of music written ten times into one block.
Clip tenMinuteBlock(uint32_t seed) {
  const std::vector<Sample> minute = testing::musicLike(kRate, int64_t{60} * kRate, 2, seed);
  Clip clip;
  auto writer = makeRef<BlockWriter>(clip, kRate, 2);
  for (int i = 0; i < 10; ++i)
    writer->write(minute.data(), int32_t(minute.size() / 2));
  writer = nullptr;
  return clip;
}

// A block of `frames` stereo frames with a real peak file and a sample file that is a hole.
Segment peakOnlyBlock(int64_t frames, uint32_t seed) {
  const BlockId id = BlockStore::instance().allocate();
  const int64_t groups = (frames + 255) / 256;
  std::vector<uint8_t> entries(size_t(groups) * 4);
  testing::SignalRandom random(seed);
  double level = 0.5;
  for (int64_t g = 0; g < groups; ++g) {
    level = std::clamp(level + random.between(-0.01, 0.01), 0.05, 0.95);
    for (int k = 0; k < 4; ++k)
      entries[size_t(g * 4 + k)] = uint8_t(255 * level * random.between(0.6, 1.0));
  }
  platform::File peaks, samples;
  peaks.open(BlockStore::instance().peakPath(id), platform::File::Mode::Create);
  peaks.write(entries.data(), entries.size());
  samples.open(BlockStore::instance().samplePath(id), platform::File::Mode::Create);
  samples.truncate(frames * 8);
  return Segment::adopt(id, int32_t(frames));
}

Clip peakOnlyDocument(double hours) {
  Clip clip;
  clip.channels = 2;
  const int64_t total = int64_t(hours * 3600 * kRate), block = int64_t{600} * kRate;
  testing::SignalRandom random(5);
  for (int64_t at = 0; at < total; at += block - 1234) {
    Segment s = peakOnlyBlock(block, uint32_t(at / block + 1));
    s.offset = 1234;
    s.length = int32_t(std::min(block - 1234, total - at));
    s.gain = int32_t(kUnityGain * random.between(0.5, 1.2));
    clip.segments.push_back(s);
  }
  return clip;
}

Clip longDocument(double hours, const std::vector<Clip>& blocks) {
  Clip clip;
  clip.channels = 2;
  const int64_t total = int64_t(hours * 3600 * kRate);
  testing::SignalRandom random(3);
  int64_t at = 0;
  while (at < total) {
    Segment s = blocks[random.next() % blocks.size()].segments[0];
    const int32_t length = int32_t(std::min<int64_t>(
        int64_t(random.between(40, 200) * kRate), std::min<int64_t>(total - at, s.length - 1000)));
    s.offset = int32_t(random.next() % uint32_t(s.length - length));
    s.length = length;
    s.gain = int32_t(kUnityGain * random.between(0.5, 1.2));
    clip.segments.push_back(s);
    at += length;
  }
  return clip;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Milliseconds from a request to the worker's publication.
double publishMilliseconds(view::WaveViewModel& wave, NoticeQueue& notices, int64_t first,
                           int64_t length) {
  const double seconds = secondsOf([&] {
    wave.setVisibleRange(first, length);
    wave.worker().waitIdle(600000);
  });
  notices.runPending();
  return seconds * 1000;
}

// Reads the peak bytes of the whole clip, Segment by Segment, and takes their maximum: the floor
// under any computation from the peak files.
// Reads the peak bytes of the whole clip, Segment by Segment, without looking at them: the floor
// under any computation from the peak files. On a thread of its own, as the worker.
double plainPeakReadMilliseconds(const Clip& clip) {
  double seconds = 0;
  std::thread([&] {
    seconds = secondsOf([&] {
      ClipPeakReader reader(clip);
      reader.forEachSpan(0, reader.length(), [](const PeakSpan&) { return true; });
    });
  }).join();
  return seconds * 1000;
}

// Reads `frames` frames of the clip's samples from `first`: the plain cost of the sample method.
double plainSampleReadMilliseconds(const Clip& clip, int64_t first, int64_t frames) {
  std::vector<Sample> buffer(size_t(frames) * 2);
  double seconds = 0;
  std::thread([&] {
    seconds = secondsOf([&] {
      auto reader = makeRef<ClipReader>(clip);
      reader->seek(int32_t(first));
      reader->read(buffer.data(), int32_t(frames));
    });
  }).join();
  return seconds * 1000;
}

}  // namespace
}  // namespace quillon::bench

int main(int argc, char** argv) {
  using namespace quillon;
  using namespace quillon::bench;
  const double hours = argc > 1 ? std::atof(argv[1]) : 10.0;
  static int qtArgc = 3;
  static char name[] = "view_bench", option[] = "-platform", platform[] = "offscreen";
  static char* qtArgv[] = {name, option, platform, nullptr};
  QGuiApplication application(qtArgc, qtArgv);
  BenchFolder folder;

  std::printf(
      "making three blocks of ten minutes of stereo music, and %.0f hours of peak "
      "files...\n",
      hours);
  std::vector<Clip> blocks;
  for (uint32_t seed = 1; seed <= 3; ++seed)
    blocks.push_back(tenMinuteBlock(seed));
  const Clip music = longDocument(1.0, blocks);
  const Clip clip = peakOnlyDocument(hours);
  std::printf(
      "a document of %.1f hours in %zu segments; an hour of music in %zu segments over 3 "
      "blocks\n\n",
      hours, clip.segments.size(), music.segments.size());
  platform::markUiThread();
  const platform::FileActivity uiBefore = platform::uiThreadFileActivity();

  NoticeQueue notices;
  view::WaveViewModel wave(notices);
  wave.setSize(kColumns, 600);
  wave.attach(clip, 0, false);

  // Zoom Full.
  std::vector<double> zoomFull;
  for (int run = 0; run < 6; ++run) {
    wave.setVisibleRange(0, 1000);  // somewhere else first, so that each run rescales
    wave.worker().waitIdle(600000);
    notices.runPending();
    const double ms = publishMilliseconds(wave, notices, 0, 0);
    if (run > 0) zoomFull.push_back(ms);  // the first warms the page cache
  }
  const double plainPeaks = plainPeakReadMilliseconds(clip);
  std::printf("Zoom Full, %.0f h stereo, %d columns: %.1f ms to publish (target 150 ms)\n", hours,
              kColumns, median(zoomFull));
  std::printf("  the same peak bytes only read, plainly: %.1f ms; ratio %.2f\n", plainPeaks,
              median(zoomFull) / plainPeaks);
  const double minuteOfSamples = plainSampleReadMilliseconds(music, 0, int64_t{60} * kRate);
  std::printf("  reading the samples instead would take about %.1f s (one minute: %.1f ms)\n\n",
              minuteOfSamples * 60 * hours / 1000, minuteOfSamples);

  // Page scrolls: an hour visible, then 256 frames per column.
  struct Scroll {
    const char* what;
    int64_t length;
    double target;
  };
  for (const Scroll& s : {Scroll{"1 h visible (peak files)", int64_t{3600} * kRate, 30},
                          Scroll{"256 frames per column (samples)", int64_t{256} * kColumns, 10}}) {
    const bool samples = s.length <= int64_t{256} * kColumns;
    if (samples) wave.attach(music, 0, false);
    int64_t first = samples ? 0 : int64_t{3600} * kRate;
    publishMilliseconds(wave, notices, first, s.length);
    std::vector<double> times;
    for (int page = 0; page < 8; ++page) {
      first += s.length;
      times.push_back(publishMilliseconds(wave, notices, first, s.length));
    }
    const double plain =
        samples ? plainSampleReadMilliseconds(music, first + s.length, s.length) : 0;
    std::printf("page scroll, %s: %.2f ms to publish (target %.0f ms)", s.what, median(times),
                s.target);
    if (plain > 0) {
      std::printf("; reading the page's samples plainly: %.2f ms, ratio %.2f", plain,
                  median(times) / plain);
    }
    std::printf("\n");
  }

  // Painting a full view.
  wave.setVisibleRange(int64_t{1200} * kRate, int64_t{600} * kRate);
  wave.worker().waitIdle(600000);
  notices.runPending();
  wave.setCursor(int64_t{1500} * kRate);
  wave.setSelection(int64_t{1300} * kRate, int64_t{1400} * kRate);
  std::vector<Bookmark> bookmarks(2);
  bookmarks[0].position = int32_t(int64_t{1250} * kRate);
  bookmarks[1].position = int32_t(int64_t{1700} * kRate);
  wave.setBookmarks(&bookmarks);
  QImage image(kColumns, 600, QImage::Format_RGB32);
  view::WavePaintPlan plan;
  view::ui::WavePainter painter;
  std::vector<double> paints, fills;
  for (int run = 0; run < 50; ++run) {
    paints.push_back(secondsOf([&] {
                       wave.buildPaintPlan({0, 0, kColumns, 600}, plan);
                       painter.paint(image, plan);
                     }) *
                     1000);
    fills.push_back(secondsOf([&] {
                      QPainter p(&image);
                      p.fillRect(image.rect(), Qt::white);
                    }) *
                    1000);
  }
  std::printf(
      "\npainting a full %d-column view: %.2f ms (target 3 ms); a plain fill of the same "
      "image: %.2f ms, ratio %.1f\n",
      kColumns, median(paints), median(fills), median(paints) / median(fills));

  const platform::FileActivity uiAfter = platform::uiThreadFileActivity();
  std::printf(
      "\nfiles the user-interface thread opened meanwhile: %llu, reads: %llu (the worker "
      "computed %llu columns)\n",
      (unsigned long long)(uiAfter.opens - uiBefore.opens),
      (unsigned long long)(uiAfter.reads - uiBefore.reads),
      (unsigned long long)wave.worker().stats().columnsComputed);
  wave.detach();
  return 0;
}
