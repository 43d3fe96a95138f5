#pragma once

#include <string>

#include "document/tag_list.h"

namespace quillon {

// The tags of a WAV file's LIST/INFO chunk and its DISP title chunk. Reading overwrites values
// (an INFO id without a key of ours goes under "NULL") and answers true only when both a
// LIST/INFO and a DISP chunk were found; a LIST/INFO chunk of more than 259 bytes ends the
// reading with false.
bool readRiffInfoTags(TagList& tags, const std::string& path);

// Disables the old LIST/INFO and DISP chunks and writes new ones, in place: over two disabled
// chunks of exactly their sizes, else at the end. Entries that would take the LIST/INFO chunk
// past the 259 bytes a reader accepts are left out.
bool writeRiffInfoTags(const TagList& tags, const std::string& path);

}  // namespace quillon
