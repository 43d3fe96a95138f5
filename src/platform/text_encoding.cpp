#include "platform/text_encoding.h"

#include <array>

namespace quillon {
namespace {

// Windows-1252 bytes 0x80…0x9F; 0 marks the unassigned ones.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at `i`; answers 0xFFFFFFFF (and consumes one byte) when the bytes
// are not valid UTF-8.
char32_t nextUtf8(std::string_view text, size_t& i) {
  const auto b = static_cast<unsigned char>(text[i]);
  int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
  if (extra < 0 || i + size_t(extra) >= text.size()) {
    ++i;
    return 0xFFFFFFFF;
  }
  char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(text[i + size_t(k)]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return 0xFFFFFFFF;
    }
    c = (c << 6) | (next & 0x3F);
  }
  i += size_t(extra) + 1;
  return c;
}

}  // namespace

std::string fromCodePage(std::string_view bytes) {
  std::string out;
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0) {
      const char32_t c = kHighControls[b - 0x80];
      appendUtf8(out, c ? c : 0xFFFD);
    } else {
      appendUtf8(out, b);
    }
  }
  return out;
}

std::string toCodePage(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const size_t at = i;
    const char32_t c = nextUtf8(utf8, i);
    if (c == 0xFFFFFFFF) {
      out += utf8[at];
    } else if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      out += char(c);
    } else {
      char mapped = '?';
      for (size_t k = 0; k < kHighControls.size(); ++k) {
        if (kHighControls[k] == c) mapped = char(0x80 + k);
      }
      out += mapped;
    }
  }
  return out;
}

std::string fromUtf16(std::string_view bytes, bool bigEndian, bool stopAtZero) {
  std::string out;
  auto unit = [&](size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]),
               b = static_cast<unsigned char>(bytes[i + 1]);
    return char32_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c == 0 && stopAtZero) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      const char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::string toUtf16LittleEndian(std::string_view utf8) {
  std::string out;
  auto put = [&out](char32_t u) {
    out += char(u & 0xFF);
    out += char(u >> 8);
  };
  for (size_t i = 0; i < utf8.size();) {
    const size_t at = i;
    char32_t c = nextUtf8(utf8, i);
    if (c == 0xFFFFFFFF) c = static_cast<unsigned char>(utf8[at]);  // a stray byte, as Latin-1
    if (c >= 0x10000) {
      c -= 0x10000;
      put(0xD800 + (c >> 10));
      put(0xDC00 + (c & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

size_t utf16Length(std::string_view utf8) {
  return toUtf16LittleEndian(utf8).size() / 2;
}

}  // namespace quillon
