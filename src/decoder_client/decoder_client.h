#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "document/sample_types.h"
#include "platform/lock_file.h"
#include "platform/service_channel.h"

namespace quillon {

// One decoder stream as the client knows it: the reply of its open and the position after the
// last request. `session` names the service connection the id belongs to; a stream of an earlier
// connection (the service died or was replaced since) is never sent again.
struct DecoderStream {
  int32_t status = 4;
  int32_t position = 0;
  int32_t length = 0;
  uint8_t channels = 0;
  int32_t sampleRate = 0;
  int32_t id = -1;
  uint64_t session = 0;
};

// The editor's end of the channel to korrel, the MP3 decoding service. One per process, created
// on first use. Every request holds a lock that spans the threads of this process (a mutex) and
// all editor processes of the user (a lock file), so a request and its reply are never
// interleaved with another's; the pieces of one read hold it together, four pieces at a time.
//
// Editors share one service: the first MP3 open starts korrel (beside the running program, or
// $QUILLON_KORREL), later clients find it through its liveness lock and use the same buffers.
// Each client counts itself a user of the service while it lives (it holds the service's clients
// lock shared); `shutdown` sends quit only when no other client remains, so one editor closing
// never ends another's decoding, and a service whose clients all died ends by itself.
//
// No wait is without limit: while a reply is awaited the client checks every 100 ms that the
// service still holds its liveness lock (and, when it started it, that the process still runs).
// A service that died, or that has not answered after 1 s (3 s for the ping after a start), fails
// the request with status 4; a hung one is killed (when this process started it, or when the
// system's lock table names it as the holder of the service's lock; never by a process id read
// from a file). The next open starts a fresh service.
//
// A reply is first polled for up to 250 µs (a read's decoding takes about 100 µs, and waking a
// sleeping process costs tens of microseconds in a virtual machine); a poll that misses, as on
// busy cores, stops polling for the next 64 requests. korrel polls for the next request likewise.
class DecoderClient {
 public:
  static constexpr int kStartPingMilliseconds = 3000;
  static constexpr int kReplyMilliseconds = 1000;
  static constexpr int kAliveCheckMilliseconds = 100;

  // The client of this process, created (disconnected) on first use; `shutdown` is also
  // registered to run at exit.
  static DecoderClient& instance();
  // At program exit: ends the service when this is its last client (quit, then its exit is
  // awaited), closes the buffers and deletes the client. A later `instance()` makes a new one.
  // Answers the service's exit code when this process started it and saw it end, else −1.
  static int shutdown();

  // Opens a file in the service, starting it when none runs. Status 4 when no service can be
  // reached; the id is taken only from a reply with status 0.
  DecoderStream open(const std::string& path);
  // Fills frames × channels words, in as many requests as the reply buffer needs, and moves the
  // position. Answers the status of the first failed request, else 0.
  int32_t read(DecoderStream& stream, Sample* buffer, int32_t frames);
  int32_t seek(DecoderStream& stream, int32_t frame);
  // Closes a stream that opened, in the connection it belongs to; the reply is not examined.
  void close(DecoderStream& stream);

  // A ping of the service (started when needed): 0 when it answered.
  int32_t ping();
  // Sends a request record as it stands and copies the first `reply.size()` bytes of the reply:
  // the reply's status, or 4. For tools and tests of the protocol itself.
  int32_t exchange(std::span<const uint8_t> request, std::span<uint8_t> reply);

  // The process id of the service in use (0 when not connected), and the requests sent so far.
  pid_t servicePid();
  uint64_t requestsSent();

 private:
  DecoderClient();
  ~DecoderClient();

  bool lockRequests();
  void unlockRequests();
  bool ensureConnected();
  bool startService();
  bool pingService(pid_t expected, int milliseconds);
  // Signals the record standing in the query buffer and waits for the reply: false when
  // the service died or did not answer in time (it is then ended and the client disconnected).
  bool transact(int milliseconds, bool mayPoll = true);
  bool serviceAlive(pid_t expected);
  void dropService(const char* why);
  void awaitServiceEnd(pid_t service, int milliseconds);
  // One read, seek or close under the requests lock (the caller's).
  int32_t streamRequest(uint32_t code, DecoderStream& stream, int32_t value, Sample* samples);
  void closeChannel();

  std::mutex mutex_;
  platform::LockFile requestLock_;
  platform::LockFile clientsLock_;  // held shared while this client may use the service
  platform::SharedBuffer query_;
  platform::SharedBuffer reply_;
  platform::ChildProcess child_;  // the service, when this process started it
  pid_t service_ = 0;             // the service we are connected to
  uint64_t session_ = 0;
  uint64_t requests_ = 0;
  int pollingPaused_ = 0;  // requests left before polling for a reply again
  std::string mutexName_;
};

}  // namespace quillon
