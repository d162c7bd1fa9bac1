// The five tool dialogs: their forms, the checks of their fields, and the
// clients they drive. One open dialog per tool.
#include <array>
#include <memory>
#include <optional>

#include "app/ToolDialogs.h"
#include "netutil/DnsLookup.h"
#include "netutil/Fields.h"
#include "netutil/NetTexts.h"
#include "netutil/Ping.h"
#include "netutil/Pop3.h"
#include "netutil/Settings.h"
#include "netutil/Sondra.h"
#include "netutil/TextQuery.h"
#include "platform/EventLoop.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"

namespace corvina::netutil {

namespace {

using app::ToolField;
using app::ToolFieldKind;
using app::ToolForm;
using platform::Format;

constexpr char kWhoisServer[] = "whois.iana.org";
constexpr int kMaxMailMinutes = 100;

enum Tool { kCheckMail, kDnsLookup, kFinger, kPing, kWhois, kToolCount };

// Forwards the clients' output to the dialog once it exists.
class WindowOutput final : public OutputSink {
 public:
  app::ToolWindow* window = nullptr;
  void Append(std::string_view text) override {
    if (window) window->AppendOutput(text);
  }
  void Clear() override {
    if (window) window->ClearOutput();
  }
};

class CToolDialog;
std::array<CToolDialog*, kToolCount> gOpen{};

class CToolDialog : public app::ToolWindowEvents {
 public:
  CToolDialog(app::ToolHost& host, Tool tool, const char* title)
      : host_(host), tool_(tool), title_(Format(title, texts::kProduct)) {}
  virtual ToolForm Form() const = 0;
  app::ToolWindow* Window() const { return out_.window; }

  void Opened(app::ToolWindow& window) override {
    out_.window = &window;
    settings_.Load();
    OnOpened();
  }
  void Closed() override {
    OnClosed();
    out_.window = nullptr;
    if (gOpen[tool_] == this) gOpen[tool_] = nullptr;
    // Inside the dialog's own call: destroyed on a later turn.
    host_.Loop().DeleteLater(std::unique_ptr<CToolDialog>(this));
  }

 protected:
  virtual void OnOpened() {}
  virtual void OnClosed() {}

  void Box(const std::string& text) {
    host_.Ui().MessageBox(text, title_, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
  }
  std::string Field(int id) const { return Window()->Text(id); }
  // Empty fields and fields with control characters are refused, with the
  // focus to the field.
  bool Required(int id, const char* emptyMessage, const char* what) {
    const std::string text = Field(id);
    if (text.empty() || HasControlCharacters(text)) {
      Box(text.empty() ? std::string(emptyMessage) : Format(texts::kControlCharacters, what));
      Window()->Focus(id);
      return false;
    }
    return true;
  }
  std::optional<int> Number(int id, long low, long high, const char* what) {
    const std::string text = Field(id);
    long value = -1;
    if (!text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos)
      value = std::stol(text);
    if (value < low || value > high) {
      Box(Format(texts::kNumberRange, low, high, what));
      Window()->Focus(id);
      return std::nullopt;
    }
    return static_cast<int>(value);
  }
  void SaveSettings() {
    std::string error;
    if (!settings_.Save(&error)) Box(error);
  }

  app::ToolHost& host_;
  Tool tool_;
  std::string title_;
  WindowOutput out_;
  CSondraSettings settings_{host_.SettingsFile()};
};

// Finger and whois: two fields and one button.
class CQueryDialog final : public CToolDialog {
 public:
  enum { kFirst = 1, kSecond = 2, kGo = 1 };
  CQueryDialog(app::ToolHost& host, bool finger)
      : CToolDialog(host, finger ? kFinger : kWhois, finger ? texts::kFingerTitle : texts::kWhoisTitle),
        finger_(finger),
        query_(finger ? CTextQuery::Kind::Finger : CTextQuery::Kind::Whois, host.Loop(), out_) {
    query_.onFinished = [this] {
      if (Window()) Window()->EnableButton(kGo, true);
    };
  }
  ToolForm Form() const override {
    if (finger_)
      return {title_, 834, {{kFirst, ToolFieldKind::Text, "User", "", "", 0, 0},
                            {kSecond, ToolFieldKind::Text, "Host", "", "", 0, 0}},
              {{kGo, "Finger", true}}};
    return {title_, 836, {{kFirst, ToolFieldKind::Text, "Host Name or IP Address", "", kWhoisServer, 0, 0},
                          {kSecond, ToolFieldKind::Text, "User", "", "", 0, 0}},
            {{kGo, "Start", true}}};
  }
  void Pressed(int button) override {
    if (button != kGo) return;
    const int hostField = finger_ ? kSecond : kFirst, userField = finger_ ? kFirst : kSecond;
    if (!Required(hostField, texts::kEnterHost, "host name")) return;
    if (!Required(userField, texts::kEnterUser, "user name")) return;
    Window()->EnableButton(kGo, false);
    query_.Start(Field(hostField), Field(userField));
  }

