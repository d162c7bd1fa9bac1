// The session's key path: key events through the keyboard map, macros
// playing on the clock, recording, and what reaches the trace and the host.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "config/PersistentData.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/Macro.h"
#include "keyboard/StoreKinds.h"
#include "session/SessionTrace.h"

using namespace corvina;
using namespace corvina::test;

namespace {

namespace k3270 = kf::ibm3270;

KeyCode Key(std::string_view text) { return ParseKeyText(text).value(); }

// A session connected to a loopback server, with a store of its own.
struct KeySession {
  std::string dir = MakeTempDir() + "/";
  platform::IniFile appProfile;
  platform::RecordingUserInterface storeUi;
  CCorvinaPersistentData store{dir, appProfile, storeUi};
  TestFrame frame;
  LoopbackServer server{frame.loop};
  CHostSession* session = nullptr;

  explicit KeySession(unsigned kind, const std::string& mapName = {}) {
    RegisterKeyboardObjects(store);
    EXPECT_TRUE(store.LoadAll());
    frame.store = &store;
    auto profile = ProfileFor(server.Port(), kind);
    if (!mapName.empty()) profile->keyboardMapName = mapName;
    session = &frame.Start(profile);
    EXPECT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && session->State() == kSocketConnected; }));
    session->SetMode(kind);  // as if negotiated: keys go to the configured kind's engine
  }
  ~KeySession() { std::filesystem::remove_all(dir); }

  CCorvinaKeyboardMap& Map(const std::string& name) {
    return static_cast<CCorvinaKeyboardMap&>(*store.Find(ObjectKind::kKeyboardMap, name));
  }
  void AddMacro(const std::string& name, const std::string& text, unsigned type = kKind3278) {
    auto macro = std::make_shared<CCorvinaMacro>(name, type);
    macro->SetText(text);
    store.Add(macro, true);
  }
  bool Press(std::string_view key) {
    const KeyCode code = Key(key);
    return session->OnKeyEvent(code.virtualKey, code.modifiers);
  }
  std::vector<int>& Keys() { return frame.engineLog.keys; }
  void Tick() { session->OnTick(); }
};

struct TraceLog final : SessionTraceSink {
  std::vector<std::string> keystrokes;
  void Entry(const TraceSource&, std::span<const std::uint8_t>, char) override {}
  void Keystroke(const TraceSource&, int id, unsigned kind) override {
    keystrokes.push_back(CSessionTrace::KeystrokeText(id, kind));
  }
};

}  // namespace

TEST(KeyPath, BindingsReachTheEngineTheFrameOrAMacro) {
  KeySession k(kKind3279);
  EXPECT_TRUE(k.Press("Shift+F1"));
  EXPECT_TRUE(k.Press("RightCtrl"));
  EXPECT_FALSE(k.Press("A"));  // unbound: the front end types it
  k.session->TypeText("ab");
  EXPECT_EQ(k.Keys(), (std::vector<int>{k3270::kPF13, k3270::kEnter, 'a', 'b'}));

  // Held keys repeat only functions that do.
  k.Keys().clear();
  const KeyCode enter = Key("Enter"), tab = Key("Tab");
  EXPECT_TRUE(k.session->OnKeyEvent(enter.virtualKey, enter.modifiers, true));
  EXPECT_TRUE(k.session->OnKeyEvent(tab.virtualKey, tab.modifiers, true));
  EXPECT_EQ(k.Keys(), std::vector<int>{k3270::kTab});

  CCorvinaKeyboardMap& map = k.Map("3270 Default");
  map.AddBinding({'z', {}, Key("Alt+Z"), kBindCharacter}, false, false, nullptr);
  map.AddBinding({kf::kPlayMacro, "Nowhere", Key("Alt+Q"), kBindMacro}, false, false, nullptr);
  map.AddBinding({kf::kRunScript, "C:\\logon.txt", Key("Alt+W"), kBindScript}, false, false, nullptr);
  k.Keys().clear();
  EXPECT_TRUE(k.Press("Alt+Z"));
  EXPECT_TRUE(k.Press("Alt+F4"));
  EXPECT_TRUE(k.Press("Alt+W"));
  EXPECT_TRUE(k.Press("Alt+Q"));
  EXPECT_EQ(k.Keys(), std::vector<int>{'z'});
  EXPECT_EQ(k.frame.systemCommands, std::vector<int>{kf::sys::kHostExit});
  EXPECT_EQ(k.frame.scripts, std::vector<std::string>{"C:\\logon.txt"});
  EXPECT_TRUE(k.frame.HasBoxContaining("Macro 'Nowhere' not found"));

  // Mouse functions act on the clicked cell.
  EXPECT_TRUE(k.session->OnMouseEvent(kVkMouseLeft, 0, 5, 1));
  EXPECT_TRUE(k.session->OnMouseEvent(kVkMouseLeft, kModExtended, 7, 2));
  EXPECT_FALSE(k.session->OnMouseEvent(kVkMouseMiddle, 0, 0, 0));
  EXPECT_EQ(k.frame.engineLog.mouse,
            (std::vector<std::array<int, 3>>{{k3270::kCursorMove, 5, 1}, {k3270::kCursorSelect, 7, 2}}));

  // Before negotiation the line-mode engine gets the functions under their VT names.
  k.Keys().clear();
  k.session->SetMode(kKindLineMode);
  EXPECT_TRUE(k.Press("Enter"));
  EXPECT_TRUE(k.Press("Shift+F1"));  // PF13 has no VT namesake
  EXPECT_EQ(k.Keys(), std::vector<int>{kf::vt::kEnter});
}

