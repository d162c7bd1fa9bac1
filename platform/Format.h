// printf-style formatting into std::string, for the exact message texts that
// are kept as printf formats.
#pragma once

#include <cstdarg>
#include <string>

namespace corvina::platform {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace corvina::platform
