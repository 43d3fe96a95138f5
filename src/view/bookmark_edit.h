#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/bookmark.h"
#include "view/colour_scheme.h"
#include "view/time_line_model.h"

namespace quillon::view {

// A document keeps at most so many bookmarks (the side file counts them in one byte).
inline constexpr size_t kMaxBookmarks = 255;
// A name holds at most so many characters.
inline constexpr size_t kMaxBookmarkNameChars = 259;
inline constexpr char kNewBookmarkName[] = "New bookmark";
inline constexpr char kEditBookmarkTitle[] = "Edit Bookmark";

// What the "Edit Bookmark" dialog edits.
struct BookmarkFields {
  std::string name;
  Rgb colour;
};

// A new bookmark's fields: "New bookmark" and a colour whose components are each 0 … 254, taken
// from `randomBits`.
BookmarkFields newBookmarkFields(uint32_t randomBits);
// The fields of an existing bookmark.
BookmarkFields fieldsOf(const Bookmark& bookmark);
// The name as it is kept: line breaks and other control characters become spaces, and only the
// first 259 characters stay (whole characters of the UTF-8 text). The side file writes a name
// longer than 254 bytes with its 255 escape.
std::string acceptedBookmarkName(std::string_view typed);

// A bookmark's colour is kept in its 32-bit value as 0x00BBGGRR.
uint32_t colourValue(Rgb colour);
Rgb colourOfValue(uint32_t value);

bool canAddBookmark(const std::vector<Bookmark>& bookmarks);
// The number a new bookmark's flag shows: one more than the largest in use (1 for the first).
int32_t nextDisplayNumber(const std::vector<Bookmark>& bookmarks);
// A bookmark record at `frame` of a document of `rate` frames per second.
Bookmark makeBookmark(const BookmarkFields& fields, int64_t frame, int32_t rate, int32_t number);
void applyFields(Bookmark& bookmark, const BookmarkFields& fields);
// Moves a bookmark to `frame`, keeping its millisecond position in step.
void moveBookmark(Bookmark& bookmark, int64_t frame, int32_t rate);
// The document's bookmarks as the ruler lists them.
std::vector<RulerBookmark> rulerBookmarks(const std::vector<Bookmark>& bookmarks);

}  // namespace quillon::view
