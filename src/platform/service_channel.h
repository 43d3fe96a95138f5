#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/lock_file.h"

namespace quillon::platform {

// The objects through which the editor and its MP3 decoding service talk: named shared buffers
// with an auto-reset event each, the lock that tells whether the service is alive, and the
// service process itself. Every named object belongs to the user: its name carries the user id
// and a tag of the runtime folder (so each login session, and each test, has its own set),
// shared memory lives in /dev/shm with mode 0600, lock files in "$XDG_RUNTIME_DIR/quillon".

// The name of the per-user shared memory object for `name`: "/quillon.<uid>.<tag>.<name>".
std::string userObjectName(const std::string& name);

// A named block of shared memory that holds an auto-reset event (a futex word) and a data area.
// Two processes that open the same name with the same size share both. The object lives while
// any process has it open; the last `close` (or the death of the last holder, noticed by the
// next opener) removes it.
class SharedBuffer {
 public:
  SharedBuffer() = default;
  ~SharedBuffer() { close(); }
  SharedBuffer(const SharedBuffer&) = delete;
  SharedBuffer& operator=(const SharedBuffer&) = delete;

  // Creates the object or opens the existing one; the data area has `size` bytes (an existing
  // object must have at least that many). False, with `error()`, when it cannot be made, or when
  // an object of that name belongs to someone else or can be reached by other users.
  bool open(const std::string& name, size_t size);
  void close();
  bool usable() const { return data_ != nullptr; }
  int error() const { return error_; }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

  // A word beside the event that every opener sees: the service puts its process id there, so
  // a client can tell, without a system call, whether the service it knows is still the one
  // serving the buffer. 0 in a new object.
  uint32_t stamp() const;
  void setStamp(uint32_t value);

  // Sets the event; one waiter (present or next) takes it and resets it.
  void signal();
  // Clears the event without waiting.
  void reset();
  // Waits until the event is set and takes it. A negative time waits without limit. True when
  // signalled, false when the time ran out (or the buffer is not usable). With a spin time the
  // wait first polls that long before it sleeps: for a partner that answers within microseconds
  // this saves the sleep and the wake-up.
  bool wait(int milliseconds, int spinMicroseconds = 0);
  // Only the polling part: takes the event if it is set within `spinMicroseconds`.
  bool poll(int spinMicroseconds);

 private:
  struct Header;
  Header* header() const;

  std::string name_;
  std::string objectName_;
  LockFile usersLock_;  // held shared while open
  uint8_t* mapping_ = nullptr;
  size_t mappedBytes_ = 0;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int error_ = 0;
};

// A lock file in the runtime folder that a running service holds; the system releases it when
// the process ends in any way, so a client can tell a live service from a dead one without
// waiting. The holder writes its process id into the file.
class LivenessLock {
 public:
  LivenessLock() = default;
  ~LivenessLock() { release(); }
  LivenessLock(const LivenessLock&) = delete;
  LivenessLock& operator=(const LivenessLock&) = delete;

  // Takes the lock named `name` for this process and records its id; false (with `error()`)
  // when another process holds it or the file cannot be made. Retries for a moment, so a client
  // testing the lock at that instant does not turn the holder away.
  bool acquire(const std::string& name);
  void release();
  bool held() const { return lock_.locked(); }
  int error() const { return error_; }

  // The id of the process that holds `name`: 0 when nobody does, −1 when it is held but the
  // holder has not written its id yet. Never blocks.
  static pid_t holderOf(const std::string& name);
  static std::string pathOf(const std::string& name);

 private:
  LockFile lock_;
  int error_ = 0;
};

// A process started with posix_spawn: its own session, standard input from /dev/null, no other
// descriptors (ours are all close-on-exec). Dropping the object leaves the process running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with the arguments after its name; false with `error()` (the system error).
  bool start(const std::string& program, const std::vector<std::string>& arguments);
  pid_t pid() const { return pid_; }
  int error() const { return error_; }

  // False once the process has ended (it is then reaped and its exit code kept).
  bool running();
  // Waits up to `milliseconds` for the end; true when it ended.
  bool waitForExit(int milliseconds);
  // Ends the process with SIGKILL and reaps it.
  void kill();
  // The exit code after a normal exit; −1 while running, after a signal or with no process.
  int exitCode() const { return exitCode_; }
  // Forgets the process without touching it.
  void forget();

 private:
  pid_t pid_ = 0;
  int exitCode_ = -1;
  int error_ = 0;
};

// The folder of the running program's executable ("" when unknown).
std::string runningProgramFolder();

}  // namespace quillon::platform
