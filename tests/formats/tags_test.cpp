// Tags of MP3 and WAV files: the update rule, ID3 against mutagen in both directions, the ID3v1
// and INFO rules, the bext and cart layouts, and the safety of every rewrite.
//
// mutagen (1.46) reads ID3 chunks in WAV files but has no reader of INFO, bext or cart; its
// generic RIFF parser checks the structure of the INFO we write instead. That parser stops at a
// chunk whose id is four spaces (it strips the id and rejects the empty one), so it is shown a
// file without disabled chunks.
#include "formats/tags.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "formats/byte_io.h"
#include "formats/wav.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::readBytes;
using Bytes = std::vector<uint8_t>;
using Values = std::map<std::string, std::string>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

// Stands for MPEG audio: ID3 does not look at it, the tests compare it.
Bytes audioBytes(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i)
    bytes[i] = uint8_t(i * 2654435761u >> 13);
  bytes[0] = 0xFF, bytes[1] = 0xFB;
  return bytes;
}

// Every 0xFF followed by a zero, a byte of 0xE0 or more, or nothing gets a zero after it.
Bytes unsynchronised(const Bytes& plain) {
  Bytes coded;
  for (size_t i = 0; i < plain.size(); ++i) {
    coded.push_back(plain[i]);
    const bool next0orE0 = i + 1 == plain.size() || plain[i + 1] == 0 || plain[i + 1] >= 0xE0;
    if (plain[i] == 0xFF && next0orE0) coded.push_back(0);
  }
  return coded;
}

// Four bytes of seven bits each.
Bytes synchsafe(size_t value) {
  Bytes bytes;
  for (int shift = 21; shift >= 0; shift -= 7)
    bytes.push_back(uint8_t(value >> shift & 0x7F));
  return bytes;
}

// An ID3v2 tag of version 2.2 or 2.3 with the given frames (id, data) and zero padding.
Bytes id3v2Tag(int major, const std::vector<std::pair<std::string, Bytes>>& frames,
               size_t padding = 0, bool unsynchronise = false) {
  ByteWriter body;
  for (const auto& [id, data] : frames) {
    body.bytes(text(id).data(), id.size());
    if (major == 2) body.u8(uint8_t(data.size() >> 16)).u16be(uint16_t(data.size()));
    if (major == 3) body.u32be(uint32_t(data.size())).u16be(0);
    body.bytes(data.data(), data.size());
  }
  Bytes plain = body.data();
  plain.resize(plain.size() + padding);
  const Bytes coded = unsynchronise ? unsynchronised(plain) : plain;
  Bytes tag = text("ID3") + Bytes{uint8_t(major), 0, uint8_t(unsynchronise ? 0x80 : 0)};
  return tag + synchsafe(coded.size()) + coded;
}

// A frame of version 2.4 with its format flags: 0x40 grouped (a group byte first), 0x08
// compressed, 0x04 encrypted (a method byte), 0x02 unsynchronised, 0x01 with the length of its
// data (four synchsafe bytes).
struct Frame24 {
  std::string id;
  Bytes data;
  uint8_t flags = 0;
};

// A tag of version 2.4: its flags (0x80 every frame unsynchronised, 0x40 an extended header,
// 0x10 a footer), the extended header, frames with synchsafe sizes (or, as older iTunes wrote
// them, plain ones) and zero padding.
Bytes id3v24Tag(const std::vector<Frame24>& frames, uint8_t tagFlags = 0,
                const Bytes& extendedHeader = {}, bool plainSizes = false) {
  Bytes body = extendedHeader;
  for (const Frame24& frame : frames) {
    Bytes data;
    if (frame.flags & 0x40) data.push_back(0x81);
    if (frame.flags & 0x04) data.push_back(0x80);
    if (frame.flags & 0x01) data = data + synchsafe(frame.data.size());
    data = data +
           ((frame.flags & 0x02) || (tagFlags & 0x80) ? unsynchronised(frame.data) : frame.data);
    ByteWriter size;
    size.u32be(uint32_t(data.size()));
    body = body + text(frame.id) + (plainSizes ? size.data() : synchsafe(data.size())) +
           Bytes{0, frame.flags} + data;
  }
  body.resize(body.size() + 20);
  const Bytes header = Bytes{4, 0, tagFlags} + synchsafe(body.size());
  return text("ID3") + header + body + ((tagFlags & 0x10) ? text("3DI") + header : Bytes());
}

Bytes id3v1Block(std::string_view title, std::string_view album, uint8_t track, uint8_t genre) {
  Bytes block = text("TAG") + text(title);
  block.resize(63);
  block = block + text(album);
  block.resize(128);
  block[126] = track, block[127] = genre;
  return block;
}

Bytes chunk(std::string_view id, const Bytes& data) {
  ByteWriter out;
  out.fourCC(id).u32le(uint32_t(data.size())).bytes(data.data(), data.size());
  if (data.size() % 2) out.u8(0);
  return out.data();
}

const std::vector<int16_t> kSamples = {0, 1000, -1000, 32767, -32768, 7, -7, 12345, 3};

