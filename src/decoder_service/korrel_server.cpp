#include "decoder_service/korrel_server.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "decoder_service/service_log.h"
#include "platform/lock_file.h"
#include "platform/service_channel.h"

namespace quillon {
namespace {

constexpr int kSpinMicroseconds = 50;

// True when no client holds its registration any more: then nobody can send a request. The
// probe is kept by the caller until the service has let its liveness lock go, so that a client
// that comes meanwhile waits for this service to end and starts a new one.
bool noClientLeft(const std::string& mutexName, platform::LockFile& probe) {
  const std::string path = platform::LivenessLock::clientsPathOf(mutexName);
  probe = platform::LockFile::acquire(path, platform::LockFile::Mode::Exclusive,
                                      platform::LockFile::kNoWait);
  return probe.locked();
}

// Up to the next space (or the end), moving `at` past it.
std::string nextToken(const std::string& line, size_t& at) {
  const size_t end = std::min(line.find(' ', at), line.size());
  std::string token = line.substr(at, end - at);
  at = end;
  while (at < line.size() && line[at] == ' ')
    ++at;
  return token;
}

// "Name:Size": the name before the first colon, the size as the integer the text starts with.
void splitSized(const std::string& token, std::string& name, int& size) {
  const size_t colon = token.find(':');
  name = token.substr(0, colon);
  size = 0;
  if (colon == std::string::npos) return;
  const long value = std::strtol(token.c_str() + colon + 1, nullptr, 10);
  size = int(std::clamp<long>(value, INT_MIN, INT_MAX));
}

}  // namespace

std::string joinArguments(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

bool parseKorrelCommandLine(const std::string& line, KorrelCommandLine& out) {
  size_t at = 0;
  while (at < line.size() && line[at] >= 1 && line[at] <= 32)
    ++at;
  out.mutexName = nextToken(line, at);
  splitSized(nextToken(line, at), out.queryName, out.querySize);
  splitSized(line.substr(at), out.replyName, out.replySize);
  return !out.mutexName.empty() && !out.queryName.empty() && out.querySize != 0 &&
         !out.replyName.empty() && out.replySize != 0;
}

int runKorrel(int argc, char** argv, const RequestHandler& handle) {
  KorrelCommandLine command;
  if (!parseKorrelCommandLine(joinArguments(argc, argv), command)) {
    decoder::serviceLog("Wrong parameters have been passed to application");
    decoder::serviceLog("Must be passed names of mutex, query and reply buffers:");
    decoder::serviceLog("korrel.exe MutexName QueryBufferName:Size ReplyBufferName:Size");
    return kKorrelBadCommandLine;
  }
  // Held from the moment no client is left until the very end (the last object to go).
  platform::LockFile lastClientGone;
  // Held while we serve; the system lets it go however we end.
  platform::LivenessLock alive;
  if (!alive.acquire(command.mutexName)) {
    decoder::serviceLog("Another service holds %s; this one ends", command.mutexName.c_str());
    return kKorrelAlreadyRunning;
  }
  platform::SharedBuffer query, reply;
  if (command.querySize < 0 || !query.open(command.queryName, size_t(command.querySize))) {
    decoder::serviceLog("Could not create query buffer GetLastError=%d\n",
                        query.error() ? query.error() : EINVAL);
    return kKorrelNoQueryBuffer;
  }
  if (command.replySize < 0 || !reply.open(command.replyName, size_t(command.replySize))) {
    decoder::serviceLog("Could not create reply buffer GetLastError=%d\n",
                        reply.error() ? reply.error() : EINVAL);
    return kKorrelNoReplyBuffer;
  }
  // Clients tell this service from an earlier or later one by the stamp.
  const auto self = uint32_t(::getpid());
  query.setStamp(self);
  for (bool serving = true; serving;) {
    // The client sends its next read microseconds after a reply: catch it awake. While no
    // request comes, look every so often whether any client is still alive.
    if (!query.wait(kKorrelIdleCheckMilliseconds, kSpinMicroseconds)) {
      if (noClientLeft(command.mutexName, lastClientGone)) {
        decoder::serviceLog("No client of the service is left; it ends");
        alive.release();
        break;
      }
      continue;
    }
    serving = handle(query.data(), query.size(), reply.data(), reply.size());
    reply.signal();
  }
  if (query.stamp() == self) query.setStamp(0);
  return kKorrelQuit;
}

}  // namespace quillon
