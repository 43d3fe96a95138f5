#include "formats/id3_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "formats/byte_io.h"
#include "formats/tags.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

namespace quillon {
namespace {

// clang-format off
constexpr std::string_view kGenres[kId3v1GenreCount] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge",             // 0
    "Hip-Hop", "Jazz", "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap",      // 7
    "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska", "Death Metal",      // 16
    "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",              // 23
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House",      // 29
    "Game", "Sound Clip", "Gospel", "Noise", "Alternative Rock", "Bass", "Soul",        // 36
    "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic",   // 43
    "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance",   // 49
    "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap",   // 55
    "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychedelic",      // 62
    "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz",        // 68
    "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock",       // 75
    "National Folk", "Swing", "Fast Fusion", "Bebop", "Latin", "Revival", "Celtic",     // 82
    "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",   // 89
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening",              // 94
    "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata",      // 99
    "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club",    // 106
    "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul",            // 113
    "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A Cappella", "Euro-House",          // 119
    "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",    // 125
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangsta Rap",              // 132
    "Heavy Metal", "Black Metal", "Crossover", "Contemporary Christian",                // 137
    "Christian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime", "JPop",             // 141
    "Synthpop",                                                                         // 147
};
// clang-format on

struct FrameKey {
  std::string_view frame, key;
};
constexpr FrameKey kFrameKeys[] = {
    {"APIC", "IMAGE"},       {"TIT2", "TITLE"},      {"TPE1", "ARTIST"},    {"TALB", "ALBUM"},
    {"TRCK", "TRACKNUMBER"}, {"TPOS", "DISKNUMBER"}, {"TCON", "GENRE"},     {"TLEN", "LENGTH"},
    {"TBPM", "BPM"},         {"PCNT", "PLAYCOUNT"},  {"TCOM", "COMPOSER"},  {"TIT1", "CATEGORY"},
    {"TYER", "YEAR"},        {"TDAT", "DATE"},       {"TIME", "TIME"},      {"POPM", "RATING"},
    {"COMM", "COMMENT"},     {"TPUB", "PRODUCER"},   {"TCOP", "COPYRIGHT"}, {"TSSE", "ENCODER"},
    {"TENC", "ENCODEDBY"},   {"WXXX", "URL"}};

// Version 2.2 frame ids and their version 2.3 equivalents.
constexpr std::string_view kFrameIds22[][2] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"}};

constexpr size_t kHeaderBytes = 10;
constexpr size_t kId3v1Bytes = 128;
constexpr size_t kMaxFrameRead = 64 * 1024;  // of one frame, enough for any value we keep
constexpr int64_t kMaxUnsynchronisedTag = 16 << 20;
constexpr int64_t kMaxPictureBytes = 16 << 20;
constexpr uint32_t kMaxTagSize = 0x0FFFFFFF;  // 28 bits
constexpr size_t kCopyBlock = 1 << 16;

constexpr uint8_t kFlagUnsynchronised = 0x80;  // version 2.4: every frame is
constexpr uint8_t kFlagExtendedHeader = 0x40;  // version 2.2: the tag is compressed
constexpr uint8_t kFlagFooter = 0x10;          // version 2.4

// Frame format flags of version 2.3 (the second flag byte).
constexpr uint16_t kFrame23Compressed = 0x0080;
constexpr uint16_t kFrame23Encrypted = 0x0040;
constexpr uint16_t kFrame23Grouped = 0x0020;
// Frame format flags of version 2.4.
constexpr uint16_t kFrame24Grouped = 0x0040;
constexpr uint16_t kFrame24Compressed = 0x0008;
constexpr uint16_t kFrame24Encrypted = 0x0004;
constexpr uint16_t kFrame24Unsynchronised = 0x0002;
constexpr uint16_t kFrame24DataLength = 0x0001;

std::string_view keyForFrame(std::string_view frame) {
  for (const FrameKey& entry : kFrameKeys) {
    if (entry.frame == frame) return entry.key;
  }
  return {};
}

std::string_view frameForKey(std::string_view key) {
  for (const FrameKey& entry : kFrameKeys) {
    if (entry.key == key) return entry.frame;
  }
  return {};
}

bool isFrameIdCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}