// A 16-bit mono WAV file: "fmt ", "data", then `more` chunks.
Bytes wavFile(const Bytes& more = {}, const Bytes& leading = {}) {
  ByteWriter fmt, data;
  fmt.u16le(1).u16le(1).u32le(8000).u32le(16000).u16le(2).u16le(16);
  for (int16_t s : kSamples)
    data.u16le(uint16_t(s));
  const Bytes body = text("WAVE") + chunk("fmt ", fmt.data()) + chunk("data", data.data()) + more;
  return leading + chunk("RIFF", body);
}

Bytes infoList(const Values& items) {
  Bytes list = text("INFO");
  for (const auto& [id, value] : items)
    list = list + chunk(id, text(value) + Bytes{0});
  return list;
}

// The chunks after RIFF/WAVE, "id:size" each ("fmt " and "data" without size).
std::vector<std::string> chunkIds(const Bytes& file) {
  std::vector<std::string> ids;
  for (size_t at = 12; at + 8 <= file.size();) {
    ByteReader in(file.data() + at, 8);
    const std::string id = in.fourCC();
    const uint32_t size = in.u32le();
    ids.push_back(id == "data" || id == "fmt " ? id : id + ":" + std::to_string(size));
    at += 8 + size + (size & 1);
  }
  return ids;
}

Values valuesOf(const TagList& tags) {
  Values values;
  for (const TagList::Entry& entry : tags.entries())
    values[entry.key] = entry.value;
  return values;
}

TagList tagsOf(const Values& values) {
  TagList tags;
  for (const auto& [key, value] : values)
    tags.set(key, value);
  return tags;
}

// mutagen through the distribution's Python, where its Debian package installs it.
std::string python() {
  return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

bool haveMutagen() {
  return testing::runCommand(python() + " -c 'import mutagen'") == 0;
}

// Runs a script on a file; answers its output lines "name<TAB>value" as a map.
Values runPython(const std::string& script, const std::string& path) {
  const std::string command = python() + " - " + testing::quoted(path) + " <<'END'\n" +
                              "import sys\nsys.stdout.reconfigure(encoding='utf-8')\n" + script +
                              "\nEND\n";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, n);
    ::pclose(pipe);
  }
  Values values;
  for (size_t at = 0, end; at < output.size(); at = end + 1) {
    end = std::min(output.find('\n', at), output.size());
    const size_t tab = output.find('\t', at);
    if (tab < end) values[output.substr(at, tab - at)] = output.substr(tab + 1, end - tab - 1);
  }
  return values;
}

