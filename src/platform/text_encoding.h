#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// Conversions at the borders where files fix another encoding than our UTF-8: the single-byte
// "ANSI" code page of the original devices (Windows-1252) and UTF-16 in either byte order.

// Windows-1252 bytes to UTF-8; the five unassigned bytes become U+FFFD.
std::string fromCodePage(std::string_view bytes);
// UTF-8 to Windows-1252; characters it lacks become '?'. Invalid UTF-8 bytes count as
// Windows-1252 themselves.
std::string toCodePage(std::string_view utf8);

// UTF-16 code units (little- or big-endian bytes) to UTF-8; unpaired surrogates become U+FFFD.
// Stops at a zero unit when `stopAtZero`.
std::string fromUtf16(std::string_view bytes, bool bigEndian, bool stopAtZero = true);
// UTF-8 to UTF-16 little-endian bytes, without a terminator.
std::string toUtf16LittleEndian(std::string_view utf8);

// The number of UTF-16 code units the text needs.
size_t utf16Length(std::string_view utf8);

}  // namespace quillon
