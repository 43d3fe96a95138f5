// `cmake --install` of this build into a temporary prefix: every file lands where the desktop,
// man and the programs look for it, the desktop entry and the manual page pass their checkers,
// and the installed quillon-cli opens an MP3 through the installed korrel. The tests share one
// installation (made once per run of this program).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "shell/command_table.h"
#include "shell/help_pages.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing::haveTool;
using testing::quoted;
using testing::runCommand;

std::string readText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a shell command and answers its exit status and what it printed on stdout and stderr.
struct Output {
  int status = -1;
  std::string out, err;
};
Output capture(const std::string& command, const fs::path& scratch) {
  const fs::path out = scratch / "out.txt", err = scratch / "err.txt";
  Output result;
  // runCommand sends the streams of the whole line to /dev/null; the inner group keeps its own.
  result.status =
      runCommand("{ { " + command + "; } >" + quoted(out) + " 2>" + quoted(err) + "; }");
  result.out = readText(out);
  result.err = readText(err);
  return result;
}

// A second of a 440 Hz tone, 16-bit mono at 44,100 Hz.
void writeToneWav(const fs::path& path) {
  constexpr uint32_t kRate = 44100, kFrames = kRate;
  std::vector<int16_t> samples(kFrames);
  for (uint32_t i = 0; i < kFrames; ++i) {
    samples[i] = int16_t(std::lround(12000 * std::sin(2 * std::numbers::pi * 440 * i / kRate)));
  }
  auto word = [](std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
      out.put(char((v >> (8 * i)) & 0xFF));
  };
  std::ofstream out(path, std::ios::binary);
  const uint32_t data = kFrames * 2;
  out.write("RIFF", 4);
  word(out, 36 + data, 4);
  out.write("WAVEfmt ", 8);
  word(out, 16, 4);
  word(out, 1, 2);  // PCM
  word(out, 1, 2);  // mono
  word(out, kRate, 4);
  word(out, kRate * 2, 4);
  word(out, 2, 2);
  word(out, 16, 2);
  out.write("data", 4);
  word(out, data, 4);
  out.write(reinterpret_cast<const char*>(samples.data()), data);
}

class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    env_ = new testing::TempEnvironment;
    prefix_ = fs::path(env_->root()) / "prefix";
    // A plain prefix install, as `cmake --install build --prefix ~/.local` does.
    installStatus_ = capture("env -u DESTDIR " + quoted(QUILLON_CMAKE) + " --install " +
                                 quoted(QUILLON_BUILD_DIR) + " --prefix " + quoted(prefix_),
                             env_->root());
  }
  static void TearDownTestSuite() {
    delete env_;
    env_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(installStatus_.status, 0) << installStatus_.out << installStatus_.err;
  }

  static fs::path bin(const std::string& name) { return prefix_ / QUILLON_BINDIR / name; }
  static fs::path data(const std::string& path) { return prefix_ / QUILLON_DATADIR / path; }

  static testing::TempEnvironment* env_;
  static fs::path prefix_;
  static Output installStatus_;
};

testing::TempEnvironment* InstallTest::env_ = nullptr;
fs::path InstallTest::prefix_;
Output InstallTest::installStatus_;

bool isExecutable(const fs::path& path) {
  struct stat info = {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR);
}

TEST_F(InstallTest, EveryFileLandsWhereItIsLookedFor) {
  EXPECT_TRUE(isExecutable(bin("quillon-cli")));
  if (QUILLON_HAVE_KORREL) {
    // The decoder client starts korrel from the folder of the running program.
    EXPECT_TRUE(isExecutable(bin("korrel")));
  }
  if (QUILLON_HAVE_EDITOR) {
    EXPECT_TRUE(isExecutable(bin("quillon")));
  }

  EXPECT_TRUE(fs::is_regular_file(data("applications/quillon.desktop")));
  EXPECT_TRUE(fs::is_regular_file(data("icons/hicolor/scalable/apps/quillon.svg")));
  EXPECT_TRUE(fs::is_regular_file(data("mime/packages/quillon.xml")));
  EXPECT_TRUE(fs::is_regular_file(prefix_ / QUILLON_MANDIR / "man1/quillon-cli.1"));

  // The help lookup of an installed program finds every page beside its folder.
  const fs::path help = (prefix_ / QUILLON_BINDIR / QUILLON_INSTALLED_HELP_DIR).lexically_normal();
  EXPECT_EQ(help, data("quillon/help"));
  for (std::string_view topic : shell::kHelpTopics) {
    EXPECT_EQ(shell::findHelpPage(topic, {help.string()}),
              (help / (std::string(topic) + ".html")).string());
  }
  EXPECT_TRUE(fs::is_regular_file(help / "help.css"));

  if (haveTool("update-mime-database")) {
    // The install refreshed the prefix's MIME database, which took our package.
    EXPECT_TRUE(fs::is_regular_file(data("mime/audio/x-vox.xml")));
  }
}

