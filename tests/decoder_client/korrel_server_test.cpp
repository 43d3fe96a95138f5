// korrel's command line, its log lines and exit codes, run as the editor runs it.
#include "decoder_service/korrel_server.h"

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/service_channel.h"
#include "platform/xdg_dirs.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

TEST(KorrelCommandLineTest, SplitsThreeTokensIntoNamesAndSizes) {
  struct Case {
    const char* line;
    bool valid;
    const char* mutex;
    const char* query;
    int querySize;
    const char* reply;
    int replySize;
  };
  const Case cases[] = {
      {"MutexQuillon QueryBufQuillon:4096 ReplyBufQuillon:16384", true, "MutexQuillon",
       "QueryBufQuillon", 4096, "ReplyBufQuillon", 16384},
      {" \t\nM   Q:1   R:2", true, "M", "Q", 1, "R", 2},
      {"M Q:12abc R:2 and more", true, "M", "Q", 12, "R", 2},  // the third token is the rest
      {"M Q:4096", false, "M", "Q", 4096, "", 0},
      {"M Q:0 R:2", false, "M", "Q", 0, "R", 2},
      {"M Q R:2", false, "M", "Q", 0, "R", 2},
      {"M :4096 R:2", false, "M", "", 4096, "R", 2},
      {"", false, "", "", 0, "", 0},
  };
  for (const Case& c : cases) {
    KorrelCommandLine parsed;
    EXPECT_EQ(parseKorrelCommandLine(c.line, parsed), c.valid) << c.line;
    EXPECT_EQ(parsed.mutexName, c.mutex) << c.line;
    EXPECT_EQ(parsed.queryName, c.query) << c.line;
    EXPECT_EQ(parsed.querySize, c.querySize) << c.line;
    EXPECT_EQ(parsed.replyName, c.reply) << c.line;
    EXPECT_EQ(parsed.replySize, c.replySize) << c.line;
  }
}

// The service program (korrel's own loop around the test decoder) refuses a bad command line
// with exit code 1 and three log lines, and a second service on the same lock with code 4.
TEST(KorrelCommandLineTest, BadStartsEndWithTheirExitCodes) {
  testing::TempEnvironment env;
  auto run = [](const std::vector<std::string>& arguments) {
    platform::ChildProcess korrel;
    EXPECT_TRUE(korrel.start(QUILLON_FAKE_KORREL, arguments));
    EXPECT_TRUE(korrel.waitForExit(5000));
    return korrel.exitCode();
  };
  EXPECT_EQ(run({"MutexTest", "QueryBufTest"}), kKorrelBadCommandLine);
  std::string log;
  ASSERT_TRUE(platform::readWholeFile(platform::XdgDirs::stateFolder() + "/korrel.txt", log));
  EXPECT_EQ(log,
            "Wrong parameters have been passed to application\n"
            "Must be passed names of mutex, query and reply buffers:\n"
            "korrel.exe MutexName QueryBufferName:Size ReplyBufferName:Size\n");

  EXPECT_EQ(run({"MutexTest", "QueryBufTest:-1", "ReplyBufTest:64"}), kKorrelNoQueryBuffer);
  EXPECT_EQ(run({"MutexTest", "QueryBufTest:64", "ReplyBufTest:-1"}), kKorrelNoReplyBuffer);
  ASSERT_TRUE(platform::readWholeFile(platform::XdgDirs::stateFolder() + "/korrel.txt", log));
  EXPECT_NE(log.find("Could not create query buffer GetLastError=22\n"), std::string::npos);
  EXPECT_NE(log.find("Could not create reply buffer GetLastError=22\n"), std::string::npos);

  platform::LivenessLock held;
  ASSERT_TRUE(held.acquire("MutexTest"));
  EXPECT_EQ(run({"MutexTest", "QueryBufTest:64", "ReplyBufTest:64"}), kKorrelAlreadyRunning);
}

}  // namespace
}  // namespace quillon
