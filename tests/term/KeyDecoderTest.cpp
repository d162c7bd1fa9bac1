// The terminal's key sequences as the keyboard maps' key codes: checked
// against the sequences the xterm and tmux terminfo entries list, and
// against the byte streams of typing, mouse reports and pastes.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/term/KeyDecoder.h"

// Last: term.h defines a macro for every capability name.
#include <curses.h>
#include <term.h>

namespace corvina::term {
namespace {

struct Decoded {
  std::vector<TermInput> events;
  CKeyDecoder decoder{[this](const TermInput& in) { events.push_back(in); }};
  // Every event as text: key texts, "'c'" for a character without a PC key,
  // "mouse ..." and "paste ...".
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const TermInput& in : events) {
      if (in.kind == TermInput::kPaste) {
        out.push_back("paste " + in.paste);
      } else if (in.kind == TermInput::kMouse) {
        static const char* kActions[] = {"press", "release", "drag", "wheel-up", "wheel-down"};
        out.push_back(std::string("mouse ") + kActions[in.mouse.action] + " " + std::to_string(in.mouse.button) +
                      " " + std::to_string(in.mouse.column) + "," + std::to_string(in.mouse.row) +
                      (in.mouse.modifiers ? " mods " + std::to_string(in.mouse.modifiers) : ""));
      } else if (in.key.virtualKey == 0) {
        out.push_back("U+" + std::to_string(static_cast<unsigned>(in.character)));
      } else {
        out.push_back(FormatKeyText(in.key));
      }
    }
    return out;
  }
};

std::vector<std::string> Decode(const std::string& bytes, bool flush = true) {
  Decoded d;
  d.decoder.Feed(bytes);
  if (flush) d.decoder.Flush();
  return d.Texts();
}

using Texts = std::vector<std::string>;

// Capability names and the PC key each stands for.
struct Capability {
  std::string name, key;
};

std::vector<Capability> Capabilities() {
  std::vector<Capability> caps;
  // kf13-kf24 are Shift+F1-F12, then Ctrl, Shift+Ctrl, Alt, Shift+Alt.
  static const char* kFunctionMods[] = {"", "Shift+", "Ctrl+", "Shift+Ctrl+", "Alt+", "Shift+Alt+"};
  for (int i = 0; i < 63; ++i)
    caps.push_back({"kf" + std::to_string(i + 1), std::string(kFunctionMods[i / 12]) + "F" + std::to_string(i % 12 + 1)});
  const Capability plain[] = {
      {"kcuu1", "Up"},     {"kcud1", "Down"},    {"kcuf1", "Right"},   {"kcub1", "Left"},   {"khome", "Home"},
      {"kend", "End"},     {"kich1", "Ins"},     {"kdch1", "Del"},     {"kpp", "PageUp"},   {"knp", "PageDown"},
      {"kcbt", "Shift+Tab"}, {"kbs", "Bksp"},
      // The keypad in application mode.
      {"kent", "NumEnter"}, {"ka1", "Num7"},     {"ka3", "Num9"},      {"kc1", "Num1"},     {"kc3", "Num3"},
      {"kp5", "NumCenter"}, {"kpADD", "NumAdd"}, {"kpSUB", "Num-"},    {"kpMUL", "Num*"},   {"kpDIV", "Num/"},
      {"kpDOT", "Num."},   {"kpZRO", "Num0"},    {"kpCMA", "NumAdd"}};
  caps.insert(caps.end(), std::begin(plain), std::end(plain));
  // xterm's modifier forms: kUP is Shift+Up, kUP3 Alt, ... kUP7 Ctrl+Alt.
  static const char* kForms[] = {"Shift+", "Alt+", "Shift+Alt+", "Ctrl+", "Shift+Ctrl+", "Ctrl+Alt+"};
  static const std::pair<const char*, const char*> kKeys[] = {{"UP", "Up"},   {"DN", "Down"},  {"RIT", "Right"},
                                                              {"LFT", "Left"}, {"HOM", "Home"}, {"END", "End"},
                                                              {"IC", "Ins"},   {"DC", "Del"},   {"PRV", "PageUp"},
                                                              {"NXT", "PageDown"}};
  for (const auto& [cap, key] : kKeys)
    for (int m = 2; m <= 7; ++m)
      caps.push_back({std::string("k") + cap + (m == 2 ? "" : std::to_string(m)), std::string(kForms[m - 2]) + key});
  return caps;
}

class TerminfoKeys : public ::testing::TestWithParam<const char*> {};