 private:
  void OnClosed() override { query_.Stop(); }
  bool finger_;
  CTextQuery query_;
};

class CDnsDialog final : public CToolDialog {
 public:
  enum { kName = 1, kLookup = 1 };
  explicit CDnsDialog(app::ToolHost& host) : CToolDialog(host, kDnsLookup, texts::kDnsTitle), lookup_(host.Loop(), out_) {
    lookup_.onFinished = [this] {
      if (Window()) Window()->EnableButton(kLookup, true);
    };
  }
  ToolForm Form() const override {
    return {title_, 835, {{kName, ToolFieldKind::Text, "Host Name", "", "", 0, 0}}, {{kLookup, "&Lookup", true}}};
  }
  void Pressed(int button) override {
    if (button != kLookup || !Required(kName, texts::kEnterHostName, "host name")) return;
    Window()->EnableButton(kLookup, false);
    lookup_.Start(Field(kName));
  }

 private:
  void OnOpened() override { out_.Append(SocketsDescription()); }
  CDnsLookup lookup_;
};

class CPingDialog final : public CToolDialog {
 public:
  enum { kHost = 1, kPackets, kDataSize, kTimeout };
  enum { kStart = 1, kStop };
  explicit CPingDialog(app::ToolHost& host) : CToolDialog(host, kPing, texts::kPingTitle), pinger_(host.Loop(), out_) {
    pinger_.onFinished = [this] { Buttons(false); };
  }
  ToolForm Form() const override {
    return {title_,
            833,
            {{kHost, ToolFieldKind::Text, "Host Name or IP Address", "", "", 0, 0},
             {kPackets, ToolFieldKind::Number, "Packets:", "", "", PingSettings::kMinPackets, PingSettings::kMaxPackets},
             {kDataSize, ToolFieldKind::Number, "Data Size:", "", "", PingSettings::kMinDataSize,
              PingSettings::kMaxDataSize},
             {kTimeout, ToolFieldKind::Number, "Timeout:", "", "", PingSettings::kMinTimeout,
              PingSettings::kMaxTimeout}},
            {{kStart, "Start", true}, {kStop, "Stop", false}}};
  }
  void Pressed(int button) override {
    if (button == kStop) {
      pinger_.Stop();
      return;
    }
    if (button != kStart || !ReadFields()) return;
    if (!Required(kHost, texts::kEnterHost, "host name")) return;
    Buttons(true);
    pinger_.Start(saved_.host, saved_.settings);
  }

 private:
  void Buttons(bool running) {
    if (!Window()) return;
    Window()->EnableButton(kStart, !running);
    Window()->EnableButton(kStop, running);
  }
  bool ReadFields() {
    auto packets = Number(kPackets, PingSettings::kMinPackets, PingSettings::kMaxPackets, "Packets");
    if (!packets) return false;
    auto size = Number(kDataSize, PingSettings::kMinDataSize, PingSettings::kMaxDataSize, "Data Size");
    if (!size) return false;
    auto timeout = Number(kTimeout, PingSettings::kMinTimeout, PingSettings::kMaxTimeout, "Timeout");
    if (!timeout) return false;
    saved_ = {Field(kHost), {*packets, *size, *timeout}};
    return true;
  }
  void OnOpened() override {
    saved_ = settings_.Ping();
    Window()->SetText(kHost, saved_.host);
    Window()->SetText(kPackets, std::to_string(saved_.settings.packets));
    Window()->SetText(kDataSize, std::to_string(saved_.settings.dataSize));
    Window()->SetText(kTimeout, std::to_string(saved_.settings.timeoutSeconds));
    out_.Append(SocketsDescription());
  }
  void OnClosed() override {
    pinger_.onFinished = nullptr;
    pinger_.Stop();
    // The last values the dialog took, with the host as it stands.
    const std::string host = Field(kHost);
    if (!HasControlCharacters(host)) saved_.host = host;
    settings_.SetPing(saved_);
    SaveSettings();
  }
  CPinger pinger_;
  PingDefaults saved_;
};

class CMailDialog final : public CToolDialog {
 public:
  enum { kHost = 1, kUser, kPassword, kSavePassword, kMinutes };
  enum { kStart = 1, kStop, kExit };
  explicit CMailDialog(app::ToolHost& host)
      : CToolDialog(host, kCheckMail, texts::kCheckMailTitle), checker_(host.Loop(), out_, host.Ui(), title_) {
    checker_.onStateChanged = [this] {
      if (!Window()) return;
      const bool idle = checker_.GetState() == CMailChecker::State::Idle;
      Window()->EnableButton(kStart, idle);
      Window()->EnableButton(kStop, !idle);
    };
  }
  ToolForm Form() const override {
    return {title_,
            831,
            {{kHost, ToolFieldKind::Text, "POP3 Host Name or IP Address", "", "", 0, 0},
             {kUser, ToolFieldKind::Text, "User", "", "", 0, 0},
             {kPassword, ToolFieldKind::Password, "Password", "", "", 0, 0},
             {kSavePassword, ToolFieldKind::Check, "Save Password", "", "0", 0, 1},
             {kMinutes, ToolFieldKind::Number, "Check for new mail every ", "minutes.", "0", 0, kMaxMailMinutes}},
            {{kStart, "Start", true}, {kStop, "Stop", false}, {kExit, "Exit", true}}};
  }
  void Pressed(int button) override {
    if (button == kStop) {
      checker_.Stop();
    } else if (button == kExit) {
      Window()->Close();
    } else if (button == kStart) {
      auto minutes = Number(kMinutes, 0, kMaxMailMinutes, "minutes");
      if (!minutes || !Required(kHost, texts::kEnterPop3Host, "host name") ||
          !Required(kUser, texts::kEnterPop3User, "user name") ||
          !Required(kPassword, texts::kEnterPassword, "password"))
        return;
      ReadFields(*minutes);
      checker_.Start(saved_.account, saved_.minutes);
    }
  }

