#include "tests/qt/Desktop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QStackedWidget>

#include <filesystem>

#include "app/Engines.h"
#include "platform/Clock.h"

namespace corvina::qt::test {

using namespace std::chrono_literals;

std::string SaveScreenshot(const QImage& image, const std::string& name) {
  const std::string dir = std::string(CORVINA_BINARY_DIR) + "/screenshots";
  QDir().mkpath(QString::fromStdString(dir));
  const std::string path = dir + "/" + name + ".png";
  EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG")) << path;
  return path;
}

Desktop::Desktop(const std::string& profileLines, const std::string& settings, int port) : ownHost_(port == 0) {
  root_ = corvina::test::MakeTempDir();
  std::filesystem::create_directories(root_ + "/data");
  corvina::test::WriteFile(root_ + "/Corvina.ini", "[Configuration]\n" + settings);
  corvina::test::WriteFile(root_ + "/data/Test.tsp", "[Session Profile]\nName=Test\nHost=127.0.0.1," +
                                                         std::to_string(port ? port : server_.Port()) + "\n" + profileLines);
  settings_.SetPath(root_ + "/Corvina.ini");
  settings_.Load();
  app_ = std::make_unique<app::CCorvinaApp>(
      app::AppEnvironment{loop_, ui_, platform::SystemClock::Instance(), app::CreateEngine}, settings_);
  app::AppOptions options;
  options.dataFolder = root_ + "/data/";
  options.runtimeFolder = root_ + "/run/";
  EXPECT_TRUE(app_->Initialise(options));
  frame_ = std::make_unique<CMainFrame>(*app_, ui_);
  frame_->show();
}

Desktop::~Desktop() {
  if (app_) app_->CloseProgram(false);
  SpinFor(20ms);
  frame_.reset();
  app_.reset();
  SpinFor(10ms);
  std::filesystem::remove_all(root_);
}

bool Desktop::Start(unsigned kind) {
  session_ = app_->StartFromCommandLine("Test");
  if (!session_) return false;
  if (ownHost_ && !SpinUntil([&] { return server_.Accepted() == 1; }, 5s)) return false;
  if (ownHost_ && (kind & 0x10) != 0) {
    static constexpr char kPlain[] = "\xFF\xFD\x18\xFF\xFA\x18\x01\xFF\xF0"  // terminal type
                                     "\xFF\xFB\x19\xFF\xFD\x19"              // END-OF-RECORD
                                     "\xFF\xFB\x00\xFF\xFD\x00";             // BINARY
    server_.Send(std::string(kPlain, sizeof kPlain - 1));
  }
  const bool ok = SpinUntil([&] { return session_->Mode() == kind && session_->Engine() && frame_->ActiveView(); }, 5s);
  SpinFor(50ms);  // the frame fits the first screen
  TakeSent();
  return ok;
}

void Desktop::Record(const std::vector<std::uint8_t>& record) {
  std::string bytes;
  for (std::uint8_t b : record) {
    bytes += static_cast<char>(b);
    if (b == 0xFF) bytes += '\xFF';
  }
  server_.Send(bytes + "\xFF\xEF");
}

std::string Desktop::TakeSent() {
  const std::string& all = server_.Received();
  std::string fresh = all.substr(std::min(sentSeen_, all.size()));
  sentSeen_ = all.size();
  return fresh;
}

QSize Desktop::Client() const { return frame_->centralWidget()->size(); }

}  // namespace corvina::qt::test
