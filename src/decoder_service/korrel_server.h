#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

// korrel's life around its decoder: the command line, the liveness lock, the two buffers and the
// request loop. The decoding itself is the handler's.

// Handles the request in `query` and writes the reply into `reply`; answers whether to go on.
using RequestHandler =
    std::function<bool(const uint8_t* query, size_t querySize, uint8_t* reply, size_t replySize)>;

enum KorrelExit : int {
  kKorrelQuit = 0,
  kKorrelBadCommandLine = 1,
  kKorrelNoQueryBuffer = 2,
  kKorrelNoReplyBuffer = 3,
  kKorrelAlreadyRunning = 4,  // another service holds the liveness lock
};

// "MutexName QueryBufferName:Size ReplyBufferName:Size".
struct KorrelCommandLine {
  std::string mutexName;
  std::string queryName;
  int querySize = 0;
  std::string replyName;
  int replySize = 0;
};

// The arguments after the program name, joined by single spaces.
std::string joinArguments(int argc, char** argv);
// Splits the command line: leading characters 1 … 32 skipped, three tokens separated by spaces
// (the third is the rest of the line), each buffer token a name and a decimal size after the
// first colon. False when a name is empty or a size is 0.
bool parseKorrelCommandLine(const std::string& line, KorrelCommandLine& out);

// How often a service without requests looks whether any client is still alive.
constexpr int kKorrelIdleCheckMilliseconds = 1000;

// Runs the service until the handler says stop, or until no client is alive: every client holds
// its registration, "<mutex name>.clients.lock" in the runtime folder, shared while it may use
// the service, and a service that finds none left after a second without requests ends (exit
// code 0), so a service never outlives the editors that used it. Answers the exit code.
int runKorrel(int argc, char** argv, const RequestHandler& handle);

}  // namespace quillon
