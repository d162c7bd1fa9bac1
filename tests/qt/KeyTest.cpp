// Qt key events as PC keys, and what they do through the session's map.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QShortcut>
#include <QTest>

#include "app/qt/KeyTranslation.h"
#include "keyboard/KeyText.h"
#include "tests/ibm3270/Support3270.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kNumLockState = 0x10, kLevel3State = 0x80;

// An X11 key event: the key code (Linux input code + 8) and modifier state.
QKeyEvent Native(QEvent::Type type, int qtKey, Qt::KeyboardModifiers m, unsigned keyCode, unsigned state,
                 const QString& text = {}) {
  return QKeyEvent(type, qtKey, m, keyCode, 0, state, text);
}

TranslatedKey Translate(const QKeyEvent& e) {
  const auto k = TranslateKey(e);
  EXPECT_TRUE(k.has_value());
  return k.value_or(TranslatedKey{});
}

TEST(KeyTranslation, LeftAndRightCtrlKeypadAndNumLockFromTheNativeKeyCode) {
  TranslatedKey k = Translate(Native(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 37, 0));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "LeftCtrl");
  EXPECT_TRUE(k.modifierKey);
  k = Translate(Native(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, 0));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "RightCtrl");
  k = Translate(Native(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, 104, 0));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "NumEnter");
  // Keypad 7: a digit with NumLock, Home of the keypad without.
  k = Translate(Native(QEvent::KeyPress, Qt::Key_7, Qt::KeypadModifier, 79, kNumLockState, "7"));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "Num7");
  k = Translate(Native(QEvent::KeyPress, Qt::Key_Home, Qt::KeypadModifier, 79, 0));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "NumHome");
  // The grey Home key is extended.
  k = Translate(Native(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier, 110, kNumLockState));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "Home");
  // The key's place, not the layout's letter: the US Z key on a German layout.
  k = Translate(Native(QEvent::KeyPress, Qt::Key_Y, Qt::ControlModifier, 52, 0x4, "\x19"));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "Ctrl+Z");
}

TEST(KeyTranslation, AltGrTypesItsCharacterInsteadOfCtrlAlt) {
  // AltGr+Q on a German layout types "@"; Qt may report Ctrl and Alt with it.
  const TranslatedKey k = Translate(Native(QEvent::KeyPress, Qt::Key_At, Qt::ControlModifier | Qt::AltModifier, 24,
                                           kLevel3State, "@"));
  EXPECT_TRUE(k.altGr);
  EXPECT_EQ(k.modifiers & (kModCtrl | kModAlt), 0);
  EXPECT_TRUE(Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_AltGr, Qt::GroupSwitchModifier)).altGr);
}

TEST(KeyTranslation, SyntheticEventsFallBackToTheQtKey) {
  TranslatedKey k = Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier));
  EXPECT_EQ(k.virtualKey, 0x0D);
  EXPECT_EQ(k.modifiers, kModExtended);
  k = Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::KeypadModifier, "7"));
  EXPECT_EQ(k.virtualKey, 0x67);
  k = Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::ShiftModifier));
  EXPECT_EQ(FormatKeyText({static_cast<std::uint16_t>(k.virtualKey), static_cast<std::uint8_t>(k.modifiers)}), "Shift+Tab");
  k = Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier));
  EXPECT_EQ(k.virtualKey, 0x72);
  EXPECT_FALSE(TranslateKey(QKeyEvent(QEvent::KeyPress, Qt::Key_Launch0, Qt::NoModifier)).has_value());
}

class KeysInAView : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(d.Start(kKind3279));
    corvina::test::HostRecord r = corvina::test::HostRecord::EraseWrite(corvina::test::kWccRestore);
    r.Sba(0).Sf(corvina::test::kProtected).Text("Userid").Sf(corvina::test::kUnprotected).Ic();
    r.Sba(40).Sf(corvina::test::kProtected);
    d.Record(r);
    ASSERT_TRUE(SpinUntil([&] { return d.Session().Cursor() == 8; }, 5s));
    d.View().setFocus();
  }
  void Press(int qtKey, Qt::KeyboardModifiers m, unsigned keyCode, unsigned state = 0) {
    QKeyEvent down = Native(QEvent::KeyPress, qtKey, m, keyCode, state);
    QApplication::sendEvent(&d.View(), &down);
    QKeyEvent up = Native(QEvent::KeyRelease, qtKey, m, keyCode, state);
    QApplication::sendEvent(&d.View(), &up);
  }
  std::string WaitSent() {
    std::string sent;
    SpinUntil([&] { return !(sent += d.TakeSent()).empty(); }, 2s);
    return sent;
  }
  Desktop d{"TerminalType=3279,24,80,IBM-3279-2-E\n"};
};

TEST_F(KeysInAView, UnboundKeysTypeTheirTextAndRightCtrlAndKeypadEnterSendEnter) {
  QTest::keyClicks(&d.View(), "demo");
  ASSERT_TRUE(SpinUntil([&] { return d.Session().Cursor() == 12; }, 2s));
  Press(Qt::Key_Control, Qt::ControlModifier, 105);  // right Ctrl
  std::string sent = WaitSent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(static_cast<unsigned char>(sent[0]), 0x7D) << corvina::test::Hex(sent);  // the Enter AID
  EXPECT_NE(sent.find("\x84\x85\x94\x96"), std::string::npos);  // "demo" in EBCDIC
  d.Record(corvina::test::HostRecord::Write(corvina::test::kWccRestore));
  ASSERT_TRUE(SpinUntil([&] { return d.Session().LockReason() == 0; }, 2s));
  Press(Qt::Key_Enter, Qt::KeypadModifier, 104);  // keypad Enter
  sent = WaitSent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(static_cast<unsigned char>(sent[0]), 0x7D);
}

TEST_F(KeysInAView, LeftCtrlResetsAndCtrlWithAKeyDoesNot) {
  d.Session().SetLockReason(6);  // as typing into a protected field does
  // Ctrl held for Ctrl+C is no Reset.
  QKeyEvent ctrl = Native(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 37, 0);
  QApplication::sendEvent(&d.View(), &ctrl);
  QKeyEvent c = Native(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, 54, 0x4, "\x03");
  QApplication::sendEvent(&d.View(), &c);
  QKeyEvent ctrlUp = Native(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier, 37, 0x4);
  QApplication::sendEvent(&d.View(), &ctrlUp);
  EXPECT_EQ(d.Session().LockReason(), 6);
  Press(Qt::Key_Control, Qt::ControlModifier, 37);  // left Ctrl alone: Reset
  EXPECT_EQ(d.Session().LockReason(), 0);
}

TEST_F(KeysInAView, NoQtShortcutTakesAKeyTheMapBinds) {
  int fired = 0;
  auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+A")), &d.Frame());
  QObject::connect(shortcut, &QShortcut::activated, [&] { ++fired; });
  QTest::keyClick(&d.View(), Qt::Key_A, Qt::ControlModifier);  // the map: Select All
  SpinFor(20ms);
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(d.Session().SelectionActive());
  // Tab moves to the next field, not the focus to the next widget.
  QTest::keyClick(&d.View(), Qt::Key_Tab);
  EXPECT_TRUE(d.View().hasFocus());
}

}  // namespace
}  // namespace corvina::qt::test
