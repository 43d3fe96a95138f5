// The help pages: every topic the program opens is found from the build folder, the search order
// holds, and no page links to a page or an anchor that does not exist.

#include "shell/help_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/temp_environment.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Without QUILLON_HELP_DIR for the test's length.
class HelpPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* dir = std::getenv("QUILLON_HELP_DIR")) saved_ = dir, hadSaved_ = true;
    ::unsetenv("QUILLON_HELP_DIR");
  }
  void TearDown() override {
    if (hadSaved_)
      ::setenv("QUILLON_HELP_DIR", saved_.c_str(), 1);
    else
      ::unsetenv("QUILLON_HELP_DIR");
  }

 private:
  std::string saved_;
  bool hadSaved_ = false;
};

TEST_F(HelpPagesTest, EveryTopicResolvesFromTheBuildFolder) {
  for (std::string_view topic : shell::kHelpTopics) {
    const std::string page = shell::helpPagePath(topic);
    ASSERT_FALSE(page.empty()) << topic;
    EXPECT_EQ(fs::path(page).filename(), std::string(topic) + ".html");
    EXPECT_NE(readText(page).find("<title>"), std::string::npos) << page;
  }
  EXPECT_EQ(shell::helpPagePath("tutorial"), "") << "not a topic";
  EXPECT_EQ(shell::helpPagePath("../help/index"), "");
}

TEST_F(HelpPagesTest, TheEnvironmentFolderComesFirstPageByPage) {
  testing::TempEnvironment env;
  std::ofstream(env.path("effects.html")) << "<title>mine</title>";
  ::setenv("QUILLON_HELP_DIR", env.root().c_str(), 1);
  EXPECT_EQ(shell::helpFolders().front(), env.root());
  EXPECT_EQ(shell::helpPagePath("effects"), env.path("effects.html"));
  // A page the folder lacks comes from the next place.
  const std::string index = shell::helpPagePath("index");
  ASSERT_FALSE(index.empty());
  EXPECT_NE(fs::path(index).parent_path(), fs::path(env.root()));
}

// Every page is a topic, links only to pages and anchors that exist, and names every topic in
// its navigation.
TEST_F(HelpPagesTest, LinksPointAtPagesThatExist) {
  const fs::path folder = fs::path(shell::helpPagePath("index")).parent_path();
  ASSERT_FALSE(folder.empty());

  std::map<std::string, std::string> pages;  // file name → text
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".html") {
      pages[entry.path().filename().string()] = readText(entry.path());
    }
  }
  std::set<std::string> topics;
  for (std::string_view topic : shell::kHelpTopics)
    topics.insert(std::string(topic) + ".html");
  std::set<std::string> found;
  for (const auto& [name, text] : pages)
    found.insert(name);
  EXPECT_EQ(found, topics) << "every page in " << folder << " is a topic and every topic a page";

  const std::regex idPattern(R"re(\bid="([^"]+)")re");
  std::map<std::string, std::set<std::string>> ids;
  for (const auto& [name, text] : pages) {
    for (std::sregex_iterator it(text.begin(), text.end(), idPattern), end; it != end; ++it) {
      EXPECT_TRUE(ids[name].insert((*it)[1]).second) << name << ": id \"" << (*it)[1] << "\" twice";
    }
  }

  const std::regex linkPattern(R"re(\b(?:href|src)="([^"]*)")re");
  for (const auto& [name, text] : pages) {
    std::set<std::string> linked;
    for (std::sregex_iterator it(text.begin(), text.end(), linkPattern), end; it != end; ++it) {
      const std::string link = (*it)[1];
      SCOPED_TRACE(name + ": " + link);
      ASSERT_FALSE(link.empty());
      EXPECT_EQ(link.find("://"), std::string::npos) << "the pages work offline";
      const size_t hash = link.find('#');
      const std::string file = hash == std::string::npos ? link : link.substr(0, hash);
      const std::string target = file.empty() ? name : file;
      EXPECT_EQ(target.find('/'), std::string::npos) << "links stay in the help folder";
      EXPECT_TRUE(fs::is_regular_file(folder / target));
      if (hash != std::string::npos) {
        EXPECT_TRUE(ids[target].count(link.substr(hash + 1))) << "no such anchor";
      }
      linked.insert(target);
    }
    EXPECT_TRUE(linked.count("help.css"));
    for (const std::string& topic : topics) {
      EXPECT_TRUE(linked.count(topic)) << name << " does not link to " << topic;
    }
  }
}

}  // namespace
}  // namespace quillon
