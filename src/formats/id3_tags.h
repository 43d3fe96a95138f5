#pragma once

#include <string>
#include <string_view>

#include "document/tag_list.h"

namespace quillon {

// The ID3v1 genre list: 148 names, index 0 "Blues" to 147 "Synthpop".
constexpr int kId3v1GenreCount = 148;
// The name of a genre number; empty outside the list.
std::string_view id3v1Genre(int index);

// Reads an ID3v2 tag of version 2.2 or 2.3 at the start of the file (overwriting values), then
// an ID3v1 tag at its end (only where the list has no value yet). True when either was found.
bool readId3Tags(TagList& tags, const std::string& path);

// Writes a new ID3v2.3 tag in front of the audio and a new ID3v1 block at its end, replacing
// the tags that were there. The file is rebuilt under a temporary name in the same folder and
// renamed over the original, so that a failure at any point leaves the original untouched.
bool writeId3Tags(const TagList& tags, const std::string& path);

}  // namespace quillon
