// The real PortAudio backend without a sound card: a private ALSA configuration points the
// default device at ALSA's file plugin, so playing writes a raw file and recording reads one.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "audio_io/player.h"
#include "audio_io/portaudio_devices.h"
#include "audio_io/recorder.h"
#include "document/block_writer.h"
#include "support/memory_source.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

std::vector<int16_t> readRaw16(const std::string& path) {
  const std::vector<uint8_t> bytes = readBytes(path);
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return samples;
}

// PortAudio lists the devices once per process, with the ALSA configuration of that moment; the
// files the configuration names therefore live in one folder for the whole process.
class AlsaFiles {
 public:
  static AlsaFiles& instance() {
    static AlsaFiles files;
    return files;
  }
  std::string path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  AlsaFiles() {
    std::string pattern = "/tmp/quillon-alsa-XXXXXX";
    folder_ = ::mkdtemp(pattern.data()) ? pattern : "/tmp";
  }
  ~AlsaFiles() {
    std::error_code ignored;
    if (folder_ != "/tmp") std::filesystem::remove_all(folder_, ignored);
  }
  std::string folder_;
};

class PortAudioTest : public DocumentTest {
 protected:
  void SetUp() override {
    if (!std::ifstream("/usr/share/alsa/alsa.conf")) {
      GTEST_SKIP() << "ALSA is not installed (libasound2): no PortAudio test without it";
    }
    // HOME is the test's own folder, so ALSA reads this file and no other user's. The input
    // file must exist before PortAudio lists the devices, or the default device has no input.
    std::ofstream(files.path("in.raw"), std::ios::app);
    std::ofstream(env.path(".asoundrc"))
        << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << files.path("out.raw")
        << "\"\n  infile \"" << files.path("in.raw") << "\"\n  format \"raw\"\n}\n";
  }

  AlsaFiles& files = AlsaFiles::instance();
  PortAudioDevices devices;
  NoticeQueue notices;
};

// Leading and trailing silence is the device's (it starts and ends with some); the test
// signal is never zero, so dropping silent frames leaves exactly what was played.
TEST_F(PortAudioTest, PlaysADocumentIntoTheAlsaFilePlugin) {
  const std::vector<Sample> words = toneWords(22050, 1, 44100, 150000);
  Player player(notices, devices);
  ASSERT_TRUE(player.start(memorySource(words, 1, 44100))) << player.lastError();
  runUntil(notices, [&] { return !player.isPlaying(); });
  std::vector<int16_t> out = readRaw16(files.path("out.raw"));
  std::erase(out, int16_t(0));
  EXPECT_EQ(out, toDevice(words));
}

TEST_F(PortAudioTest, RecordsFromTheAlsaFilePlugin) {
  const std::vector<Sample> words = toneWords(22050, 1, 44100, 150000);
  std::vector<uint8_t> bytes;
  for (int16_t v : toDevice(words)) {
    bytes.push_back(uint8_t(v & 0xFF));
    bytes.push_back(uint8_t(uint16_t(v) >> 8));
  }
  writeBytes(files.path("in.raw"), bytes);

  Recorder recorder(notices, devices);
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, 44100, 1);
    ASSERT_TRUE(recorder.start(writer, 0, Recorder::kOff, Recorder::kEndlessSilence))
        << recorder.lastError();
    runUntil(notices, [&] { return recorder.framesCaptured() >= 30000; });
    recorder.stop();
  }
  std::vector<Sample> recorded = readAll(clip);
  // Ten buffers were queued before the device started, more than the file holds: nothing of
  // it can have been lost. Leading silence is the device's.
  const auto first = std::find_if(recorded.begin(), recorded.end(), [](Sample v) { return v; });
  recorded.erase(recorded.begin(), first);
  ASSERT_GE(recorded.size(), words.size());
  recorded.resize(words.size());
  EXPECT_EQ(recorded, removeDc(words, 1, 44100));
}

}  // namespace
}  // namespace quillon::testing
