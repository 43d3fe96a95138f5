#include "view/bookmark_edit.h"

#include <algorithm>

#include "view/time_texts.h"

namespace quillon::view {

BookmarkFields newBookmarkFields(uint32_t randomBits) {
  const uint32_t r = randomBits % 255, g = randomBits / 255 % 255, b = randomBits / 65025 % 255;
  return {kNewBookmarkName, {uint8_t(r), uint8_t(g), uint8_t(b)}};
}

BookmarkFields fieldsOf(const Bookmark& bookmark) {
  return {bookmark.name, colourOfValue(bookmark.value)};
}

std::string acceptedBookmarkName(std::string_view typed) {
  std::string name;
  size_t characters = 0;
  for (size_t i = 0; i < typed.size() && characters < kMaxBookmarkNameChars; ++characters) {
    const auto lead = static_cast<unsigned char>(typed[i]);
    size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    n = std::min(n, typed.size() - i);
    if (n == 1 && (lead < 0x20 || lead == 0x7F)) {
      name += ' ';
    } else {
      name.append(typed.substr(i, n));
    }
    i += n;
  }
  return name;
}

uint32_t colourValue(Rgb colour) {
  return uint32_t(colour.r) | uint32_t(colour.g) << 8 | uint32_t(colour.b) << 16;
}

Rgb colourOfValue(uint32_t value) {
  return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16)};
}

bool canAddBookmark(const std::vector<Bookmark>& bookmarks) {
  return bookmarks.size() < kMaxBookmarks;
}

int32_t nextDisplayNumber(const std::vector<Bookmark>& bookmarks) {
  int32_t largest = 0;
  for (const Bookmark& bookmark : bookmarks)
    largest = std::max(largest, bookmark.displayNumber);
  return largest + 1;
}

void moveBookmark(Bookmark& bookmark, int64_t frame, int32_t rate) {
  bookmark.position = int32_t(frame);
  bookmark.positionRate = rate;
  bookmark.positionMs = int32_t(framesToMilliseconds(frame, rate));
}

void applyFields(Bookmark& bookmark, const BookmarkFields& fields) {
  bookmark.name = acceptedBookmarkName(fields.name);
  bookmark.value = colourValue(fields.colour);
}

Bookmark makeBookmark(const BookmarkFields& fields, int64_t frame, int32_t rate, int32_t number) {
  Bookmark bookmark;
  applyFields(bookmark, fields);
  moveBookmark(bookmark, frame, rate);
  bookmark.displayNumber = number;
  return bookmark;
}

std::vector<RulerBookmark> rulerBookmarks(const std::vector<Bookmark>& bookmarks) {
  std::vector<RulerBookmark> list;
  list.reserve(bookmarks.size());
  for (const Bookmark& bookmark : bookmarks)
    list.push_back({bookmark.name, bookmark.position, colourOfValue(bookmark.value)});
  return list;
}

}  // namespace quillon::view
