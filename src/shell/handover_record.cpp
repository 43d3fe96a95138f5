#include "shell/handover_record.h"

#include <unistd.h>

#include <climits>
#include <cstring>
#include <string_view>

#include "platform/text_encoding.h"
#include "platform/xdg_dirs.h"

namespace quillon {
namespace {

constexpr size_t kCountBytes = 4;

size_t slotOffset(int slot) {
  return kCountBytes + size_t(slot) * kHandoverSlotBytes;
}

// The UTF-16LE bytes of an argument, cut to the slot's 259 units without splitting a pair.
std::string slotText(const std::string& argument) {
  std::string units = toUtf16LittleEndian(argument);
  if (units.size() / 2 <= kHandoverSlotUnits) return units;
  size_t keep = kHandoverSlotUnits;
  const unsigned last = uint8_t(units[2 * keep - 2]) | uint8_t(units[2 * keep - 1]) << 8;
  if (last >= 0xD800 && last <= 0xDBFF) --keep;  // a high surrogate without its partner
  units.resize(2 * keep);
  return units;
}

}  // namespace

std::vector<uint8_t> encodeHandover(const std::vector<std::string>& arguments) {
  std::vector<uint8_t> record(kHandoverRecordBytes, 0);
  const int count = int(std::min<size_t>(arguments.size(), kHandoverSlots));
  for (size_t i = 0; i < kCountBytes; ++i)
    record[i] = uint8_t(uint32_t(count) >> (8 * i));
  for (int slot = 0; slot < count; ++slot) {
    const std::string text = slotText(arguments[size_t(slot)]);
    std::memcpy(record.data() + slotOffset(slot), text.data(), text.size());
  }
  return record;
}

std::optional<std::vector<std::string>> decodeHandover(std::span<const uint8_t> record) {
  if (record.size() != kHandoverRecordBytes) return std::nullopt;
  uint32_t bits = 0;
  for (size_t i = 0; i < kCountBytes; ++i)
    bits |= uint32_t(record[i]) << (8 * i);
  const int32_t count = int32_t(bits);
  if (count < 0 || count > kHandoverSlots) return std::nullopt;
  std::vector<std::string> arguments;
  arguments.reserve(size_t(count));
  for (int slot = 0; slot < count; ++slot) {
    // At most 259 units are read, so a slot without its terminator cannot run into the next.
    const std::string_view units(reinterpret_cast<const char*>(record.data() + slotOffset(slot)),
                                 2 * kHandoverSlotUnits);
    arguments.push_back(fromUtf16(units, false, true));
  }
  return arguments;
}

std::vector<std::string> handoverArguments(const std::vector<std::string>& arguments) {
  std::vector<std::string> result = arguments;
  char folder[PATH_MAX];
  if (!::getcwd(folder, sizeof folder)) return result;
  for (size_t i = 1; i < result.size(); ++i) {
    if (!result[i].empty() && result[i][0] != '/') {
      result[i] = platform::joinPath(folder, result[i]);
    }
  }
  return result;
}

}  // namespace quillon
