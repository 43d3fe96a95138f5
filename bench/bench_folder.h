#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "document/block_store.h"

namespace quillon::bench {

// A working folder for one benchmark run, on the same file system as the user's cache
// ($QUILLON_BENCH_DIR or the temporary folder), removed at the end.
class BenchFolder {
 public:
  BenchFolder() {
    const char* base = std::getenv("QUILLON_BENCH_DIR");
    std::string pattern =
        (base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) /
        "quillon-bench-XXXXXX";
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    BlockStore::instance().setFolder(path_);
  }
  ~BenchFolder() {
    BlockStore::instance().purgeAll();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace quillon::bench