// A key kept under the id of a text frame that has no key of its own ("TKEY", "TOPE"…).
bool isOwnTextFrameKey(std::string_view key) {
  return key.size() == 4 && key[0] == 'T' && key != "TXXX" && keyForFrame(key).empty() &&
         std::all_of(key.begin(), key.end(), isFrameIdCharacter);
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view asText(const std::vector<uint8_t>& bytes, size_t from = 0) {
  if (from >= bytes.size()) return {};
  return {reinterpret_cast<const char*>(bytes.data()) + from, bytes.size() - from};
}

// ---- Reading ID3v2 ----

// Four bytes of seven bits each (big-endian); nothing when a byte uses its top bit.
std::optional<uint32_t> synchsafe(const uint8_t* bytes) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (bytes[i] >= 0x80) return {};
    value = value << 7 | bytes[i];
  }
  return value;
}

// Every 0xFF 0x00 stands for 0xFF.
std::vector<uint8_t> resynchronised(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> decoded;
  decoded.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    decoded.push_back(raw[i]);
    if (raw[i] == 0xFF && i + 1 < raw.size() && raw[i + 1] == 0) ++i;
  }
  return decoded;
}

struct Id3v2Header {
  int major = 0;
  uint8_t flags = 0;
  uint32_t size = 0;  // of everything after the 10-byte header (and before a footer)
};

// The header when `bytes` starts one: "ID3", version bytes other than 0xFF, a size of four bytes
// of seven bits each.
std::optional<Id3v2Header> parseHeader(const uint8_t* bytes) {
  ByteReader in(bytes, kHeaderBytes);
  if (in.fourCC().substr(0, 3) != "ID3" || bytes[3] == 0xFF || bytes[4] == 0xFF) return {};
  const std::optional<uint32_t> size = synchsafe(bytes + 6);
  if (!size) return {};
  Id3v2Header header;
  header.major = bytes[3];
  header.flags = bytes[5];
  header.size = *size;
  return header;
}

// The bytes of a tag after its header: read from the file on demand, or decoded into memory
// when the whole tag is unsynchronised (versions 2.2 and 2.3).
class TagBody {
 public:
  TagBody(platform::File& file, int64_t size, bool unsynchronised) : file_(file), size_(size) {
    if (!unsynchronised) return;
    std::vector<uint8_t> raw(size_t(std::min(size, kMaxUnsynchronisedTag)));
    raw.resize(size_t(std::max<int64_t>(file.readAt(raw.data(), raw.size(), kHeaderBytes), 0)));
    decoded_ = resynchronised(raw);
    inMemory_ = true;
    size_ = int64_t(decoded_.size());
  }

  int64_t size() const { return size_; }

  // Up to `count` bytes at `offset` (fewer at the end).
  std::vector<uint8_t> read(int64_t offset, size_t count) const {
    if (offset >= size_) return {};
    count = size_t(std::min<int64_t>(int64_t(count), size_ - offset));
    if (inMemory_) {
      return {decoded_.begin() + offset, decoded_.begin() + offset + int64_t(count)};
    }
    std::vector<uint8_t> bytes(count);
    const int64_t got = file_.readAt(bytes.data(), count, int64_t(kHeaderBytes) + offset);
    bytes.resize(size_t(std::max<int64_t>(got, 0)));
    return bytes;
  }

  // The byte at `offset`, or -1 past the end or when it cannot be read.
  int byteAt(int64_t offset) const {
    if (offset < 0 || offset >= size_) return -1;
    if (inMemory_) return decoded_[size_t(offset)];
    uint8_t byte = 0;
    return file_.readAt(&byte, 1, int64_t(kHeaderBytes) + offset) == 1 ? byte : -1;
  }

 private:
  platform::File& file_;
  int64_t size_;
  bool inMemory_ = false;
  std::vector<uint8_t> decoded_;
};

// Text in one of the ID3v2 encodings, up to its terminator: 0 single-byte, 1 UTF-16 after a
// byte-order mark, 2 UTF-16 big-endian without one (version 2.4), 3 UTF-8. Nothing for other
// encodings and for UTF-16 without a mark.
std::optional<std::string> decodeText(uint8_t encoding, std::string_view bytes) {
  switch (encoding) {
    case 0:
      return fromCodePage(untilZero(bytes));
    case 2:
      return fromUtf16(bytes, true);
    case 3:
      return textFromUtf8Field(bytes);
    case 1:
      if (bytes.size() < 2) return {};
      if (uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        return fromUtf16(bytes.substr(2), false);
      }
      if (uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF) {
        return fromUtf16(bytes.substr(2), true);
      }
      return {};
    default:
      return {};
  }
}

