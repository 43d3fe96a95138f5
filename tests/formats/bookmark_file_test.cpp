#include "formats/bookmark_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "formats/byte_io.h"
#include "platform/file.h"
#include "platform/xdg_dirs.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::readBytes;
using testing::writeBytes;

Bookmark mark(std::string name, int32_t position, int32_t rate, int32_t number) {
  Bookmark bookmark;
  bookmark.name = std::move(name);
  bookmark.position = position;
  bookmark.positionRate = rate;
  bookmark.displayNumber = number;
  return bookmark;
}

// Everything a record saves (its milliseconds are derived).
auto savedFields(const std::vector<Bookmark>& bookmarks) {
  std::vector<std::tuple<std::string, std::string, int32_t, int32_t, int32_t, int, uint32_t>> all;
  for (const Bookmark& b : bookmarks)
    all.emplace_back(b.name, b.secondText, b.position, b.positionRate, b.displayNumber, b.flag,
                     b.value);
  return all;
}

// A text as the file has it: a length byte, or 255 and a 4-byte length, then the bytes.
void putText(ByteWriter& out, const std::string& bytes, bool escaped = false) {
  if (escaped) {
    out.u8(255).u32le(uint32_t(bytes.size()));
  } else {
    out.u8(uint8_t(bytes.size()));
  }
  out.bytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class BookmarkFileTest : public ::testing::Test {
 protected:
  testing::TempEnvironment env;
  const std::string sideFile = env.path("dictation.qbm");
};

TEST(BookmarkPathTest, TheExtensionAfterTheLastSlashIsReplaced) {
  const std::pair<std::string, std::string> cases[] = {
      {"/music/song.wav", "/music/song.qbm"},
      {"/music/song", "/music/song.qbm"},
      {"/music.old/song", "/music.old/song.qbm"},
      {"/music/a.b.mp3", "/music/a.b.qbm"},
      {"song.wav", "song.qbm"},
      {"song", "song.qbm"},
  };
  for (const auto& [audio, side] : cases)
    EXPECT_EQ(bookmarkPathFor(audio), side) << audio;
}

TEST_F(BookmarkFileTest, RoundTripKeepsEveryFieldAndTheCodePageCharacters) {
  std::string longName;
  for (int i = 0; i < 150; ++i)
    longName += "\xC3\xA9\xE2\x82\xAC";  // "é€": one code-page byte each
  std::vector<Bookmark> saved = {
      mark("Caf\xC3\xA9 \xE2\x80\x93 \xC3\x9C"
           "berblick \xE2\x82\xAC",
           110250, 44100, 7),
      mark(longName, 0, 8000, 0),
      mark("", -1, 0, -3),
  };
  saved[0].secondText = "Zweiter Text \xC3\xA4";
  saved[0].flag = 0;
  saved[0].value = 0x00FF8040;  // a colour
  saved[1].secondText = longName;
  ASSERT_TRUE(writeBookmarkFile(sideFile, saved));

  const std::vector<uint8_t> bytes = readBytes(sideFile);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 3);  // version
  EXPECT_EQ(bytes[1], 3);  // count
  EXPECT_EQ(bytes[2], 18) << "18 code-page bytes for the first name";
  EXPECT_EQ(bytes[3 + 3], 0xE9) << "\"é\" in the code page";

  const std::vector<Bookmark> loaded = readBookmarkFile(sideFile, 22050);
  ASSERT_EQ(loaded.size(), 3u);
  EXPECT_EQ(savedFields(loaded), savedFields(saved)) << "the saved rate, not the document's";
  EXPECT_EQ(loaded[0].positionMs, 2500);
  EXPECT_EQ(loaded[2].positionMs, 0) << "a rate of 0 gives no time";

  // Characters the code page lacks come back as "?"; nothing else is left in the folder.
  ASSERT_TRUE(writeBookmarkFile(sideFile, {mark("\xE6\x97\xA5\xE6\x9C\xAC x", 1, 1, 1)}));
  EXPECT_EQ(readBookmarkFile(sideFile, 8000).at(0).name, "?? x");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(env.root()))
    files += entry.is_regular_file();
  EXPECT_EQ(files, 1) << "the temporary file was renamed into place";
}

