// Conversions at the edges: the core works in 8-bit Latin-1.
#pragma once

#include <string>
#include <string_view>

namespace corvina::platform {

std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace corvina::platform