// Splits a terminated text in `encoding` off the front of `bytes`: answers the text's bytes and
// sets `rest` to what follows its terminator. Nothing when there is no terminator.
std::optional<std::string_view> splitTerminated(uint8_t encoding, std::string_view bytes,
                                                std::string_view& rest) {
  if (encoding == 1 || encoding == 2) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      if (bytes[i] == 0 && bytes[i + 1] == 0) {
        rest = bytes.substr(i + 2);
        return bytes.substr(0, i);
      }
    }
    return {};
  }
  const size_t zero = bytes.find('\0');
  if (zero == std::string_view::npos) return {};
  rest = bytes.substr(zero + 1);
  return bytes.substr(0, zero);
}

// A "TCON" text: leading references "(n)" ("(RX)" remix, "(CR)" cover) give the genre unless a
// refined text follows them; "((" stands for "(".
std::string genreFromContentType(std::string_view text) {
  std::string referenced;
  size_t at = 0;
  while (at + 1 < text.size() && text[at] == '(' && text[at + 1] != '(') {
    const size_t close = text.find(')', at);
    if (close == std::string_view::npos) break;
    const std::string_view reference = text.substr(at + 1, close - at - 1);
    std::string_view name;
    if (reference == "RX") {
      name = "Remix";
    } else if (reference == "CR") {
      name = "Cover";
    } else if (!reference.empty() && reference.size() <= 3 &&
               std::all_of(reference.begin(), reference.end(),
                           [](char c) { return c >= '0' && c <= '9'; })) {
      name = id3v1Genre(int(leadingNumber(reference, 999)));
    } else {
      break;
    }
    if (referenced.empty()) referenced = name;
    at = close + 1;
  }
  std::string refined;
  for (size_t i = at; i < text.size(); ++i) {
    refined += text[i];
    if (text[i] == '(' && i + 1 < text.size() && text[i + 1] == '(') ++i;
  }
  return refined.find_first_not_of(' ') == std::string::npos ? referenced : refined;
}

// The values of a text frame of version 2.4, which may hold several, each ended by a
// terminator: joined with "/" as version 2.3 writes several values in one text.
std::optional<std::string> decodeValues(uint8_t encoding, std::string_view bytes) {
  std::optional<std::string> joined;
  while (!bytes.empty()) {
    std::string_view rest;
    const std::optional<std::string_view> value = splitTerminated(encoding, bytes, rest);
    const std::optional<std::string> text = decodeText(encoding, value ? *value : bytes);
    if (!text) return joined;
    if (!joined) {
      joined = *text;
    } else if (!text->empty()) {
      *joined += (joined->empty() ? "" : "/") + *text;
    }
    if (!value) break;
    bytes = rest;
  }
  return joined;
}

// A genre of version 2.4: a number of the list ("13"), "RX" (remix), "CR" (cover), or text
// (which may still use the references of version 2.3).
std::string genreOfVersion24(std::string_view value) {
  if (value == "RX") return "Remix";
  if (value == "CR") return "Cover";
  if (!value.empty() && value.size() <= 3 &&
      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const std::string_view name = id3v1Genre(int(leadingNumber(value, 999)));
    if (!name.empty()) return std::string(name);
  }
  return genreFromContentType(value);
}

// The recording time of version 2.4 ("TDRC", yyyy-MM-ddTHH:mm:ss, as far as it is known) as the
// year ("yyyy"), date ("ddMM") and time ("HHmm") of version 2.3.
void storeRecordingTime(TagList& tags, std::string_view time) {
  auto digits = [&](size_t at, size_t count) {
    if (at + count > time.size()) return std::string_view();
    const std::string_view part = time.substr(at, count);
    return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })
               ? part
               : std::string_view();
  };
  const std::string_view year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
  const std::string_view hour = digits(11, 2), minute = digits(14, 2);
  storeTagValue(tags, "YEAR", year);
  if (!month.empty() && !day.empty())
    storeTagValue(tags, "DATE", std::string(day) + std::string(month));
  if (!hour.empty() && !minute.empty()) {
    storeTagValue(tags, "TIME", std::string(hour) + std::string(minute));
  }
}

