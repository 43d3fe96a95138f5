// quillon-cli's play and record steps on the file devices (QUILLON_AUDIO_OUT/IN=file:PATH).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "shell/cli_session.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

class CliSoundTest : public ::testing::Test {
 protected:
  CliSoundTest() {
    input = toneWords(44100, 2, 44100, 120000, 300);
    writeWav16(env.path("in.wav"), input, 44100, 2);
  }
  ~CliSoundTest() override {
    ::setenv("QUILLON_AUDIO_OUT", "null", 1);
    ::setenv("QUILLON_AUDIO_IN", "null", 1);
  }

  int cli(const std::vector<std::string>& arguments) {
    err.str("");
    std::vector<std::string> all = {"-q"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runCli(all, out, err);
  }

  TempEnvironment env;
  std::vector<Sample> input;
  std::ostringstream out, err;
};

// Two seconds from the input device go in at the cursor (0) as "Record": what the saved file
// holds is the input file's samples through the recorder's DC removal, then the document.
TEST_F(CliSoundTest, RecordsSecondsFromTheInputIntoTheDocument) {
  const std::vector<Sample> take = toneWords(132300, 2, 44100, 90000, 500);
  writeWav16(env.path("take.wav"), take, 44100, 2);
  ::setenv("QUILLON_AUDIO_IN", ("file:" + env.path("take.wav")).c_str(), 1);
  ASSERT_EQ(cli({"open", env.path("in.wav"), "record", "seconds=2", "info", "save-as",
                 env.path("out.wav")}),
            0)
      << err.str();
  EXPECT_NE(err.str().find("recorded 2.000 s, 0 dropouts"), std::string::npos) << err.str();
  EXPECT_NE(out.str().find("\"undo\": \"Record\""), std::string::npos) << out.str();
  std::vector<Sample> expected = removeDc(take, 2, 44100);
  expected.resize(2 * 88200);
  expected.insert(expected.end(), input.begin(), input.end());
  EXPECT_EQ(readWav16(env.path("out.wav")), toDevice(expected));
}

TEST_F(CliSoundTest, PlaysTheSelectionOnTheOutputDevice) {
  ::setenv("QUILLON_AUDIO_OUT", ("file:" + env.path("played.wav")).c_str(), 1);
  ASSERT_EQ(cli({"open", env.path("in.wav"), "select", "0.25s", "0.5s", "play", "info"}), 0)
      << err.str();
  const std::vector<Sample> part(input.begin() + 2 * 11025, input.begin() + 2 * 22050);
  EXPECT_EQ(readWav16(env.path("played.wav")), toDevice(part));
  // The cursor followed the playback to its end.
  EXPECT_NE(out.str().find("\"cursor\": 22050"), std::string::npos) << out.str();
}

TEST_F(CliSoundTest, ReportsADeviceThatCannotStart) {
  ::setenv("QUILLON_AUDIO_OUT", "file:/nonexistent/folder/out.wav", 1);
  EXPECT_EQ(cli({"open", env.path("in.wav"), "play"}), 2);
  EXPECT_NE(err.str().find("the sound device could not be started: cannot create"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(cli({"open", env.path("in.wav"), "record", "threshold=-50"}), 2);
  EXPECT_NE(err.str().find("threshold must be between -40 and -6"), std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
