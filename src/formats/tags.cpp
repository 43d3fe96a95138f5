#include "formats/tags.h"
namespace quillon {
bool ReadTags(TagList&, const std::string&, int) { return false; }
bool WriteTags(const TagList&, const std::string&, int) { return false; }
}  // namespace quillon
