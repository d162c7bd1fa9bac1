// The UTF-8 edge of the Latin-1 core.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvina::platform {

// Text read from a file written by people: UTF-8 when the bytes are valid
// UTF-8 (a leading byte-order mark is dropped), otherwise Latin-1.
std::u32string DecodeTextFile(std::string_view bytes);

// Code points to UTF-8; values that are not characters become U+FFFD.
std::string ToUtf8(std::u32string_view text);

// The core's 8-bit Latin-1 text to UTF-8, for display and people's files.
std::string Latin1ToUtf8(std::string_view latin1);

// Text people typed (command-line words) to the core's Latin-1: decoded as
// UTF-8 when the bytes are valid UTF-8, otherwise taken as Latin-1 already.
// Nullopt when it holds a character that Latin-1 lacks.
std::optional<std::string> Utf8ToLatin1(std::string_view text);

}  // namespace corvina::platform
