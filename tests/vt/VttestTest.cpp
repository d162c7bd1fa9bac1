// vttest, served by telnetd behind socat on 127.0.0.1: every screen of its
// menus 1 (cursor movements), 2 (screen features) and 3 (character sets)
// as our engine shows it, against the references fed the same bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include "../session/TestSupport.h"
#include "References.h"
#include "keyboard/KeyFunctions.h"
#include "vt/VtEngine.h"

using namespace corvina;
using namespace corvina::test;

namespace {

// The VT engine, with every host byte it is given kept.
class RecordingVtEngine final : public TerminalEngine {
 public:
  explicit RecordingVtEngine(std::string& log) : log_(log) {}
  void Start(CHostSession& s) override {
    session_ = &s;
    inner_.Start(s);
  }
  void Stop() override { inner_.Stop(); }
  void ProcessRecord(std::span<const std::uint8_t> bytes) override {
    log_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    inner_.ProcessRecord(bytes);
  }
  void KeyFunction(int id) override { inner_.KeyFunction(id); }
  void TypeCharacter(int code) override { inner_.TypeCharacter(code); }
  int ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                  unsigned flags) override {
    return inner_.ExtractText(position, count, out, attributes, flags);
  }
  const vt::CVtTerminal& Terminal() const { return inner_.Terminal(); }

 private:
  std::string& log_;
  CVtEngine inner_;
};

bool Installed(const char* path) { return ::access(path, X_OK) == 0; }

struct Shot {
  Snapshot ours;
  std::size_t streamLength;
};

}  // namespace

TEST(Vttest, MenusOneToThreeMatchTheReferences) {
  if (!Installed("/usr/bin/vttest") || !Installed("/usr/sbin/telnetd") || !Installed("/usr/bin/socat"))
    GTEST_SKIP() << "vttest, inetutils-telnetd and socat are needed";
  const int port = FreePort();
  ChildProcess socat({"socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                      "EXEC:/usr/sbin/telnetd -h -E /usr/bin/vttest,nofork"});
  ASSERT_TRUE(WaitForListener(port)) << "socat did not start";

  std::string stream;
  RecordingVtEngine* engine = nullptr;
  TestFrame frame;
  frame.engines = [&](unsigned) {
    auto e = std::make_unique<RecordingVtEngine>(stream);
    engine = e.get();
    return e;
  };
  auto& session = frame.Start(ProfileFor(port, kKindVt100));
  auto screenHas = [&](const std::string& text) {
    for (const std::string& row : session.ScreenRows())
      if (row.find(text) != std::string::npos) return true;
    return false;
  };
  // Waits for new host output, then until the host has been quiet for a
  // while with a prompt showing.
  auto settle = [&](std::size_t since) {
    if (!frame.RunUntil([&] { return stream.size() > since; }, 15000)) return false;
    std::size_t seen = stream.size();
    int quietMs = 0;
    for (int waited = 0; waited < 15000; waited += 50) {
      frame.RunUntil([] { return false; }, 50);
      if (stream.size() != seen) {
        seen = stream.size();
        quietMs = 0;
        continue;
      }
      quietMs += 50;
      // A menu takes its time to start: its prompt must stay a while.
      if (quietMs >= 300 && screenHas("Push <RETURN>")) return true;
      if (quietMs >= 2000 && screenHas("Enter choice number")) return true;
    }
    return false;
  };
  ASSERT_TRUE(settle(0)) << "no vttest menu";
  std::vector<Shot> shots;
  for (char menu : {'1', '2', '3'}) {
    // vttest's answers end with LF: after one of its raw-mode screens
    // telnetd hands the NUL of a Return's CR NUL on to it as input.
    std::size_t before = stream.size();
    session.OnCharacter(menu);
    session.OnKeyFunction(kf::vt::kLineFeed);
    for (int screen = 1; screen <= 40; ++screen) {
      ASSERT_TRUE(settle(before)) << "menu " << menu << " screen " << screen << " did not settle";
      if (screenHas("Enter choice number") && !screenHas("Push <RETURN>")) break;
      before = stream.size();
      shots.push_back({OurSnapshot(engine->Terminal(), std::string("vttest-") + menu + "-" + std::to_string(screen)),
                       stream.size()});
      session.OnKeyFunction(kf::vt::kLineFeed);
    }
  }
  ASSERT_GE(shots.size(), 10u);

  std::vector<Stream> prefixes;
  for (const Shot& s : shots) prefixes.push_back({s.ours.name, stream.substr(0, s.streamLength)});
  std::string why;
  auto xterm = RunXterm(prefixes, 24, 80, &why);
  if (!xterm) GTEST_SKIP() << why;
  const AllowList allow = AllowList::Load(CORVINA_SOURCE_DIR "/tests/vt/differential-allow.txt");
  for (std::size_t i = 0; i < shots.size(); ++i) {
    const Snapshot vterm = RunLibvterm(prefixes[i], 24, 80);
    std::string report;
    int shown = 0;
    for (const Difference& d : Compare(shots[i].ours, vterm, (*xterm)[i])) {
      if (allow.Allows(d)) continue;
      if (shown++ < 8)
        report += d.aspect + " at " + std::to_string(d.row) + "," + std::to_string(d.column) + ": " + d.detail + "\n";
    }
    EXPECT_EQ(shown, 0) << shots[i].ours.name << ": " << shown << " differences\n"
                        << report << "ours:\n" << shots[i].ours.Text() << "libvterm:\n" << vterm.Text();
  }
}
