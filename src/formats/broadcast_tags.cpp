#include "formats/broadcast_tags.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "formats/byte_io.h"
#include "formats/riff_tag_chunks.h"
#include "formats/tags.h"

namespace quillon {
namespace {

enum class FieldKind {
  kText,      // UTF-8, cut to the field and zero-padded
  kUnsigned,  // 32-bit little-endian, as decimal text
  kSigned,    // 32-bit little-endian two's complement, as decimal text
  kHex16,     // 16-bit little-endian, as hexadecimal text
  kUmid,      // 64 bytes, as "b0,b1,…,b63,"
  kReserved,  // zeros, no key
  kRest       // UTF-8 to the end of the chunk
};

struct Field {
  std::string_view key;
  FieldKind kind;
  size_t bytes;
};

constexpr Field kBextFields[] = {{"COMMENT", FieldKind::kText, 256},
                                 {"ORIGINATOR", FieldKind::kText, 32},
                                 {"REFERENCE", FieldKind::kText, 32},
                                 {"DATE", FieldKind::kText, 10},
                                 {"TIME", FieldKind::kText, 8},
                                 {"TIMEREFLOW", FieldKind::kUnsigned, 4},
                                 {"TIMEREFHIGH", FieldKind::kUnsigned, 4},
                                 {"BWFVERSION", FieldKind::kHex16, 2},
                                 {"UMID", FieldKind::kUmid, 64},
                                 {"", FieldKind::kReserved, 190},
                                 {"CODINGHISTORY", FieldKind::kRest, 0}};

constexpr Field kCartFields[] = {
    {"CARTVERSION", FieldKind::kText, 4},     {"TITLE", FieldKind::kText, 64},
    {"ARTIST", FieldKind::kText, 64},         {"CUTID", FieldKind::kText, 64},
    {"CLIENTID", FieldKind::kText, 64},       {"CATEGORY", FieldKind::kText, 64},
    {"CLASSIFICATION", FieldKind::kText, 64}, {"OUTCUE", FieldKind::kText, 64},
    {"STARTDATE", FieldKind::kText, 10},      {"STARTTIME", FieldKind::kText, 8},
    {"ENDDATE", FieldKind::kText, 10},        {"ENDTIME", FieldKind::kText, 8},
    {"ENCODEDBY", FieldKind::kText, 64},      {"PRODUCERAPPVERSION", FieldKind::kText, 64},
    {"USERDEF", FieldKind::kText, 64},        {"LEVELREFERENCE", FieldKind::kSigned, 4},
    {"POSTTIMER1USAGE", FieldKind::kText, 4}, {"POSTTIMER1VALUE", FieldKind::kUnsigned, 4},
    {"POSTTIMER2USAGE", FieldKind::kText, 4}, {"POSTTIMER2VALUE", FieldKind::kUnsigned, 4},
    {"POSTTIMER3USAGE", FieldKind::kText, 4}, {"POSTTIMER3VALUE", FieldKind::kUnsigned, 4},
    {"POSTTIMER4USAGE", FieldKind::kText, 4}, {"POSTTIMER4VALUE", FieldKind::kUnsigned, 4},
    {"POSTTIMER5USAGE", FieldKind::kText, 4}, {"POSTTIMER5VALUE", FieldKind::kUnsigned, 4},
    {"POSTTIMER6USAGE", FieldKind::kText, 4}, {"POSTTIMER6VALUE", FieldKind::kUnsigned, 4},
    {"POSTTIMER7USAGE", FieldKind::kText, 4}, {"POSTTIMER7VALUE", FieldKind::kUnsigned, 4},
    {"POSTTIMER8USAGE", FieldKind::kText, 4}, {"POSTTIMER8VALUE", FieldKind::kUnsigned, 4},
    {"", FieldKind::kReserved, 276},          {"URL", FieldKind::kText, 1024},
    {"TAGTEXT", FieldKind::kRest, 0}};

constexpr size_t kMaxRestBytes = 4096;  // far more than a value holds

constexpr size_t fixedBytes(std::span<const Field> fields) {
  size_t total = 0;
  for (const Field& field : fields)
    total += field.bytes;
  return total;
}
static_assert(fixedBytes(kBextFields) == 602);
static_assert(fixedBytes(kCartFields) == 2048);

std::string hexText(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

uint32_t hexNumber(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  uint32_t number = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) break;
    number = std::min<uint32_t>(number * 16 + uint32_t(digit), 0xFFFF);
  }
  return number;
}

int32_t signedNumber(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  const bool negative = first != std::string_view::npos && text[first] == '-';
  if (negative) text.remove_prefix(first + 1);
  const int64_t magnitude = int64_t(leadingNumber(text, negative ? 0x80000000 : 0x7FFFFFFF));
  return int32_t(negative ? -magnitude : magnitude);
}

std::string umidText(const uint8_t* bytes) {
  if (std::all_of(bytes, bytes + 64, [](uint8_t b) { return b == 0; })) return {};
  std::string text;
  for (int i = 0; i < 64; ++i)
    text += std::to_string(bytes[i]) + ",";
  return text;
}

void putUmid(ByteWriter& out, std::string_view text) {
  size_t count = 0;
  while (count < 64 && !text.empty()) {
    out.u8(uint8_t(leadingNumber(text, 255)));
    ++count;
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  out.zeros(64 - count);
}

std::string numberText(int64_t value) {
  return value == 0 ? std::string() : std::to_string(value);
}

void readFields(TagList& tags, std::span<const Field> fields, const std::vector<uint8_t>& data) {
  ByteReader in(data);
  for (const Field& field : fields) {
    std::string bytes(field.kind == FieldKind::kRest ? in.remaining() : field.bytes, '\0');
    switch (field.kind) {
      case FieldKind::kText:
      case FieldKind::kRest:
        in.bytes(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        storeTagValue(tags, field.key, textFromUtf8Field(bytes));
        break;
      case FieldKind::kUnsigned:
        storeTagValue(tags, field.key, numberText(in.u32le()));
        break;
      case FieldKind::kSigned:
        storeTagValue(tags, field.key, numberText(in.s32le()));
        break;
      case FieldKind::kHex16: {
        const uint16_t version = in.u16le();
        storeTagValue(tags, field.key, version ? hexText(version) : std::string());
        break;
      }
      case FieldKind::kUmid: {
        uint8_t umid[64];
        in.bytes(umid, 64);
        storeTagValue(tags, field.key, umidText(umid));
        break;
      }
      case FieldKind::kReserved:
        in.skip(field.bytes);
        break;
    }
  }
}

std::vector<uint8_t> buildChunk(std::string_view id, std::span<const Field> fields,
                                const TagList& tags) {
  ByteWriter body;
  for (const Field& field : fields) {
    const std::string value = field.key.empty() ? std::string() : tags.get(field.key);
    switch (field.kind) {
      case FieldKind::kText: {
        const std::string_view text = cutUtf8(value, field.bytes);
        body.bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        body.zeros(field.bytes - text.size());
        break;
      }
      case FieldKind::kRest:
        if (value.empty()) break;
        body.bytes(reinterpret_cast<const uint8_t*>(value.data()), value.size()).u8(0);
        if (body.size() % 2) body.u8(0);
        break;
      case FieldKind::kUnsigned:
        body.u32le(uint32_t(leadingNumber(value, 0xFFFFFFFF)));
        break;
      case FieldKind::kSigned:
        body.u32le(uint32_t(signedNumber(value)));
        break;
      case FieldKind::kHex16:
        body.u16le(uint16_t(hexNumber(value)));
        break;
      case FieldKind::kUmid:
        putUmid(body, value);
        break;
      case FieldKind::kReserved:
        body.zeros(field.bytes);
        break;
    }
  }
  ByteWriter chunk;
  chunk.fourCC(id).u32le(uint32_t(body.size())).bytes(body.data().data(), body.size());
  return chunk.data();
}

bool readChunkTags(TagList& tags, const std::string& path, std::string_view id,
                   std::span<const Field> fields) {
  platform::File file;
  RiffChunkList list;
  if (!file.open(path, platform::File::Mode::Read) || !listRiffChunks(file, list)) return false;
  for (const RiffChunk& chunk : list.chunks) {
    if (chunk.id != id || chunk.size < fixedBytes(fields)) continue;
    const std::vector<uint8_t> data =
        readChunkData(file, chunk, fixedBytes(fields) + kMaxRestBytes);
    if (data.size() < fixedBytes(fields)) return false;
    readFields(tags, fields, data);
    return true;
  }
  return false;
}

bool writeChunkTags(const TagList& tags, const std::string& path, std::string_view id,
                    std::span<const Field> fields) {
  return rewriteRiffTagChunks(
      path, [&](platform::File&, const RiffChunk& chunk) { return chunk.id == id; },
      {buildChunk(id, fields, tags)});
}

}  // namespace

bool readBextTags(TagList& tags, const std::string& path) {
  return readChunkTags(tags, path, "bext", kBextFields);
}

bool writeBextTags(const TagList& tags, const std::string& path) {
  return writeChunkTags(tags, path, "bext", kBextFields);
}

bool readCartTags(TagList& tags, const std::string& path) {
  return readChunkTags(tags, path, "cart", kCartFields);
}

bool writeCartTags(const TagList& tags, const std::string& path) {
  return writeChunkTags(tags, path, "cart", kCartFields);
}

}  // namespace quillon
