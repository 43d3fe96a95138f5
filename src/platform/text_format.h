#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace quillon {

// Fills the "%s", "%d" and "%i" placeholders of a message, in order, with already formatted
// texts; "%%" stands for "%". Placeholders without an argument are left as they stand.
std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace quillon
