#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(TextEncodingTest, CodePageRoundTripsItsOwnCharacters) {
  std::string all;
  for (int b = 1; b < 256; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;  // unassigned
    all += char(b);
  }
  EXPECT_EQ(toCodePage(fromCodePage(all)), all);
  EXPECT_EQ(fromCodePage("caf\xE9 \x80"), "café €");
  EXPECT_EQ(toCodePage("naïve – ok ✓"), "na\xEFve \x96 ok ?");
  EXPECT_EQ(fromCodePage("\x81"), "\xEF\xBF\xBD");
}

TEST(TextEncodingTest, Utf16BothWaysWithSurrogates) {
  const std::string text = "Ab é 🎵";
  const std::string le = toUtf16LittleEndian(text);
  EXPECT_EQ(le.size(), 2u * 7);  // the note takes a surrogate pair
  EXPECT_EQ(utf16Length(text), 7u);
  EXPECT_EQ(fromUtf16(le, false), text);
  std::string be;
  for (size_t i = 0; i < le.size(); i += 2)
    be += {le[i + 1], le[i]};
  EXPECT_EQ(fromUtf16(be, true), text);
  EXPECT_EQ(fromUtf16(std::string("A\0B\0\0\0C\0", 8), false), "AB");
  EXPECT_EQ(fromUtf16(std::string("\x00\xD8\x41\x00", 4), false),
            "\xEF\xBF\xBD"
            "A");
}

}  // namespace
}  // namespace quillon