// Runs `write` in a child process whose files may not grow beyond `limit` bytes.
bool succeedsUnderSizeLimit(const std::function<bool()>& write, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit sizeLimit{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &sizeLimit);
    ::_exit(write() ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class TagsTest : public ::testing::Test {
 protected:
  std::string file(const std::string& name, const Bytes& bytes) {
    testing::writeBytes(env.path(name), bytes);
    return env.path(name);
  }
  Values read(const std::string& path, int kinds = kWavAllTags, bool found = true) {
    TagList tags;
    EXPECT_EQ(ReadTags(tags, path, kinds), found);
    return valuesOf(tags);
  }
  void expectWavIntact(const std::string& path) {
    const Bytes bytes = readBytes(path);
    EXPECT_EQ(ByteReader(bytes.data() + 4, 4).u32le(), bytes.size() - 8);
    std::vector<Sample> expected;
    for (int16_t s : kSamples)
      expected.push_back(Sample(s) * 16);
    EXPECT_EQ(testing::readSource(OpenWavSource(path)), expected);
  }
  testing::TempEnvironment env;
};

TEST(TagUpdateRule, StripsRemovesAndKeeps) {
  struct Case {
    std::optional<std::string> before, value;  // value: as read
    bool keep;
    std::optional<std::string> after;
  };
  const std::string a250(250, 'a');
  const Case cases[] = {
      {{}, "  padded  ", false, "padded"},
      {"old", "new", false, "new"},
      {"old", "   ", false, {}},
      {"old", "", true, "old"},
      {"old", "new", true, "old"},
      {"", "new", true, "new"},
      {{}, "", true, {}},
      {{}, " in  side ", true, "in  side"},
      // 260 UTF-16 units: cut to 259, never inside a character.
      {{}, a250 + "𝄞𝄞𝄞𝄞𝄞", false, a250 + "𝄞𝄞𝄞𝄞"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(*c.value);
    TagList tags;
    if (c.before) tags.set("KEY", *c.before);
    storeTagValue(tags, "KEY", *c.value, c.keep);
    EXPECT_EQ(tags.entries().size(), c.after ? 1u : 0u);
    EXPECT_EQ(tags.get("KEY"), c.after.value_or(""));
  }
}

TEST_F(TagsTest, FormatChosenByExtension) {
  const TagList tags = tagsOf({{"TITLE", "Title"}});
  for (const auto& [name, bytes] : std::map<std::string, Bytes>{{"a.mp3", audioBytes(600)},
                                                                {"b.MP3", audioBytes(600)},
                                                                {"c.wav", wavFile()},
                                                                {"d.WaV", wavFile()}}) {
    EXPECT_TRUE(WriteTags(tags, file(name, bytes), kWavInfoTags)) << name;
    EXPECT_EQ(read(env.path(name), kWavInfoTags).at("TITLE"), "Title") << name;
  }
  for (const std::string name : {"e.ogg", "mp3", "f.mp3.bak", "missing.wav"}) {
    if (name != "missing.wav") file(name, audioBytes(600));
    EXPECT_FALSE(WriteTags(tags, env.path(name), kWavAllTags)) << name;
    read(env.path(name), kWavAllTags, false);
  }
  EXPECT_FALSE(WriteTags(tags, env.path("c.wav"), 4));
}

// ID3: the frames mutagen sees in the tags we write, raw (version 2.3, no translation).
constexpr const char* kDumpFrames = R"(
from mutagen.id3 import ID3
tags = ID3(sys.argv[1], translate=False, load_v1=False)
print('version\t%d.%d' % tags.version[:2])
for f in tags.values():
    i = f.FrameID
    if i == 'COMM': v = '%s|%s|%s' % (f.lang, f.desc, '/'.join(f.text))
    elif i == 'WXXX': v = '%s|%s' % (f.desc, f.url)
    elif i == 'PCNT': v = str(f.count)
    elif i == 'POPM': v = '%s|%d' % (f.email, f.rating)
    elif i == 'APIC': v = '%s|%d|%s|%d' % (f.mime, f.type, f.desc, len(f.data))
    else: v = '/'.join(str(x) for x in f.text)
    print('%s\t%s' % (i, v)))";

TEST_F(TagsTest, MutagenReadsTheId3TagsWeWrite) {
  if (!haveMutagen()) GTEST_SKIP() << "mutagen is not installed";
  const std::string path = file("song.mp3", audioBytes(4000));
  file("cover.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 0xFF, 0xD9});
  TagList tags = tagsOf({{"TITLE", "Grüße aus Köln"},
                         {"ARTIST", "Ærø 𝄞"},
                         {"ALBUM", "Album"},
                         {"YEAR", "2024"},
                         {"TRACKNUMBER", "12/14"},
                         {"GENRE", "(Live) Jam"},
                         {"COMMENT", "A comment"},
                         {"URL", "http://example.org/page"},
                         {"PLAYCOUNT", "1234"},
                         {"RATING", "200"},
                         {"IMAGE", env.path("cover.jpg")},
                         {"TKEY", "Am"},
                         {"NULL", "x"},
                         {"UMID", "1,2,"},
                         {"ORIGINATOR", "x"}});
  ASSERT_TRUE(WriteTags(tags, path, kWavAllTags));
  const Values expected = {
      {"version", "2.3"},      {"TIT2", "Grüße aus Köln"}, {"TPE1", "Ærø 𝄞"},
      {"TALB", "Album"},       {"TYER", "2024"},           {"TRCK", "12/14"},
      {"TCON", "((Live) Jam"}, {"COMM", "eng||A comment"}, {"WXXX", "|http://example.org/page"},
      {"PCNT", "1234"},        {"POPM", "|200"},           {"APIC", "image/jpeg|0||10"},
      {"TKEY", "Am"}};
  EXPECT_EQ(runPython(kDumpFrames, path), expected);
  EXPECT_EQ(read(path).at("GENRE"), "(Live) Jam");

  // A genre of the list is written as its number, which mutagen names again.
  tags.set("GENRE", "synthpop");
  ASSERT_TRUE(WriteTags(tags, path, kWavAllTags));
  EXPECT_EQ(runPython(kDumpFrames, path)["TCON"], "(147)");
  EXPECT_EQ(read(path).at("GENRE"), "Synthpop");
}

TEST_F(TagsTest, WeReadTheId3TagsMutagenWrites) {
  if (!haveMutagen()) GTEST_SKIP() << "mutagen is not installed";
  const std::string path = file("song.mp3", audioBytes(3000));
  runPython(R"(
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, TCON, COMM, TXXX, USLT, PCNT, POPM, WXXX, TKEY
t = ID3()
t.add(TIT2(encoding=0, text='Café'))
t.add(TPE1(encoding=1, text='Ærø 𝄞'))
t.add(TALB(encoding=3, text='Ünïcode'))
t.add(TRCK(encoding=0, text='3/10'))
t.add(TCON(encoding=0, text='(13)'))
t.add(COMM(encoding=1, lang='eng', desc='iTunNORM', text=' 0000 0001'))
t.add(COMM(encoding=1, lang='eng', desc='', text='The comment'))
t.add(TXXX(encoding=1, desc='extra', text='not ours'))
t.add(USLT(encoding=1, lang='eng', desc='', text='lyrics'))
t.add(PCNT(count=77))
t.add(POPM(email='a@example.org', rating=196, count=3))
t.add(WXXX(encoding=0, desc='home', url='http://example.org/x'))
t.add(TKEY(encoding=0, text='Am'))
t.save(sys.argv[1], v2_version=3, v1=2))",
            path);
  const Values expected = {
      {"TITLE", "Café"},       {"ARTIST", "Ærø 𝄞"}, {"ALBUM", "Ünïcode"},
      {"TRACKNUMBER", "3/10"}, {"GENRE", "Pop"},    {"COMMENT", "The comment"},
      {"PLAYCOUNT", "77"},     {"RATING", "196"},   {"URL", "http://example.org/x"},
      {"TKEY", "Am"}};
  EXPECT_EQ(read(path), expected);
}

// Version 2.4, what most taggers write today (and mutagen by default): every text encoding, the
// recording time that took the place of year, date and time, two values in one frame, a frame
// only version 2.4 knows, and frames longer than 127 bytes (whose synchsafe sizes differ from
// plain ones). Every value reads back; and the same tags, converted by mutagen to version 2.3,
// read the same (but for the frame version 2.3 lacks).
TEST_F(TagsTest, WeReadTheId3v24TagsMutagenWrites) {
  if (!haveMutagen()) GTEST_SKIP() << "mutagen is not installed";
  const std::string path = file("new.mp3", audioBytes(3000));
  const std::string converted = file("converted.mp3", audioBytes(3000));
  const Values seen = runPython(R"(
from mutagen.id3 import (ID3, TIT2, TPE1, TALB, TRCK, TPOS, TCON, COMM, PCNT, POPM, WXXX, TDRC,
                         TDOR, TKEY, TBPM, TLEN, TCOM, TIT1, TPUB, TCOP, TSSE, TENC, TSOP)
t = ID3()
t.add(TIT2(encoding=3, text='Grüße aus Köln ' * 12))
t.add(TPE1(encoding=3, text=['Ærø 𝄞', 'Second']))
t.add(TALB(encoding=2, text='Big-endian album'))
t.add(TRCK(encoding=0, text='3/10'))
t.add(TPOS(encoding=1, text='1/2'))
t.add(TCON(encoding=3, text='13'))
t.add(COMM(encoding=3, lang='eng', desc='iTunNORM', text=' 0000 0001'))
t.add(COMM(encoding=3, lang='eng', desc='', text='A comment ' * 20))
t.add(PCNT(count=77))
t.add(POPM(email='a@example.org', rating=196, count=3))
t.add(WXXX(encoding=3, desc='home', url='http://example.org/x'))
t.add(TDRC(encoding=3, text='2024-05-06T12:34:56'))
t.add(TDOR(encoding=3, text='1999'))
for frame, value in [(TKEY, 'Am'), (TBPM, '120'), (TLEN, '215000'), (TCOM, 'Composer'),
                     (TIT1, 'Category'), (TPUB, 'Publisher'), (TCOP, '(c) 2024'),
                     (TSSE, 'Encoder'), (TENC, 'Encoded by'), (TSOP, 'Sort artist')]:
    t.add(frame(encoding=3, text=value))
t.save(sys.argv[1], v1=0)
print('version\t%d.%d' % ID3(sys.argv[1]).version[:2])
t = ID3(sys.argv[1])
t.update_to_v23()
t.save(sys.argv[1].replace('new.mp3', 'converted.mp3'), v1=0, v2_version=3))",
                                path);
  ASSERT_EQ(seen.at("version"), "2.4");
  std::string title;
  for (int i = 0; i < 12; ++i)
    title += (i ? " " : "") + std::string("Grüße aus Köln");
  std::string comment;
  for (int i = 0; i < 20; ++i)
    comment += (i ? " " : "") + std::string("A comment");
  Values expected = {{"TITLE", title},
                     {"ARTIST", "Ærø 𝄞/Second"},
                     {"ALBUM", "Big-endian album"},
                     {"TRACKNUMBER", "3/10"},
                     {"DISKNUMBER", "1/2"},
                     {"GENRE", "Pop"},
                     {"COMMENT", comment},
                     {"PLAYCOUNT", "77"},
                     {"RATING", "196"},
                     {"URL", "http://example.org/x"},
                     {"YEAR", "2024"},
                     {"DATE", "0605"},
                     {"TIME", "1234"},
                     {"TORY", "1999"},
                     {"TKEY", "Am"},
                     {"BPM", "120"},
                     {"LENGTH", "215000"},
                     {"COMPOSER", "Composer"},
                     {"CATEGORY", "Category"},
                     {"PRODUCER", "Publisher"},
                     {"COPYRIGHT", "(c) 2024"},
                     {"ENCODER", "Encoder"},
                     {"ENCODEDBY", "Encoded by"},
                     {"TSOP", "Sort artist"}};
  EXPECT_EQ(read(path), expected);
  expected.erase("TSOP");
  EXPECT_EQ(read(converted), expected);
}

// The parts of version 2.4 that mutagen does not write: frames unsynchronised one by one or all
// at once, the length of a frame's data before it, grouped, compressed and encrypted frames, the
// extended header, a footer, and the plain frame sizes older iTunes wrote. Where mutagen reads
// the tag, it sees what we see; a rewrite keeps the audio and writes version 2.3.
TEST_F(TagsTest, ReadsEveryLayoutOfId3v24) {
  auto utf16 = [](std::u16string_view value) {  // with its mark, little-endian
    Bytes bytes = {1, 0xFF, 0xFE};
    for (char16_t c : value)
      bytes = bytes + Bytes{uint8_t(c), uint8_t(c >> 8)};
    return bytes;
  };
  const Bytes yy = utf16(u"\u00FFy\u00FF");  // 0xFF 0x00 pairs: unsynchronisation adds zeros
  const Bytes plainArtist = Bytes{3} + text("Artist");
  const Bytes longAlbum = Bytes{0} + text(std::string(300, 'a'));
  struct Case {
    const char* name;
    Bytes tag;
    bool mutagenAgrees;
  };
  const Case cases[] = {
      {"one frame unsynchronised, with its data length",
       id3v24Tag({{"TIT2", yy, 0x03}, {"TPE1", plainArtist}, {"TALB", longAlbum, 0x01}}), true},
      {"every frame unsynchronised",
       id3v24Tag({{"TIT2", yy}, {"TPE1", plainArtist}, {"TALB", longAlbum}}, 0x80), true},
      {"an extended header",
       id3v24Tag({{"TIT2", yy}, {"TPE1", plainArtist}, {"TALB", longAlbum}}, 0x40,
                 Bytes{0, 0, 0, 6, 1, 0}),
       true},
      {"an extended header with a CRC",
       id3v24Tag({{"TIT2", yy}, {"TPE1", plainArtist}, {"TALB", longAlbum}}, 0x40,
                 Bytes{0, 0, 0, 12, 1, 0x20, 1, 0x7F, 0x7F, 0x7F, 0x7F, 0}),
       true},
      {"a footer", id3v24Tag({{"TIT2", yy}, {"TPE1", plainArtist}, {"TALB", longAlbum}}, 0x10),
       true},
      {"a grouped frame",
       id3v24Tag({{"TIT2", yy, 0x41}, {"TPE1", plainArtist, 0x40}, {"TALB", longAlbum}}), false},
      {"compressed and encrypted frames skipped",
       id3v24Tag({{"TIT2", yy},
                  {"TCOM", Bytes{0x78, 0x9C, 1, 2, 3}, 0x09},
                  {"TPE1", plainArtist},
                  {"TIT1", Bytes{0, 'x', 'y'}, 0x04},
                  {"TALB", longAlbum}}),
       true},
      {"plain frame sizes",
       id3v24Tag({{"TIT2", yy}, {"TPE1", plainArtist}, {"TALB", longAlbum}}, 0, {}, true), true},
  };
  const Values expected = {
      {"TITLE", "ÿyÿ"}, {"ARTIST", "Artist"}, {"ALBUM", std::string(259, 'a')}};
  const Bytes audio = audioBytes(5000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = file("song.mp3", c.tag + audio);
    EXPECT_EQ(read(path), expected);
    if (c.mutagenAgrees && haveMutagen()) {
      const Values seen = runPython(R"(
from mutagen.id3 import ID3
t = ID3(sys.argv[1])
print('seen\t%d.%d|%s|%s|%d' % (t.version[0], t.version[1], t['TIT2'], t['TPE1'],
                                  len(str(t['TALB'])))))",
                                    path);
      EXPECT_EQ(seen.at("seen"), "2.4|ÿyÿ|Artist|300");
    }
    ASSERT_TRUE(WriteTags(tagsOf({{"TITLE", "New"}}), path, kWavAllTags));
    const Bytes written = readBytes(path);
    EXPECT_EQ(written[3], 3);
    const size_t tagSize = 10 + (size_t(written[6]) << 21 | size_t(written[7]) << 14 |
                                 size_t(written[8]) << 7 | written[9]);
    ASSERT_EQ(written.size(), tagSize + audio.size() + 128);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), written.begin() + long(tagSize)));
  }
}

