// quillon-cli's peaks and render steps end to end: a WAV file in, JSON and a PNG out.
#include <gtest/gtest.h>

#include <QImage>
#include <sstream>

#include "app/cli_view_steps.h"
#include "support/audio_signals.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"
#include "view_test_support.h"

namespace quillon::testing {
namespace {

class CliViewStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("sox")) GTEST_SKIP() << "sox is not installed (./test.sh installs it)";
    addViewCliSteps();
    // Two seconds of stereo speech, written as 16-bit WAV by sox from exact 16-bit values (no
    // dither).
    const std::vector<Sample> words = speechLike(44100, 88200, 2, 6);
    std::vector<int32_t> raw;
    for (Sample w : words) {
      const int32_t v16 = std::clamp(w >> 4, -32768, 32767);
      raw.push_back(v16 << 16);
      samples.push_back(v16 << 4);
    }
    writeRaw32(env.path("in.raw"), raw);
    input = env.path("in.wav");
    ASSERT_EQ(
        runCommand("sox -t raw -e signed -b 32 -L -r 44100 -c 2 " +
                   testing::quoted(env.path("in.raw")) + " -D -b 16 " + testing::quoted(input)),
        0);
  }

  int cli(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    std::vector<std::string> all = {"-q", "open", input};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runCli(all, out, err);
  }

  // An array of the JSON printed by peaks.
  std::vector<uint8_t> array(const std::string& name) {
    const std::string text = out.str();
    const size_t at = text.find("\"" + name + "\": [");
    EXPECT_NE(at, std::string::npos) << text;
    std::vector<uint8_t> values;
    std::istringstream in(text.substr(text.find('[', at) + 1));
    int v = 0;
    char separator = 0;
    while (in >> v) {
      values.push_back(uint8_t(v));
      in >> separator;
      if (separator == ']') break;
    }
    return values;
  }

  TempEnvironment env;
  std::string input;
  std::vector<Sample> samples;
  std::ostringstream out, err;
};

TEST_F(CliViewStepsTest, PeaksPrintsWhatTheViewShowsForTheSelection) {
  // 19,000 frames on 100 columns: 190 frames per column, from the samples.
  ASSERT_EQ(cli({"select", "1000", "20000", "peaks", "width=100", "mode=1"}), 0) << err.str();
  EXPECT_NE(out.str().find("\"start\": 1000, \"length\": 19000, \"width\": 100, "
                           "\"framesPerColumn\": 190, \"mode\": 1"),
            std::string::npos)
      << out.str();
  const view::ColumnScale scale{190, 88200};
  const BrutePeaks expected =
      brutePeaksFromSamples(samples, 2, scale, {1, false, 2}, 1000 / 190, 100);
  EXPECT_EQ(array("upper"), expected.upper);
  EXPECT_EQ(array("lower"), expected.lower);
}

TEST_F(CliViewStepsTest, RenderPaintsThePeaksThatPeaksPrints) {
  ASSERT_EQ(cli({"peaks", "width=300", "zoom=1"}), 0) << err.str();
  const std::vector<uint8_t> upper = array("upper"), lower = array("lower");
  ASSERT_EQ(upper.size(), 300u);
  const std::string png = env.path("wave.png");
  ASSERT_EQ(cli({"render", png, "width=300", "height=100", "zoom=1"}), 0) << err.str();
  QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.size(), QSize(300, 100));
  const QRgb wave = qRgb(58, 81, 87);
  int checked = 0;
  for (int x = 0; x < 300; x += 7) {
    const int top = std::max(50 - ((100 * upper[size_t(x)]) >> 9), 1);
    const int bottom = std::min(50 + ((100 * lower[size_t(x)]) >> 9), 98);
    for (int y = 1; y < 99; ++y) {
      if (y == 50) continue;
      ASSERT_EQ(image.pixel(x, y) == wave, y >= top && y <= bottom) << x << "," << y;
    }
    ++checked;
  }
  EXPECT_GT(checked, 40);
  // Classic colours on request.
  ASSERT_EQ(cli({"render", png, "width=300", "height=100", "classic=1"}), 0) << err.str();
  EXPECT_EQ(QImage(QString::fromStdString(png)).pixel(150, 50), qRgb(255, 255, 17));
}

TEST_F(CliViewStepsTest, BadWordsAreRefusedWithAReason) {
  EXPECT_EQ(cli({"peaks", "width=0"}), 2);
  EXPECT_NE(err.str().find("width= must be a whole number from 1 to 65536"), std::string::npos);
  EXPECT_EQ(cli({"render", env.path("x.png"), "width=10"}), 2);
  EXPECT_NE(err.str().find("height= is needed"), std::string::npos);
  EXPECT_EQ(cli({"peaks", "width=10", "mode=3"}), 2);
  EXPECT_EQ(cli({"render", env.path("no/such/folder/x.png"), "width=10", "height=10"}), 2);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
