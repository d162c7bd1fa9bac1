// The library's own settings: Sondra.ini beside the application profile
// (Orvex/Sondra.ini), mode 0600 because it may hold the saved mail password,
// written atomically.
#pragma once

#include <string>

#include "netutil/Ping.h"
#include "netutil/Pop3.h"
#include "platform/IniFile.h"

namespace corvina::netutil {

struct PingDefaults {
  std::string host;
  PingSettings settings;
};

struct MailDefaults {
  MailAccount account;  // the password only when it is saved
  int minutes = 0;      // 0 to 100
  bool savePassword = false;
};

class CSondraSettings {
 public:
  explicit CSondraSettings(std::string path) : ini_(std::move(path)) {}
  // A missing file gives the defaults; an unreadable one too, with *error.
  bool Load(std::string* error = nullptr);
  bool Save(std::string* error = nullptr) const;

  // Values out of range read as their defaults.
  PingDefaults Ping() const;
  void SetPing(const PingDefaults& p);
  MailDefaults Mail() const;
  // The password is stored, encoded, only with savePassword; otherwise any
  // stored one is removed.
  void SetMail(const MailDefaults& m);

 private:
  platform::IniFile ini_;
};

}  // namespace corvina::netutil