// Version 2.2 (which mutagen does not write) by hand, unsynchronised, with an ID3v1 block whose
// title loses to the ID3v2 title and whose album fills the gap of a rejected frame.
TEST_F(TagsTest, ReadsId3v22AndFillsGapsFromId3v1) {
  Bytes bigEndian = {1, 0xFE, 0xFF};  // the byte-order mark swapped: big-endian text
  for (char c : std::string_view("Big Endian"))
    bigEndian = bigEndian + Bytes{0, uint8_t(c)};
  const Bytes tag = id3v2Tag(2,
                             {{"TT2", Bytes{0} + text("Old title")},
                              {"TP1", bigEndian},
                              {"TAL", Bytes{1, 'N', 0, 'o', 0}},  // no byte-order mark
                              {"TCO", Bytes{0} + text("(17)")},
                              {"COM", Bytes{0} + text("eng") + Bytes{0} + text("Old comment")},
                              {"TKE", Bytes{0} + text("C#")},
                              {"XYZ", Bytes{0} + text("unknown")}},
                             64, /*unsynchronise=*/true);
  const std::string path =
      file("old.mp3", tag + audioBytes(1000) + id3v1Block("V1", "V1 album", 5, 1));
  const Values expected = {{"TITLE", "Old title"},     {"ARTIST", "Big Endian"},
                           {"ALBUM", "V1 album"},      {"GENRE", "Rock"},
                           {"COMMENT", "Old comment"}, {"TKEY", "C#"},
                           {"TRACKNUMBER", "5"}};
  EXPECT_EQ(read(path), expected);
  if (!haveMutagen()) return;
  const Values seen = runPython(R"(
from mutagen.id3 import ID3
t = ID3(sys.argv[1], load_v1=False)
print('seen\t%d.%d %s %s' % (t.version[0], t.version[1], t['TIT2'], t['TPE1'])))",
                                path);
  EXPECT_EQ(seen.at("seen"), "2.2 Old title Big Endian");
}

