#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/bookmark.h"

namespace quillon {

// The ".qbm" side file that keeps a document's bookmarks next to its audio file. Little-endian:
// a version byte (3 when written; 2 is read too, 0 and 1 are ignored), a count byte, then per
// bookmark the name and the second text (a length byte, or 255 and a 4-byte length, then the
// text in the Windows-1252 code page), the position, and for version 3 the position's rate and
// the display number, then the flag byte and the 32-bit value. Version 2 positions are
// milliseconds.

// At most so many bookmarks fit the count byte; the rest are not saved.
inline constexpr size_t kMaxSavedBookmarks = 255;
// Reading keeps at most so many bytes of a text and skips the rest.
inline constexpr size_t kMaxBookmarkTextBytes = 519;

// The audio path with its extension (from the last "." after the last "/") replaced by ".qbm",
// or ".qbm" appended when it has none.
std::string bookmarkPathFor(const std::string& audioPath);

// The bookmarks of a side file. A missing, unreadable or old (version 0 or 1) file has none; a
// damaged one keeps the records that are complete before the damage. Positions of a version 2
// file are milliseconds: they are kept in `positionMs` and converted to frames at
// `documentRate`, and each such record takes the next display number.
std::vector<Bookmark> readBookmarkFile(const std::string& sideFilePath, int32_t documentRate);

// Writes the first 255 bookmarks as version 3, replacing the file as a whole (a temporary file
// in the same folder, then a rename). An empty list deletes the file instead. False when the
// file could not be written or deleted.
bool writeBookmarkFile(const std::string& sideFilePath, const std::vector<Bookmark>& bookmarks);

// The process-wide display counter for bookmarks that come without a number: 0, 1, 2…
int32_t nextBookmarkDisplayNumber();

}  // namespace quillon
