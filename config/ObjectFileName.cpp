#include "config/ObjectFileName.h"

namespace corvina {

std::string ObjectFileName(std::string_view name, std::string_view extension) {
  std::string fileName;
  fileName.reserve(name.size() + 1 + extension.size());
  fileName.append(name).append(".").append(extension);
  for (char& c : fileName) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || std::string_view("\"'*/:<>?\\|").find(c) != std::string_view::npos) c = ' ';
  }
  return fileName;
}

}  // namespace corvina
