#include "config/NamedObject.h"

#include <charconv>
#include <iterator>

#include "config/ObjectFileName.h"
#include "config/StoreTexts.h"
#include "platform/IniFile.h"

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

bool CCorvinaNamedObject::LoadIni(const std::string& dataFolder, const std::string& file,
                                  const std::function<bool(const platform::IniFile&)>& read, std::string_view what,
                                  std::string* error) {
  const std::string path = JoinPath(dataFolder, file);
  platform::IniFile ini(path);
  if (!ini.Load(error)) return false;
  if (!read(ini)) {
    if (error) *error = path + ": not a " + std::string(what);
    return false;
  }
  fileName = file;
  modified = false;
  return true;
}

bool CCorvinaNamedObject::SaveIni(const std::string& dataFolder, const std::string& file,
                                  const std::function<void(platform::IniFile&)>& write, std::string* error) {
  platform::IniFile ini(JoinPath(dataFolder, file));
  if (!ini.Load(error)) return false;
  write(ini);
  if (!ini.Save(error)) return false;
  fileName = file;
  modified = false;
  return true;
}

CIniSection::CIniSection(const platform::IniFile& ini, std::string_view section) {
  for (auto& [key, value] : ini.Entries(section)) values_.emplace(NameKey(key), std::move(value));
}

const std::string* CIniSection::Find(std::string_view key) const {
  auto it = values_.find(NameKey(key));
  return it == values_.end() ? nullptr : &it->second;
}

std::string CIniSection::Get(std::string_view key) const {
  const std::string* value = Find(key);
  return value ? *value : std::string();
}

std::string NameKey(std::string_view name) {
  std::string key(name);
  for (char& ch : key) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) ch = static_cast<char>(c - 0x20);
  }
  return key;
}

std::optional<long> StrictNumber(std::string_view text, long min, long max) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
    return std::nullopt;
  return value;
}

std::string JoinPath(const std::string& folder, const std::string& file) {
  if (folder.empty() || folder.back() == '/') return folder + file;
  return folder + "/" + file;
}

}  // namespace corvina
