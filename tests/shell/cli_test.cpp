// quillon-cli end to end: real files in and out, checked against sox where it is a peer.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/service_channel.h"
#include "platform/settings.h"
#include "platform/xdg_dirs.h"
#include "shell/cli_session.h"
#include "support/fifo_trap.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("sox")) GTEST_SKIP() << "sox is not installed (./test.sh installs it)";
    // Five seconds of stereo: two tones and a little noise, at half scale.
    input = env.path("in.wav");
    ASSERT_EQ(runCommand("sox -n -r 44100 -c 2 -b 16 " + testing::quoted(input) +
                         " synth 5 sine 440 sine 660 vol 0.5"),
              0);
  }

  int cli(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    std::vector<std::string> all = {"-q"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runCli(all, out, err);
  }

  // The file's samples as sox decodes them, 32-bit.
  std::vector<int32_t> samples(const std::string& path) {
    const std::string raw = path + ".s32";
    EXPECT_EQ(runCommand("sox " + testing::quoted(path) + " -t raw -e signed -b 32 -L " +
                         testing::quoted(raw)),
              0);
    return readRaw32(raw);
  }

  std::vector<int32_t> soxResult(const std::string& effect) {
    const std::string reference = env.path("reference.wav");
    EXPECT_EQ(runCommand("sox -D " + testing::quoted(input) + " " + testing::quoted(reference) +
                         " " + effect),
              0);
    return samples(reference);
  }

  static int32_t largestDifference(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    int64_t largest = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
      largest = std::max(largest, std::abs(int64_t(a[i]) - b[i]));
    return int32_t(largest >> 16);  // in 16-bit steps
  }

  // The largest amount by which |a − b| exceeds `relative` × |b|, in 16-bit steps.
  static double excessOverRelative(const std::vector<int32_t>& a, const std::vector<int32_t>& b,
                                   double relative) {
    EXPECT_EQ(a.size(), b.size());
    double largest = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
      const double d = std::abs(double(a[i]) - b[i]) - relative * std::abs(double(b[i]));
      largest = std::max(largest, d / 65536.0);
    }
    return largest;
  }

  TempEnvironment env;
  std::string input;
  std::ostringstream out, err;
};

TEST_F(CliTest, SelectAndTrimIsSoxTrim) {
  const std::string output = env.path("trimmed.wav");
  ASSERT_EQ(cli({"open", input, "select", "1.5s", "4000ms", "trim", "save-as", output}), 0)
      << err.str();
  EXPECT_EQ(samples(output), soxResult("trim 1.5 =4"));
}

TEST_F(CliTest, ReverseIsSoxReverseAndAmplifyIsSoxVolume) {
  const std::string reversed = env.path("reversed.wav");
  ASSERT_EQ(cli({"open", input, "reverse", "save-as", reversed}), 0) << err.str();
  EXPECT_EQ(samples(reversed), soxResult("reverse"));

  // Segment gains are applied in steps of 1/512 (truncated), after the percentage was applied
  // to the gain divided by 100 first: 150 % becomes 767/512. So the result may lie up to 2/512
  // of its value (plus a rounding step) below sox's exact volume change.
  const std::string louder = env.path("louder.wav");
  ASSERT_EQ(cli({"open", input, "amplify", "gain=150", "save-as", louder}), 0) << err.str();
  EXPECT_LE(excessOverRelative(samples(louder), soxResult("vol 1.5"), 2.0 / 512), 1.0);
  EXPECT_EQ(settings::kAmplifyGain.read(), 150);
}

TEST_F(CliTest, FadesAreLinearLikeSoxLinearFades) {
  // The envelope's per-frame step is truncated and only re-anchored every 8192 frames: over a
  // block the gain drifts by (w − trunc w) × 8192 / 2^24 (w = 2^24 / frames of the fade), about
  // 1e-4 of full scale, which with the rounding of both sides stays within 3 steps.
  const std::string faded = env.path("faded.wav");
  ASSERT_EQ(cli({"open", input, "select", "0", "2s", "fade-in", "save-as", faded}), 0) << err.str();
  EXPECT_LE(largestDifference(samples(faded), soxResult("fade t 2")), 3);
}

