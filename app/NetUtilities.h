// The network utilities library (libsondra.so), loaded at start-up. Without
// it the program runs on and the Internet menu is not offered.
#pragma once

#include <string>

#include "app/ToolDialogs.h"

namespace corvina::app {

// The library's settings file, Sondra.ini beside the application profile
// ("" when there is none): what a ToolHost's SettingsFile() gives.
inline std::string NetUtilitiesSettingsPath(const std::string& appProfilePath) {
  if (appProfilePath.empty()) return {};
  auto slash = appProfilePath.rfind('/');
  return (slash == std::string::npos ? std::string() : appProfilePath.substr(0, slash + 1)) + "Sondra.ini";
}

enum class NetTool { CheckMail, DnsLookup, Finger, Ping, Whois };

class CNetUtilities {
 public:
  // The library's entry points, by name.
  static constexpr const char* kEntryPoints[] = {"DoCheckMail", "DoDNSLookup", "DoFinger", "DoPing", "DoWhois"};
  // dlopen's name; the program's run path finds the built one.
  static constexpr char kLibraryName[] = "libsondra.so.1";

  CNetUtilities() = default;
  ~CNetUtilities();
  CNetUtilities(const CNetUtilities&) = delete;
  CNetUtilities& operator=(const CNetUtilities&) = delete;

  // Loads the library (a path, or kLibraryName; $CORVINA_SONDRA overrides
  // both) and finds its five entry points. False, with Error() telling
  // why, when it cannot.
  bool Load(const std::string& path = {});
  bool Available() const { return handle_ != nullptr; }
  // The message for a program that runs without the library.
  const std::string& Error() const { return error_; }

  // Opens the tool's dialog modeless (a second call raises it); the value
  // the library returns, or 0 when it is not loaded.
  int Open(NetTool tool, ToolHost& host);

 private:
  using EntryPoint = int (*)(int mode, void* owner);
  void* handle_ = nullptr;
  EntryPoint entries_[5] = {};
  std::string error_;
};

}  // namespace corvina::app
