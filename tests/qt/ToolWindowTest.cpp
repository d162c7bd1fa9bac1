// The network utilities' dialogs as the desktop draws them: libsondra loaded
// as the program loads it, each tool opened through the Qt tool host.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QWidget>

#include <filesystem>

#include "app/NetUtilities.h"
#include "app/qt/QtEventLoop.h"
#include "app/qt/QtUserInterface.h"
#include "app/qt/ToolWindow.h"
#include "tests/qt/QtSupport.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;

QDialog* OpenToolWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

TEST(ToolWindows, EveryNetworkToolOpensItsDialogFromTheLoadedLibrary) {
  QtEventLoop loop;
  QtUserInterface ui(loop);
  QWidget parent;
  const std::string folder = std::filesystem::temp_directory_path() / ("corvina-tools-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  QtToolHost host(ui, folder + "/Sondra.ini", &parent);
  app::CNetUtilities tools;
  ASSERT_TRUE(tools.Load()) << tools.Error() << " (the run path should find the built library)";
  const struct {
    app::NetTool tool;
    const char* title;
    const char* picture;
  } kTools[] = {{app::NetTool::CheckMail, "Check Mail", "netutil-checkmail"},
                {app::NetTool::DnsLookup, "DNS Lookup", "netutil-dns"},
                {app::NetTool::Finger, "Finger", "netutil-finger"},
                {app::NetTool::Ping, "Ping", "netutil-ping"},
                {app::NetTool::Whois, "Whois", "netutil-whois"}};
  for (const auto& t : kTools) {
    EXPECT_NE(tools.Open(t.tool, host), 0) << t.title;
    ASSERT_TRUE(SpinUntil([] { return OpenToolWindow() != nullptr; }, 5s)) << t.title;
    QDialog* window = OpenToolWindow();
    EXPECT_TRUE(window->windowTitle().startsWith(QString::fromLatin1(t.title))) << window->windowTitle().toStdString();
    SpinFor(50ms);
    SaveScreenshot(window->grab().toImage(), t.picture);
    window->close();
    ASSERT_TRUE(SpinUntil([] { return OpenToolWindow() == nullptr; }, 5s)) << t.title;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace corvina::qt::test