TEST_F(TagsTest, Id3v1TrackAndGenreBytes) {
  struct Case {
    const char* track;
    const char* genre;
    bool oldBlock;  // the file already ends with a block of track 7 and genre byte 200
    uint8_t trackByte, genreByte;
  };
  const Case cases[] = {
      {"12/14", "", true, 12, 148},
      {"300", "Synthpop", true, 255, 147},
      {"", "17", true, 7, 17},
      {"", "Nonexistent", false, 0, 0},
      {"5", "Heavy Metal", false, 5, 137},
      {"", "", false, 0, 148},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.track) + " " + c.genre);
    const Bytes old = c.oldBlock ? id3v1Block("Old", "", 7, 200) : Bytes();
    const std::string path = file("song.mp3", audioBytes(700) + old);
    if (c.oldBlock) {
      EXPECT_EQ(read(path), (Values{{"TITLE", "Old"}, {"TRACKNUMBER", "7"}}));
    }
    const TagList tags = tagsOf({{"TITLE", "A title longer than the thirty bytes of the field"},
                                 {"TRACKNUMBER", c.track},
                                 {"GENRE", c.genre}});
    ASSERT_TRUE(WriteTags(tags, path, kWavAllTags));
    const Bytes written = readBytes(path);
    const Bytes block(written.end() - 128, written.end());
    const Bytes expected =
        id3v1Block("A title longer than the thirty", "", c.trackByte, c.genreByte);
    EXPECT_EQ(block, expected);
  }
}