TEST_F(BookmarkFileTest, LongTextsUseTheEscapeAndReadingKeeps519Bytes) {
  const std::string name254(254, 'a'), name255(255, 'b');
  ASSERT_TRUE(writeBookmarkFile(sideFile, {mark(name254, 0, 1, 0), mark(name255, 0, 1, 0)}));
  const std::vector<uint8_t> written = readBytes(sideFile);
  ASSERT_GT(written.size(), 2u + 1 + 254 + 1 + 4 * 3 + 1 + 4 + 5);
  EXPECT_EQ(written[2], 254) << "254 bytes still fit the length byte";
  const size_t second = 2 + 1 + 254 + 1 + 4 * 3 + 1 + 4;
  EXPECT_EQ(std::vector<uint8_t>(written.begin() + second, written.begin() + second + 5),
            (std::vector<uint8_t>{255, 255, 0, 0, 0}))
      << "the escape and a 4-byte length";

  // A 600-byte name: the first 519 bytes are kept, the rest skipped, the record read on.
  std::string name600;
  for (int i = 0; i < 600; ++i)
    name600 += char('a' + i % 26);
  ByteWriter file;
  file.u8(3).u8(1);
  putText(file, name600, true);
  putText(file, "x", true);
  file.u32le(96000).u32le(48000).u32le(12).u8(1).u32le(5);
  writeBytes(sideFile, file.data());
  const std::vector<Bookmark> loaded = readBookmarkFile(sideFile, 44100);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].name, name600.substr(0, 519));
  EXPECT_EQ(loaded[0].secondText, "x");
  EXPECT_EQ(loaded[0].position, 96000);
  EXPECT_EQ(loaded[0].positionMs, 2000);
  EXPECT_EQ(loaded[0].displayNumber, 12);
  EXPECT_EQ(loaded[0].value, 5u);
}

TEST_F(BookmarkFileTest, Version2PositionsAreMillisecondsAndTakeTheNextNumbers) {
  ByteWriter file;
  file.u8(2).u8(2);
  putText(file, "Intro");
  putText(file, "");
  file.u32le(1500).u8(1).u32le(0xABCDEF);
  putText(file, "\xE9nd");  // "énd" in the code page
  putText(file, "second");
  file.u32le(250).u8(0).u32le(0);
  writeBytes(sideFile, file.data());

  const std::vector<Bookmark> loaded = readBookmarkFile(sideFile, 8000);
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[0].positionMs, 1500);
  EXPECT_EQ(loaded[0].position, 12000);
  EXPECT_EQ(loaded[0].positionRate, 8000);
  EXPECT_EQ(loaded[0].value, 0xABCDEFu);
  EXPECT_EQ(loaded[1].name, "\xC3\xA9nd");
  EXPECT_EQ(loaded[1].secondText, "second");
  EXPECT_EQ(loaded[1].position, 2000);
  EXPECT_EQ(loaded[1].flag, 0);
  EXPECT_GE(loaded[0].displayNumber, 0);
  EXPECT_EQ(loaded[1].displayNumber, loaded[0].displayNumber + 1);
  EXPECT_EQ(nextBookmarkDisplayNumber(), loaded[1].displayNumber + 1) << "one counter for all";
}

TEST_F(BookmarkFileTest, OldMissingAndDamagedFilesGiveOnlyWholeRecords) {
  EXPECT_TRUE(readBookmarkFile(env.path("absent.qbm"), 8000).empty());
  for (uint8_t version : {0, 1, 4, 255}) {
    ByteWriter file;
    file.u8(version).u8(1);
    putText(file, "old");
    putText(file, "");
    file.u32le(0).u32le(8000).u32le(0).u8(1).u32le(0);
    writeBytes(sideFile, file.data());
    EXPECT_TRUE(readBookmarkFile(sideFile, 8000).empty()) << int(version);
  }

  ByteWriter file;
  file.u8(3).u8(3);
  putText(file, "whole");
  putText(file, "");
  file.u32le(10).u32le(8000).u32le(1).u8(1).u32le(0);
  putText(file, "cut short");
  file.u32le(20);
  writeBytes(sideFile, file.data());
  const std::vector<Bookmark> loaded = readBookmarkFile(sideFile, 8000);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].name, "whole");

  ByteWriter huge;  // a text length far past the end of the file
  huge.u8(3).u8(1).u8(255).u32le(0xFFFFFFF0).u8('a');
  writeBytes(sideFile, huge.data());
  EXPECT_TRUE(readBookmarkFile(sideFile, 8000).empty());
}

TEST_F(BookmarkFileTest, AnEmptyListDeletesTheSideFileAndAtMost255AreWritten) {
  std::vector<Bookmark> many;
  for (int i = 0; i < 300; ++i)
    many.push_back(mark("Mark " + std::to_string(i), i * 100, 8000, i));
  ASSERT_TRUE(writeBookmarkFile(sideFile, many));
  EXPECT_EQ(readBytes(sideFile).at(1), 255);
  const std::vector<Bookmark> loaded = readBookmarkFile(sideFile, 8000);
  ASSERT_EQ(loaded.size(), 255u);
  EXPECT_EQ(loaded.back().name, "Mark 254");

  EXPECT_TRUE(writeBookmarkFile(sideFile, {}));
  EXPECT_FALSE(platform::fileExists(sideFile));
  EXPECT_TRUE(writeBookmarkFile(sideFile, {})) << "nothing to delete is no failure";
  EXPECT_FALSE(writeBookmarkFile(env.path("no/folder/x.qbm"), many));
}

}  // namespace
}  // namespace quillon
