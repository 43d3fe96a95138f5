#include "support/temp_environment.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "document/block_store.h"
#include "document/block_writer.h"
#include "document/clip_reader.h"
#include "platform/xdg_dirs.h"

namespace quillon::testing {

TempEnvironment::TempEnvironment() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillon-test-XXXXXX").string();
  root_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  if (root_.empty()) {
    ADD_FAILURE() << "cannot create a temporary folder";
    return;
  }
  ::setenv("HOME", root_.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (root_ + "/cache").c_str(), 1);
  ::setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (root_ + "/runtime").c_str(), 1);
  if (const char* temp = std::getenv("TMPDIR")) previousTemp_ = temp, hadTemp_ = true;
  ::setenv("TMPDIR", (root_ + "/tmp").c_str(), 1);
  platform::makeFolders(root_ + "/tmp");
  platform::makeFolders(workingFolder());
  platform::makeFolders(root_ + "/runtime");
  BlockStore::instance().setFolder(workingFolder());
}

TempEnvironment::~TempEnvironment() {
  if (root_.empty()) return;
  if (hadTemp_) {
    ::setenv("TMPDIR", previousTemp_.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  std::error_code ignored;
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(root_, ignored);
}

std::string TempEnvironment::workingFolder() const {
  return root_ + "/cache/quillon";
}

void DocumentTest::TearDown() {
  EXPECT_EQ(BlockStore::instance().blocksInUse(), 0) << "a block reference leaked";
}

Clip writeClip(const std::vector<Sample>& samples, int channels, int32_t sampleRate) {
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, sampleRate, channels);
    writer->write(samples.data(), static_cast<int32_t>(samples.size() / channels));
    EXPECT_EQ(writer->status(), 0);
  }
  return clip;
}

std::vector<Sample> readAll(const Clip& clip) {
  auto reader = makeRef<ClipReader>(clip);
  std::vector<Sample> out(size_t(reader->length()) * clip.channels);
  EXPECT_EQ(reader->read(out.data(), reader->length()), reader->length());
  return out;
}

int countFiles(const std::string& folder, const std::string& extension) {
  int count = 0;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    if (entry.path().extension() == extension) ++count;
  }
  return count;
}

}  // namespace quillon::testing
