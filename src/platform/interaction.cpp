#include "platform/interaction.h"

#include <algorithm>

#include "platform/settings.h"

namespace quillon {

Answer fitAnswer(Answer wanted, MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok:
      return Answer::Ok;
    case MessageButtons::OkCancel:
    case MessageButtons::OverwriteCancel:
      return wanted == Answer::Yes || wanted == Answer::Ok ? Answer::Ok : Answer::Cancel;
    case MessageButtons::YesNo:
      return wanted == Answer::Yes || wanted == Answer::Ok ? Answer::Yes : Answer::No;
    case MessageButtons::YesNoCancel:
    case MessageButtons::SaveDontSaveCancel:
      if (wanted == Answer::Ok) return Answer::Yes;
      return wanted;
  }
  return wanted;
}

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
