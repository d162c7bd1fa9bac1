#include "netutil/Settings.h"

namespace corvina::netutil {

namespace {

constexpr char kPing[] = "Ping";
constexpr char kMail[] = "CheckMail";
constexpr int kMaxMinutes = 100;

int InRange(long value, int low, int high, int def) {
  return value >= low && value <= high ? static_cast<int>(value) : def;
}

}  // namespace

bool CSondraSettings::Load(std::string* error) { return ini_.Load(error); }

bool CSondraSettings::Save(std::string* error) const {
  return ini_.Save(error, platform::FileMode::kOwnerOnly);
}

PingDefaults CSondraSettings::Ping() const {
  PingDefaults p;
  const PingSettings d;
  p.host = ini_.GetString(kPing, "Host");
  p.settings.packets =
      InRange(ini_.GetInt(kPing, "Packets", d.packets), PingSettings::kMinPackets, PingSettings::kMaxPackets, d.packets);
  p.settings.dataSize = InRange(ini_.GetInt(kPing, "DataSize", d.dataSize), PingSettings::kMinDataSize,
                                PingSettings::kMaxDataSize, d.dataSize);
  p.settings.timeoutSeconds = InRange(ini_.GetInt(kPing, "Timeout", d.timeoutSeconds), PingSettings::kMinTimeout,
                                      PingSettings::kMaxTimeout, d.timeoutSeconds);
  return p;
}

void CSondraSettings::SetPing(const PingDefaults& p) {
  ini_.SetString(kPing, "Host", p.host);
  ini_.SetInt(kPing, "Timeout", p.settings.timeoutSeconds);
  ini_.SetInt(kPing, "Packets", p.settings.packets);
  ini_.SetInt(kPing, "DataSize", p.settings.dataSize);
}

MailDefaults CSondraSettings::Mail() const {
  MailDefaults m;
  m.account.host = ini_.GetString(kMail, "Host");
  m.account.port = InRange(ini_.GetInt(kMail, "Port", 110), 1, 65535, 110);
  m.account.user = ini_.GetString(kMail, "User");
  m.minutes = InRange(ini_.GetInt(kMail, "Timer", 0), 0, kMaxMinutes, 0);
  m.savePassword = ini_.GetInt(kMail, "SavePassword", 0) != 0;
  if (m.savePassword) m.account.password = DecodePassword(ini_.GetString(kMail, "Password")).value_or("");
  return m;
}

void CSondraSettings::SetMail(const MailDefaults& m) {
  ini_.SetString(kMail, "Host", m.account.host);
  ini_.SetInt(kMail, "Port", m.account.port);
  ini_.SetString(kMail, "User", m.account.user);
  ini_.SetInt(kMail, "Timer", m.minutes);
  ini_.SetInt(kMail, "SavePassword", m.savePassword ? 1 : 0);
  if (m.savePassword)
    ini_.SetString(kMail, "Password", EncodePassword(m.account.password));
  else
    ini_.DeleteKey(kMail, "Password");
}

}  // namespace corvina::netutil
