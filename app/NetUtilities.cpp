#include "app/NetUtilities.h"

#include <dlfcn.h>

#include <cstdlib>

#include "app/AppTexts.h"
#include "platform/Format.h"

namespace corvina::app {

// The library stays loaded: its dialogs may still have tasks and timers on
// the event loop, whose code must outlive them.
CNetUtilities::~CNetUtilities() = default;

bool CNetUtilities::Load(const std::string& path) {
  if (handle_ != nullptr) return true;
  std::string name = path.empty() ? kLibraryName : path;
  if (const char* forced = std::getenv("CORVINA_SONDRA"); forced != nullptr && forced[0] != '\0') name = forced;
  void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    error_ = platform::Format(texts::kNetUtilitiesMissing, why ? why : name.c_str());
    return false;
  }
  for (std::size_t i = 0; i < std::size(kEntryPoints); ++i) {
    entries_[i] = reinterpret_cast<EntryPoint>(::dlsym(handle, kEntryPoints[i]));
    if (entries_[i] == nullptr) {
      error_ = platform::Format(texts::kNetUtilitiesMissing,
                                platform::Format(texts::kNetUtilitiesNoEntry, kEntryPoints[i]).c_str());
      ::dlclose(handle);
      return false;
    }
  }
  handle_ = handle;
  error_.clear();
  return true;
}

int CNetUtilities::Open(NetTool tool, ToolHost& host) {
  if (handle_ == nullptr) return 0;
  return entries_[static_cast<int>(tool)](0, &host);
}

}  // namespace corvina::app