TEST_F(CliTest, NormalizeBringsThePeakToTheLevel) {
  const std::string normalized = env.path("normalized.wav");
  ASSERT_EQ(cli({"open", input, "normalize", "level=90", "save-as", normalized}), 0) << err.str();
  int64_t peak = 0;
  for (int32_t s : samples(normalized))
    peak = std::max<int64_t>(peak, std::abs(int64_t(s)));
  // The amplification is a whole percentage (truncated) applied in 1/512 steps (truncated):
  // never above the level, and at most 1 % + 2/512 below it.
  const double level = double(peak) / 2147483648.0;
  EXPECT_LE(level, 0.9 + 1.0 / 32768);
  EXPECT_GE(level, 0.9 * (1 - 0.01 - 2.0 / 512));
}

TEST_F(CliTest, InfoReportsTheDocumentAsJson) {
  ASSERT_EQ(
      cli({"open", input, "select", "100", "200", "delete", "insert-silence-end", "500", "info"}),
      0)
      << err.str();
  const std::string json = out.str();
  EXPECT_NE(json.find("\"rate\": 44100"), std::string::npos) << json;
  EXPECT_NE(json.find("\"channels\": 2"), std::string::npos);
  EXPECT_NE(json.find("\"length\": " + std::to_string(220500 - 100 + 22050)), std::string::npos);
  EXPECT_NE(json.find("\"undo\": \"Insert Silence At The End\""), std::string::npos);
  EXPECT_NE(json.find("\"canRedo\": false"), std::string::npos);
  EXPECT_NE(json.find("\"modified\": true"), std::string::npos);
}

TEST_F(CliTest, RefusalsUnknownStepsAndUnavailableCommandsFail) {
  EXPECT_EQ(cli({"open", input, "echo", "time=3000"}), 2);
  EXPECT_NE(err.str().find("Invalid value: Echo time must be between 10 and 3000ms."),
            std::string::npos)
      << err.str();
  EXPECT_EQ(cli({"open", input, "frobnicate"}), 2);
  EXPECT_EQ(cli({"open", input, "amplify", "volume=3"}), 2);
  EXPECT_EQ(cli({"open", input, "save-as", env.path("x.au"), "bits=8"}), 2)
      << "the words are those of the target format's settings";
  EXPECT_EQ(cli({"open", input, "save-region", env.path("region.wav")}), 2)
      << "nothing is selected";
  EXPECT_NE(err.str().find("not available"), std::string::npos);
  EXPECT_EQ(cli({"trim"}), 2) << "no document";
  EXPECT_EQ(cli({"open", env.path("missing.wav")}), 2);
  EXPECT_NE(err.str().find("Error loading file"), std::string::npos);
  EXPECT_EQ(cli({"open", input, "select", "1.5q", "2"}), 2);
}

// Positions past the end are kept to the document: a selection reaching past a 1-second file
// changes its last half second and adds nothing, and the cursor stops at the end.
TEST_F(CliTest, PositionsPastTheEndAreKeptToTheDocument) {
  const std::string second = env.path("second.wav");
  ASSERT_EQ(runCommand("sox -n -r 44100 -c 1 -b 16 " + testing::quoted(second) +
                       " synth 1 sine 440 vol 0.1"),
            0);
  for (const char* command : {"fade-out", "fade-in", "silence", "echo", "reverse", "agc", "reverb",
                              "compressor", "high-pass"}) {
    SCOPED_TRACE(command);
    const std::string output = env.path(std::string(command) + ".wav");
    ASSERT_EQ(cli({"open", second, "select", "0.5s", "60s", command, "info", "save-as", output}), 0)
        << err.str();
    EXPECT_NE(out.str().find("\"length\": 44100,"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\"start\": 22050, \"end\": 44100"), std::string::npos) << out.str();
    ASSERT_EQ(runCommand("test \"$(soxi -s " + testing::quoted(output) + ")\" = 44100"), 0);
    const std::vector<int32_t> before = samples(second), after = samples(output);
    ASSERT_EQ(after.size(), 44100u);
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 22050, before.begin()))
        << "nothing before the selection changes";
  }
  ASSERT_EQ(cli({"open", second, "cursor", "99999999", "info"}), 0) << err.str();
  EXPECT_NE(out.str().find("\"cursor\": 44100,"), std::string::npos) << out.str();
  ASSERT_EQ(cli({"open", second, "select", "2s", "3s", "info"}), 0) << err.str();
  EXPECT_NE(out.str().find("\"start\": 44100, \"end\": 44100, \"exists\": false"),
            std::string::npos)
      << out.str();
}

