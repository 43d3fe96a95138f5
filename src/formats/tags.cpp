#include "formats/tags.h"

#include "formats/broadcast_tags.h"
#include "formats/format_table.h"
#include "formats/id3_tags.h"
#include "formats/riff_info_tags.h"
#include "platform/text_encoding.h"

namespace quillon {
namespace {

TagFamily tagFamilyOf(const std::string& path) {
  const FileFormat* format = formatOf(path);
  return format ? format->tags : TagFamily::None;
}

// The byte length of the UTF-8 character that starts with `lead`.
size_t utf8Length(unsigned char lead) {
  return lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 1;
}

bool isValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const size_t length = utf8Length(lead);
    if (lead >= 0x80 && (length == 1 || lead == 0xC0 || lead == 0xC1 || lead > 0xF4)) return false;
    if (i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

bool ReadTags(TagList& tags, const std::string& path, int wavKinds) {
  const TagFamily family = tagFamilyOf(path);
  if (family == TagFamily::Id3) return readId3Tags(tags, path);
  if (family != TagFamily::Riff) return false;
  switch (wavKinds) {
    case kWavInfoTags:
      return readRiffInfoTags(tags, path);
    case kWavBextTags:
      return readBextTags(tags, path);
    case kWavCartTags:
      return readCartTags(tags, path);
    case kWavAllTags: {
      const bool cart = readCartTags(tags, path);
      const bool bext = readBextTags(tags, path);
      const bool info = readRiffInfoTags(tags, path);
      return cart || bext || info;
    }
    default:
      return false;
  }
}

bool WriteTags(const TagList& tags, const std::string& path, int wavKinds) {
  const TagFamily family = tagFamilyOf(path);
  if (family == TagFamily::Id3) return writeId3Tags(tags, path);
  if (family != TagFamily::Riff) return false;
  switch (wavKinds) {
    case kWavInfoTags:
      return writeRiffInfoTags(tags, path);
    case kWavBextTags:
      return writeBextTags(tags, path);
    case kWavCartTags:
      return writeCartTags(tags, path);
    case kWavAllTags: {
      const bool info = writeRiffInfoTags(tags, path);
      const bool bext = writeBextTags(tags, path);
      const bool cart = writeCartTags(tags, path);
      return info && bext && cart;
    }
    default:
      return false;
  }
}

void storeTagValue(TagList& tags, std::string_view key, std::string_view value, bool keep) {
  // Cut to the longest value, counting UTF-16 units (four-byte characters take two).
  size_t units = 0, end = 0;
  while (end < value.size()) {
    const size_t length = utf8Length(static_cast<unsigned char>(value[end]));
    const size_t need = length == 4 ? 2 : 1;
    if (units + need > kMaxTagValueUnits || end + length > value.size()) break;
    units += need;
    end += length;
  }
  value = value.substr(0, end);
  const size_t first = value.find_first_not_of(' ');
  value = first == std::string_view::npos
              ? std::string_view()
              : value.substr(first, value.find_last_not_of(' ') + 1 - first);
  if (keep && !tags.get(key).empty()) return;
  if (value.empty()) {
    tags.remove(key);
  } else {
    tags.set(key, value);
  }
}

std::string_view untilZero(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\0'));
}

std::string textFromUtf8Field(std::string_view bytes) {
  bytes = untilZero(bytes);
  return isValidUtf8(bytes) ? std::string(bytes) : fromCodePage(bytes);
}

std::string_view cutUtf8(std::string_view utf8, size_t limit) {
  if (utf8.size() <= limit) return utf8;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
    --end;
  return utf8.substr(0, end);
}

uint64_t leadingNumber(std::string_view text, uint64_t cap) {
  size_t i = text.find_first_not_of(' ');
  uint64_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    number = number * 10 + uint64_t(text[i] - '0');
    if (number >= cap) return cap;
  }
  return number;
}

}  // namespace quillon