TEST_F(InstallTest, TheDesktopEntryIsValidAndNamesWhatIsInstalled) {
  const fs::path entry = data("applications/quillon.desktop");
  if (haveTool("desktop-file-validate")) {
    const Output checked = capture("desktop-file-validate " + quoted(entry), env_->root());
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    EXPECT_EQ(checked.out + checked.err, "") << "hints and warnings count too";
  } else {
    std::cerr << "desktop-file-validate is missing (package desktop-file-utils): not checked\n";
  }
  const std::string text = readText(entry);
  EXPECT_NE(text.find("\nExec=quillon %f\n"), std::string::npos);
  EXPECT_NE(text.find("\nIcon=quillon\n"), std::string::npos);
  for (const char* type :
       {"audio/x-wav", "audio/mpeg", "audio/x-aiff", "audio/basic", "audio/x-gsm", "audio/x-vox"}) {
    EXPECT_NE(text.find(std::string(type) + ";"), std::string::npos) << type;
  }
}

TEST_F(InstallTest, TheManualPageIsCleanAndNamesEveryCommand) {
  const fs::path page = prefix_ / QUILLON_MANDIR / "man1/quillon-cli.1";
  if (haveTool("groff")) {
    const Output checked = capture("groff -man -Tutf8 -ww -z " + quoted(page), env_->root());
    EXPECT_EQ(checked.status, 0);
    EXPECT_EQ(checked.err, "") << "groff warns";
  }
  const std::string text = readText(page);
  for (const CommandRow& row : commandTable()) {
    if (!row.name) continue;
    // Hyphens in roff are written "\-" so that they stay hyphen-minus signs.
    const std::string name = std::regex_replace(std::string(row.name), std::regex("-"), "\\-");
    EXPECT_NE(text.find(name), std::string::npos) << row.name << " is not in the manual page";
  }
}

TEST_F(InstallTest, TheInstalledCliOpensAnMp3ThroughTheInstalledKorrel) {
  if (!QUILLON_HAVE_KORREL) GTEST_SKIP() << "korrel is not built (libmad missing)";
  if (!haveTool("lame")) GTEST_SKIP() << "lame is missing, so no MP3 can be made here";
  const fs::path root = env_->root();
  writeToneWav(root / "tone.wav");
  ASSERT_EQ(
      runCommand("lame --quiet " + quoted(root / "tone.wav") + " " + quoted(root / "tone.mp3")), 0);
  // Each run gets a runtime folder of its own, so a service that a run left behind is never
  // shared with the next.
  auto open = [&](const std::string& runtime) {
    fs::create_directories(root / runtime);
    fs::permissions(root / runtime, fs::perms::owner_all);
    return capture("env -u QUILLON_KORREL XDG_RUNTIME_DIR=" + quoted(root / runtime) + " " +
                       quoted(bin("quillon-cli")) + " -q open " + quoted(root / "tone.mp3") +
                       " info",
                   root);
  };
  const Output opened = open("runtime-a");
  ASSERT_EQ(opened.status, 0) << opened.err;
  std::smatch length;
  ASSERT_TRUE(std::regex_search(opened.out, length, std::regex(R"("length": (\d+))")))
      << opened.out;
  EXPECT_GE(std::stol(length[1]), 44100);
  EXPECT_LT(std::stol(length[1]), 44100 + 4 * 1152) << "a second and the coder's padding";
  EXPECT_NE(opened.out.find("\"rate\": 44100, \"channels\": 1"), std::string::npos);

  // Without the installed korrel the same run fails: it was that korrel that decoded.
  fs::rename(bin("korrel"), bin("korrel.away"));
  EXPECT_EQ(open("runtime-b").status, 2);
  fs::rename(bin("korrel.away"), bin("korrel"));
}

}  // namespace
}  // namespace quillon
