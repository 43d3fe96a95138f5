#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <random>

namespace quillon::platform {
namespace {

std::string randomText(std::mt19937& random, bool allowEmpty) {
  static const char kAlphabet[] = "aZ09 =[];#\\\n\r\t\"%/\xC3\xA9";
  std::uniform_int_distribution<int> length(allowEmpty ? 0 : 1, 12);
  std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 1);  // includes the NUL
  std::string text;
  for (int n = length(random); n > 0; --n)
    text += kAlphabet[pick(random)];
  return text;
}

TEST(IniFileTest, AnyNamesAndValuesSurviveSerialisation) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    IniFile ini;
    std::vector<std::tuple<std::string, std::string, std::string>> written;
    for (int i = 0; i < 10; ++i) {
      std::string section = randomText(random, false);
      std::string name = randomText(random, false);
      std::string value = randomText(random, true);
      ini.set(section, name, value);
      written.emplace_back(section, name, value);
    }
    std::optional<IniFile> back = IniFile::parse(ini.serialize());
    ASSERT_TRUE(back) << ini.serialize();
    for (const auto& [section, name, value] : written) {
      const std::string* expected = ini.find(section, name);
      const std::string* found = back->find(section, name);
      ASSERT_TRUE(expected && found);
      EXPECT_EQ(*found, *expected);
    }
    EXPECT_EQ(back->serialize(), ini.serialize());
  }
}

TEST(IniFileTest, CommentsAndBlankLinesAreKept) {
  const std::string text = "; written by hand\n\n[Settings]\n# a note\nPlaySpeed=2\n";
  std::optional<IniFile> ini = IniFile::parse(text);
  ASSERT_TRUE(ini);
  ini->set("Settings", "PlayRepeat", "1");
  EXPECT_EQ(ini->serialize(), text + "PlayRepeat=1\n");
}

TEST(IniFileTest, TextOutsideTheFormIsRefused) {
  for (const char* text : {"Name=Value\n", "[Settings]\njust words\n", "[Settings\n", "[\n",
                           "[Settings]\nName=trailing backslash\\\n"}) {
    EXPECT_FALSE(IniFile::parse(text)) << text;
  }
  EXPECT_FALSE(IniFile::parse(std::string("[S]\nA=\0\n", 8)));
  EXPECT_TRUE(IniFile::parse("[S]\r\nA=1\r\n"));
  EXPECT_TRUE(IniFile::parse(""));
}

}  // namespace
}  // namespace quillon::platform