// The audio between the tags comes through every rewrite bit for bit, whatever tags it had; the
// file keeps its mode, and a symbolic link to it stays a link.
TEST_F(TagsTest, Id3RewriteKeepsTheAudioExactly) {
  const Bytes audio = audioBytes(150000);  // more than one copy block
  const Bytes oldTag = id3v2Tag(3, {{"TIT2", Bytes{0} + text("Old")}}, 500);
  for (int layout = 0; layout < 4; ++layout) {
    SCOPED_TRACE(layout);
    const Bytes v1 = (layout & 2) ? id3v1Block("Old", "", 1, 1) : Bytes();
    const std::string path = file("song.mp3", ((layout & 1) ? oldTag : Bytes()) + audio + v1);
    ::chmod(path.c_str(), 0640);
    std::filesystem::remove(env.path("link.mp3"));
    std::filesystem::create_symlink(path, env.path("link.mp3"));
    TagList tags = tagsOf({{"TITLE", "New"}, {"ARTIST", "Someone"}});
    for (int pass = 0; pass < 2; ++pass) {
      ASSERT_TRUE(WriteTags(tags, env.path(pass ? "link.mp3" : "song.mp3"), kWavAllTags));
      const Bytes written = readBytes(path);
      const size_t tagSize = 10 + (size_t(written[6]) << 21 | size_t(written[7]) << 14 |
                                   size_t(written[8]) << 7 | written[9]);
      ASSERT_EQ(written.size(), tagSize + audio.size() + 128);
      EXPECT_TRUE(std::equal(audio.begin(), audio.end(), written.begin() + long(tagSize)));
      EXPECT_EQ(read(path).at("TITLE"), tags.get("TITLE"));
      tags.set("TITLE", "Newer and longer");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(env.path("link.mp3")));
    struct stat after {};
    EXPECT_EQ(::stat(path.c_str(), &after) == 0 ? after.st_mode & 0777 : 0, 0640u);
  }
}

TEST_F(TagsTest, InfoTagsReadBackAndParseWithMutagen) {
  const Values values = {{"TITLE", "Grüße"}, {"ARTIST", "Artist"},   {"ALBUM", "Album"},
                         {"YEAR", "2024"},   {"COMMENT", "Comment"}, {"TRACKNUMBER", "3"},
                         {"GENRE", "Jazz"},  {"COPYRIGHT", "(c)"},   {"ENCODEDBY", "Me"},
                         {"ENCODER", "Qu"},  {"CATEGORY", "Demo"}};
  TagList tags = tagsOf(values);
  tags.set("COMPOSER", "no INFO id");
  const std::string path = file("take.wav", wavFile());
  ASSERT_TRUE(WriteTags(tags, path, kWavInfoTags));
  EXPECT_EQ(read(path, kWavInfoTags), values);
  expectWavIntact(path);
  if (!haveMutagen()) return;
  const Values seen = runPython(R"(
from mutagen._riff import RiffFile
with open(sys.argv[1], 'rb') as f:
    riff = RiffFile(f)
    print('chunks\t' + ','.join(c.id for c in riff.root.subchunks()))
    print('list\t' + riff.root['LIST'].name)
    for item in riff.root['LIST'].subchunks():
        print('%s\t%s' % (item.id, item.read().rstrip(b'\0').decode('cp1252')))
    print('disp\t' + riff.root['DISP'].read()[4:].rstrip(b'\0').decode('utf-8')))",
                                path);
  EXPECT_EQ(seen.at("chunks"), "fmt,data,LIST,DISP");
  EXPECT_EQ(seen.at("list"), "INFO");
  EXPECT_EQ(seen.at("INAM"), "Grüße");
  EXPECT_EQ(seen.at("ISRC"), "Me");
  EXPECT_EQ(seen.at("disp"), "Grüße");
}

