#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::platform {

// The text form of the settings: "[SubKey]" lines open sections, "Name=Value" lines hold values,
// lines starting with ';' or '#' and blank lines are kept as they are. Section and value names
// compare without regard to ASCII case, as registry names do. Backslash escapes keep any text
// on one line: \\ \n \r \0, and in names also \= \[ \] \; \#.
class IniFile {
 public:
  // Nothing when the text is not in this form (a stray line, a value before any section, a NUL).
  static std::optional<IniFile> parse(std::string_view text);
  std::string serialize() const;

  const std::string* find(std::string_view section, std::string_view name) const;
  void set(std::string_view section, std::string_view name, std::string_view value);
  bool remove(std::string_view section, std::string_view name);
  void removeSection(std::string_view section);
  // Value names of a section in file order.
  std::vector<std::string> names(std::string_view section) const;

 private:
  struct Line {
    bool isEntry = false;
    std::string name;  // entries only
    std::string text;  // the value of an entry, or a comment line as it stands
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  Section* findSection(std::string_view name);
  const Section* findSection(std::string_view name) const;

  std::vector<Line> preamble_;  // comments before the first section
  std::vector<Section> sections_;
};

}  // namespace quillon::platform
