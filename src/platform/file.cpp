#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
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
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read:
      flags |= O_RDONLY;
      break;
    case Mode::ReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::Create:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::CreateExclusive:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  do {
    fd_ = ::open(path.c_str(), flags, permissions);
  } while (fd_ < 0 && errno == EINTR);
  error_ = fd_ < 0 ? errno : 0;
  if (fd_ >= 0) countOpen();
  return fd_ >= 0;
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

bool replaceFileAtomically(const std::string& path, const std::string& contents,
                           unsigned permissions) {
  const std::string temp = path + "." + std::to_string(::getpid()) + ".tmp";
  {
    File file;
    if (!file.open(temp, File::Mode::Create, permissions)) return false;
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
