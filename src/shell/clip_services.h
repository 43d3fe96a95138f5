#pragma once

#include <memory>

#include "document/edit_commands.h"

namespace quillon {

// The edit commands' file loading and clip conversion, from the open pipeline and the format
// converter.
std::unique_ptr<ClipServices> makeClipServices();

}  // namespace quillon
