#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "document/tag_list.h"

namespace quillon {

// Which WAV chunks `ReadTags` and `WriteTags` handle.
enum WavTagKinds : int {
  kWavInfoTags = 0,  // RIFF LIST/INFO with the DISP title
  kWavBextTags = 1,  // the broadcast-wave "bext" chunk
  kWavCartTags = 2,  // the "cart" chunk
  kWavAllTags = 3    // all three: what saving writes
};

// Reads the tags of a file by its format's tag family: ID3 (".mp3": ID3v2, then ID3v1 where
// ID3v2 has no value) or RIFF (".wav", by `wavKinds`; all three reads cart, then bext, then INFO,
// each overwriting the one before) into `tags`. False for formats without tags and when the file
// holds no such tags.
bool ReadTags(TagList& tags, const std::string& path, int wavKinds);

// Writes `tags` by the format's tag family: ID3v1 and ID3v2.3 (".mp3") or RIFF (".wav", by
// `wavKinds`; all three succeeds only when INFO, bext and cart each do). False for formats
// without tags and on failure.
bool WriteTags(const TagList& tags, const std::string& path, int wavKinds);

// The longest value a tag holds, in UTF-16 code units.
constexpr size_t kMaxTagValueUnits = 259;

// How every reader stores a value: `value` (UTF-8) is cut to kMaxTagValueUnits and stripped of
// leading and trailing spaces; empty text removes the key, other text sets it — except that in
// `keep` mode a key that already has a non-empty value is left alone.
void storeTagValue(TagList& tags, std::string_view key, std::string_view value, bool keep = false);

// Helpers of the tag readers and writers.

// The bytes up to the first zero byte.
std::string_view untilZero(std::string_view bytes);
// Text of a field declared as UTF-8: decoded as such when it is valid UTF-8, else taken as the
// single-byte code page (older writers put that there).
std::string textFromUtf8Field(std::string_view bytes);
// The first `limit` bytes of UTF-8 text, never ending inside a character.
std::string_view cutUtf8(std::string_view utf8, size_t limit);
// The decimal number at the start of the text (after spaces), at most `cap`; 0 when there is
// none.
uint64_t leadingNumber(std::string_view text, uint64_t cap);

}  // namespace quillon