TEST_F(CliTest, QuestionsAreAnsweredByYesOrNo) {
  const std::string output = env.path("out.wav");
  ASSERT_EQ(cli({"open", input, "save-as", output}), 0);
  const std::vector<uint8_t> before = readBytes(output);
  EXPECT_EQ(cli({"open", input, "reverse", "save-as", output}), 1) << "--no keeps the file";
  EXPECT_NE(err.str().find("File already exists"), std::string::npos);
  EXPECT_EQ(readBytes(output), before);
  EXPECT_EQ(cli({"--yes", "open", input, "reverse", "save-as", output}), 0);
  EXPECT_NE(readBytes(output), before);
}

TEST_F(CliTest, SaveAsTakesTheFormatSettings) {
  const std::string output = env.path("small.wav");
  ASSERT_EQ(cli({"open", input, "save-as", output, "rate=8000", "channels=1", "bits=8"}), 0)
      << err.str();
  ASSERT_EQ(runCommand("test \"$(soxi -r " + testing::quoted(output) + ")\" = 8000"), 0);
  ASSERT_EQ(runCommand("test \"$(soxi -c " + testing::quoted(output) + ")\" = 1"), 0);
  ASSERT_EQ(runCommand("test \"$(soxi -b " + testing::quoted(output) + ")\" = 8"), 0);
}

// A word that is not a value its field takes is refused, and nothing of it is stored; so is a
// rate that no reader would take back.
TEST_F(CliTest, BadWordsAreRefusedAndNothingIsStored) {
  const struct {
    std::vector<std::string> steps;
    const char* said;
  } cases[] = {
      {{"amplify", "gain=abc"}, "\"abc\" is not a value for gain"},
      {{"amplify", "gain=-5"}, "gain"},
      {{"amplify", "gain=1e9"}, "gain"},
      {{"amplify", "gain="}, "gain"},
      {{"reverb", "decay=abc"}, "decay"},
      {{"high-pass", "freq=abc"}, "freq"},
      {{"save-as", "out.wav", "channels=abc"}, "channels"},
      {{"save-as", "out.wav", "rate=4000000"}, "rate"},
      {{"save-as", "out.wav", "rate=1"}, "rate"},
      {{"save-as", "out.aiff", "rate=4000000"}, "rate"},
      {{"save-as", "out.wav", "codec=mp3"}, "\"mp3\" is not a codec: it takes pcm, float, gsm"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> line = {"open", input};
    for (const std::string& step : c.steps)
      line.push_back(step == "out.wav" || step == "out.aiff" ? env.path(step) : step);
    SCOPED_TRACE(line[2] + " " + line.back());
    EXPECT_EQ(cli(line), 2);
    EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
    EXPECT_FALSE(platform::fileExists(env.path("out.wav")) ||
                 platform::fileExists(env.path("out.aiff")));
  }
  EXPECT_EQ(settings::kAmplifyGain.read(), 100);
}

// Short codec names in any case; rate and channels left out are the document's, whatever an
// earlier run stored.
TEST_F(CliTest, SaveAsTakesShortCodecNamesAndKeepsTheDocumentsLayout) {
  const struct {
    const char* word;
    const char* encoding;  // as soxi -e says it
  } codecs[] = {{"pcm", "Signed Integer PCM"},
                {"pcm uncompressed", "Signed Integer PCM"},
                {"FLOAT", "Floating Point PCM"},
                {"Ima-Adpcm", "IMA ADPCM"},
                {"ms-adpcm", "MS ADPCM"},
                {"alaw", "A-law"},
                {"MULAW", "u-law"}};
  for (const auto& c : codecs) {
    SCOPED_TRACE(c.word);
    const std::string output = env.path("codec.wav");
    std::remove(output.c_str());
    ASSERT_EQ(cli({"open", input, "save-as", output, std::string("codec=") + c.word}), 0)
        << err.str();
    EXPECT_EQ(
        runCommand("test \"$(soxi -e " + testing::quoted(output) + ")\" = \"" + c.encoding + "\""),
        0);
  }
  const std::string mono = env.path("mono.wav");
  ASSERT_EQ(cli({"open", input, "save-as", mono, "codec=gsm", "rate=8000", "channels=1"}), 0)
      << err.str();
  ASSERT_EQ(runCommand("test \"$(soxi -r " + testing::quoted(mono) + ")\" = 8000"), 0);

  // The stored format is now 8 kHz mono: a later save without words keeps the document's.
  const std::string later = env.path("later.wav");
  ASSERT_EQ(cli({"open", input, "save-as", later, "codec=pcm"}), 0) << err.str();
  EXPECT_EQ(runCommand("test \"$(soxi -r " + testing::quoted(later) + ")\" = 44100"), 0);
  EXPECT_EQ(runCommand("test \"$(soxi -c " + testing::quoted(later) + ")\" = 2"), 0);
  const std::string aiff = env.path("later.aiff");
  ASSERT_EQ(cli({"open", mono, "save-as", env.path("mid.aiff"), "rate=22050"}), 0) << err.str();
  ASSERT_EQ(cli({"open", input, "save-as", aiff}), 0) << err.str();
  EXPECT_EQ(runCommand("test \"$(soxi -r " + testing::quoted(aiff) + ")\" = 44100"), 0);
  EXPECT_EQ(runCommand("test \"$(soxi -c " + testing::quoted(aiff) + ")\" = 2"), 0);

  ASSERT_EQ(cli({"--help"}), 0);
  for (const char* name :
       {"pcm", "float", "gsm", "ima-adpcm", "ms-adpcm", "alaw", "mulaw", "\"PCM Uncompressed\""}) {
    EXPECT_NE(out.str().find(name), std::string::npos) << name;
  }
}

TEST_F(CliTest, RawFilesTakeTheirLayoutFromTheWords) {
  const std::string raw = env.path("voice.raw");
  ASSERT_EQ(runCommand("sox -n -r 8000 -c 1 -e signed -b 16 -L -t raw " + testing::quoted(raw) +
                       " synth 1 sine 300"),
            0);
  ASSERT_EQ(cli({"open", raw, "rate=8000", "channels=1", "codec=3", "info"}), 0) << err.str();
  EXPECT_NE(out.str().find("\"rate\": 8000"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\"length\": 8000"), std::string::npos);
}

TEST_F(CliTest, NewDocumentsTakeTheGivenFormat) {
  const std::string output = env.path("silence.wav");
  ASSERT_EQ(cli({"new", "22050", "2", "insert-silence-begin", "1000", "save-as", output}), 0)
      << err.str();
  ASSERT_EQ(runCommand("test \"$(soxi -s " + testing::quoted(output) + ")\" = 22050"), 0);
  EXPECT_EQ(cli({"new", "5000", "1"}), 2);
}

// Runs of quillon-cli that need no peer: in this process, and as the program itself where what a
// process does (signals, two runs at once) is the point.
class CliRunTest : public ::testing::Test {
 protected:
  int cli(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    std::vector<std::string> all = {"-q"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runCli(all, out, err);
  }

  // Starts the program with these words (it runs in the test's environment).
  static void startProgram(platform::ChildProcess& run, const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {"-q"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    EXPECT_TRUE(run.start(QUILLON_CLI, all));
  }

  // The saves' temporary files in a folder.
  static std::vector<std::string> temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(".~", 0) == 0) found.push_back(name);
    }
    return found;
  }

  TempEnvironment env;
  std::ostringstream out, err;
};

