// printf-style formatting into std::string, for the exact message texts that
// are kept as printf formats.
#pragma once

#include <string>

namespace corvina::platform {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace corvina::platform