// What one walk over the frames of a tag remembers.
struct FrameWalk {
  TagList& tags;
  bool version24 = false;
  enum { kNoComment, kDescribedComment, kPlainComment } comment = kNoComment;
};

// Stores the value of one frame (version 2.3 id, or one of the frames version 2.4 put in the
// place of version 2.3 ones) when its layout is one we read.
void readFrame(FrameWalk& walk, std::string_view id, std::string_view data) {
  if (walk.version24 && (id == "TDRC" || id == "TDOR") && !data.empty()) {
    const std::optional<std::string> time = decodeValues(uint8_t(data[0]), data.substr(1));
    if (!time) return;
    const std::string_view first = std::string_view(*time).substr(0, time->find('/'));
    if (id == "TDRC") {
      storeRecordingTime(walk.tags, first);
    } else {
      storeTagValue(walk.tags, "TORY", first.substr(0, 4));  // the original release year
    }
    return;
  }
  std::string_view key = keyForFrame(id);
  if (key.empty() && isOwnTextFrameKey(id)) key = id;
  if (key.empty() || data.empty()) return;
  const auto encoding = uint8_t(data[0]);
  std::string_view rest;
  if (id == "COMM") {
    if (data.size() < 4) return;
    const auto description = splitTerminated(encoding, data.substr(4), rest);
    const auto text = decodeText(encoding, rest);
    if (!description || !text) return;
    // A comment without description wins over described ones ("iTunNORM" and the like).
    const bool plain = decodeText(encoding, *description).value_or("").empty();
    if (!plain && walk.comment != FrameWalk::kNoComment) return;
    walk.comment = plain ? FrameWalk::kPlainComment : FrameWalk::kDescribedComment;
    storeTagValue(walk.tags, key, *text);
  } else if (id == "WXXX") {
    if (!splitTerminated(encoding, data.substr(1), rest)) return;
    storeTagValue(walk.tags, key, fromCodePage(untilZero(rest)));
  } else if (id == "PCNT") {
    if (data.size() < 4 || data.size() > 8) return;
    uint64_t count = 0;
    for (char c : data)
      count = count << 8 | uint8_t(c);
    storeTagValue(walk.tags, key, std::to_string(count));
  } else if (id == "POPM") {
    const size_t zero = data.find('\0');
    if (zero == std::string_view::npos || zero + 1 >= data.size()) return;
    storeTagValue(walk.tags, key, std::to_string(uint8_t(data[zero + 1])));
  } else if (id[0] == 'T' && walk.version24) {
    const auto text = decodeValues(encoding, data.substr(1));
    if (!text) return;
    if (id != "TCON") {
      storeTagValue(walk.tags, key, *text);
      return;
    }
    std::string genres;
    for (size_t at = 0; at <= text->size();) {
      const size_t slash = std::min(text->find('/', at), text->size());
      const std::string genre = genreOfVersion24(std::string_view(*text).substr(at, slash - at));
      if (!genre.empty()) genres += (genres.empty() ? "" : "/") + genre;
      at = slash + 1;
    }
    storeTagValue(walk.tags, key, genres);
  } else if (id[0] == 'T') {
    const auto text = decodeText(encoding, data.substr(1));
    if (!text) return;
    storeTagValue(walk.tags, key, id == "TCON" ? genreFromContentType(*text) : *text);
  }
}

std::string_view version23Id(std::string_view id22) {
  for (const auto& pair : kFrameIds22) {
    if (pair[0] == id22) return pair[1];
  }
  return {};
}

// A frame header: its id and the size of what follows it.
struct FrameHeader {
  std::string_view id;
  int64_t size = 0;
  uint16_t flags = 0;
};

// The layout of the frame headers of one tag.
struct FrameLayout {
  size_t idBytes = 4, headBytes = 10;
  bool version22 = false;
  bool synchsafeSizes = false;  // version 2.4
};

