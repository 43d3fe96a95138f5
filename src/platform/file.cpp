#include "platform/file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <random>
#include <utility>

#include "platform/paths.h"

namespace quillon::platform {
namespace {

thread_local FileActivity threadActivity;
thread_local bool onUiThread = false;
std::atomic<uint64_t> uiOpens{0}, uiReads{0}, uiBytesRead{0};

void countOpen() {
  ++threadActivity.opens;
  if (onUiThread) uiOpens.fetch_add(1, std::memory_order_relaxed);
}

void countRead(int64_t bytes) {
  ++threadActivity.reads;
  threadActivity.bytesRead += uint64_t(std::max<int64_t>(bytes, 0));
  if (onUiThread) {
    uiReads.fetch_add(1, std::memory_order_relaxed);
    uiBytesRead.fetch_add(uint64_t(std::max<int64_t>(bytes, 0)), std::memory_order_relaxed);
  }
}

}  // namespace

FileActivity threadFileActivity() {
  return threadActivity;
}

void markUiThread(bool marked) {
  onUiThread = marked;
}

FileActivity uiThreadFileActivity() {
  return {uiOpens.load(std::memory_order_relaxed), uiReads.load(std::memory_order_relaxed),
          uiBytesRead.load(std::memory_order_relaxed)};
}

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(std::exchange(other.error_, 0)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    error_ = std::exchange(other.error_, 0);
  }
  return *this;
}

bool File::open(const std::string& path, Mode mode, unsigned permissions) {
  close();
  // Non-blocking, so that a FIFO (or a device) named like an audio file cannot stall the open.
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  switch (mode) {
    case Mode::Read:
      flags |= O_RDONLY;
      break;
    case Mode::ReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::Create:
      flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW;
      break;
    case Mode::CreateExclusive:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, permissions);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  error_ = 0;
  countOpen();
  return true;
}

void File::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

namespace {

// Reads until `bytes` are there or the file ends, retrying interrupted reads; `readSome(to,
// count, done)` reads once. −1 (and the error kept) when a read fails.
template <typename ReadSome>
int64_t readFully(void* buffer, size_t bytes, int& error, ReadSome readSome) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  struct Count {
    size_t& done;
    ~Count() { countRead(int64_t(done)); }
  } count{done};
  while (done < bytes) {
    const ssize_t n = readSome(out + done, bytes - done, done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

}  // namespace

int64_t File::read(void* buffer, size_t bytes) {
  return readFully(buffer, bytes, error_,
                   [this](char* to, size_t count, size_t) { return ::read(fd_, to, count); });
}

int64_t File::readAt(void* buffer, size_t bytes, int64_t offset) {
  return readFully(buffer, bytes, error_, [this, offset](char* to, size_t count, size_t done) {
    return ::pread(fd_, to, count, static_cast<off_t>(offset + int64_t(done)));
  });
}

bool File::write(const void* buffer, size_t bytes) {
  const auto* in = static_cast<const char*>(buffer);
  while (bytes > 0) {
    ssize_t n = ::write(fd_, in, bytes);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    in += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

bool File::writeAt(const void* buffer, size_t bytes, int64_t offset) {
  const auto* in = static_cast<const char*>(buffer);
  while (bytes > 0) {
    ssize_t n = ::pwrite(fd_, in, bytes, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    in += n;
    offset += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

bool File::seek(int64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  return true;
}

int64_t File::tell() const {
  return ::lseek(fd_, 0, SEEK_CUR);
}

int64_t File::size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

bool File::truncate(int64_t bytes) {
  if (::ftruncate(fd_, static_cast<off_t>(bytes)) != 0) {
    error_ = errno;
    return false;
  }
  return true;
}

bool File::sync() {
  if (::fsync(fd_) != 0) {
    error_ = errno;
    return false;
  }
  return true;
}

bool readWholeFile(const std::string& path, std::string& out) {
  File file;
  if (!file.open(path, File::Mode::Read)) return false;
  out.clear();
  char chunk[16384];
  for (;;) {
    int64_t n = file.read(chunk, sizeof chunk);
    if (n < 0) return false;
    out.append(chunk, static_cast<size_t>(n));
    if (n < static_cast<int64_t>(sizeof chunk)) return true;
  }
}

std::string randomHex(size_t bytes) {
  std::string random(bytes, '\0');
  size_t got = 0;
  while (got < bytes) {
    const ssize_t n = ::getrandom(random.data() + got, bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  if (got < bytes) {
    // No random source (a very old kernel): the time and the process still make a name that a
    // guess hits rarely; the exclusive creation keeps it safe either way.
    std::mt19937_64 mix(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                        (uint64_t(::getpid()) << 32) ^ uint64_t(uintptr_t(&random)));
    for (size_t i = got; i < bytes; ++i)
      random[i] = char(mix());
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : random) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

std::string createUniqueFile(const std::string& folder, const std::string& prefix,
                             const std::string& suffix, File& file, unsigned permissions) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path =
        joinPath(folder.empty() ? "." : folder, prefix + randomHex(6) + suffix);
    if (file.open(path, File::Mode::CreateExclusive, permissions)) return path;
    if (file.error() != EEXIST) return {};
  }
  return {};
}

bool replaceFileAtomically(const std::string& path, const std::string& contents,
                           unsigned permissions) {
  std::string temp;
  {
    File file;
    std::string prefix = ".";  // hidden, and named after the file it replaces
    prefix.append(fileNameOf(path)).append(".");
    temp = createUniqueFile(parentFolder(path), prefix, ".tmp", file, permissions);
    if (temp.empty()) return false;
    if (!file.write(contents.data(), contents.size()) || !file.sync()) {
      file.close();
      removeFile(temp);
      return false;
    }
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    removeFile(temp);
    return false;
  }
  // Make the rename itself durable.
  const std::string folder = parentFolder(path);
  int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool removeFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace quillon::platform
