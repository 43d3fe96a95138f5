// The request and reply records byte for byte, and the shared log file.
#include "decoder_service/decoder_protocol.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "decoder_service/service_log.h"
#include "support/temp_environment.h"

namespace quillon::decoder {
namespace {

TEST(DecoderProtocol, StreamRequestsAreLittleEndianWords) {
  std::vector<uint8_t> query(kQueryBufferSize, 0xEE);
  ASSERT_EQ(writeRequest(query.data(), query.size(), {kSeek, 0x01020304, -2}), 12u);
  const std::vector<uint8_t> expected = {3, 0, 0, 0, 4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 0xEE};
  EXPECT_EQ(std::vector<uint8_t>(query.begin(), query.begin() + 13), expected);
  const Request back = readRequest(query.data(), query.size());
  EXPECT_EQ(back.code, kSeek);
  EXPECT_EQ(back.stream, 0x01020304);
  EXPECT_EQ(back.count, -2);

  EXPECT_EQ(writeRequest(query.data(), query.size(), {kClose, 9, 0}), 8u);
  EXPECT_EQ(writeRequest(query.data(), query.size(), {kPing, 0, 0}), 4u);
  EXPECT_EQ(writeRequest(query.data(), 11, {kRead, 1, 2}), 0u) << "does not fit";
  EXPECT_EQ(readRequest(query.data(), 2).code, 0u) << "a field past the end reads as 0";
}

TEST(DecoderProtocol, OpenRequestCarriesAUtf16PathEndedByNul) {
  std::vector<uint8_t> query(kQueryBufferSize, 0xEE);
  ASSERT_EQ(writeOpenRequest(query.data(), query.size(), "/m/\xC3\xA9\xF0\x9F\x8E\xB5.mp3"),
            kOpenRequestSize);
  const std::vector<uint8_t> head = {1, 0, 0, 0, '/', 0, 'm', 0, '/', 0, 0xE9, 0, 0x3C, 0xD8};
  EXPECT_EQ(std::vector<uint8_t>(query.begin(), query.begin() + 14), head);
  EXPECT_EQ(query[kOpenRequestSize], 0xEE) << "nothing past 516 bytes";
  EXPECT_EQ(readOpenPath(query.data(), query.size()), "/m/\xC3\xA9\xF0\x9F\x8E\xB5.mp3");

  EXPECT_GT(writeOpenRequest(query.data(), query.size(), std::string(255, 'a')), 0u);
  EXPECT_EQ(readOpenPath(query.data(), query.size())->size(), 255u);
  EXPECT_EQ(writeOpenRequest(query.data(), query.size(), std::string(256, 'a')), 0u)
      << "no room for the terminator";
  EXPECT_EQ(writeOpenRequest(query.data(), 515, "a"), 0u);

  for (size_t i = 0; i < 2 * kMaxPathUnits; i += 2)
    query[kPathOffset + i] = 'a', query[kPathOffset + i + 1] = 0;
  query[kOpenRequestSize] = query[kOpenRequestSize + 1] = 0;
  EXPECT_FALSE(readOpenPath(query.data(), query.size())) << "the NUL after 256 units is too late";
  EXPECT_FALSE(readOpenPath(query.data(), 100)) << "the buffer ends first";
}

TEST(DecoderProtocol, OpenReplyHas21BytesWithTheLengthUnaligned) {
  std::vector<uint8_t> reply(32, 0xEE);
  const OpenReply open{0, 5, 0, 44100, 2, 0x0A0B0C0D};
  ASSERT_EQ(writeOpenReply(reply.data(), reply.size(), open), 21u);
  const std::vector<uint8_t> expected = {0, 0,    0,    0, 5, 0, 0,    0,    0,    0,    0,
                                         0, 0x44, 0xAC, 0, 0, 2, 0x0D, 0x0C, 0x0B, 0x0A, 0xEE};
  EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 22), expected);
  const OpenReply back = readOpenReply(reply.data(), reply.size());
  EXPECT_EQ(back.stream, 5);
  EXPECT_EQ(back.sampleRate, 44100);
  EXPECT_EQ(back.channels, 2);
  EXPECT_EQ(back.length, 0x0A0B0C0D);
  EXPECT_EQ(writeOpenReply(reply.data(), 20, open), 0u);
}

TEST(DecoderProtocol, ReadReplyHoldsAtMost4094WordsWithinItsBuffer) {
  EXPECT_EQ(kMaxReadWords, 4094);
  EXPECT_EQ(kSamplesOffset + 2047 * 2 * 4, kReplyBufferSize) << "2047 stereo frames fill it";
  std::vector<uint8_t> reply(kReplyBufferSize + 8, 0xEE);
  std::vector<int32_t> words(4095, -3);
  EXPECT_FALSE(writeSampleWords(reply.data(), kReplyBufferSize, words.data(), 4095));
  EXPECT_TRUE(writeSampleWords(reply.data(), kReplyBufferSize, words.data(), 4094));
  EXPECT_EQ(reply[kReplyBufferSize - 1], 0xFF);
  EXPECT_EQ(reply[kReplyBufferSize], 0xEE);
  EXPECT_EQ(readReplyCapacity(100), 23);
  EXPECT_EQ(readReplyCapacity(4), 0);
  ASSERT_EQ(writePositionReply(reply.data(), reply.size(), {0, 77}), 8u);
  EXPECT_EQ(readPositionReply(reply.data(), reply.size()).position, 77);
  std::vector<int32_t> back(4094);
  EXPECT_TRUE(readSampleWords(reply.data(), kReplyBufferSize, back.data(), back.size()));
  EXPECT_EQ(back[4093], -3);
}

TEST(ServiceLog, AppendsLinesCutAt512CharactersToTheStateFolder) {
  testing::TempEnvironment env;
  serviceLog("Could not create query buffer GetLastError=%i", 13);
  serviceLog("%s", std::string(600, 'x').c_str());
  EXPECT_EQ(serviceLogPath(), env.path("state/quillon/korrel.txt"));
  std::ifstream in(serviceLogPath());
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(text, "Could not create query buffer GetLastError=13\n" + std::string(512, 'x') + "\n");
}

// korrel and several editors append to the one file at the same time: every line arrives whole.
TEST(ServiceLog, LinesOfConcurrentProcessesNeverMix) {
  testing::TempEnvironment env;
  constexpr int kWriters = 4;
  constexpr int kLines = 200;
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);  // the copy on standard error is not wanted
      if (null >= 0) ::dup2(null, STDERR_FILENO);
      const std::string line(kMaxLogMessage, char('a' + w));
      for (int i = 0; i < kLines; ++i)
        serviceLog("%s", line.c_str());
      ::_exit(0);
    }
    writers.push_back(pid);
  }
  for (const pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::ifstream in(serviceLogPath());
  std::string line;
  std::vector<int> counts(kWriters, 0);
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    ASSERT_EQ(line.size(), kMaxLogMessage) << "line " << lines;
    const int writer = line[0] - 'a';
    ASSERT_TRUE(writer >= 0 && writer < kWriters) << "line " << lines;
    EXPECT_EQ(line, std::string(kMaxLogMessage, line[0])) << "line " << lines;
    ++counts[size_t(writer)];
  }
  EXPECT_EQ(lines, kWriters * kLines);
  for (const int count : counts)
    EXPECT_EQ(count, kLines);
}

}  // namespace
}  // namespace quillon::decoder