// The frame header at `at`, when it has a valid id and its size is readable.
std::optional<FrameHeader> frameHeaderAt(const TagBody& body, int64_t at, const FrameLayout& layout,
                                         std::vector<uint8_t>& head) {
  head = body.read(at, layout.headBytes);
  if (head.size() < layout.headBytes) return {};
  FrameHeader header;
  header.id = asText(head).substr(0, layout.idBytes);
  if (!std::all_of(header.id.begin(), header.id.end(), isFrameIdCharacter)) return {};
  ByteReader in(head.data() + layout.idBytes, layout.headBytes - layout.idBytes);
  if (layout.version22) {
    header.size = int64_t(in.u8()) << 16 | in.u16be();
    return header;
  }
  if (layout.synchsafeSizes) {
    const std::optional<uint32_t> size = synchsafe(head.data() + 4);
    if (!size) return {};
    header.size = *size;
    in.u32be();
  } else {
    header.size = in.u32be();
  }
  header.flags = in.u16be();
  return header;
}

// A walk over the frames of a tag: how many it finds, and whether it ends where a walk should,
// at the end of the tag or at the zeros of its padding (rather than on bytes that are no frame
// or past the end).
struct FrameCount {
  int frames = 0;
  bool endsCleanly = false;
};

FrameCount countFrames(const TagBody& body, int64_t at, const FrameLayout& layout) {
  std::vector<uint8_t> head;
  FrameCount count;
  while (at + int64_t(layout.headBytes) <= body.size()) {
    const std::optional<FrameHeader> header = frameHeaderAt(body, at, layout, head);
    if (!header) break;
    at += int64_t(layout.headBytes) + header->size;
    if (at > body.size()) return count;
    ++count.frames;
  }
  count.endsCleanly = at == body.size() || body.byteAt(at) == 0;
  return count;
}

// The data of a frame as the frame's flags have it stored: nothing for compressed or encrypted
// frames, else without the bytes that precede the data (a group byte; in version 2.4 also the
// length of the data) and, in version 2.4, resynchronised where the frame or the whole tag is
// unsynchronised.
std::optional<std::vector<uint8_t>> frameData(const TagBody& body, int64_t at,
                                              const FrameHeader& header, int major,
                                              bool tagUnsynchronised) {
  int64_t skip = 0;
  bool unsynchronised = false;
  if (major == 3) {
    if (header.flags & (kFrame23Compressed | kFrame23Encrypted)) return {};
    if (header.flags & kFrame23Grouped) skip = 1;
  } else if (major == 4) {
    if (header.flags & (kFrame24Compressed | kFrame24Encrypted)) return {};
    if (header.flags & kFrame24Grouped) skip += 1;
    if (header.flags & kFrame24DataLength) skip += 4;
    unsynchronised = tagUnsynchronised || (header.flags & kFrame24Unsynchronised);
  }
  if (header.size <= skip) return {};
  std::vector<uint8_t> data =
      body.read(at + skip, size_t(std::min<int64_t>(header.size - skip, kMaxFrameRead)));
  return unsynchronised ? resynchronised(data) : data;
}

