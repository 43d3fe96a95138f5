#pragma once
#include <string>
#include "document/tag_list.h"
namespace quillon {
inline constexpr int kWavTagsAll = 3;
bool ReadTags(TagList& tags, const std::string& path, int wavKinds);
bool WriteTags(const TagList& tags, const std::string& path, int wavKinds);
}  // namespace quillon
