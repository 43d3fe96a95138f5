#include "decoder_client/decoder_client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "decoder_service/decoder_protocol.h"
#include "decoder_service/service_log.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "platform/text_format.h"
#include "platform/xdg_dirs.h"

namespace quillon {
namespace {

using namespace decoder;
using Clock = std::chrono::steady_clock;

// Polling for a reply: how long, and for how many requests it stops after a miss. With one
// processor the service cannot answer while we poll.
constexpr int kPollMicroseconds = 250;
constexpr int kPollingPause = 64;
const bool kPollingUseful = ::sysconf(_SC_NPROCESSORS_ONLN) > 1;
// How long a request waits for another editor's request to finish before giving up.
constexpr int kRequestLockMilliseconds = 5000;

std::string named(const char* format) {
  return formatMessage(format, {kBaseWord});
}

// A lock file of the channel, in the private runtime folder ("" when that is refused).
std::string lockPath(const std::string& name) {
  const std::string folder = platform::XdgDirs::privateRuntimeFolder();
  return folder.empty() ? std::string() : platform::joinPath(folder, name);
}

std::string serviceProgram() {
  if (const char* path = std::getenv("QUILLON_KORREL"); path && *path) return path;
  return platform::joinPath(platform::runningProgramFolder(), "korrel");
}

// The open request for a path, written before the channel is taken. A path the record cannot
// carry (UTF-16 with a terminator in 256 units, no NUL), or that is not valid UTF-8 (file names
// are bytes here), is opened by the client and handed over as the short name of its descriptor.
struct OpenRecord {
  uint8_t bytes[kOpenRequestSize];
  int descriptor = -1;
  ~OpenRecord() {
    if (descriptor >= 0) ::close(descriptor);
  }
};

bool makeOpenRecord(const std::string& path, OpenRecord& out) {
  const bool valid = fromUtf16(toUtf16LittleEndian(path), false, false) == path;
  if (valid && writeOpenRequest(out.bytes, sizeof out.bytes, path) != 0) return true;
  // Never waiting on a FIFO, and only a regular file goes to the service.
  out.descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  struct stat st {};
  if (out.descriptor < 0 || ::fstat(out.descriptor, &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  const std::string shortName =
      "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(out.descriptor);
  return writeOpenRequest(out.bytes, sizeof out.bytes, shortName) != 0;
}

DecoderClient* gClient = nullptr;
pid_t gClientOwner = 0;  // the process that made gClient (a forked child makes its own)
std::mutex gInstanceMutex;

}  // namespace

DecoderClient& DecoderClient::instance() {
  std::lock_guard<std::mutex> guard(gInstanceMutex);
  if (!gClient || gClientOwner != ::getpid()) {
    // An inherited client belongs to the parent: its descriptors share the parent's locks, so
    // it is left alone rather than closed.
    gClient = new DecoderClient();
    gClientOwner = ::getpid();
    // Programs that never call `shutdown` still end the service they used when they exit.
    static const bool atExit = std::atexit([] { shutdown(); }) == 0;
    (void)atExit;
  }
  return *gClient;
}

int DecoderClient::shutdown() {
  DecoderClient* client = nullptr;
  int exitCode = -1;
  {
    std::lock_guard<std::mutex> guard(gInstanceMutex);
    if (!gClient || gClientOwner != ::getpid()) return exitCode;
    client = std::exchange(gClient, nullptr);
  }
  {
    std::lock_guard<std::mutex> guard(client->mutex_);
    if (client->service_ > 0 && client->lockRequests()) {
      // Only the last client ends the service: the others hold the clients lock shared.
      const bool last = client->clientsLock_.isOpen() &&
                        client->clientsLock_.lock(platform::LockFile::Mode::Exclusive,
                                                  platform::LockFile::kNoWait);
      if (last && client->serviceAlive(client->service_)) {
        writeRequest(client->query_.data(), kQueryBufferSize, {kQuit});
        const pid_t service = client->service_;
        const bool ours = client->child_.pid() == service;
        if (client->transact(kReplyMilliseconds)) {
          client->awaitServiceEnd(service, 1000);
          if (ours && client->child_.pid() == 0) exitCode = client->child_.exitCode();
        }
      }
      client->unlockRequests();
    }
    client->closeChannel();
  }
  delete client;
  return exitCode;
}

DecoderClient::DecoderClient() : mutexName_(named("Mutex%s")) {}

DecoderClient::~DecoderClient() {
  closeChannel();
}

void DecoderClient::closeChannel() {
  if (child_.pid() > 0 && !child_.waitForExit(0)) child_.forget();  // left to the other clients
  query_.close();
  reply_.close();
  requestLock_.close();
  clientsLock_.close();
  service_ = 0;
}

bool DecoderClient::lockRequests() {
  if (!requestLock_.isOpen() && !requestLock_.open(lockPath(named("Requests%s.lock")))) {
    return false;
  }
  // Bounded: an editor stopped in the middle of a request must not stop this one for good.
  return requestLock_.lock(platform::LockFile::Mode::Exclusive, kRequestLockMilliseconds);
}

void DecoderClient::unlockRequests() {
  requestLock_.unlock();
}

bool DecoderClient::serviceAlive(pid_t expected) {
  if (expected <= 0) return false;
  if (child_.pid() == expected && !child_.running()) return false;
  return platform::LivenessLock::holderOf(mutexName_) == expected;
}

void DecoderClient::awaitServiceEnd(pid_t service, int milliseconds) {
  if (child_.pid() == service) {
    if (!child_.waitForExit(milliseconds)) child_.kill();
    return;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (platform::LivenessLock::holderOf(mutexName_) == service && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void DecoderClient::dropService(const char* why) {
  const pid_t service = service_;
  service_ = 0;
  if (service <= 0) return;
  serviceLog("Decoder service %d %s; the request failed", int(service), why);
  // A hung service would hold every later request: end it. Only the child this process
  // started, or the process that the system's lock table names as the holder of the service's
  // lock, is ever signalled: never a process id read from a file.
  if (child_.pid() == service) {
    child_.kill();
  } else if (platform::LivenessLock::killHolder(mutexName_, service)) {
    awaitServiceEnd(service, 1000);
  }
}

bool DecoderClient::transact(int milliseconds, bool mayPoll) {
  ++requests_;
  const pid_t expected = service_ > 0 ? service_ : child_.pid();
  reply_.reset();  // a reply that came after an earlier request gave up is not this one's
  query_.signal();
  // Waking a sleeping thread costs far more than a reply takes when a core is free (tens of
  // microseconds in a virtual machine): poll for a short while first, as long as polling pays.
  // A poll that misses (busy cores, a slow request) pauses polling for a while.
  if (mayPoll && pollingPaused_ == 0 && kPollingUseful) {
    if (reply_.poll(kPollMicroseconds)) return true;
    pollingPaused_ = kPollingPause;
  } else if (pollingPaused_ > 0) {
    --pollingPaused_;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (reply_.wait(kAliveCheckMilliseconds)) return true;
    // Right after a start the service may not hold its lock yet: the process is watched then.
    const bool alive = service_ > 0 ? serviceAlive(expected) : child_.running();
    if (!alive) {
      if (service_ > 0) dropService("ended");
      return false;
    }
    if (Clock::now() >= deadline) {
      if (service_ > 0) dropService("stopped answering");
      return false;
    }
  }
}

bool DecoderClient::pingService(pid_t expected, int milliseconds) {
  service_ = expected;
  writeRequest(query_.data(), kQueryBufferSize, {kPing});
  const bool answered =
      transact(milliseconds) && readStatus(reply_.data(), kReplyBufferSize) == kStatusOk;
  if (!answered) service_ = 0;
  return answered;
}

bool DecoderClient::startService() {
  const std::string program = serviceProgram();
  // Nobody else is talking to a service now (the requests lock is ours): clear what a dead one
  // may have left signalled.
  query_.reset();
  reply_.reset();
  const std::vector<std::string> arguments = {
      mutexName_, formatMessage("%s:%i", {named("QueryBuf%s"), std::to_string(kQueryBufferSize)}),
      formatMessage("%s:%i", {named("ReplyBuf%s"), std::to_string(kReplyBufferSize)})};
  if (!child_.start(program, arguments)) {
    serviceLog("Could not start process %s GetLastError() = %d", program.c_str(), child_.error());
    return false;
  }
  service_ = 0;
  writeRequest(query_.data(), kQueryBufferSize, {kPing});
  if (transact(kStartPingMilliseconds, false) &&
      readStatus(reply_.data(), kReplyBufferSize) == kStatusOk) {
    service_ = child_.pid();
    ++session_;
    return true;
  }
  serviceLog("Process %s did not answer; it is ended", program.c_str());
  child_.kill();
  return false;
}

bool DecoderClient::ensureConnected() {
  if (!query_.usable() && !query_.open(named("QueryBuf%s"), kQueryBufferSize)) return false;
  if (!reply_.usable() && !reply_.open(named("ReplyBuf%s"), kReplyBufferSize)) return false;
  // Registered as a client before any service is found or started: a service ends when no
  // client holds this lock any more.
  if (!clientsLock_.isOpen() &&
      clientsLock_.open(platform::LivenessLock::clientsPathOf(mutexName_))) {
    clientsLock_.lock(platform::LockFile::Mode::Shared);
  }
  pid_t holder = platform::LivenessLock::holderOf(mutexName_);
  if (holder > 0 && holder == service_ && query_.stamp() == uint32_t(holder)) return true;
  service_ = 0;
  // A service that has its lock but has not written its id yet is given a moment.
  for (int i = 0; holder < 0 && i < 50; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    holder = platform::LivenessLock::holderOf(mutexName_);
  }
  if (holder > 0) {
    // Another client's service (or ours, replaced): use it when it answers.
    if (pingService(holder, kReplyMilliseconds)) {
      ++session_;
      return true;
    }
    if (platform::LivenessLock::holderOf(mutexName_) == holder) {
      service_ = holder;
      dropService("did not answer a ping");
    }
  }
  if (child_.pid() > 0 && !child_.running()) child_.forget();
  return startService();
}

DecoderStream DecoderClient::open(const std::string& path) {
  DecoderStream stream;
  OpenRecord record;
  if (!makeOpenRecord(path, record)) {
    stream.status = kStatusCannotOpen;
    return stream;
  }
  std::lock_guard<std::mutex> guard(mutex_);
  if (!lockRequests()) return stream;
  if (ensureConnected()) {
    std::memcpy(query_.data(), record.bytes, sizeof record.bytes);
    if (transact(kReplyMilliseconds, false)) {  // the scan takes longer than a poll
      const OpenReply reply = readOpenReply(reply_.data(), kReplyBufferSize);
      stream.status = reply.status;
      if (stream.status == kStatusOk) {
        stream.id = reply.stream;
        stream.position = reply.position;
        stream.sampleRate = reply.sampleRate;
        stream.channels = reply.channels;
        stream.length = reply.length;
        stream.session = session_;
      }
    }
  }
  unlockRequests();
  return stream;
}

// One read, seek or close, sent only in the connection the stream belongs to. A read copies
// `value` frames of samples to `samples`.
// The caller holds the requests lock.
int32_t DecoderClient::streamRequest(uint32_t code, DecoderStream& stream, int32_t value,
                                     Sample* samples) {
  int32_t status = kStatusUnavailable;
  // The stamp names the service serving the buffers now; whether it is alive is checked when a
  // reply is late.
  if (service_ > 0 && stream.session == session_ && query_.stamp() == uint32_t(service_)) {
    writeRequest(query_.data(), kQueryBufferSize, {code, stream.id, value});
    const pid_t service = service_;
    if (transact(kReplyMilliseconds)) {
      const PositionReply reply = readPositionReply(reply_.data(), kReplyBufferSize);
      status = reply.status;
      if (status == kStatusOk && code != kClose) stream.position = reply.position;
      if (status == kStatusOk && code == kRead) {
        const size_t words = size_t(value) * std::max<size_t>(stream.channels, 1);
        readSampleWords(reply_.data(), kReplyBufferSize, samples, words);
      }
      if (status == kStatusUnknownStream) {
        // The service stops serving after naming an unknown stream: let it go.
        awaitServiceEnd(service, 1000);
        service_ = 0;
      }
    }
  }
  return status;
}

int32_t DecoderClient::read(DecoderStream& stream, Sample* buffer, int32_t frames) {
  const size_t channels = std::max<size_t>(stream.channels, 1);
  const auto perRequest = int32_t(kMaxReadWords / channels);
  std::lock_guard<std::mutex> guard(mutex_);
  // Up to four pieces (a loader's block of 8192 stereo frames) are one turn; between turns
  // another editor's requests may come.
  constexpr int kPiecesPerTurn = 4;
  int32_t status = kStatusOk;
  for (int32_t done = 0, piece = 0; done < frames && status == kStatusOk; ++piece) {
    if (piece % kPiecesPerTurn == 0) {
      if (piece > 0) unlockRequests();
      if (!lockRequests()) return kStatusUnavailable;
    }
    const int32_t n = std::min(frames - done, perRequest);
    status = streamRequest(kRead, stream, n, buffer + size_t(done) * channels);
    done += n;
  }
  unlockRequests();
  return status;
}

int32_t DecoderClient::seek(DecoderStream& stream, int32_t frame) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!lockRequests()) return kStatusUnavailable;
  const int32_t status = streamRequest(kSeek, stream, frame, nullptr);
  unlockRequests();
  return status;
}

void DecoderClient::close(DecoderStream& stream) {
  if (stream.status != kStatusOk || stream.id < 0) return;
  std::lock_guard<std::mutex> guard(mutex_);
  if (lockRequests()) {
    streamRequest(kClose, stream, 0, nullptr);
    unlockRequests();
  }
  stream.id = -1;
}

int32_t DecoderClient::ping() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!lockRequests()) return kStatusUnavailable;
  int32_t status = kStatusUnavailable;
  if (ensureConnected()) {
    writeRequest(query_.data(), kQueryBufferSize, {kPing});
    if (transact(kReplyMilliseconds)) status = readStatus(reply_.data(), kReplyBufferSize);
  }
  unlockRequests();
  return status;
}

int32_t DecoderClient::exchange(std::span<const uint8_t> request, std::span<uint8_t> reply) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (request.size() > kQueryBufferSize || reply.size() > kReplyBufferSize || !lockRequests()) {
    return kStatusUnavailable;
  }
  int32_t status = kStatusUnavailable;
  if (ensureConnected()) {
    std::memcpy(query_.data(), request.data(), request.size());
    const pid_t service = service_;
    if (transact(kReplyMilliseconds)) {
      std::memcpy(reply.data(), reply_.data(), reply.size());
      status = readStatus(reply_.data(), kReplyBufferSize);
      const uint32_t code = readRequest(request.data(), request.size()).code;  // ping when short
      const bool stops =
          code == kQuit || (status == kStatusUnknownStream && code >= kRead && code <= kClose);
      if (stops) {
        awaitServiceEnd(service, 1000);
        service_ = 0;
      }
    }
  }
  unlockRequests();
  return status;
}

pid_t DecoderClient::servicePid() {
  std::lock_guard<std::mutex> guard(mutex_);
  return service_;
}

uint64_t DecoderClient::requestsSent() {
  std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

}  // namespace quillon