// A FIFO named like a sound file (or like the bookmarks beside one) must not stall a run in its
// open: it is refused at once, as anything that is not a regular file is.
TEST_F(CliRunTest, AFifoNamedLikeASoundFileIsRefusedAtOnce) {
  for (const char* extension :
       {".wav", ".mp3", ".aiff", ".au", ".gsm", ".vox", ".raw", ".dct", ".dart"}) {
    SCOPED_TRACE(extension);
    FifoTrap fifo(env.path(std::string("pipe") + extension));
    ASSERT_TRUE(fifo.made());
    EXPECT_EQ(cli({"open", fifo.path()}), 2);
    EXPECT_NE(err.str().find(fifo.path()), std::string::npos) << err.str();
    EXPECT_EQ(cli({"new", "8000", "1", "insert-file-end", fifo.path()}), 2);
    EXPECT_FALSE(fifo.released()) << "a run waited on the FIFO";
  }
  // The bookmarks beside a sound file.
  const std::string song = env.path("song.wav");
  ASSERT_EQ(cli({"new", "8000", "1", "insert-silence-end", "100", "save-as", song}), 0)
      << err.str();
  FifoTrap bookmarks(env.path("song.qbm"));
  EXPECT_EQ(cli({"open", song, "info"}), 0) << err.str();
  EXPECT_FALSE(bookmarks.released()) << "the run waited on the bookmarks' FIFO";
}

