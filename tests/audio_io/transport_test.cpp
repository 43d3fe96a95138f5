// What the main window plays: the document from the cursor or the selection, looped, at the
// play speeds, on the file device and a virtual clock.
#include <gtest/gtest.h>

#include "audio_io/audio_clock.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/transport.h"
#include "document/clip_reader.h"
#include "effects/peak_limiter.h"
#include "effects/speed_stream.h"
#include "platform/settings.h"
#include "support/memory_source.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

class TransportTest : public DocumentTest {
 protected:
  TransportTest() {
    document->audio = writeClip(words, 2, 44100);
    all = toDevice(words);
  }
  void TearDown() override {
    transport.stop();
    document = nullptr;
    DocumentTest::TearDown();
  }

  ClockedDeviceOptions fileOutput() {
    ClockedDeviceOptions options;
    options.path = env.path("out.wav");
    return options;
  }

  void place(int32_t cursor, int32_t start, int32_t end) {
    document->cursor = cursor;
    document->selectionStart = start;
    document->selectionEnd = end;
  }

  std::vector<int16_t> playToEnd() {
    EXPECT_TRUE(transport.play(*document)) << transport.lastError();
    runUntil(notices, [&] { return !transport.isPlaying(); });
    return readWav16(env.path("out.wav"));
  }

  std::vector<int16_t> range(int32_t a, int32_t b) {
    return std::vector<int16_t>(all.begin() + 2 * a, all.begin() + 2 * b);
  }

  const std::vector<Sample> words = toneWords(88200, 2, 44100, 200000);
  std::vector<int16_t> all;
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  VirtualClock clock;
  ClockedDevices devices{clock, fileOutput(), {}};
  NoticeQueue notices;
  Transport transport{notices, devices};
};

TEST_F(TransportTest, PlaysFromTheCursorOrTheSelection) {
  struct Case {
    int32_t cursor, start, end;  // the document's cursor and selection
    int32_t from, to;            // what is heard
  } cases[] = {
      {30000, 30000, 30000, 30000, 88200},  // the cursor, no selection: to the end
      {30000, 20000, 50000, 30000, 50000},  // the cursor inside the selection
      {88200, 20000, 50000, 20000, 50000},  // the cursor at the end: the selection
      {88200, 88200, 88200, 0, 88200},      // the cursor at the end, no selection: everything
      {60000, 20000, 50000, 0, 0},          // the cursor past the selection: nothing
  };
  int32_t followed = -1;
  transport.setPositionFollower([&](int32_t frame) { followed = frame; });
  for (const Case& c : cases) {
    place(c.cursor, c.start, c.end);
    EXPECT_EQ(playToEnd(), range(c.from, c.to)) << c.cursor << " " << c.start << " " << c.end;
    if (c.to > c.from) {
      EXPECT_EQ(followed, c.to);  // the cursor follows to the end
    }
  }
}

// Half and 1.5 times speed: what the speed stream gives over the limited document.
TEST_F(TransportTest, PlaySpeedsAreTheSpeedStreamsOutput) {
  for (int speed : {0, 2}) {
    settings::kPlaySpeed.write(speed);
    place(10000, 10000, 10000);
    Ref<SampleSource> reader = makeRef<ClipReader>(document->audio);
    reader->seek(10000);
    Ref<SampleSource> reference =
        atChangedSpeed(makeRef<SpeedChangeStream>(limitTo(reader), (speed + 1) * 0.5));
    std::vector<Sample> expected;
    for (;;) {
      const int32_t n = std::min(reference->length() - reference->position(), 4410);
      if (n <= 0) break;
      const std::vector<Sample> part = readFrames(*reference, n);
      expected.insert(expected.end(), part.begin(), part.end());
    }
    const std::vector<int16_t> out = playToEnd();
    EXPECT_EQ(out, toDevice(expected)) << "speed " << speed;
    EXPECT_NEAR(double(out.size()) / 2, 78200 / ((speed + 1) * 0.5), 4410) << "speed " << speed;
  }
}

// The cursor shows the frame being heard at every speed: after one second heard from 10,000 it
// is 10,000 + 1 s × speed (a limiter behind the speed change would count its look-ahead in the
// changed frames and put it off by up to 40 ms).
TEST_F(TransportTest, TheCursorFollowsWhatIsHeardAtEverySpeed) {
  for (int speed : {0, 1, 2}) {
    settings::kPlaySpeed.write(speed);
    place(10000, 10000, 10000);
    clock.hold();
    ASSERT_TRUE(transport.play(*document));
    clock.advance(1000000);
    clock.waitForBlocked(1);
    const int32_t heard = transport.player().position();
    transport.stop();
    clock.release();
    EXPECT_NEAR(heard, 10000 + 44100 * (speed + 1) / 2, 10) << "speed " << speed;
  }
}

TEST_F(TransportTest, LoopPlayRepeatsFromTheSelectionStart) {
  settings::kPlayRepeat.write(true);
  place(20000, 20000, 50000);
  PlayerLog log;
  transport.player().addListener(&log);
  clock.hold();
  ASSERT_TRUE(transport.play(*document));
  EXPECT_TRUE(transport.play(*document));  // Play while playing changes nothing
  clock.advance(2000000);
  clock.waitForBlocked(1);
  transport.stop();
  clock.release();
  EXPECT_EQ(log.count("started"), 1);
  const std::vector<int16_t> out = readWav16(env.path("out.wav"));
  ASSERT_EQ(out.size(), 2u * 88200);  // two seconds, nearly three times round
  for (size_t f = 0; f < out.size() / 2; ++f) {
    const size_t from = 20000 + f % 30000;
    ASSERT_EQ(out[2 * f], all[2 * from]) << "frame " << f;
    ASSERT_EQ(out[2 * f + 1], all[2 * from + 1]) << "frame " << f;
  }
}

}  // namespace
}  // namespace quillon::testing