bool readId3v2(TagList& tags, platform::File& file, int64_t fileSize) {
  uint8_t bytes[kHeaderBytes];
  if (file.readAt(bytes, kHeaderBytes, 0) != int64_t(kHeaderBytes)) return false;
  const std::optional<Id3v2Header> header = parseHeader(bytes);
  if (!header || header->major < 2 || header->major > 4) return false;
  const int major = header->major;
  if (major == 2 && (header->flags & kFlagExtendedHeader)) return true;  // compressed: unreadable
  // Up to version 2.3 the whole tag is unsynchronised; version 2.4 does it frame by frame.
  const bool unsynchronised = header->flags & kFlagUnsynchronised;
  const TagBody body(file, std::min<int64_t>(header->size, fileSize - int64_t(kHeaderBytes)),
                     unsynchronised && major < 4);
  int64_t at = 0;
  if (major > 2 && (header->flags & kFlagExtendedHeader)) {
    // Its size excludes itself in version 2.3 and is synchsafe and includes itself in 2.4. Some
    // writers set the flag without writing the header: then a frame follows.
    const std::vector<uint8_t> size = body.read(0, 4);
    if (size.size() < 4) return true;
    if (!std::all_of(size.begin(), size.end(),
                     [](uint8_t c) { return isFrameIdCharacter(char(c)); })) {
      if (major == 3) {
        at = 4 + int64_t(ByteReader(size).u32be());
      } else if (const std::optional<uint32_t> extended = synchsafe(size.data())) {
        at = *extended;
      } else {
        return true;
      }
    }
  }
  FrameLayout layout;
  if (major == 2) layout = {3, 6, true, false};
  if (major == 4) {
    // Frame sizes are synchsafe, but older iTunes wrote plain ones: those are taken when only
    // a walk with them ends cleanly, or both walks end alike and the plain one finds more frames.
    layout.synchsafeSizes = true;
    const FrameCount synchsafeWalk = countFrames(body, at, layout);
    const FrameCount plainWalk = countFrames(body, at, {4, 10, false, false});
    if (plainWalk.endsCleanly != synchsafeWalk.endsCleanly
            ? plainWalk.endsCleanly
            : plainWalk.frames > synchsafeWalk.frames) {
      layout.synchsafeSizes = false;
    }
  }
  FrameWalk walk{tags, major == 4};
  std::vector<uint8_t> head;
  while (at + int64_t(layout.headBytes) <= body.size()) {
    const std::optional<FrameHeader> frame = frameHeaderAt(body, at, layout, head);
    if (!frame) break;
    at += int64_t(layout.headBytes);
    if (frame->size > body.size() - at) break;
    const std::string_view id = major == 2 ? version23Id(frame->id) : frame->id;
    if (!id.empty()) {
      if (const auto data = frameData(body, at, *frame, major, unsynchronised)) {
        readFrame(walk, id, asText(*data));
      }
    }
    at += frame->size;
  }
  return true;
}

// ---- ID3v1 ----

std::string_view field(const uint8_t* block, size_t offset, size_t size) {
  return untilZero({reinterpret_cast<const char*>(block) + offset, size});
}

bool readId3v1(TagList& tags, platform::File& file, int64_t fileSize) {
  uint8_t block[kId3v1Bytes];
  if (fileSize < int64_t(kId3v1Bytes) ||
      file.readAt(block, kId3v1Bytes, fileSize - int64_t(kId3v1Bytes)) != int64_t(kId3v1Bytes) ||
      std::memcmp(block, "TAG", 3) != 0) {
    return false;
  }
  const bool keep = true;
  storeTagValue(tags, "TITLE", fromCodePage(field(block, 3, 30)), keep);
  storeTagValue(tags, "ARTIST", fromCodePage(field(block, 33, 30)), keep);
  storeTagValue(tags, "ALBUM", fromCodePage(field(block, 63, 30)), keep);
  if (block[93] != 0) storeTagValue(tags, "YEAR", fromCodePage(field(block, 93, 4)), keep);
  // Version 1.1 keeps the track in byte 126 behind a zero; version 1.0 has a longer comment.
  const bool hasTrack = block[125] == 0;
  if (hasTrack && block[126] != 0) {
    storeTagValue(tags, "TRACKNUMBER", std::to_string(block[126]), keep);
  }
  storeTagValue(tags, "COMMENT", fromCodePage(field(block, 97, hasTrack ? 28 : 30)), keep);
  storeTagValue(tags, "GENRE", id3v1Genre(block[127]), keep);
  return true;
}

void putField(std::array<uint8_t, kId3v1Bytes>& block, size_t offset, size_t size,
              const std::string& utf8) {
  const std::string bytes = toCodePage(utf8);
  std::memcpy(block.data() + offset, bytes.data(), std::min(size, bytes.size()));
}

uint8_t id3v1GenreNumber(const std::string& genre) {
  if (genre.empty()) return kId3v1GenreCount;
  if (genre[0] >= '0' && genre[0] <= '9') return uint8_t(leadingNumber(genre, 255));
  uint8_t number = 0;
  for (int i = 0; i < kId3v1GenreCount; ++i) {
    if (kGenres[i] == genre) number = uint8_t(i);
  }
  return number;
}

// The new last 128 bytes; `replaced` is the block being replaced, if any.
std::array<uint8_t, kId3v1Bytes> buildId3v1(const TagList& tags, const uint8_t* replaced) {
  std::array<uint8_t, kId3v1Bytes> block{};
  std::memcpy(block.data(), "TAG", 3);
  putField(block, 3, 30, tags.get("TITLE"));
  putField(block, 33, 30, tags.get("ARTIST"));
  putField(block, 63, 30, tags.get("ALBUM"));
  putField(block, 93, 4, tags.get("YEAR"));
  putField(block, 97, 28, tags.get("COMMENT"));
  block[125] = 0;
  const std::string track = tags.get("TRACKNUMBER");
  if (!track.empty()) {
    block[126] = uint8_t(leadingNumber(track, 255));
  } else if (replaced && replaced[125] == 0) {
    block[126] = replaced[126];
  }
  block[127] = id3v1GenreNumber(tags.get("GENRE"));
  return block;
}

