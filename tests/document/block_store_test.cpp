#include "document/block_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "document/block_writer.h"
#include "platform/file.h"
#include "platform/xdg_dirs.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::countFiles;
using testing::DocumentTest;
using testing::writeClip;

using BlockStoreTest = DocumentTest;

TEST_F(BlockStoreTest, PathsNameTheBlockInDecimal) {
  BlockStore& store = BlockStore::instance();
  EXPECT_EQ(store.samplePath(17), env.workingFolder() + "/17.aud");
  EXPECT_EQ(store.peakPath(0), env.workingFolder() + "/0.grf");
  EXPECT_EQ(store.samplePath(NoBlock), "");
  EXPECT_EQ(store.peakPath(NoBlock), "");
}

TEST_F(BlockStoreTest, NoBlockHasNoCount) {
  BlockStore& store = BlockStore::instance();
  store.addRef(NoBlock);
  store.release(NoBlock);
  EXPECT_EQ(store.blocksInUse(), 0);
}

TEST_F(BlockStoreTest, TheLastReleaseDeletesBothFilesAndFreesTheLowestNumber) {
  BlockStore& store = BlockStore::instance();
  Clip a = writeClip({1, 2, 3});
  Clip b = writeClip({4, 5, 6});
  const BlockId first = a.segments[0].block();
  EXPECT_EQ(first, 0);
  EXPECT_EQ(b.segments[0].block(), 1);
  EXPECT_EQ(countFiles(env.workingFolder(), ".aud"), 2);

  Clip copy = a;  // a second holder
  EXPECT_EQ(store.referenceCount(first), 2);
  a.clear();
  EXPECT_TRUE(platform::fileExists(store.samplePath(first)));
  copy.clear();
  EXPECT_FALSE(platform::fileExists(store.samplePath(first)));
  EXPECT_FALSE(platform::fileExists(store.peakPath(first)));
  EXPECT_EQ(store.allocate(), first);  // the lowest free number comes back first
  store.release(first);
}

// Runs in a child process: a sticky block stays in use for the rest of the process.
TEST_F(BlockStoreTest, AStickyCountIsNeverDecremented) {
  pid_t child = fork();
  if (child == 0) {
    BlockStore& store = BlockStore::instance();
    Clip clip = writeClip({9});
    const BlockId id = clip.segments[0].block();
    for (int i = 1; i < 0xFFFF; ++i)
      store.addRef(id);
    bool ok = store.referenceCount(id) == 0xFFFF;
    store.addRef(id);
    store.release(id);
    store.release(id);
    clip.clear();
    ok = ok && store.referenceCount(id) == 0xFFFF;
    ok = ok && platform::fileExists(store.samplePath(id));  // survives until purgeAll
    store.purgeAll();
    ok = ok && countFiles(env.workingFolder(), ".aud") == 0;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(BlockStoreTest, WhenEveryNumberIsTakenAllocationAnswersNoBlock) {
  BlockStore& store = BlockStore::instance();
  for (int i = 0; i < 0xFFFF; ++i)
    ASSERT_EQ(store.allocate(), i);
  EXPECT_EQ(store.allocate(), NoBlock);

  // A writer that gets no number fails loudly instead of producing silence unnoticed.
  Clip target;
  {
    auto writer = makeRef<BlockWriter>(target, 8000, 1);
    const Sample samples[4] = {1, 2, 3, 4};
    EXPECT_FALSE(writer->write(samples, 4));
    EXPECT_TRUE(writer->failed());
  }
  ASSERT_EQ(target.segments.size(), 1u);
  EXPECT_TRUE(target.segments[0].isSilence());
  EXPECT_EQ(target.length(), 4);

  store.release(40000);
  EXPECT_EQ(store.allocate(), 40000);
  for (int i = 0; i < 0xFFFF; ++i)
    store.release(static_cast<BlockId>(i));
}

TEST_F(BlockStoreTest, PurgeAllRemovesBlockFilesOnly) {
  BlockStore& store = BlockStore::instance();
  platform::replaceFileAtomically(env.workingFolder() + "/12.aud", "left by a crash");
  platform::replaceFileAtomically(env.workingFolder() + "/12.grf", "left by a crash");
  platform::replaceFileAtomically(env.workingFolder() + "/notes.txt", "keep me");
  store.purgeAll();
  EXPECT_EQ(countFiles(env.workingFolder(), ".aud"), 0);
  EXPECT_EQ(countFiles(env.workingFolder(), ".grf"), 0);
  EXPECT_TRUE(platform::fileExists(env.workingFolder() + "/notes.txt"));
}

}  // namespace
}  // namespace quillon
