// The player on the file device and a virtual clock: what reaches the device, bit for bit.
#include <gtest/gtest.h>

#include "audio_io/audio_clock.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/player.h"
#include "effects/decibel_table.h"
#include "effects/gain_math.h"
#include "effects/peak_limiter.h"
#include "platform/settings.h"
#include "support/memory_source.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

// A device that takes every buffer the moment it is written and reports what it heard with a
// latency the test sets.
class InstantOutput : public OutputDevice {
 public:
  explicit InstantOutput(std::vector<int32_t>& sizes) : sizes_(sizes) {}
  DeviceOpen open(const DeviceFormat&, bool) override { return DeviceOpen::Opened; }
  void close() override {}
  void write(DeviceBuffer& buffer) override {
    sizes_.push_back(buffer.frames);
    taken_ += buffer.frames;
    buffer.done.store(true);
    signal_.notify();
  }
  void loop(DeviceBuffer&) override {}
  int64_t reset() override { return framesPlayed(); }
  void pause() override {}
  void restart() override {}
  int64_t framesPlayed() override {
    const int64_t h = heard.load();
    return h >= 0 ? h : taken_.load();
  }
  int32_t latencyFrames() override { return 0; }

  std::atomic<int64_t> heard{-1};  // ≥ 0: what the listener has heard

 private:
  std::vector<int32_t>& sizes_;
  std::atomic<int64_t> taken_{0};
};

class InstantDevices : public AudioDevices {
 public:
  std::vector<std::string> outputNames() override { return {}; }
  std::vector<std::string> inputNames() override { return {}; }
  std::unique_ptr<OutputDevice> makeOutput(int) override {
    auto device = std::make_unique<InstantOutput>(sizes);
    device->heard = heard;
    last = device.get();
    return device;
  }
  std::unique_ptr<InputDevice> makeInput(int) override { return nullptr; }
  std::vector<int32_t> sizes;
  int64_t heard = -1;  // what a new device reports as heard
  InstantOutput* last = nullptr;
};

class PlayerTest : public DocumentTest {
 protected:
  ClockedDeviceOptions fileOutput() {
    ClockedDeviceOptions options;
    options.path = env.path("out.wav");
    return options;
  }

  std::vector<int16_t> played() { return readWav16(env.path("out.wav")); }

  // Plays to the end on the file device; answers what the device received.
  std::vector<int16_t> playToEnd(Ref<SampleSource> source) {
    EXPECT_TRUE(player->start(std::move(source))) << player->lastError();
    runUntil(notices, [&] { return !player->isPlaying(); });
    return played();
  }

  VirtualClock clock;
  ClockedDevices devices{clock, fileOutput(), {}, {"Alpha", "Beta"}};
  NoticeQueue notices;
  PlayerLog log;
  std::unique_ptr<Player> player = std::make_unique<Player>(notices, devices);
};

TEST_F(PlayerTest, BuffersAreATenthOfASecondWithinTheirBounds) {
  struct Case {
    int32_t rate;
    int32_t frames;
  } cases[] = {{8000, 800}, {48000, 4800}, {199, 20},     {100, 20},
               {210, 21},   {81920, 8192}, {81930, 8192}, {96000, 8192}};
  for (const Case& c : cases) {
    InstantDevices instant;
    Player p(notices, instant);
    const int32_t length = c.frames * 3 + c.frames / 2;
    ASSERT_TRUE(p.start(memorySource(std::vector<Sample>(size_t(length), 16), 1, c.rate)));
    runUntil(notices, [&] { return !p.isPlaying(); });
    EXPECT_EQ(instant.sizes,
              (std::vector<int32_t>{c.frames, c.frames, c.frames, length - 3 * c.frames}))
        << c.rate << " Hz";
  }
}

// Beyond 16-bit full scale the limiter comes in; at it, the samples go through as they are.
TEST_F(PlayerTest, LimiterOnlyAbove16BitFullScale) {
  std::vector<Sample> words(44100, 0x40000);
  for (size_t i = 20000; i < 20100; ++i)
    words[i] = 0x100000;
  const std::vector<int16_t> plain = toDevice(words);
  const std::vector<int16_t> limited =
      toDevice(readSource(limitTo(memorySource(words, 1, 44100, kFullScale16 + 1))));
  ASSERT_NE(plain, limited);
  EXPECT_EQ(playToEnd(memorySource(words, 1, 44100, kFullScale16)), plain);
  EXPECT_EQ(playToEnd(memorySource(words, 1, 44100, kFullScale16 + 1)), limited);
}

