// One editor per user: a second start hands its arguments to the running editor through the
// socket in the runtime folder and ends. Real processes, real sockets, a private runtime folder.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <functional>
#include <memory>

#include "platform/xdg_dirs.h"
#include "shell/handover_record.h"
#include "shell/startup_guard.h"
#include "shell/ui/instance_channel.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

// Runs the event loop until `done` holds; false when it did not within 20 s (a hang, not a
// measure of speed).
bool runUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 20000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A second start of the editor in `folder`, running.
std::unique_ptr<QProcess> startSecond(const std::vector<std::string>& arguments,
                                      const std::string& folder) {
  QStringList words = {"--second-start"};
  for (const std::string& argument : arguments)
    words << QString::fromStdString(argument);
  auto process = std::make_unique<QProcess>();
  process->setProgram(QCoreApplication::applicationFilePath());
  process->setArguments(words);
  process->setWorkingDirectory(QString::fromStdString(folder));
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->start();
  return process;
}

// Its exit status once it has ended (−1 when it did not end).
int exitStatusOf(QProcess& process) {
  if (!runUntil([&] { return process.state() == QProcess::NotRunning; })) {
    process.kill();
    process.waitForFinished();
    return -1;
  }
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int secondStart(const std::vector<std::string>& arguments, const std::string& folder) {
  return exitStatusOf(*startSecond(arguments, folder));
}

class InstanceChannelTest : public ::testing::Test {
 protected:
  void listen() {
    ASSERT_TRUE(server.listen());
    server.setHandler(
        [this](const std::vector<std::string>& arguments) { received.push_back(arguments); });
  }
  bool receivedCount(size_t count) {
    return runUntil([&] { return received.size() >= count; }) && received.size() == count;
  }

  TempEnvironment env;
  InstanceServer server;
  std::vector<std::vector<std::string>> received;
};

TEST_F(InstanceChannelTest, ASecondStartHandsOverItsArgumentsAndEnds) {
  listen();
  struct stat st {};
  ASSERT_EQ(::stat(instanceSocketPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::vector<std::string> many;
  for (int i = 1; i <= 140; ++i)
    many.push_back("/take" + std::to_string(i) + ".wav");
  struct Case {
    const char* what;
    std::vector<std::string> arguments;  // after the program
    std::vector<std::string> expected;   // after the program
  };
  const std::vector<Case> cases = {
      {"a file, relative to the second start's folder", {"take1.wav"}, {env.path("take1.wav")}},
      {"no arguments", {}, {}},
      {"more than 128 arguments", many, {many.begin(), many.begin() + 127}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    received.clear();
    EXPECT_EQ(secondStart(c.arguments, env.root()), 0) << "the second start ends at once";
    ASSERT_TRUE(receivedCount(1));
    ASSERT_FALSE(received[0].empty());
    EXPECT_EQ(received[0][0], QCoreApplication::applicationFilePath().toStdString());
    EXPECT_EQ(std::vector<std::string>(received[0].begin() + 1, received[0].end()), c.expected);
  }
}

TEST_F(InstanceChannelTest, OnlyRecordsOfExactlyTheRightSizeAreTaken) {
  listen();
  auto send = [](const std::vector<uint8_t>& bytes) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(instanceSocketPath()));
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
    }
    socket.disconnectFromServer();
  };
  const std::vector<uint8_t> good = encodeHandover({"quillon", "/good.wav"});
  std::vector<uint8_t> shorter = good, longer = good, badCount = good;
  shorter.pop_back();
  longer.push_back(0);
  badCount[0] = 129;
  for (const auto& bad : {shorter, longer, badCount, std::vector<uint8_t>{}}) {
    send(bad);
    send(good);  // the server goes on taking records after a bad one
  }
  ASSERT_TRUE(receivedCount(4));
  // Anything still on its way has arrived once one more record has.
  send(good);
  ASSERT_TRUE(receivedCount(5));
  for (const auto& arguments : received)
    EXPECT_EQ(arguments, (std::vector<std::string>{"quillon", "/good.wav"}));
}

TEST_F(InstanceChannelTest, ASocketLeftByADeadEditorDoesNotBlockTheNextStart) {
  // What a killed editor leaves: a socket file that nobody listens on.
  ASSERT_TRUE(platform::makeFolders(platform::XdgDirs::runtimeFolder(), 0700));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = instanceSocketPath();
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::copy(path.begin(), path.end(), address.sun_path);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);

  EXPECT_EQ(secondStart({"/a.wav"}, env.root()), 3) << "nobody to hand over to: start normally";
  listen();
  {
    InstanceServer another;
    EXPECT_FALSE(another.listen()) << "a live editor keeps its socket";
  }
  EXPECT_EQ(secondStart({"/a.wav"}, env.root()), 0);
  ASSERT_TRUE(receivedCount(1));
  EXPECT_EQ(received[0].back(), "/a.wav");
}

// In a runtime folder that others may enter, another user could listen for the hand-overs (and
// read the files named) or stand in for the editor: neither side uses it.
TEST_F(InstanceChannelTest, NoSocketInARuntimeFolderThatIsNotPrivate) {
  const std::string folder = platform::XdgDirs::runtimeFolder();
  ASSERT_TRUE(platform::makeFolders(folder, 0700));
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  EXPECT_FALSE(server.listen());
  EXPECT_NE(server.refusal().find(folder), std::string::npos) << server.refusal();
  EXPECT_FALSE(handOverToRunningInstance({"quillon", "/a.wav"}, 1000));
  EXPECT_FALSE(platform::fileExists(folder + "/editor.sock"));
  struct stat st {};
  EXPECT_NE(::lstat((folder + "/editor.sock").c_str(), &st), 0) << "no socket made there";
}

TEST_F(InstanceChannelTest, ASecondStartWaitsWhileTheFirstIsStarting) {
  // The first start holds the guard and does not listen yet.
  StartupGuard first;
  ASSERT_TRUE(first.take(0));
  StartupGuard other;
  EXPECT_FALSE(other.take(100)) << "the budget runs out; start-up would go on";

  std::unique_ptr<QProcess> second = startSecond({"/b.wav"}, env.root());
  runUntil([&] { return second->state() == QProcess::Running; });
  QElapsedTimer pause;
  pause.start();
  runUntil([&] { return pause.elapsed() > 300 || second->state() == QProcess::NotRunning; });
  EXPECT_EQ(second->state(), QProcess::Running) << "waiting for the guard";
  listen();
  first.release();
  EXPECT_EQ(exitStatusOf(*second), 0) << "it found the first start once that was up";
  ASSERT_TRUE(receivedCount(1));
  EXPECT_EQ(received[0].back(), "/b.wav");
}

}  // namespace
}  // namespace quillon::testing
