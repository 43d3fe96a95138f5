#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "support/memory_source.h"
#include "support/temp_environment.h"
#include "view/ui/wave_painter.h"
#include "view_test_support.h"

namespace quillon::testing {
namespace {

using view::WaveViewModel;

constexpr int kWidth = 400, kHeight = 200, kCentre = kHeight / 2;

QRgb rgb(int r, int g, int b) {
  return qRgb(r, g, b);
}
const QRgb kWave = rgb(58, 81, 87), kSelectedWave = rgb(211, 226, 255),
           kSelection = rgb(97, 122, 164), kCursor = rgb(255, 150, 0), kCentreLine = rgb(0, 0, 0),
           kFrame = rgb(210, 210, 210), kBookmark = rgb(0, 191, 255);

// Noise whose amplitude rises through the document, the right channel at half the left's.
std::vector<Sample> ramp(int64_t frames, int channels) {
  std::vector<Sample> words = noise(size_t(frames) * channels, 1 << 19, 5);
  for (int64_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      Sample& w = words[size_t(f * channels + c)];
      w = Sample(double(w) * double(f) / double(frames) / (c + 1));
    }
  }
  return words;
}

class WavePaintingTest : public DocumentTest {
 protected:
  void TearDown() override {
    wave.detach();
    DocumentTest::TearDown();
  }
  void show(const Clip& clip, int mode, bool zoom = false) {
    wave.setSize(kWidth, kHeight);
    wave.attach(clip, mode, zoom);
    wave.setVisibleRange(0, 0);
    settle(wave, notices);
  }
  QImage paint() {
    view::WavePaintPlan plan;
    wave.buildPaintPlan({0, 0, kWidth, kHeight}, plan);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    view::ui::WavePainter().paint(image, plan);
    return image;
  }
  // The rows of column x in `colour`.
  static std::vector<int> rowsIn(const QImage& image, int x, QRgb colour) {
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
      if (image.pixel(x, y) == colour) rows.push_back(y);
    }
    return rows;
  }
  static std::vector<int> span(int from, int to, std::initializer_list<int> without = {}) {
    std::vector<int> rows;
    for (int y = from; y <= to; ++y) {
      if (std::find(without.begin(), without.end(), y) == without.end()) rows.push_back(y);
    }
    return rows;
  }

  NoticeQueue notices;
  WaveViewModel wave{notices};
};

TEST_F(WavePaintingTest, TheWavePenSpansExactlyTheRowsOfTheFormulaInEachMode) {
  const Clip clip = writeClip(ramp(400 * 300, 2), 2);
  for (int mode : {0, 1, 2}) {
    for (bool zoom : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << " zoom " << zoom);
      show(clip, mode, zoom);
      wave.setCursor(0);
      const QImage image = paint();
      for (int x : {37, 150, 251, 333, 399}) {
        const int upper = wave.peaks().upper[size_t(x)], lower = wave.peaks().lower[size_t(x)];
        ASSERT_GT(upper, 0);
        if (mode == 2) {
          const int top = kCentre - kHeight / 4, bottom = kCentre + kHeight / 4;
          const int a = (kCentre * upper) >> 9, b = (kCentre * lower) >> 9;
          std::vector<int> rows = span(top - a, top + a, {top});
          const std::vector<int> lowerRows =
              span(bottom - b, std::min(bottom + b, kHeight - 2), {bottom});
          rows.insert(rows.end(), lowerRows.begin(), lowerRows.end());
          EXPECT_EQ(rowsIn(image, x, kWave), rows) << x;
          EXPECT_EQ(image.pixel(x, top), kCentreLine);
          EXPECT_EQ(image.pixel(x, bottom), kCentreLine);
        } else {
          const int top = std::max(kCentre - ((kHeight * upper) >> 9), 1);
          const int bottom = std::min(kCentre + ((kHeight * lower) >> 9), kHeight - 2);
          EXPECT_EQ(rowsIn(image, x, kWave), span(top, bottom, {kCentre})) << x;
          EXPECT_EQ(image.pixel(x, kCentre), kCentreLine);
        }
        EXPECT_EQ(image.pixel(x, 0), kFrame);
        EXPECT_EQ(image.pixel(x, kHeight - 1), kFrame);
      }
    }
  }
}

TEST_F(WavePaintingTest, SelectedColumnsUseTheSelectedPenOnTheSelectionBrush) {
  const Clip clip = writeClip(ramp(400 * 300, 1));
  show(clip, 0);
  wave.setCursor(0);
  wave.setSelection(100 * 300, 200 * 300);  // columns 100 … 200
  const QImage image = paint();
  for (int x : {101, 150, 199}) {
    const int top = kCentre - ((kHeight * wave.peaks().upper[size_t(x)]) >> 9);
    const int bottom = kCentre + ((kHeight * wave.peaks().lower[size_t(x)]) >> 9);
    EXPECT_EQ(rowsIn(image, x, kSelectedWave), span(top, bottom, {kCentre})) << x;
    std::vector<int> band = span(1, kHeight - 2, {kCentre});
    std::erase_if(band, [&](int y) { return y >= top && y <= bottom; });
    EXPECT_EQ(rowsIn(image, x, kSelection), band) << x;
  }
  for (int x : {99, 100, 200, 201}) {  // the edge columns are not inside
    EXPECT_TRUE(rowsIn(image, x, kSelectedWave).empty()) << x;
    EXPECT_FALSE(rowsIn(image, x, kWave).empty()) << x;
  }
}