// Every save writes a temporary file of its own and renames it over the target: a link planted
// where a save's temporary file could be expected is never written through, two saves of one
// target at once leave one of the two files whole (both report success), and a failed save
// names the target, not its temporary file.
TEST_F(CliRunTest, SavesNeverShareATemporaryFile) {
  const std::string target = env.path("x.wav");
  const std::string victim = env.path("victim.txt");
  testing::writeBytes(victim, {'k', 'e', 'e', 'p'});
  ASSERT_EQ(::symlink(victim.c_str(), env.path(".~x.wav").c_str()), 0);
  ASSERT_EQ(cli({"new", "8000", "1", "insert-silence-end", "100", "save-as", target}), 0)
      << err.str();
  EXPECT_EQ(readBytes(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  ::unlink(env.path(".~x.wav").c_str());

  // Two runs save documents of different lengths to one file at once; each alone gives the
  // reference. Converting the rate makes each save last long enough to overlap.
  const std::vector<std::string> longer = {"--yes", "new",    "44100", "2", "insert-silence-end",
                                           "40000", "save-as"};
  const std::vector<std::string> shorter = {"--yes", "new",    "44100", "2", "insert-silence-end",
                                            "25000", "save-as"};
  auto with = [](std::vector<std::string> words, const std::string& path) {
    words.push_back(path);
    words.push_back("rate=8000");
    return words;
  };
  ASSERT_EQ(cli(with(longer, env.path("longer.wav"))), 0) << err.str();
  ASSERT_EQ(cli(with(shorter, env.path("shorter.wav"))), 0) << err.str();
  const std::vector<uint8_t> a = readBytes(env.path("longer.wav"));
  const std::vector<uint8_t> b = readBytes(env.path("shorter.wav"));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    platform::ChildProcess first, second;
    startProgram(first, with(longer, target));
    startProgram(second, with(shorter, target));
    ASSERT_TRUE(first.waitForExit(120000));
    ASSERT_TRUE(second.waitForExit(120000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(second.exitCode(), 0);
    const std::vector<uint8_t> result = readBytes(target);
    EXPECT_TRUE(result == a || result == b) << "a mix of " << result.size() << " bytes";
    EXPECT_EQ(temporaries(env.root()), std::vector<std::string>{});
  }

  // A save that cannot be made names the file the user asked for.
  const std::string unmakeable = env.path("victim.txt/out.wav");
  EXPECT_EQ(cli({"new", "8000", "1", "insert-silence-end", "100", "save-as", unmakeable}), 2);
  EXPECT_NE(err.str().find("Unable to create file \"" + unmakeable + "\" for saving."),
            std::string::npos)
      << err.str();
  EXPECT_EQ(err.str().find(".~"), std::string::npos) << err.str();
}

// A run told to end by a kill or a closed terminal cancels its save like Ctrl+C: the temporary
// file goes, the target keeps its bytes, and the run's working folder is removed.
TEST_F(CliRunTest, ASaveEndedByASignalLeavesTheTargetAndNoTemporaryFile) {
  const std::string target = env.path("kept.wav");
  ASSERT_EQ(cli({"new", "8000", "1", "insert-silence-end", "100", "save-as", target}), 0)
      << err.str();
  const std::vector<uint8_t> before = readBytes(target);
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    // Minutes of stereo converted to 8,000 Hz: a save that takes a while.
    platform::ChildProcess run;
    startProgram(run, {"--yes", "new", "44100", "2", "insert-silence-end", "1200000", "save-as",
                       target, "rate=8000"});
    const auto start = std::chrono::steady_clock::now();
    while (temporaries(env.root()).empty() &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(temporaries(env.root()).empty()) << "the save never began";
    ::kill(run.pid(), signal);
    ASSERT_TRUE(run.waitForExit(60000));
    EXPECT_EQ(run.exitCode(), 1) << "cancelled";
    EXPECT_EQ(readBytes(target), before);
    EXPECT_EQ(temporaries(env.root()), std::vector<std::string>{});
    size_t runFolders = 0;
    for (const auto& entry : std::filesystem::directory_iterator(env.workingFolder()))
      runFolders += entry.path().filename().string().rfind("cli-", 0) == 0;
    EXPECT_EQ(runFolders, 0u);
  }
}

TEST(CliPositionTest, FramesSecondsAndMilliseconds) {
  int32_t frames = -1;
  EXPECT_TRUE(parseCliPosition("4410", 44100, frames));
  EXPECT_EQ(frames, 4410);
  EXPECT_TRUE(parseCliPosition("1.5s", 44100, frames));
  EXPECT_EQ(frames, 66150);
  EXPECT_TRUE(parseCliPosition("250ms", 8000, frames));
  EXPECT_EQ(frames, 2000);
  for (const char* bad : {"", "-5", "1.5", "3x", "s", "1e99s", "nan"})
    EXPECT_FALSE(parseCliPosition(bad, 44100, frames)) << bad;
}

}  // namespace
}  // namespace quillon::testing