 private:
  void ReadFields(int minutes) {
    saved_.account.host = Field(kHost);
    saved_.account.user = Field(kUser);
    saved_.account.password = Field(kPassword);
    saved_.savePassword = Field(kSavePassword) == "1";
    saved_.minutes = minutes;
  }
  void OnOpened() override {
    saved_ = settings_.Mail();
    Window()->SetText(kHost, saved_.account.host);
    Window()->SetText(kUser, saved_.account.user);
    Window()->SetText(kPassword, saved_.account.password);
    Window()->SetText(kSavePassword, saved_.savePassword ? "1" : "0");
    Window()->SetText(kMinutes, std::to_string(saved_.minutes));
  }
  void OnClosed() override {
    checker_.onStateChanged = nullptr;
    checker_.Stop();
    // What the fields hold now, when it can be stored; else what was last taken.
    const std::string minutes = Field(kMinutes);
    const bool storable = !HasControlCharacters(Field(kHost)) && !HasControlCharacters(Field(kUser)) &&
                          !HasControlCharacters(Field(kPassword));
    if (storable) {
      int value = saved_.minutes;
      if (!minutes.empty() && minutes.size() <= 3 && minutes.find_first_not_of("0123456789") == std::string::npos &&
          std::stoi(minutes) <= kMaxMailMinutes)
        value = std::stoi(minutes);
      ReadFields(value);
    }
    settings_.SetMail(saved_);
    SaveSettings();
  }
  CMailChecker checker_;
  MailDefaults saved_;
};

template <class Make>
int Run(Tool tool, int mode, void* owner, Make make) {
  auto* host = static_cast<app::ToolHost*>(owner);
  if (host == nullptr) return 0;
  if (mode == 0 && gOpen[tool] != nullptr && gOpen[tool]->Window() != nullptr) {
    gOpen[tool]->Window()->Raise();
    return 1;
  }
  CToolDialog* dialog = make(*host);
  if (mode == 0) gOpen[tool] = dialog;
  const ToolForm form = dialog->Form();
  const int result = host->Show(form, *dialog, mode != 0);
  // A dialog the program could not show is never closed either.
  if (mode == 0 && dialog->Window() == nullptr && gOpen[tool] == dialog) {
    gOpen[tool] = nullptr;
    delete dialog;
    return 0;
  }
  return mode == 0 ? 1 : result;
}

}  // namespace

}  // namespace corvina::netutil

using namespace corvina::netutil;

extern "C" {

int DoCheckMail(int mode, void* owner) {
  return Run(kCheckMail, mode, owner, [](corvina::app::ToolHost& h) { return new CMailDialog(h); });
}
int DoDNSLookup(int mode, void* owner) {
  return Run(kDnsLookup, mode, owner, [](corvina::app::ToolHost& h) { return new CDnsDialog(h); });
}
int DoFinger(int mode, void* owner) {
  return Run(kFinger, mode, owner, [](corvina::app::ToolHost& h) { return new CQueryDialog(h, true); });
}
int DoPing(int mode, void* owner) {
  return Run(kPing, mode, owner, [](corvina::app::ToolHost& h) { return new CPingDialog(h); });
}
int DoWhois(int mode, void* owner) {
  return Run(kWhois, mode, owner, [](corvina::app::ToolHost& h) { return new CQueryDialog(h, false); });
}

}  // extern "C"
