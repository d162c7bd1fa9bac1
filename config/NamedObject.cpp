#include "config/NamedObject.h"

#include <iterator>

#include "config/ObjectFileName.h"
#include "config/StoreTexts.h"

namespace corvina {

namespace {

constexpr std::string_view kExtensions[] = {"tsp", "tkm", "mac", "tcs", "ttb"};
static_assert(std::size(kExtensions) == kObjectKindCount);
static_assert(std::size(store_texts::kKindWords) == kObjectKindCount);

}  // namespace

std::string_view ObjectExtension(ObjectKind kind) { return kExtensions[static_cast<std::size_t>(kind)]; }

std::string_view ObjectWord(ObjectKind kind) { return store_texts::kKindWords[static_cast<std::size_t>(kind)]; }

const std::string& CCorvinaNamedObject::FileName() {
  if (fileName.empty()) fileName = ObjectFileName(name, ObjectExtension(Kind()));
  return fileName;
}

std::string NameKey(std::string_view name) {
  std::string key(name);
  for (char& ch : key) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) ch = static_cast<char>(c - 0x20);
  }
  return key;
}

std::string JoinPath(const std::string& folder, const std::string& file) {
  if (folder.empty() || folder.back() == '/') return folder + file;
  return folder + "/" + file;
}

}  // namespace corvina