TEST_F(TagsTest, ReadsInfoOfOtherWriters) {
  const Bytes list = chunk("LIST", infoList({{"INAM", "Name"}, {"IXYZ", "Other"}}));
  const Bytes longList = chunk("LIST", infoList({{"INAM", std::string(287, 'x')}}));
  ASSERT_EQ(longList.size(), 8 + 300u);
  auto disp = [](uint32_t type, std::string_view title) {
    ByteWriter data;
    data.u32le(type).bytes(text(title).data(), title.size()).u8(0);
    return chunk("DISP", data.data());
  };
  const Values fromList = {{"TITLE", "Name"}, {"NULL", "Other"}};
  struct Case {
    Bytes file;
    bool found;
    Values values;
  };
  const Case cases[] = {
      {wavFile(list + disp(1, "Disp")), true, {{"TITLE", "Disp"}, {"NULL", "Other"}}},
      {wavFile(longList + disp(1, "D")), false, {}},    // a LIST of 300 bytes: no INFO at all
      {wavFile(list), false, fromList},                 // no DISP
      {wavFile(disp(0, "Z") + list), false, fromList},  // a DISP of no text
      {wavFile(list + disp(1, "D"), chunk("JUNK", text("123456"))),
       true,
       {{"TITLE", "D"}, {"NULL", "Other"}}},  // a leading foreign chunk
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_EQ(read(file("take.wav", c.file), kWavInfoTags, c.found), c.values);
  }
}

// Each write disables the old chunks; new ones go over disabled chunks of exactly their sizes,
// else at the end.
TEST_F(TagsTest, WritingInfoTwiceLeavesTwoDisabledChunks) {
  const std::string path = file("take.wav", wavFile());
  const TagList first = tagsOf({{"TITLE", "First"}, {"ARTIST", "Band"}});
  const TagList second = tagsOf({{"TITLE", "Second, longer"}, {"ARTIST", "Band"}});
  ASSERT_TRUE(WriteTags(first, path, kWavInfoTags));
  ASSERT_TRUE(WriteTags(second, path, kWavInfoTags));
  const Bytes twice = readBytes(path);
  EXPECT_EQ(chunkIds(twice),
            (std::vector<std::string>{"fmt ", "data", "    :32", "    :10", "LIST:42", "DISP:20"}));
  EXPECT_EQ(read(path, kWavInfoTags), valuesOf(second));
  expectWavIntact(path);

  ASSERT_TRUE(WriteTags(second, path, kWavInfoTags));  // over itself: nothing changes
  EXPECT_EQ(readBytes(path), twice);
  ASSERT_TRUE(WriteTags(first, path, kWavInfoTags));  // over the first, disabled pair
  EXPECT_EQ(chunkIds(readBytes(path)),
            (std::vector<std::string>{"fmt ", "data", "LIST:32", "DISP:10", "    :42", "    :20"}));
  EXPECT_EQ(read(path, kWavInfoTags), valuesOf(first));
}

