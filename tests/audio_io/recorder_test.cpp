// The recorder on the file input device and a virtual clock, against references worked in the
// test: the DC removal formula, the trimming and voice-activation rules, the converters.
#include <gtest/gtest.h>

#include "audio_io/audio_clock.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/recorder.h"
#include "document/block_writer.h"
#include "effects/format_conversion.h"
#include "support/memory_source.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

std::vector<Sample> slice(const std::vector<Sample>& words, size_t from, size_t to) {
  return std::vector<Sample>(words.begin() + ptrdiff_t(from), words.begin() + ptrdiff_t(to));
}

std::vector<Sample> concat(std::vector<Sample> a, const std::vector<Sample>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class RecorderTest : public DocumentTest {
 protected:
  RecorderTest() { devices.inputOptions().path = env.path("in.wav"); }

  // Records the input file from the start until the device has delivered all of it.
  std::vector<Sample> record(int32_t rate, int channels, int threshold, int32_t silence,
                             const std::function<void()>& meanwhile = {}) {
    Clip clip;
    {
      auto writer = makeRef<BlockWriter>(clip, rate, channels);
      EXPECT_TRUE(recorder.start(writer, 0, threshold, silence)) << recorder.lastError();
      if (meanwhile) meanwhile();
      runUntil(notices, [&] { return recorder.inputExhausted(); });
      recorder.stop();
    }
    return readAll(clip);
  }

  VirtualClock clock;
  ClockedDevices devices{clock, {}, {}};
  NoticeQueue notices;
  Recorder recorder{notices, devices};
};

// Without trimming every sample arrives: the input's 16-bit data << 4 through the DC removal,
// exactly.
TEST_F(RecorderTest, RecordsTheInputThroughDcRemovalExactly) {
  std::vector<Sample> input = toneWords(66150, 2, 44100, 150000);
  for (size_t i = 0; i < input.size(); i += 2)
    input[i] += 3000 * 16;  // an offset on the left channel
  writeWav16(env.path("in.wav"), input, 44100, 2);
  const std::vector<Sample> recorded = record(44100, 2, Recorder::kOff, Recorder::kEndlessSilence);
  ASSERT_GE(recorded.size(), input.size());
  const std::vector<Sample> expected = removeDc(input, 2, 44100);
  EXPECT_EQ(slice(recorded, 0, input.size()), expected);
  // The offset is gone after the filter has settled.
  int64_t sum = 0;
  for (size_t i = input.size() - 20000; i < input.size(); i += 2)
    sum += recorded[i];
  EXPECT_LT(std::abs(sum / 10000), 3000 * 16 / 100);
  EXPECT_EQ(recorder.dropouts(), 0);
}

// Threshold −24 dB: of the silence before the sound only the last half buffer (50 ms) is
// kept; the recording ends 50 ms after the last buffer at or above −28 dB.
TEST_F(RecorderTest, AutoTrimKeepsHalfABufferBeforeAndFiftyMillisecondsAfter) {
  EXPECT_EQ(Recorder::stopThresholdFor(-24), -28);
  EXPECT_EQ(Recorder::stopThresholdFor(-124), -127);
  std::vector<Sample> input(8000, 0);                 // 1 s of silence
  input = concat(input, toneAt(-10, 8000));           // 1 s loud
  input = concat(input, toneAt(-26, 4000));           // 0.5 s under the start, over the stop level
  input = concat(input, std::vector<Sample>(12000));  // 1.5 s of silence
  writeWav16(env.path("in.wav"), input, 8000, 1);
  const std::vector<Sample> recorded = record(8000, 1, -24, Recorder::kEndlessSilence);
  EXPECT_EQ(recorded, slice(removeDc(input, 1, 8000), 7600, 20400));
}

// Voice activation: 5 s below the stop threshold pause the recording, which keeps 450 ms
// after the last loud buffer; sound at the start threshold resumes it (with half a buffer
// before it).
TEST_F(RecorderTest, VoiceActivationPausesAfterFiveSecondsAndKeeps450Ms) {
  std::vector<Sample> input = toneAt(-10, 8000);      // 0–1 s
  input = concat(input, std::vector<Sample>(48000));  // 1–7 s quiet
  input = concat(input, toneAt(-10, 8000));           // 7–8 s
  input = concat(input, std::vector<Sample>(8000));   // 8–9 s quiet
  writeWav16(env.path("in.wav"), input, 8000, 1);
  const std::vector<Sample> recorded = record(8000, 1, -24, 5000);
  const std::vector<Sample> clean = removeDc(input, 1, 8000);
  EXPECT_EQ(recorded, concat(slice(clean, 0, 11600), slice(clean, 55600, 64400)));
}

// A device that only opens at 44.1 kHz: an 8 kHz recording is converted on the way.
TEST_F(RecorderTest, RecordsThroughTheConvertersWhenTheDeviceRefusesTheRate) {
  devices.inputOptions().sampleRates = {44100};
  const std::vector<Sample> input = toneWords(44100, 1, 44100, 150000, 300);
  writeWav16(env.path("in.wav"), input, 44100, 1);
  const std::vector<Sample> recorded = record(8000, 1, Recorder::kOff, Recorder::kEndlessSilence);
  EXPECT_EQ(recorder.deviceFormat(), (DeviceFormat{44100, 1}));
  const std::vector<Sample> expected =
      readSource(convertFormat(memorySource(removeDc(input, 1, 44100), 1, 44100), 8000, 1));
  ASSERT_GE(recorded.size(), expected.size());
  int64_t largest = 0;
  for (size_t i = 0; i < expected.size() - 100; ++i)
    largest = std::max(largest, std::abs(int64_t{recorded[i]} - expected[i]));
  EXPECT_LE(largest, 2 * 16) << "in 16-bit steps: " << largest / 16.0;
}

// An overrun: what the device lost becomes silence of the same length, and is counted.
TEST_F(RecorderTest, OverrunBecomesSilenceOfTheLostLength) {
  const std::vector<Sample> input = toneWords(8000, 1, 8000, 150000, 300);
  writeWav16(env.path("in.wav"), input, 8000, 1);
  clock.hold();
  const std::vector<Sample> recorded =
      record(8000, 1, Recorder::kOff, Recorder::kEndlessSilence, [&] {
        clock.advance(300000);  // three buffers
        clock.waitForBlocked(1);
        devices.lastInput()->loseFrames(800);
        clock.release();
      });
  std::vector<Sample> heard = concat(slice(input, 0, 2400), slice(input, 3200, 8000));
  heard = removeDc(heard, 1, 8000);
  const std::vector<Sample> expected =
      concat(concat(slice(heard, 0, 2400), std::vector<Sample>(800)), slice(heard, 2400, 7200));
  ASSERT_GE(recorded.size(), expected.size());
  EXPECT_EQ(slice(recorded, 0, expected.size()), expected);
  EXPECT_EQ(recorder.dropouts(), 1);
  EXPECT_EQ(recorder.framesLost(), 800);
}

// Restart empties the recording and waits for sound again; the DC removal goes on as it was.
TEST_F(RecorderTest, RestartEmptiesTheRecordingAndBeginsAgain) {
  const std::vector<Sample> input = toneWords(8000, 1, 8000, 150000, 300);
  writeWav16(env.path("in.wav"), input, 8000, 1);
  clock.hold();
  const std::vector<Sample> recorded =
      record(8000, 1, Recorder::kOff, Recorder::kEndlessSilence, [&] {
        clock.advance(300000);  // three buffers
        runUntil(notices, [&] { return recorder.lastLoudMilliseconds() == 300; });
        recorder.restart();
        clock.release();
      });
  const std::vector<Sample> clean = removeDc(input, 1, 8000);
  ASSERT_GE(recorded.size(), 5600u);
  EXPECT_EQ(slice(recorded, 0, 5600), slice(clean, 2400, 8000));
}

}  // namespace
}  // namespace quillon::testing
