// The desktop program in a test: the application on the Qt loop, its frame
// shown on the offscreen platform, and a loopback host that plays the host
// side (3270 negotiation, records) for the session it starts.
#pragma once

#include <memory>
#include <string>

#include "app/Application.h"
#include "app/qt/MainFrame.h"
#include "app/qt/QtEventLoop.h"
#include "app/qt/QtUserInterface.h"
#include "app/qt/TerminalView.h"
#include "platform/IniFile.h"
#include "tests/qt/QtSupport.h"
#include "tests/session/TestSupport.h"

namespace corvina::qt::test {

class Desktop {
 public:
  // The profile "Test" with these lines (TerminalType=..., FontOptions=...)
  // after its name and host; the settings file gets `settings` under
  // [Configuration]. With a port the session connects to that host (which
  // negotiates itself) instead of the loopback one.
  explicit Desktop(const std::string& profileLines, const std::string& settings = "Preferences=4\n", int port = 0);
  ~Desktop();

  // Starts the profile; true once the session runs an engine of the kind.
  bool Start(unsigned kind);
  // Bytes to the session as the host sends them; Record adds IAC EOR.
  void Send(const std::string& bytes) { server_.Send(bytes); }
  void Record(const std::vector<std::uint8_t>& record);
  // What the session sent since the last call.
  std::string TakeSent();

  CHostSession& Session() { return *session_; }
  CMainFrame& Frame() { return *frame_; }
  CCorvinaView& View() { return *frame_->ActiveView(); }
  QtUserInterface& Ui() { return ui_; }
  app::CCorvinaApp& App() { return *app_; }
  const std::string& Root() const { return root_; }
  // The view's screen area in pixels as the frame shows it.
  QSize Client() const;

 private:
  QtEventLoop loop_;
  QtUserInterface ui_{loop_};
  std::string root_;
  corvina::test::LoopbackServer server_{loop_};
  platform::IniFile settings_;
  std::unique_ptr<app::CCorvinaApp> app_;
  std::unique_ptr<CMainFrame> frame_;
  CHostSession* session_ = nullptr;
  std::size_t sentSeen_ = 0;
  bool ownHost_ = true;
};

}  // namespace corvina::qt::test