TEST(KeyPath, TheProfilesMapIsLookedUpAtEveryKey) {
  KeySession k(kKind3279, "Mine");
  auto mine = std::make_shared<CCorvinaKeyboardMap>("Mine", kKind3278);
  mine->AddBinding({k3270::kEnter, {}, Key("F5"), kBindTerminal}, false, false, nullptr);
  k.store.Add(mine, true);
  EXPECT_TRUE(k.Press("F5"));
  EXPECT_FALSE(k.Press("F6"));
  // Replaced, then deleted: the session follows, down to the family's default.
  auto other = std::make_shared<CCorvinaKeyboardMap>("MINE", kKind3278);
  other->AddBinding({k3270::kClear, {}, Key("F5"), kBindTerminal}, false, false, nullptr);
  k.store.Add(other, true);
  EXPECT_TRUE(k.Press("F5"));
  ASSERT_TRUE(k.store.Delete(ObjectKind::kKeyboardMap, "Mine", false));
  EXPECT_TRUE(k.Press("F5"));
  ASSERT_TRUE(k.store.Delete(ObjectKind::kKeyboardMap, "3270 Default", false));
  EXPECT_TRUE(k.Press("F6"));  // the built-in layout
  EXPECT_EQ(k.Keys(), (std::vector<int>{k3270::kEnter, k3270::kClear, k3270::kPF5, k3270::kPF6}));
}

TEST(KeyPath, MacrosPlayOnTheClockAndStopWhenGoneOrInvalid) {
  KeySession k(kKind3279);
  k.AddMacro("Logon", "a<,,,>b<Enter>");
  ASSERT_TRUE(k.session->PlayMacro("LOGON"));
  EXPECT_EQ(k.Keys(), std::vector<int>{'a'});
  k.Tick();
  k.Tick();
  EXPECT_TRUE(k.session->MacroPlaying());
  EXPECT_EQ(k.Keys().size(), 1u);
  k.Tick();
  EXPECT_EQ(k.Keys(), (std::vector<int>{'a', 'b', k3270::kEnter}));
  EXPECT_FALSE(k.session->MacroPlaying());

  // Deleted or replaced while paused: it plays no further.
  k.Keys().clear();
  k.AddMacro("Slow", "x<,>y");
  k.AddMacro("Slower", "p<,>q");
  ASSERT_TRUE(k.session->PlayMacro("Slow"));
  ASSERT_TRUE(k.store.Delete(ObjectKind::kMacro, "Slow", false));
  k.Tick();
  ASSERT_TRUE(k.session->PlayMacro("Slower"));
  k.AddMacro("Slower", "r");
  k.Tick();
  EXPECT_EQ(k.Keys(), (std::vector<int>{'x', 'p'}));
  EXPECT_FALSE(k.session->MacroPlaying());

  // An invalid token stops playback; what it typed before stays typed.
  k.Keys().clear();
  k.AddMacro("Bad", "1<CursorMove 1919>2<CursorMove 1920>3");
  k.AddMacro("Pause", "4<,x>5");
  ASSERT_TRUE(k.session->PlayMacro("Bad"));
  ASSERT_TRUE(k.session->PlayMacro("Pause"));
  EXPECT_EQ(k.Keys(), (std::vector<int>{'1', kf::kCursorTo + 1919, '2', '4'}));
  EXPECT_TRUE(k.frame.HasBoxContaining("Invalid key name in macro: <CursorMove>"));
  EXPECT_TRUE(k.frame.HasBoxContaining("Invalid pause command in macro: <,x>"));
  EXPECT_EQ(k.store.RecentMacros().front(), "Pause");
}

TEST(KeyPath, RecordingTakesWhatTheSessionExecutesAndTheTraceSeesEveryKey) {
  KeySession k(kKind3279);
  TraceLog trace;
  k.session->SetTrace(&trace);
  k.session->StartRecording();
  EXPECT_TRUE(k.session->Recording());
  k.session->TypeText("A<");
  k.Press("F3");
  k.session->OnMouseEvent(kVkMouseLeft, 0, 5, 1);
  k.Press("Alt+2");  // a system command
  k.Tick();
  k.Tick();
  const auto macro = k.session->StopRecording();
  ASSERT_NE(macro, nullptr);
  EXPECT_EQ(macro->Text(), "A<<<PF3><CursorTo 85><HostSession2>");
  EXPECT_EQ(macro->TypeCode(), kKind3278);
  EXPECT_EQ(k.frame.recordingIndicator, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(trace.keystrokes, (std::vector<std::string>{"A", "<", "<PF3>", "<CursorTo 85>", "<HostSession2>"}));
  k.session->StartRecording();
  EXPECT_EQ(k.session->StopRecording(), nullptr);  // nothing recorded
}

TEST(KeyPath, ControlSequencesGoEscapedToVtHostsOnly) {
  KeySession vt(kKindVt100);
  auto macro = std::make_shared<CCorvinaMacro>("up", kKindVt100);
  macro->SetText("<^[[A0xff>");
  vt.session->PlayMacro(macro);
  ASSERT_TRUE(vt.frame.RunUntil([&] { return vt.server.Received().size() >= 5; }));
  EXPECT_EQ(vt.server.Received(), std::string("\x1b[A\xff\xff", 5));

  KeySession ibm(kKind3279);
  ibm.session->PlayMacro(macro);
  EXPECT_TRUE(ibm.frame.HasBoxContaining("Invalid key name in macro: <^[[A0xff>"));
  ibm.frame.loop.RunOnce(std::chrono::milliseconds(50));
  EXPECT_EQ(ibm.server.Received(), "");
}
