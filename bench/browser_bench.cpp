// The file browser on a folder of 100,000 files, against a plain readdir + fstatat loop and
// against `ls -l` on the same folder in the same run.
//   list/plain:    PosixFileSystem's listing (names, kinds, sizes, times)
//   browser/plain: the controller going to the folder (listing, type filter, sorting)
//   dialog_s:      the Qt dialog (offscreen) built, shown and painted on the folder; target < 1 s
//   first_rows_s:  when the first rows reach the window; at most the batch interval (0.1 s)
//                  after the listing starts when the whole listing takes longer
// $QUILLON_BENCH_DIR chooses the file system (default: the temporary folder).
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "browser/browser_controller.h"
#include "browser/file_browser.h"
#include "browser/posix_file_system.h"
#include "browser/ui/browser_dialog.h"
#include "platform/scripted_interaction.h"

namespace quillon::bench {
namespace {

using browser::BrowserController;
using browser::BrowserEntry;
using browser::PosixFileSystem;

constexpr int kFiles = 100'000;

// The folder of 100,000 files (9 in 10 ".wav"), made once, removed at exit.
class BigFolder {
 public:
  static const std::string& path() {
    static BigFolder folder;
    return folder.path_;
  }

 private:
  BigFolder() {
    const char* base = std::getenv("QUILLON_BENCH_DIR");
    std::string pattern =
        (base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) /
        "quillon-browser-bench-XXXXXX";
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    const int folder = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < kFiles; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "take %d.%s", i, i % 10 == 9 ? "txt" : "wav");
      const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0 && ::ftruncate(fd, off_t(i) * 37) == 0) ::close(fd);
    }
    for (int i = 0; i < 50; ++i)
      ::mkdirat(folder, ("Folder " + std::to_string(i)).c_str(), 0755);
    ::close(folder);
  }
  ~BigFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string path_;
};

struct PlainEntry {
  std::string name;
  bool directory;
  int64_t size;
  int64_t modified;
};

// What any listing must do at least: read the folder and stat each entry on its descriptor.
std::vector<PlainEntry> plainListing(const std::string& path) {
  std::vector<PlainEntry> entries;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return entries;
  while (const dirent* found = ::readdir(dir)) {
    if (found->d_name[0] == '.' &&
        (found->d_name[1] == '\0' || (found->d_name[1] == '.' && found->d_name[2] == '\0'))) {
      continue;
    }
    struct stat info;
    if (::fstatat(::dirfd(dir), found->d_name, &info, 0) != 0) continue;
    entries.push_back({found->d_name, S_ISDIR(info.st_mode), int64_t(info.st_size),
                       int64_t(info.st_mtim.tv_sec)});
  }
  ::closedir(dir);
  return entries;
}

browser::BrowserSetup wavSetup() {
  FileChooserRequest request;
  request.folder = BigFolder::path();
  request.types = {{"Wave (*.wav)", ".wav"}, {"All Files (*.*)", "*.*"}};
  request.preferredExtension = ".wav";
  return browser::setupFor(request);
}

void BM_ListFolderAgainstPlainLoop(benchmark::State& state) {
  const std::string& folder = BigFolder::path();
  PosixFileSystem files;
  ScriptedInteraction answers;
  double plain = 0, listing = 0, browsing = 0, ls = 0;
  size_t rows = 0;
  for (auto _ : state) {
    plain += secondsOf([&] { benchmark::DoNotOptimize(plainListing(folder)); });
    listing += secondsOf([&] { benchmark::DoNotOptimize(files.listAll(folder)); });
    browsing += secondsOf([&] {
      BrowserController controller(files, answers, wavSetup());
      controller.start();
      rows = controller.rows().size();
    });
    ls += commandSeconds("ls -l '" + folder + "' > /dev/null");
  }
  const double n = double(state.iterations());
  state.counters["plain_s"] = plain / n;
  state.counters["list_s"] = listing / n;
  state.counters["browser_s"] = browsing / n;
  state.counters["ls_l_s"] = ls / n;
  state.counters["list/plain"] = listing / plain;
  state.counters["browser/plain"] = browsing / plain;
  state.counters["browser/ls_l"] = browsing / ls;
  state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ListFolderAgainstPlainLoop)->Unit(benchmark::kMillisecond)->Iterations(5);

// Notes when the first batch of rows goes to the window.
class TimedFileSystem : public PosixFileSystem {
 public:
  std::chrono::steady_clock::time_point firstRows;
  bool list(const std::string& folder, const browser::ListingBatch& batch) override {
    bool first = true;
    return PosixFileSystem::list(folder, [&](std::vector<BrowserEntry>& entries, bool done) {
      if (first) firstRows = std::chrono::steady_clock::now();
      first = false;
      return batch(entries, done);
    });
  }
};

void BM_DialogShowsTheFolder(benchmark::State& state) {
  TimedFileSystem files;
  ScriptedInteraction answers;
  double dialog = 0, firstRows = 0, plain = 0;
  for (auto _ : state) {
    plain += secondsOf([&] { benchmark::DoNotOptimize(plainListing(BigFolder::path())); });
    const auto start = std::chrono::steady_clock::now();
    {
      browser::BrowserDialog window(files, answers, wavSetup());
      window.show();
      while (window.controller().folder().empty())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
      QApplication::processEvents();
      benchmark::DoNotOptimize(window.grab());
      dialog += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    firstRows += std::chrono::duration<double>(files.firstRows - start).count();
  }
  const double n = double(state.iterations());
  state.counters["dialog_s"] = dialog / n;
  state.counters["first_rows_s"] = firstRows / n;
  state.counters["dialog/plain"] = dialog / plain;
}
BENCHMARK(BM_DialogShowsTheFolder)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillon::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