// ---- Writing ID3v2.3 ----

void textFrame(ByteWriter& body, const std::string& text) {
  const std::string utf16 = toUtf16LittleEndian(text);
  body.u8(1).u8(0xFF).u8(0xFE);
  body.bytes(reinterpret_cast<const uint8_t*>(utf16.data()), utf16.size()).u16le(0);
}

// "(n)" for a genre of the list, else the text with every "(" doubled.
std::string contentType(const std::string& genre) {
  for (int i = 0; i < kId3v1GenreCount; ++i) {
    if (equalIgnoringCase(kGenres[i], genre))
      return std::string("(").append(std::to_string(i)).append(")");
  }
  std::string text;
  for (char c : genre) {
    text += c;
    if (c == '(') text += '(';
  }
  return text;
}

// The "APIC" frame of a picture file; false when the file cannot be read.
bool pictureFrame(ByteWriter& body, const std::string& picturePath) {
  platform::File picture;
  if (!picture.open(picturePath, platform::File::Mode::Read)) return false;
  const int64_t size = picture.size();
  if (size <= 0 || size > kMaxPictureBytes) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (picture.readAt(bytes.data(), bytes.size(), 0) != size) return false;
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const bool png = bytes.size() >= 8 && std::memcmp(bytes.data(), kPng, 8) == 0;
  const std::string_view mime = png ? "image/png" : "image/jpeg";
  body.u8(0).bytes(reinterpret_cast<const uint8_t*>(mime.data()), mime.size()).u8(0);
  body.u8(0).u8(0).bytes(bytes.data(), bytes.size());
  return true;
}

// The whole tag, header included; false when it would not fit the 28-bit size.
bool buildId3v2(const TagList& tags, std::vector<uint8_t>& tag) {
  ByteWriter frames;
  for (const TagList::Entry& entry : tags.entries()) {
    if (entry.value.empty()) continue;
    std::string_view id = frameForKey(entry.key);
    if (id.empty() && isOwnTextFrameKey(entry.key)) id = entry.key;
    if (id.empty()) continue;
    ByteWriter body;
    if (id == "COMM") {
      body.u8(1).bytes(reinterpret_cast<const uint8_t*>("eng"), 3).u8(0xFF).u8(0xFE).u16le(0);
      const std::string utf16 = toUtf16LittleEndian(entry.value);
      body.u8(0xFF).u8(0xFE).bytes(reinterpret_cast<const uint8_t*>(utf16.data()), utf16.size());
    } else if (id == "WXXX") {
      const std::string url = toCodePage(entry.value);
      body.u8(0).u8(0).bytes(reinterpret_cast<const uint8_t*>(url.data()), url.size());
    } else if (id == "PCNT") {
      body.u32be(uint32_t(leadingNumber(entry.value, 0xFFFFFFFF)));
    } else if (id == "POPM") {
      body.u8(0).u8(uint8_t(leadingNumber(entry.value, 255)));
    } else if (id == "APIC") {
      if (!pictureFrame(body, entry.value)) continue;
    } else {
      textFrame(body, id == "TCON" ? contentType(entry.value) : entry.value);
    }
    frames.fourCC(id).u32be(uint32_t(body.size())).u16be(0).bytes(body.data().data(), body.size());
    if (frames.size() > kMaxTagSize) return false;
  }
  const auto size = uint32_t(frames.size());
  ByteWriter header;
  header.bytes(reinterpret_cast<const uint8_t*>("ID3"), 3).u8(3).u8(0).u8(0);
  for (int shift = 21; shift >= 0; shift -= 7)
    header.u8(uint8_t(size >> shift & 0x7F));
  tag = header.data();
  tag.insert(tag.end(), frames.data().begin(), frames.data().end());
  return true;
}

