// The editor's client of the decoding service, end to end through a service process: the test
// service (a made-up decoder behind korrel's own request loop) always, and the real korrel with
// MP3 files made by lame when it is built.
#include "decoder_client/decoder_client.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

#include "decoder_client/mp3_service_source.h"
#include "decoder_service/decoder_protocol.h"
#include "fake_decoder_service.h"
#include "formats/open_pipeline.h"
#include "platform/file.h"
#include "platform/lock_file.h"
#include "platform/paths.h"
#include "platform/service_channel.h"
#include "platform/xdg_dirs.h"
#include "support/fake_document_view.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using namespace decoder;
using Clock = std::chrono::steady_clock;
using testing::FakeDecoderService;

enum class Service { Fake, Real };

int elapsedMs(Clock::time_point since) {
  return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

Ref<Mp3ServiceSource> openSource(const std::string& path) {
  return makeRef<Mp3ServiceSource>(path);
}

std::vector<Sample> readFrames(const Ref<Mp3ServiceSource>& source, int32_t frames) {
  std::vector<Sample> words(size_t(frames) * source->channels());
  EXPECT_EQ(source->read(words.data(), frames), frames);
  return words;
}

bool processGone(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Gone, or ended and waiting for a parent that is not us to reap it.
bool processEnded(pid_t pid) {
  std::string stat;
  if (!platform::readWholeFile("/proc/" + std::to_string(pid) + "/stat", stat)) return true;
  const size_t close = stat.rfind(')');
  return close == std::string::npos || stat.compare(close, 3, ") Z") == 0;
}

// Waits up to `seconds` for the process to end.
bool endsWithin(pid_t pid, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (!processEnded(pid)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class DecoderClientTest : public ::testing::TestWithParam<Service> {
 protected:
  void SetUp() override {
    real = GetParam() == Service::Real;
#ifdef QUILLON_REAL_KORREL
    ::setenv("QUILLON_KORREL", real ? QUILLON_REAL_KORREL : QUILLON_FAKE_KORREL, 1);
#else
    ::setenv("QUILLON_KORREL", QUILLON_FAKE_KORREL, 1);
#endif
    if (real && !(testing::haveTool("lame") && testing::haveTool("sox"))) {
      GTEST_SKIP() << "lame and sox make the MP3 files";
    }
    song = makeMp3("song", 2, 10);
    mono = makeMp3("mono", 1, 3);
  }
  void TearDown() override {
    DecoderClient::shutdown();
  }

  // A sine of `seconds` encoded by lame (real service), or a file that starts like MPEG audio.
  std::string makeMp3(const std::string& name, int channels, int seconds) {
    const std::string path = env.path(name + ".mp3");
    if (!real) {
      testing::writeBytes(path, {0xFF, 0xFB, 0x90, 0x64});
      return path;
    }
    const std::string wav = env.path(name + ".wav");
    EXPECT_EQ(testing::runCommand("sox -n -r 44100 -c " + std::to_string(channels) + " " +
                                  testing::quoted(wav) + " synth " + std::to_string(seconds) +
                                  " sine 440 gain -3"),
              0);
    EXPECT_EQ(
        testing::runCommand("lame --quiet -b 128 " + std::string(channels == 1 ? "-m m " : "") +
                            testing::quoted(wav) + " " + testing::quoted(path)),
        0);
    return path;
  }

  testing::TempEnvironment env;
  bool real = false;
  std::string song, mono;
};

TEST_P(DecoderClientTest, OpensReadsSeeksAndClosesAStream) {
  auto source = openSource(song);
  ASSERT_EQ(source->status(), SourceStatus::Ok);
  EXPECT_EQ(source->sampleRate(), 44100);
  EXPECT_EQ(source->channels(), 2);
  EXPECT_EQ(source->peakBound(), 0x200000);
  EXPECT_EQ(source->position(), 0);
  if (real) {
    EXPECT_NEAR(source->length(), 441000, 3000);
  } else {
    EXPECT_EQ(source->length(), FakeDecoderService::kLength);
  }

  // 5000 stereo frames do not fit one reply: three requests of at most 2047 frames.
  const uint64_t before = DecoderClient::instance().requestsSent();
  const std::vector<Sample> head = readFrames(source, 5000);
  EXPECT_EQ(DecoderClient::instance().requestsSent() - before, 3u);
  EXPECT_EQ(source->position(), 5000);
  if (!real) {
    for (int32_t i = 0; i < 5000; ++i)
      ASSERT_EQ(head[2 * i + 1], FakeDecoderService::fakeSample(i, 1)) << i;
  } else {
    // A second stream of the same file, read in other pieces, decodes the same words.
    auto again = openSource(song);
    std::vector<Sample> pieces = readFrames(again, 1234);
    const std::vector<Sample> rest = readFrames(again, 5000 - 1234);
    pieces.insert(pieces.end(), rest.begin(), rest.end());
    EXPECT_EQ(pieces, head);
  }

  // Past the end: the position is the requested frame and the reads are silence.
  const int32_t end = source->length();
  source->seek(end + 1000);
  EXPECT_EQ(source->position(), end + 1000);
  const std::vector<Sample> tail = readFrames(source, 3000);
  EXPECT_EQ(source->position(), end + 4000);
  EXPECT_EQ(tail, std::vector<Sample>(6000, 0));
  source->seek(0);
  EXPECT_EQ(source->position(), 0);
}

TEST_P(DecoderClientTest, OneReplyHoldsExactly2047StereoOr4094MonoFrames) {
  auto stereo = openSource(song);
  auto single = openSource(mono);
  ASSERT_EQ(single->channels(), 1);
  DecoderClient& client = DecoderClient::instance();
  for (auto& [source, frames] :
       {std::pair{stereo, int32_t(2047)}, std::pair{single, int32_t(4094)}}) {
    uint64_t before = client.requestsSent();
    readFrames(source, frames);
    EXPECT_EQ(client.requestsSent() - before, 1u);
    before = client.requestsSent();
    readFrames(source, frames + 1);
    EXPECT_EQ(client.requestsSent() - before, 2u);
  }
  // The raw reply of a full read: 8 + 2047 × 2 × 4 = 16,384 bytes, the last word included.
  stereo->seek(0);
  uint8_t request[kStreamRequestSize];
  ASSERT_EQ(writeRequest(request, sizeof request, {kRead, stereo->stream().id, 2047}),
            sizeof request);
  std::vector<uint8_t> reply(kReplyBufferSize);
  ASSERT_EQ(client.exchange(request, reply), kStatusOk);
  EXPECT_EQ(readPositionReply(reply.data(), reply.size()).position, 2047);
  if (!real) {
    EXPECT_EQ(loadI32(reply.data() + kReplyBufferSize - 4),
              FakeDecoderService::fakeSample(2046, 1));
  }
}

TEST_P(DecoderClientTest, OpenFailuresMapToSourceStatuses) {
  EXPECT_EQ(openSource(env.path("missing.mp3"))->status(), SourceStatus::CannotOpen);
  platform::replaceFileAtomically(env.path("text.mp3"), "This is not MPEG audio at all.\n");
  EXPECT_EQ(openSource(env.path("text.mp3"))->status(), SourceStatus::Corrupt);
  // Long names, and names that are not UTF-8, reach the service through a descriptor.
  const std::string longName =
      env.path(std::string(200, 'n') + "/" + std::string(200, 'm') + ".mp3");
  platform::makeFolders(platform::parentFolder(longName));
  ASSERT_EQ(::link(song.c_str(), longName.c_str()), 0);
  EXPECT_EQ(openSource(longName)->status(), SourceStatus::Ok);
  const std::string latin1 = env.path("caf\xe9.mp3");
  ASSERT_EQ(::link(song.c_str(), latin1.c_str()), 0);
  EXPECT_EQ(openSource(latin1)->status(), SourceStatus::Ok);

  for (auto [reply, status] : {std::pair{0, SourceStatus::Ok},
                               {1, SourceStatus::CannotOpen},
                               {2, SourceStatus::Corrupt},
                               {3, SourceStatus::Corrupt},
                               {4, SourceStatus::InnerFailed},
                               {6, SourceStatus::InnerFailed}}) {
    EXPECT_EQ(Mp3ServiceSource::statusForReply(reply), status) << reply;
  }
}

TEST_P(DecoderClientTest, SixtyFourStreamsAtMostAndAFailedOpenKeepsNoSlot) {
  openSource(env.path("missing.mp3"));  // a failed open first: its slot is free again
  std::vector<Ref<Mp3ServiceSource>> open;
  for (int i = 0; i < 64; ++i) {
    open.push_back(openSource(song));
    ASSERT_EQ(open.back()->status(), SourceStatus::Ok) << i;
  }
  auto refused = openSource(song);
  EXPECT_EQ(refused->status(), SourceStatus::InnerFailed);
  std::vector<uint8_t> request(kOpenRequestSize, 0);
  ASSERT_EQ(writeOpenRequest(request.data(), request.size(), song), kOpenRequestSize);
  uint8_t reply[kOpenReplySize];
  EXPECT_EQ(DecoderClient::instance().exchange(request, reply), kStatusNoFreeStream);
  open.pop_back();  // closes one
  EXPECT_EQ(openSource(song)->status(), SourceStatus::Ok);
}

TEST_P(DecoderClientTest, UnknownCodesAreRefusedAndUnknownStreamsEndTheService) {
  DecoderClient& client = DecoderClient::instance();
  ASSERT_EQ(client.ping(), kStatusOk);
  const pid_t first = client.servicePid();
  uint8_t unknown[4];
  storeU32(unknown, 9);
  uint8_t reply[8];
  EXPECT_EQ(client.exchange(unknown, reply), kStatusUnknownRequest);
  EXPECT_EQ(client.servicePid(), first) << "the service goes on";

  uint8_t read[kStreamRequestSize];
  ASSERT_EQ(writeRequest(read, sizeof read, {kRead, 63, 10}), sizeof read);
  EXPECT_EQ(client.exchange(read, reply), kStatusUnknownStream);
  EXPECT_EQ(platform::LivenessLock::holderOf("MutexQuillon"), 0) << "that service has ended";
  EXPECT_EQ(client.ping(), kStatusOk);
  EXPECT_NE(client.servicePid(), first) << "a new one serves";
}

// The service is killed while a long read is in progress (the real korrel decodes two minutes of
// audio; the test service takes 20 ms per request): the read fails within about a second, the
// stream is dead for good, and the next open starts a new service.
TEST_P(DecoderClientTest, AKilledServiceFailsTheReadPromptlyAndIsReplacedOnTheNextOpen) {
  auto source = openSource(makeMp3("slow", 2, 120));
  ASSERT_EQ(source->status(), SourceStatus::Ok);
  const pid_t service = DecoderClient::instance().servicePid();
  const int32_t frames = real ? source->length() : 200000;
  auto reading = std::async(std::launch::async, [&] {
    std::vector<Sample> words(size_t(frames) * 2);
    const int32_t got = source->read(words.data(), frames);
    return std::pair{got, Clock::now()};
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(real ? 100 : 300));
  ASSERT_EQ(reading.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
      << "the read ended before the kill";
  ASSERT_EQ(::kill(service, SIGKILL), 0);
  const auto killed = Clock::now();
  ASSERT_EQ(reading.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  const auto [got, ended] = reading.get();
  EXPECT_EQ(got, -1);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - killed).count(), 1000);

  std::vector<Sample> words(200);
  EXPECT_EQ(source->read(words.data(), 100), -1) << "a stream of the dead service stays dead";
  auto next = openSource(song);
  EXPECT_EQ(next->status(), SourceStatus::Ok);
  EXPECT_NE(DecoderClient::instance().servicePid(), service);
  EXPECT_EQ(readFrames(next, 100).size(), 200u);
}

TEST_P(DecoderClientTest, AHungServiceIsEndedAndTheRequestFailsWithinAboutASecond) {
  auto source = openSource(song);
  ASSERT_EQ(source->status(), SourceStatus::Ok);
  const pid_t service = DecoderClient::instance().servicePid();
  ::kill(service, SIGSTOP);
  std::vector<Sample> words(2000);
  const auto start = Clock::now();
  EXPECT_EQ(source->read(words.data(), 1000), -1);
  EXPECT_LT(elapsedMs(start), 1500);
  EXPECT_GE(elapsedMs(start), DecoderClient::kReplyMilliseconds - 50);
  EXPECT_TRUE(processGone(service));
  EXPECT_EQ(openSource(song)->status(), SourceStatus::Ok);
  EXPECT_NE(DecoderClient::instance().servicePid(), service);
}

// Two editor processes and this one decode at once through one service; each gets its own
// audio, and the service outlives the editors that leave while another still uses it.
TEST_P(DecoderClientTest, EditorProcessesShareOneServiceWithoutMixingRequests) {
  DecoderClient& client = DecoderClient::instance();
  ASSERT_EQ(client.ping(), kStatusOk);
  const pid_t service = client.servicePid();
  auto reference = openSource(song);
  const std::vector<Sample> expected = readFrames(reference, 60000);

  std::vector<pid_t> editors;
  for (int e = 0; e < 2; ++e) {
    const pid_t child = ::fork();
    if (child == 0) {
      int code = 0;
      for (int round = 0; round < 3 && code == 0; ++round) {
        auto source = openSource(song);
        std::vector<Sample> words(expected.size());
        if (source->read(words.data(), 60000) != 60000) code = 1;
        if (words != expected) code = 2;
        if (DecoderClient::instance().servicePid() != service) code = 3;
      }
      DecoderClient::shutdown();  // not the last client: the service stays
      ::_exit(code);
    }
    editors.push_back(child);
  }
  for (int round = 0; round < 3; ++round) {
    auto source = openSource(song);
    EXPECT_EQ(readFrames(source, 60000), expected);
  }
  for (pid_t editor : editors) {
    int status = 0;
    ::waitpid(editor, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(platform::LivenessLock::holderOf("MutexQuillon"), service);
  EXPECT_EQ(client.ping(), kStatusOk);
  EXPECT_EQ(client.servicePid(), service);
}

TEST_P(DecoderClientTest, ShutdownSendsQuitAndTheServiceExitsWithZero) {
  ASSERT_EQ(openSource(song)->status(), SourceStatus::Ok);
  const pid_t service = DecoderClient::instance().servicePid();
  EXPECT_EQ(DecoderClient::shutdown(), 0);
  EXPECT_EQ(platform::LivenessLock::holderOf("MutexQuillon"), 0);
  EXPECT_TRUE(processGone(service));
  EXPECT_EQ(DecoderClient::shutdown(), -1) << "nothing left to end";
}

// Loading an MP3 into a document goes through the service and the peak limiter.
TEST_P(DecoderClientTest, AnMp3OpensIntoADocumentWithinSixteenBitFullScale) {
  std::string loud = song;
  if (real) {
    const std::string wav = env.path("loud.wav");
    loud = env.path("loud.mp3");
    ASSERT_EQ(testing::runCommand("sox -n -r 44100 -c 2 " + testing::quoted(wav) +
                                  " synth 4 square 300 gain -0.1"),
              0);
    ASSERT_EQ(testing::runCommand("lame --quiet -b 128 " + testing::quoted(wav) + " " +
                                  testing::quoted(loud)),
              0);
  }
  testing::FakeDocumentView view;
  FileLoader loader;
  Ref<WaveDocument> document = WaveDocument::createFromFile(loud, view.ui, loader);
  ASSERT_FALSE(document->loadFailed);
  EXPECT_EQ(document->audio.sampleRate, 44100);
  EXPECT_EQ(document->audio.channels, 2);
  const std::vector<Sample> words = testing::readAll(document->audio);
  ASSERT_FALSE(words.empty());
  Sample peak = 0;
  for (Sample s : words)
    peak = std::max(peak, std::abs(s));
  EXPECT_LE(peak, kFullScale16);
  EXPECT_GT(peak, kFullScale16 / 2) << "limited, not silenced";
}

// A client whose process is killed never says goodbye: the service finds no client left and
// ends by itself within seconds, rather than living on without a parent.
TEST_P(DecoderClientTest, TheServiceEndsWhenItsLastClientIsKilled) {
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t editor = ::fork();
  if (editor == 0) {
    const bool opened = openSource(song)->status() == SourceStatus::Ok;
    const pid_t service = opened ? DecoderClient::instance().servicePid() : 0;
    (void)!::write(channel[1], &service, sizeof service);
    ::pause();
    ::_exit(0);
  }
  pid_t service = 0;
  ASSERT_EQ(::read(channel[0], &service, sizeof service), ssize_t(sizeof service));
  ASSERT_GT(service, 0);
  ::kill(editor, SIGKILL);
  ::waitpid(editor, nullptr, 0);
  const bool ended = endsWithin(service, 10);
  EXPECT_TRUE(ended) << "the service outlived its last client";
  if (!ended) ::kill(service, SIGKILL);
  EXPECT_EQ(platform::LivenessLock::holderOf("MutexQuillon"), 0);
  // The next client starts a new one.
  EXPECT_EQ(openSource(song)->status(), SourceStatus::Ok);
  EXPECT_NE(DecoderClient::instance().servicePid(), service);
  ::close(channel[0]);
  ::close(channel[1]);
}

// A process id written into the service's lock file, by whoever holds that lock, never gets a
// process killed: here a client that finds a "service" that does not answer leaves the process
// that the file names alone.
TEST_P(DecoderClientTest, AProcessIdWrittenIntoTheLockFileIsNeverSignalled) {
  platform::ChildProcess victim;
  ASSERT_TRUE(victim.start("/bin/sleep", {"60"}));
  platform::LockFile held = platform::LockFile::acquire(
      platform::LivenessLock::pathOf("MutexQuillon"), platform::LockFile::Mode::Exclusive);
  ASSERT_TRUE(held.locked());
  const std::string lie = std::to_string(victim.pid()) + "\n";
  ASSERT_EQ(::pwrite(held.descriptor(), lie.data(), lie.size(), 0), ssize_t(lie.size()));
  EXPECT_NE(openSource(song)->status(), SourceStatus::Ok) << "no service answers";
  EXPECT_TRUE(victim.running()) << "the process named in the file was killed";
  victim.kill();
}

// The service dies while a document is loaded from it: the load fails with its message and leaves
// no document, instead of a document whose rest is silence.
TEST_P(DecoderClientTest, AServiceThatDiesWhileLoadingFailsTheLoad) {
  const std::string path = makeMp3("slow", 2, 120);
  ASSERT_EQ(DecoderClient::instance().ping(), kStatusOk);
  const pid_t service = DecoderClient::instance().servicePid();
  std::thread killer([service] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ::kill(service, SIGKILL);
  });
  testing::FakeDocumentView view;
  FileLoader loader;
  const auto start = Clock::now();
  Ref<WaveDocument> document = WaveDocument::createFromFile(path, view.ui, loader);
  killer.join();
  ASSERT_GT(elapsedMs(start), 150) << "the load ended before the kill";
  EXPECT_TRUE(document->loadFailed);
  ASSERT_EQ(view.ui.shown.size(), 1u);
  EXPECT_EQ(view.ui.shown[0].caption, "Error loading file");
  EXPECT_NE(view.ui.shown[0].text.find(path), std::string::npos) << view.ui.shown[0].text;
}

std::string serviceName(const ::testing::TestParamInfo<Service>& info) {
  return info.param == Service::Real ? "Korrel" : "TestService";
}

#ifdef QUILLON_REAL_KORREL
const auto kServices = ::testing::Values(Service::Fake, Service::Real);
#else
const auto kServices = ::testing::Values(Service::Fake);
#endif
INSTANTIATE_TEST_SUITE_P(Through, DecoderClientTest, kServices, serviceName);

// Without a service program the open fails with status InnerFailed and the reason is logged.
TEST(DecoderClientStartTest, AMissingServiceIsLoggedAndTheOpenFails) {
  testing::TempEnvironment env;
  const std::string missing = env.path("no-korrel");
  ::setenv("QUILLON_KORREL", missing.c_str(), 1);
  testing::writeBytes(env.path("a.mp3"), {0xFF, 0xFB, 0x90, 0x64});
  EXPECT_EQ(openSource(env.path("a.mp3"))->status(), SourceStatus::InnerFailed);
  std::string log;
  ASSERT_TRUE(platform::readWholeFile(platform::XdgDirs::stateFolder() + "/korrel.txt", log));
  EXPECT_NE(log.find("Could not start process " + missing + " GetLastError() = 2\n"),
            std::string::npos)
      << log;

  testing::FakeDocumentView view;
  FileLoader loader;
  Ref<WaveDocument> document = WaveDocument::createFromFile(env.path("a.mp3"), view.ui, loader);
  EXPECT_TRUE(document->loadFailed);
  ASSERT_FALSE(view.ui.shown.empty());
  EXPECT_NE(view.ui.shown.back().text.find("not a true layer-3 MPEG file"), std::string::npos);
  DecoderClient::shutdown();
}

// A run of quillon-cli in a pipeline ends the pipeline when it ends, even when the service it
// started stays for another client: the service holds none of the run's output.
TEST(DecoderClientPipelineTest, APipelineEndsWithTheRunNotWithTheService) {
  testing::TempEnvironment env;
  ::setenv("QUILLON_KORREL", QUILLON_FAKE_KORREL, 1);
  testing::writeBytes(env.path("slow.mp3"), {0xFF, 0xFB, 0x90, 0x64});  // loads for a second
  platform::ChildProcess pipeline;
  ASSERT_TRUE(pipeline.start("/bin/sh", {"-c", "\"$0\" -q open \"$1\" info | cat >\"$2\"",
                                         QUILLON_CLI, env.path("slow.mp3"), env.path("out.txt")}));
  // Once the run has started the service, this process becomes a client of it too.
  const auto start = Clock::now();
  while (platform::LivenessLock::holderOf("MutexQuillon") <= 0 &&
         Clock::now() - start < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_GT(platform::LivenessLock::holderOf("MutexQuillon"), 0) << "no service started";
  EXPECT_EQ(DecoderClient::instance().ping(), kStatusOk);
  const pid_t service = DecoderClient::instance().servicePid();
  const bool ended = pipeline.waitForExit(20000);
  EXPECT_TRUE(ended) << "the pipeline waits for the service";
  if (!ended) {
    ::kill(service, SIGKILL);
    pipeline.waitForExit(5000);
  }
  EXPECT_EQ(pipeline.exitCode(), 0);
  std::string output;
  ASSERT_TRUE(platform::readWholeFile(env.path("out.txt"), output));
  EXPECT_NE(output.find("\"length\": 100000"), std::string::npos) << output;
  EXPECT_EQ(DecoderClient::shutdown(), -1) << "the service was not ours to wait for";
  EXPECT_TRUE(endsWithin(service, 10));
}

}  // namespace
}  // namespace quillon
