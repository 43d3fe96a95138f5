#include "platform/paths.h"

#include <gtest/gtest.h>

namespace quillon::platform {
namespace {

TEST(PathsTest, JoinAndSplitWithOneSlash) {
  EXPECT_EQ(joinPath("/a", "b.aud"), "/a/b.aud");
  EXPECT_EQ(joinPath("/a/", "b.aud"), "/a/b.aud");
  EXPECT_EQ(joinPath("", "b.aud"), "b.aud");
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  for (const Case& c : {Case{"/a/b/c.wav", "/a/b", "c.wav"}, Case{"/c.wav", "/", "c.wav"},
                        Case{"c.wav", "", "c.wav"}, Case{"C:\\x\\y.wav", "", "y.wav"}}) {
    EXPECT_EQ(parentFolder(c.path), c.folder) << c.path;
    EXPECT_EQ(fileNameOf(c.path), c.name) << c.path;
  }
}

// Extensions compare without case, the last dot of the file name wins, and a name that is only
// a dot and letters has none.
TEST(PathsTest, ExtensionsAreTheLastDotOfTheFileNameInLowerCase) {
  struct Case {
    const char* path;
    const char* extension;
    const char* stored;
  };
  for (const Case& c :
       {Case{"/a/b/Song.WAV", ".wav", "wav"}, Case{"/a/name.raw.wav", ".wav", "wav"},
        Case{"/a.b/noext", "", ""}, Case{".wav", "", ""}, Case{"dir\\file.Aiff", ".aiff", "aiff"},
        Case{"/a/.hidden.au", ".au", "au"}}) {
    EXPECT_EQ(extensionOf(c.path), c.extension) << c.path;
    EXPECT_EQ(storedExtension(c.path), c.stored) << c.path;
  }
}

}  // namespace
}  // namespace quillon::platform