// Where the audio starts: after a valid ID3v2 tag at the start of the file, else 0.
int64_t audioStart(platform::File& file, int64_t fileSize) {
  uint8_t bytes[kHeaderBytes];
  if (file.readAt(bytes, kHeaderBytes, 0) != int64_t(kHeaderBytes)) return 0;
  const std::optional<Id3v2Header> header = parseHeader(bytes);
  if (!header) return 0;
  int64_t end = int64_t(kHeaderBytes) + header->size;
  if (header->major >= 4 && (header->flags & kFlagFooter)) end += int64_t(kHeaderBytes);
  return end <= fileSize ? end : 0;
}

// The new file under a temporary name next to the original, removed unless it was renamed.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::string& target) : target_(target) {}
  ~ReplacementFile() {
    if (!path_.empty()) {
      file_.close();
      platform::removeFile(path_);
    }
  }

  bool create(const struct stat& original) {
    // A name nobody can guess or plant in advance, created exclusively, never through a link.
    const std::string folder = platform::parentFolder(target_);
    path_ = platform::createUniqueFile(folder.empty() ? "." : folder,
                                       "." + platform::fileNameOf(target_) + ".", ".tmp", file_);
    if (path_.empty()) return false;
    // The owner and mode of the original; changing the owner needs privileges we may lack.
    [[maybe_unused]] const bool ownerKept =
        ::fchown(file_.fd(), original.st_uid, original.st_gid) == 0;
    return ::fchmod(file_.fd(), original.st_mode & 07777) == 0;
  }

  platform::File& file() { return file_; }

  bool replaceTarget() {
    if (!file_.sync()) return false;
    file_.close();
    if (::rename(path_.c_str(), target_.c_str()) != 0) return false;
    path_.clear();
    std::string folder = platform::parentFolder(target_);
    const int folderFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
      ::fsync(folderFd);
      ::close(folderFd);
    }
    return true;
  }

 private:
  std::string target_;
  std::string path_;
  platform::File file_;
};

}  // namespace

std::string_view id3v1Genre(int index) {
  return index >= 0 && index < kId3v1GenreCount ? kGenres[index] : std::string_view();
}

bool readId3Tags(TagList& tags, const std::string& path) {
  platform::File file;
  if (!file.open(path, platform::File::Mode::Read)) return false;
  const int64_t size = file.size();
  const bool v2 = readId3v2(tags, file, size);
  const bool v1 = readId3v1(tags, file, size);
  return v2 || v1;
}

bool writeId3Tags(const TagList& tags, const std::string& path) {
  // Through a symbolic link, the file it names is the one to replace.
  char resolved[PATH_MAX];
  const std::string target = ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
  platform::File original;
  struct stat status {};
  if (!original.open(target, platform::File::Mode::Read) || ::fstat(original.fd(), &status) != 0 ||
      !S_ISREG(status.st_mode)) {
    return false;
  }
  const int64_t fileSize = status.st_size;
  const int64_t start = audioStart(original, fileSize);
  uint8_t oldBlock[kId3v1Bytes];
  const bool hasV1 = fileSize - int64_t(kId3v1Bytes) >= start &&
                     original.readAt(oldBlock, kId3v1Bytes, fileSize - int64_t(kId3v1Bytes)) ==
                         int64_t(kId3v1Bytes) &&
                     std::memcmp(oldBlock, "TAG", 3) == 0;
  const int64_t end = hasV1 ? fileSize - int64_t(kId3v1Bytes) : fileSize;
  std::vector<uint8_t> tag;
  if (!buildId3v2(tags, tag)) return false;
  const std::array<uint8_t, kId3v1Bytes> block = buildId3v1(tags, hasV1 ? oldBlock : nullptr);

  ReplacementFile replacement(target);
  if (!replacement.create(status)) return false;
  platform::File& out = replacement.file();
  if (!out.write(tag.data(), tag.size())) return false;
  std::vector<uint8_t> buffer(kCopyBlock);
  for (int64_t at = start; at < end;) {
    const auto count = size_t(std::min<int64_t>(end - at, int64_t(kCopyBlock)));
    if (original.readAt(buffer.data(), count, at) != int64_t(count)) return false;
    if (!out.write(buffer.data(), count)) return false;
    at += int64_t(count);
  }
  if (!out.write(block.data(), block.size())) return false;
  return replacement.replaceTarget();
}

}  // namespace quillon