TEST_F(PlayerTest, SeekMidPlayGoesOnFromTheNewFrame) {
  const std::vector<Sample> words = toneWords(44100, 2, 44100, 200000);
  const std::vector<int16_t> all = toDevice(words);
  clock.hold();
  ASSERT_TRUE(player->start(memorySource(words, 2)));
  clock.advance(300000);
  clock.waitForBlocked(1);
  player->seek(30000);
  EXPECT_EQ(player->position(), 30000);
  clock.release();
  runUntil(notices, [&] { return !player->isPlaying(); });
  // 0.3 s from the start, then from frame 30000 to the end.
  std::vector<int16_t> expected(all.begin(), all.begin() + 13230 * 2);
  expected.insert(expected.end(), all.begin() + 30000 * 2, all.end());
  EXPECT_EQ(played(), expected);
}

// Pause loops a quarter buffer from the heard frame; Resume goes on from that frame, so the
// device receives the audio without a gap or a repeat but for the loop.
TEST_F(PlayerTest, PauseLoopsAQuarterBufferAndResumeContinuesSeamlessly) {
  const std::vector<Sample> words = toneWords(44100, 1, 44100, 200000);
  const std::vector<int16_t> all = toDevice(words);
  player->addListener(&log);
  clock.hold();
  ASSERT_TRUE(player->start(memorySource(words, 1)));
  clock.advance(300000);
  clock.waitForBlocked(1);
  player->pause();
  const int32_t paused = 13230;
  EXPECT_TRUE(player->isPaused());
  EXPECT_EQ(player->position(), paused);
  clock.advance(250000);
  clock.waitForBlocked(1);
  player->resume();
  clock.release();
  runUntil(notices, [&] { return !player->isPlaying(); });

  const std::vector<int16_t> out = played();
  ASSERT_EQ(out.size(), all.size() + 11025);  // 250 ms of the loop
  const int32_t quarter = (4410 + 3) / 4;
  for (size_t i = 0; i < out.size(); ++i) {
    size_t from = i;
    if (i >= size_t(paused) + 11025) {
      from = i - 11025;
    } else if (i >= size_t(paused)) {
      from = paused + (i - paused) % 4410 % quarter;
    }
    ASSERT_EQ(out[i], all[from]) << "frame " << i;
  }
  EXPECT_EQ(log.count("paused"), 1);
  EXPECT_EQ(log.count("started"), 2);
}

TEST_F(PlayerTest, StopDuringPlayOutEndsAtOnce) {
  player->addListener(&log);
  clock.hold();
  ASSERT_TRUE(player->start(memorySource(toneWords(11025, 1, 44100, 1000), 1)));
  runUntil(notices, [&] { return player->playingOut(); });
  player->stop();  // the device holds every buffer: waiting for them would never end
  EXPECT_FALSE(player->isPlaying());
  EXPECT_EQ(log.count("stopped"), 1);
  clock.release();
}

TEST_F(PlayerTest, ListenerTableHoldsSixtyFourAndKeepsOrderWhenOneLeaves) {
  std::vector<PlayerLog> logs(65);
  for (PlayerLog& l : logs)
    player->addListener(&l);
  player->addListener(&logs[3]);  // already there
  EXPECT_EQ(player->listenerCount(), 64);
  EXPECT_EQ(logs[3].volumes.size(), 1u);  // told the volume once, when added
  EXPECT_TRUE(logs[64].volumes.empty());  // the table was full
  player->removeListener(&logs[10]);
  player->setVolume(-6);
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(logs[size_t(i)].volumes.back(), i == 10 ? 0 : -6) << i;
  player->addListener(&logs[64]);
  EXPECT_EQ(player->listenerCount(), 64);
}