TEST_F(WavePaintingTest, TheCursorLineAndTrianglesSitAtItsColumn) {
  const Clip clip = writeClip(ramp(400 * 300, 1));
  show(clip, 0);
  wave.setCursor(123 * 300 + 100);
  const int x = wave.frameToX(wave.cursor());
  ASSERT_EQ(x, 123);
  const QImage image = paint();
  // The line and both triangles cover the column between the frame lines.
  EXPECT_EQ(rowsIn(image, x, kCursor), span(1, kHeight - 2, {}));
  for (int dx = -4; dx <= 4; ++dx)
    EXPECT_EQ(image.pixel(x + dx, 1), kCursor) << dx;
  for (int dx = -2; dx <= 2; ++dx)
    EXPECT_EQ(image.pixel(x + dx, kHeight - 2), kCursor) << dx;
  EXPECT_NE(image.pixel(x - 5, 1), kCursor);
  EXPECT_NE(image.pixel(x + 5, kHeight - 2), kCursor);
  EXPECT_NE(image.pixel(x - 3, 6), kCursor);  // the tips meet the line
  for (int other : {x - 6, x + 6})
    EXPECT_TRUE(rowsIn(image, other, kCursor).empty());
}

TEST_F(WavePaintingTest, ABookmarkAtTheRightEdgeDrawsItsBoxInside) {
  const Clip clip = writeClip(ramp(400 * 300, 1));
  show(clip, 0);
  std::vector<Bookmark> bookmarks(1);
  bookmarks[0].position = clip.length();  // x = w
  bookmarks[0].displayNumber = 7;
  wave.setBookmarks(&bookmarks);
  ASSERT_EQ(wave.frameToX(clip.length()), kWidth);
  const QImage image = paint();
  const int n = kWidth - 18;
  EXPECT_NE(image.pixel(n - 1, kHeight - 3), kBookmark);
  for (int y = kHeight - 13; y < kHeight - 1; ++y) {
    EXPECT_EQ(image.pixel(n + 1, y), kBookmark) << y;  // the box's left edge has no outline
  }
  EXPECT_EQ(image.pixel(n + 16, kHeight - 7), kCentreLine);  // its outline on the right
  EXPECT_EQ(image.pixel(n + 8, kHeight - 14), kCentreLine);  // and on top
  // The number "7" is drawn in black inside the box.
  int dark = 0;
  for (int y = kHeight - 12; y < kHeight - 1; ++y) {
    for (int dx = 3; dx < 12; ++dx)
      dark += qGray(image.pixel(n + dx, y)) < 80;
  }
  EXPECT_GT(dark, 3);
}

TEST_F(WavePaintingTest, AnEmptyDocumentPaintsOnlyBackgroundCentreAndFrame) {
  show(Clip{}, 0);
  const QImage image = paint();
  for (int y = 0; y < kHeight; ++y) {
    const QRgb first = image.pixel(0, y);
    for (int x = 1; x < kWidth; ++x)
      ASSERT_EQ(image.pixel(x, y), first) << x << "," << y;
    if (y == 0 || y == kHeight - 1) {
      EXPECT_EQ(first, kFrame);
    } else if (y == kCentre) {
      EXPECT_EQ(first, kCentreLine);
    } else {
      // The gradient: light grey rows.
      EXPECT_EQ(qRed(first), qGreen(first));
      EXPECT_EQ(qRed(first), qBlue(first));
      EXPECT_GE(qRed(first), 235);
    }
  }
}

TEST_F(WavePaintingTest, AMonoDocumentPaintsInModeZeroWhateverIsStored) {
  const Clip clip = writeClip(ramp(400 * 300, 1));
  show(clip, 2);
  wave.setCursor(0);
  const QImage image = paint();
  EXPECT_EQ(wave.displayMode(), 0);
  for (int x = 10; x < kWidth; ++x) {
    EXPECT_EQ(image.pixel(x, kCentre), kCentreLine);
    EXPECT_NE(image.pixel(x, kCentre - kHeight / 4), kCentreLine);
  }
}

TEST_F(WavePaintingTest, TheClassicSchemeChangesThePens) {
  const Clip clip = writeClip(ramp(400 * 300, 1));
  show(clip, 0);
  wave.setColourScheme(true);
  wave.setCursor(200 * 300);
  const QImage image = paint();
  EXPECT_FALSE(rowsIn(image, 300, rgb(102, 255, 102)).empty());
  EXPECT_EQ(image.pixel(300, kCentre), rgb(255, 255, 17));
  EXPECT_EQ(image.pixel(200, kCentre + 20), rgb(255, 255, 17));
  EXPECT_EQ(image.pixel(300, 2), rgb(0, 0, 0));  // on black
}

}  // namespace
}  // namespace quillon::testing
