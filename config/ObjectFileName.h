// File names of the named configuration objects in the data folder.
#pragma once

#include <string>
#include <string_view>

namespace corvina {

// The name, then "." and the extension, with every character that a file
// name cannot hold (" ' * / : < > ? \ | and control characters) replaced by a
// space, so that no name reaches outside the data folder.
std::string ObjectFileName(std::string_view name, std::string_view extension);

}  // namespace corvina
