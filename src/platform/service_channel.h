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
// service process itself. Every named object belongs to the user: lock files live in the
// private runtime folder (`XdgDirs::privateRuntimeFolder`; nothing is made when it is refused),
// shared memory in /dev/shm with mode 0600, named "/quillon.<uid>.<random tag>.<name>".

// A named block of shared memory that holds an auto-reset event (a futex word) and a data area.
// Two processes that open the same name with the same size share both. The object lives while
// any process has it open; the last `close` (or the death of the last holder, noticed by the
// next opener) removes it.
//
// The system object's name has a part that nobody can guess: the first opener draws 64 random
// bits and keeps them in the buffer's lock file in the private runtime folder, where the later
// openers read them. Each new object gets a new tag, so a name that another user saw in /dev/shm
// is never used again and squatting it blocks nothing.
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
  // The system object's name ("/quillon.<uid>.<tag>.<name>"; "" when not open).
  const std::string& objectName() const { return objectName_; }

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
// waiting. The holder writes its process id into the file. Beside it, "<name>.clients.lock" is
// held shared by every client that may use the service, so the service can tell whether any
// client is still alive.
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
  // holder has not written its id yet. Never blocks. The id comes from the file: good for
  // telling services apart, never for signalling (see `killHolder`).
  static pid_t holderOf(const std::string& name);
  // Ends the process `pid` with SIGKILL, but only when the system's lock table names it as the
  // holder of the lock `name`; a process id written into the file is never trusted. True when
  // the signal was sent.
  static bool killHolder(const std::string& name, pid_t pid);
  // The paths in the private runtime folder ("" when it is refused).
  static std::string pathOf(const std::string& name);
  static std::string clientsPathOf(const std::string& name);

 private:
  LockFile lock_;
  int error_ = 0;
};

// A process started with posix_spawn: its own session, its standard input, output and error on
// /dev/null (so it never holds a pipe of ours open), no other descriptors (ours are all
// close-on-exec). Dropping the object leaves the process running.
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
