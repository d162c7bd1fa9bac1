#include "platform/AppProfile.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace corvina::platform {

namespace {

const std::string kProfileTail = "Orvex/Corvina.ini";
const std::string kDataTail = "Orvex/Corvina/";

std::mutex gOverrideMutex;
std::string gOverride;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return {};
}

std::string Join(std::string folder, const std::string& tail) {
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + '/' + tail;
}

}  // namespace

void SetAppProfilePathOverride(std::string path) {
  std::lock_guard lock(gOverrideMutex);
  gOverride = std::move(path);
}

std::string AppProfilePath() {
  {
    std::lock_guard lock(gOverrideMutex);
    if (!gOverride.empty()) return gOverride;
  }
  if (std::string path = Env("CORVINA_SETTINGS"); !path.empty()) return path;
  // Relative values are invalid by the XDG rules and are ignored.
  if (std::string config = Env("XDG_CONFIG_HOME"); config.starts_with('/'))
    return Join(config, kProfileTail);
  if (std::string home = HomeFolder(); !home.empty()) return Join(home, ".config/" + kProfileTail);
  return {};
}

std::string DefaultDataFolder() {
  if (std::string data = Env("XDG_DATA_HOME"); data.starts_with('/')) return Join(data, kDataTail);
  if (std::string home = HomeFolder(); !home.empty()) return Join(home, ".local/share/" + kDataTail);
  return {};
}

}  // namespace corvina::platform