TEST_P(TerminfoKeys, EveryListedKeyDecodesToItsPcKey) {
  const int fd = ::open("/dev/null", O_WRONLY);
  use_extended_names(TRUE);
  int status = 0;
  if (setupterm(GetParam(), fd, &status) != OK) GTEST_SKIP() << "no terminfo entry " << GetParam();
  int found = 0;
  for (const Capability& cap : Capabilities()) {
    char* value = tigetstr(const_cast<char*>(cap.name.c_str()));
    if (value == nullptr || value == reinterpret_cast<char*>(-1)) continue;
    ++found;
    EXPECT_EQ(Decode(value), Texts{cap.key}) << GetParam() << " " << cap.name;
  }
  // Both entries list F1-F63, the cursor keys and their modifier forms.
  EXPECT_GE(found, 100) << GetParam();
  del_curterm(cur_term);
  ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(XtermAndTmux, TerminfoKeys, ::testing::Values("xterm-256color", "tmux-256color", "xterm"));

TEST(KeyDecoder, OtherTerminalsFormsOfTheSameKeys) {
  // rxvt and the Linux console; SS3 with a modifier; modifyOtherKeys and CSI u.
  EXPECT_EQ(Decode("\x1b[11~\x1b[24~\x1b[25~\x1b[34~"), (Texts{"F1", "F12", "Shift+F1", "Shift+F8"}));
  EXPECT_EQ(Decode("\x1b[[A\x1b[[E"), (Texts{"F1", "F5"}));
  EXPECT_EQ(Decode("\x1b[a\x1bOb\x1b[2$\x1b[5^\x1b[3@"),
            (Texts{"Shift+Up", "Ctrl+Down", "Shift+Ins", "Ctrl+PageUp", "Shift+Ctrl+Del"}));
  EXPECT_EQ(Decode("\x1bO5A\x1bO2P"), (Texts{"Ctrl+Up", "Shift+F1"}));
  EXPECT_EQ(Decode("\x1b[27;5;9~\x1b[13;2u\x1b[97;5u"), (Texts{"Ctrl+Tab", "Shift+Enter", "Ctrl+A"}));
  EXPECT_EQ(Decode("\x1b\x1b[A\x1b\x1bOP"), (Texts{"Alt+Up", "Alt+F1"}));
}

TEST(KeyDecoder, TypingControlBytesAltAndEsc) {
  EXPECT_EQ(Decode("aA!\r\t\x7f\x08"), (Texts{"A", "Shift+A", "Shift+1", "Enter", "Tab", "Bksp", "Bksp"}));
  EXPECT_EQ(Decode(std::string("\x01\x03\x1d\x1c\x00", 5)), (Texts{"Ctrl+A", "Ctrl+C", "Ctrl+]", "Ctrl+\\", "Ctrl+Space"}));
  EXPECT_EQ(Decode("\x1bx\x1bX\x1b\r\x1b\x01"), (Texts{"Alt+X", "Shift+Alt+X", "Alt+Enter", "Ctrl+Alt+A"}));
  // A lone ESC waits for what follows; only Flush makes it the Esc key.
  Decoded d;
  d.decoder.Feed("\x1b");
  EXPECT_TRUE(d.events.empty());
  EXPECT_TRUE(d.decoder.Pending());
  d.decoder.Feed("[");
  d.decoder.Feed("1;5");
  d.decoder.Feed("C");
  EXPECT_EQ(d.Texts(), Texts{"Ctrl+Right"});
  d.decoder.Feed("\x1b");
  d.decoder.Flush();
  d.decoder.Feed("\x1b[");
  d.decoder.Flush();  // ESC [ alone is Alt+[
  EXPECT_EQ(d.Texts(), (Texts{"Ctrl+Right", "Esc", "Alt+["}));
  EXPECT_FALSE(d.decoder.Pending());
  // The characters keep what they type.
  Decoded c;
  c.decoder.Feed("a\x03");
  EXPECT_EQ(c.events[0].character, U'a');
  EXPECT_EQ(c.events[1].character, 3u);
}

TEST(KeyDecoder, Utf8InPiecesAndLatin1WhenNotUtf8) {
  Decoded d;
  d.decoder.Feed("\xC3");
  EXPECT_TRUE(d.events.empty());
  d.decoder.Feed("\xA9\xE2\x82");
  d.decoder.Feed("\xAC");
  ASSERT_EQ(d.events.size(), 2u);
  EXPECT_EQ(d.events[0].character, U'\u00E9');
  EXPECT_EQ(d.events[0].key.virtualKey, 0);
  EXPECT_EQ(d.events[1].character, U'\u20AC');
  // Bytes that are no UTF-8 are Latin-1 characters; nothing is lost.
  EXPECT_EQ(Decode("\xC3(\xE0\x80\x80\xFF"), (Texts{"U+195", "Shift+9", "U+224", "U+128", "U+128", "U+255"}));
  EXPECT_EQ(Decode("\x1b\xC3\xA9").size(), 1u);
}

TEST(KeyDecoder, MouseReportsInSgrAndX10Form) {
  EXPECT_EQ(Decode("\x1b[<0;10;5M\x1b[<32;11;5M\x1b[<0;11;5m\x1b[<2;1;1M\x1b[<20;3;4M"),
            (Texts{"mouse press 1 9,4", "mouse drag 1 10,4", "mouse release 1 10,4", "mouse press 2 0,0",
                   "mouse press 1 2,3 mods 6"}));
  EXPECT_EQ(Decode("\x1b[<64;5;5M\x1b[<65;5;5M\x1b[<35;5;5M\x1b[<66;5;5M"),
            (Texts{"mouse wheel-up 0 4,4", "mouse wheel-down 0 4,4"}));
  EXPECT_EQ(Decode("\x1b[M !!\x1b[M#!!"), (Texts{"mouse press 1 0,0", "mouse release 0 0,0"}));
  // Coordinates are clamped, however large the report.
  EXPECT_EQ(Decode("\x1b[<0;99999999;0M"), (Texts{"mouse press 1 9999,0"}));
}

TEST(KeyDecoder, BracketedPasteKeepsTextWhateverItHolds) {
  EXPECT_EQ(Decode("\x1b[200~ab\r\x1b[A\x1b[201~x"), (Texts{"paste ab\r\x1b[A", "X"}));
  Decoded d;
  d.decoder.Feed("\x1b[200~one\x1b[20");
  d.decoder.Feed("1");
  d.decoder.Flush();  // the marker is unfinished: the paste goes on
  EXPECT_TRUE(d.events.empty());
  d.decoder.Feed("~x");
  EXPECT_EQ(d.Texts(), (Texts{"paste one", "X"}));
}

// The terminal's answer to a clipboard request, in pieces, with BEL or ST;
// without a request ESC ] is Alt+].
TEST(KeyDecoder, TheTerminalsClipboardAnswerIsAPaste) {
  Decoded d;
  d.decoder.ExpectClipboardReply(true);
  d.decoder.Feed("\x1b]52;c;aGVsbG8K");
  d.decoder.Flush();  // the answer is unfinished: it goes on
  d.decoder.Feed("d29ybGQNCiE=\x1b");
  d.decoder.Feed("\\x");
  EXPECT_EQ(d.Texts(), (Texts{"paste hello\rworld\r!", "X"}));
  EXPECT_FALSE(d.decoder.ExpectsClipboardReply());
  d.events.clear();
  d.decoder.ExpectClipboardReply(true);
  d.decoder.Feed("\x1b]52;c;not base64!\ay\x1b]52;c;eA==\a");  // refused, then ESC ] no longer expected
  ASSERT_GE(d.Texts().size(), 3u);
  EXPECT_EQ(d.Texts()[0], "Y");
  EXPECT_EQ(d.Texts()[1], "Alt+]");
  for (const TermInput& in : d.events) EXPECT_NE(in.kind, TermInput::kPaste);
  d.events.clear();
  d.decoder.ExpectClipboardReply(true);
  d.decoder.Feed("\x1b]52;c;" + std::string(CKeyDecoder::kMaxPaste * 2, 'A') + "\az");  // bounded
  ASSERT_EQ(d.events.size(), 2u);
  EXPECT_EQ(d.events[0].paste.size(), CKeyDecoder::kMaxPaste);
  EXPECT_EQ(d.Texts()[1], "Z");
}

TEST(KeyDecoder, MalformedSequencesAreDroppedNotLooping) {
  // Endless parameters, a control byte inside, intermediates, unknown finals.
  EXPECT_EQ(Decode("\x1b[" + std::string(200, '1') + "A" + "b"), Texts{"B"});
  EXPECT_EQ(Decode("\x1b[1\rx"), (Texts{"Enter", "X"}));
  EXPECT_EQ(Decode("\x1b[1 q\x1b[?1;2c\x1b[Iz"), Texts{"Z"});
  EXPECT_EQ(Decode("\x1b[" + std::string(100, ' ') + "yz"), Texts{"Z"});
}

}  // namespace
}  // namespace corvina::term