TEST_F(TagsTest, BroadcastChunksKeepEveryField) {
  std::string umid;
  for (int i = 0; i < 64; ++i)
    umid += std::to_string(i * 4) + ",";
  const Values bext = {{"COMMENT", "Description é"},
                       {"ORIGINATOR", "Quillon"},
                       {"REFERENCE", "REF-1"},
                       {"DATE", "2024-05-06"},
                       {"TIME", "12:34:56"},
                       {"TIMEREFLOW", "4294967295"},
                       {"TIMEREFHIGH", "1"},
                       {"BWFVERSION", "2"},
                       {"UMID", umid},
                       {"CODINGHISTORY", "A=PCM,F=8000\r\n"}};
  Values cart = {{"LEVELREFERENCE", "-20"}, {"URL", "http://example.org"}, {"TAGTEXT", "Tag"}};
  for (const char* key : {"CARTVERSION", "TITLE", "ARTIST", "CUTID", "CLIENTID", "CATEGORY",
                          "CLASSIFICATION", "OUTCUE", "STARTDATE", "STARTTIME", "ENDDATE",
                          "ENDTIME", "ENCODEDBY", "PRODUCERAPPVERSION", "USERDEF"})
    cart[key] = std::string(key).substr(0, 2) + "é";  // four bytes: fits every field
  for (int i = 1; i <= 8; ++i) {
    cart["POSTTIMER" + std::to_string(i) + "USAGE"] = std::string("T").append(std::to_string(i));
    cart["POSTTIMER" + std::to_string(i) + "VALUE"] = std::to_string(i * 1000);
  }
  const std::string path = file("take.wav", wavFile());
  ASSERT_TRUE(WriteTags(tagsOf(bext), path, kWavBextTags));
  ASSERT_TRUE(WriteTags(tagsOf(cart), path, kWavCartTags));
  EXPECT_EQ(read(path, kWavBextTags), bext);
  EXPECT_EQ(read(path, kWavCartTags), cart);
  const Bytes written = readBytes(path);
  EXPECT_EQ(chunkIds(written), (std::vector<std::string>{"fmt ", "data", "bext:618", "cart:2052"}));
  const size_t bextData = 12 + 24 + 8 + 2 * kSamples.size() + 8;
  EXPECT_EQ(ByteReader(written.data() + bextData + 346, 3).u16le(), 2);  // the version
  EXPECT_EQ(written[bextData + 348 + 1], 4);                             // UMID byte 1
  expectWavIntact(path);

  // Another size is appended; the first size again goes over the disabled chunk it fits.
  Values shorter = bext;
  shorter.erase("CODINGHISTORY");
  ASSERT_TRUE(WriteTags(tagsOf(shorter), path, kWavBextTags));
  ASSERT_TRUE(WriteTags(tagsOf(bext), path, kWavBextTags));
  EXPECT_EQ(chunkIds(readBytes(path)),
            (std::vector<std::string>{"fmt ", "data", "bext:618", "cart:2052", "    :602"}));
}

TEST_F(TagsTest, AllWavKindsTogether) {
  const std::string path = file("take.wav", wavFile());
  const TagList tags = tagsOf({{"TITLE", "Title"}, {"ORIGINATOR", "Desk 2"}, {"CUTID", "C1"}});
  ASSERT_TRUE(WriteTags(tags, path, kWavAllTags));
  EXPECT_EQ(
      chunkIds(readBytes(path)),
      (std::vector<std::string>{"fmt ", "data", "LIST:18", "DISP:10", "bext:602", "cart:2048"}));
  EXPECT_EQ(read(path), valuesOf(tags));
  // Reading all three reads INFO last: its title wins over the cart title.
  ASSERT_TRUE(WriteTags(tagsOf({{"TITLE", "Cart title"}}), path, kWavCartTags));
  EXPECT_EQ(read(path).at("TITLE"), "Title");
  EXPECT_EQ(read(path, kWavCartTags).at("TITLE"), "Cart title");
  expectWavIntact(path);
}

// A write that cannot complete (the file-size limit stops it half way; a WAV whose last chunk
// runs past its end; no WAV at all; no such folder) leaves the file byte-identical and no
// temporary file behind. Reading cut-off files is safe.
TEST_F(TagsTest, FailedWritesLeaveTheFileByteIdentical) {
  const TagList tags = tagsOf(
      {{"TITLE", "A new and longer title"}, {"TAGTEXT", "text"}, {"CODINGHISTORY", "history"}});
  const Bytes mp3 = id3v2Tag(3, {{"TIT2", Bytes{0} + text("Old")}}) + audioBytes(40000);
  const std::string wav = file("take.wav", wavFile());
  WriteTags(tagsOf({{"TITLE", "Old"}}), wav, kWavAllTags);
  const Bytes tagged = readBytes(wav);
  for (int kind = -1; kind <= kWavCartTags; ++kind) {  // -1: the MP3 file
    SCOPED_TRACE(kind);
    const std::string path = kind < 0 ? file("song.mp3", mp3) : file("take.wav", tagged);
    const Bytes before = readBytes(path);
    EXPECT_FALSE(succeedsUnderSizeLimit([&] { return WriteTags(tags, path, kind); },
                                        kind < 0 ? 16384 : before.size() + 8));
    EXPECT_EQ(readBytes(path), before);
  }
  for (const auto& entry : std::filesystem::directory_iterator(env.root()))
    EXPECT_NE(entry.path().extension(), ".tmp") << "a temporary file was left behind";

  Bytes cut = wavFile();
  cut.resize(cut.size() - 3);
  for (const Bytes& bytes : {cut, text("not a wave file")}) {
    const std::string path = file("bad.wav", bytes);
    EXPECT_FALSE(WriteTags(tags, path, kWavAllTags));
    EXPECT_EQ(readBytes(path), bytes);
  }
  EXPECT_FALSE(WriteTags(tags, env.path("missing/song.mp3"), kWavAllTags));
  std::filesystem::create_directory(env.path("folder.mp3"));
  EXPECT_FALSE(WriteTags(tags, env.path("folder.mp3"), kWavAllTags));
  for (size_t size = 0; size <= tagged.size(); size += 7) {
    TagList ignored;
    ReadTags(ignored, file("cut.wav", Bytes(tagged.begin(), tagged.begin() + long(size))),
             kWavAllTags);
  }
}

}  // namespace
}  // namespace quillon
