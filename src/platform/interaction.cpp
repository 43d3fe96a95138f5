#include "platform/interaction.h"

#include "platform/settings.h"

namespace quillon {

std::string DialogValues::text(const std::string& name) const {
  auto it = values.find(name);
  return it == values.end() ? std::string() : it->second;
}

int32_t DialogValues::number(const std::string& name, int32_t fallback) const {
  auto it = values.find(name);
  if (it == values.end() || it->second.empty()) return fallback;
  return settings::parseLeadingNumber(it->second);
}

}  // namespace quillon
