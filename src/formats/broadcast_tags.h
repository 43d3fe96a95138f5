#pragma once

#include <string>

#include "document/tag_list.h"

namespace quillon {

// The broadcast-wave "bext" chunk and the radio "cart" chunk of a WAV file: fixed layouts of
// text fields (UTF-8, zero-padded), numbers (read as decimal text; the bext version as
// hexadecimal; zero reads as no value), the bext UMID (its 64 bytes as decimal values, each
// followed by a comma) and a free text at the end (the coding history, the tag text).
//
// Reading takes the first chunk of the id that is long enough and overwrites values; false
// when there is none. Writing rebuilds the chunk from the tags (missing values zero-filled),
// disables the old chunks of the id and writes the new one over a disabled chunk of exactly
// its size, else at the end of the file.
bool readBextTags(TagList& tags, const std::string& path);
bool writeBextTags(const TagList& tags, const std::string& path);
bool readCartTags(TagList& tags, const std::string& path);
bool writeCartTags(const TagList& tags, const std::string& path);

}  // namespace quillon