// −36 … +10 dB on the volume word, muted below −35; the stored value stays in −127 … 127.
TEST_F(PlayerTest, VolumeStepsStopAtBothEnds) {
  struct Case {
    int set;
    int step;  // +1 up, −1 down, 0 none
    int volume;
    int stored;
    int32_t word;
  } cases[] = {
      {0, 0, 0, 0, 51264},       {10, 0, 10, 10, 65504},  {10, +1, 10, 11, 0xFFFF},
      {-35, 0, -35, -35, 1424},  {-35, -1, -36, -36, 0},  {-36, -1, -36, -37, 0},
      {127, +1, 10, 11, 0xFFFF}, {-127, -1, -36, -37, 0}, {200, 0, 10, 127, 0xFFFF},
      {-200, 0, -36, -127, 0},
  };
  for (const Case& c : cases) {
    player->setVolume(c.set);
    if (c.step > 0) player->volumeUp();
    if (c.step < 0) player->volumeDown();
    EXPECT_EQ(player->volume(), c.volume) << c.set << " " << c.step;
    EXPECT_EQ(settings::kPlayVolume.read(), c.stored) << c.set << " " << c.step;
    EXPECT_EQ(Player::volumeWordFor(c.stored), c.word) << c.set << " " << c.step;
  }
  // What the device receives: muted, and 6 dB down by the gain.
  const std::vector<Sample> words = toneWords(4410, 1, 44100, 200000);
  player->setVolume(-40);
  EXPECT_EQ(playToEnd(memorySource(words, 1)), std::vector<int16_t>(words.size(), 0));
  player->setVolume(-6);
  std::vector<Sample> quieter(words);
  for (Sample& v : quieter)
    v = splitMultiply(DecibelTable::instance().amplitude(-6), v);
  EXPECT_EQ(playToEnd(memorySource(words, 1)), toDevice(quieter));
}

// The position is the frame being heard, not the end of the last buffer handed back: here
// the device has taken every buffer while the listener has heard only `heard` frames.
TEST_F(PlayerTest, PositionIsTheFrameBeingHeard) {
  InstantDevices instant;
  instant.heard = 0;
  Player p(notices, instant);
  auto source = memorySource(toneWords(44100, 1, 44100, 1000), 1);
  source->seek(1000);
  ASSERT_TRUE(p.start(source));
  runUntil(notices, [&] { return p.playingOut(); });  // every buffer written and taken
  for (int64_t heard : {0, 1, 4409, 4410, 20000, 35279}) {
    instant.last->heard = heard;
    EXPECT_EQ(p.position(), 1000 + heard) << heard;
  }
  p.stop();
}

TEST_F(PlayerTest, LevelsFollowTheDecibelFormula) {
  struct Case {
    int64_t peak;
    int decibels;
  } cases[] = {{0, -127},   {1, -102},   {65536, -6},  {92682, -3},   {131071, 0},
               {131072, 0}, {262144, 6}, {524288, 12}, {1 << 30, 78}, {INT64_C(1) << 40, 127}};
  for (const Case& c : cases)
    EXPECT_EQ(peakDecibels(c.peak), c.decibels) << c.peak;

  // A notice carries the level of each channel of the buffer just played.
  std::vector<Sample> words(8820);
  for (size_t i = 0; i < words.size(); i += 2) {
    words[i] = i % 4 ? 65536 : -65536;
    words[i + 1] = 16;
  }
  playToEnd(memorySource(words, 2));
  const LevelRecord last = player->levels();
  EXPECT_EQ(last.channels, 2);
  EXPECT_EQ(last.decibels[0], -6);
  EXPECT_EQ(last.decibels[1], -78);
}

TEST_F(PlayerTest, DeviceIsChosenByStoredName) {
  struct Case {
    const char* stored;
    int number;
    const char* name;
  } cases[] = {{"Beta", 2, "Beta"},
               {"Alpha", 1, "Alpha"},
               {"beta", 0, "[Default Sound Out]"},
               {"", 0, "[Default Sound Out]"}};
  for (const Case& c : cases) {
    settings::kSoundDevice.write(c.stored);
    {
      Player p(notices, devices);
      p.addListener(&log);
      ASSERT_TRUE(p.start(memorySource(std::vector<Sample>(441, 16), 1)));
      EXPECT_EQ(devices.lastOutputNumber(), c.number) << c.stored;
      EXPECT_EQ(p.device(), (DeviceChoice{c.number, c.name}));
      EXPECT_EQ(log.devices.back(), (DeviceChoice{c.number, c.name}));
      runUntil(notices, [&] { return !p.isPlaying(); });
    }
    EXPECT_EQ(settings::kSoundDevice.read(), c.name);
  }
  Player p(notices, devices);
  EXPECT_EQ(p.deviceNames(), (std::vector<std::string>{"[Default Sound Out]", "Alpha", "Beta"}));
}

}  // namespace
}  // namespace quillon::testing
