#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// The record a second start of the editor sends to the running one: a signed 32-bit count of
// arguments (little-endian), then 128 slots of 520 bytes, slot i holding argument i (argument 0
// is the program) as NUL-terminated UTF-16LE of at most 259 units. Longer arguments are cut,
// arguments past the 128th are left out, unused slots are zero.
inline constexpr int kHandoverSlots = 128;
inline constexpr size_t kHandoverSlotBytes = 520;
inline constexpr size_t kHandoverSlotUnits = 259;  // characters before the terminator
inline constexpr size_t kHandoverRecordBytes = 4 + kHandoverSlots * kHandoverSlotBytes;
static_assert(kHandoverRecordBytes == 66564);

std::vector<uint8_t> encodeHandover(const std::vector<std::string>& arguments);

// The arguments of a record; nothing unless it is exactly kHandoverRecordBytes long with a count
// of 0 … 128.
std::optional<std::vector<std::string>> decodeHandover(std::span<const uint8_t> record);

// The arguments as a second start hands them over: every relative path is made absolute against
// the current folder, because the running instance resolves them against its own.
std::vector<std::string> handoverArguments(const std::vector<std::string>& arguments);

}  // namespace quillon
