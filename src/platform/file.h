#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::platform {

// One open file descriptor, closed when the object goes. Reads and writes retry interrupted
// and partial transfers; a failure leaves errno-style code in `error()`.
//
// Only regular files are opened: the open never waits (a FIFO or a device under a file's name
// would block it) and anything that is not a regular file is refused (EISDIR for a folder, ENXIO
// for the rest). The modes that create never follow a symbolic link at the name.
class File {
 public:
  enum class Mode {
    Read,            // existing file, read only
    ReadWrite,       // existing file
    Create,          // create or truncate, read and write
    CreateExclusive  // create; fails when anything (a link too) has the name
  };

  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  ~File() { close(); }

  bool open(const std::string& path, Mode mode, unsigned permissions = 0600);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  int error() const { return error_; }

  // Reads up to `bytes`, stopping only at the end of the file; -1 on error.
  int64_t read(void* buffer, size_t bytes);
  int64_t readAt(void* buffer, size_t bytes, int64_t offset);
  // Writes everything or fails.
  bool write(const void* buffer, size_t bytes);
  bool writeAt(const void* buffer, size_t bytes, int64_t offset);
  bool seek(int64_t offset);
  // The current offset of the descriptor; -1 on error.
  int64_t tell() const;
  int64_t size() const;
  bool truncate(int64_t bytes);
  bool sync();

 private:
  int fd_ = -1;
  int error_ = 0;
};

// What a thread did with files: opens, reads (each call of `read` or `readAt`) and bytes read.
// Tests and benchmarks use it to show that the user-interface thread never reads sample or peak
// files: the thread that marks itself with `markUiThread` is counted apart, readable from any
// thread.
struct FileActivity {
  uint64_t opens = 0;
  uint64_t reads = 0;
  uint64_t bytesRead = 0;
};
// The calling thread's counts since it started.
FileActivity threadFileActivity();
// Marks (or unmarks) the calling thread as the user-interface thread.
void markUiThread(bool marked = true);
// The counts of the marked threads, since the process started.
FileActivity uiThreadFileActivity();

// Reads a whole file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& out);

// Text that nobody can guess: `bytes` random bytes from the system, as lower-case hex digits.
std::string randomHex(size_t bytes);

// Creates a new file "<folder>/<prefix><random><suffix>" that nobody else can have made or
// planted: the name has 48 random bits and the file is created exclusively, never through a
// link (O_CREAT|O_EXCL|O_NOFOLLOW), with `permissions` (less the umask). Answers its path, the
// file open in `file`; "" when no file could be made (`file.error()` tells why).
std::string createUniqueFile(const std::string& folder, const std::string& prefix,
                             const std::string& suffix, File& file, unsigned permissions = 0600);

// Replaces `path` with `contents` so that readers see either the old file or the new one,
// never a part: a temporary file of its own in the same folder (`createUniqueFile`), fsync,
// rename, fsync of the folder. Two replacements at once never mix: the last one wins.
bool replaceFileAtomically(const std::string& path, const std::string& contents,
                           unsigned permissions = 0600);

// Deletes a file; a file that is already gone is not an error.
bool removeFile(const std::string& path);

}  // namespace quillon::platform
