// The terminal view's pieces: what a screen update costs in bytes on the
// terminal, the colours chosen, the command line and the program's options.
#include <curses.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "../ibm3270/Support3270.h"
#include "app/term/TermCanvas.h"
#include "app/term/TermCommands.h"
#include "app/term/TermOptions.h"

namespace corvina::term {
namespace {

using test::HostRecord;

long FileSize(FILE* f) {
  fflush(f);
  struct stat st {};
  return ::fstat(fileno(f), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// A curses screen of 24 x 80 writing into a file.
class FileTerminal {
 public:
  FileTerminal() {
    ::setenv("LINES", "24", 1);
    ::setenv("COLUMNS", "80", 1);
    out_ = std::tmpfile();
    in_ = std::fopen("/dev/null", "r");
    screen_ = newterm("xterm-256color", out_, in_);
    if (screen_) start_color();
  }
  ~FileTerminal() {
    if (screen_) {
      endwin();
      delscreen(screen_);
    }
    std::fclose(out_);
    std::fclose(in_);
  }
  bool Ready() const { return screen_ != nullptr; }
  // Shows the pad as the view does; the bytes this sent to the terminal.
  long Show(CTermCanvas& canvas) {
    const long before = FileSize(out_);
    pnoutrefresh(canvas.Pad(), 0, 0, 0, 0, 23, 79);
    doupdate();
    return FileSize(out_) - before;
  }
  std::string Written() {
    fflush(out_);
    std::string text;
    std::rewind(out_);
    for (int c; (c = std::fgetc(out_)) != EOF;) text.push_back(static_cast<char>(c));
    std::fseek(out_, 0, SEEK_END);
    return text;
  }

 private:
  FILE* out_;
  FILE* in_;
  SCREEN* screen_ = nullptr;
};

TEST(TermCanvas, AOneFieldChangeSendsOnlyThatFieldsCells) {
  FileTerminal terminal;
  ASSERT_TRUE(terminal.Ready());
  test::Session3270 s;
  ASSERT_TRUE(s.Ready());
  // A full screen: a protected label and an input field on every row.
  HostRecord full = HostRecord::EraseWrite(test::kWccRestore);
  for (int row = 0; row < 24; ++row) {
    char label[40];
    std::snprintf(label, sizeof label, "Label of row %02d ......", row + 1);
    full.Sba(s.Position(row, 0)).Sf(test::kProtected).Text(label);
    full.Sba(s.Position(row, 30)).Sf(test::kUnprotected).Text("value " + std::to_string(row + 1));
    full.Sba(s.Position(row, 60)).Sf(test::kProtected).Text("end");
  }
  s.Host(full);
  CTermCanvas canvas;
  s.E().Paint(canvas);
  const long first = terminal.Show(canvas);
  EXPECT_GT(first, 24 * 40);

  // The host rewrites one field of 12 characters.
  s.Host(HostRecord::Write(test::kWccRestore).Sba(s.Position(10, 31)).Text("NEW VALUE 11"));
  ASSERT_TRUE(canvas.KeepsPicture());
  s.E().Paint(canvas);
  const long update = terminal.Show(canvas);
  // Two cursor moves, the colours and the 12 characters: about 70 bytes.
  EXPECT_GE(update, 12);
  EXPECT_LE(update, 80) << terminal.Written().substr(static_cast<std::size_t>(first));
  EXPECT_NE(terminal.Written().find("NEW VALUE 11"), std::string::npos);
  std::printf("bytes to the terminal: full screen %ld, one-field change %ld\n", first, update);
  // Nothing changed: nothing sent.
  s.E().Paint(canvas);
  EXPECT_EQ(terminal.Show(canvas), 0);
}

// The character and attributes the pad holds at a cell.
std::pair<wchar_t, attr_t> PadCell(WINDOW* pad, int row, int column) {
  cchar_t cell;
  mvwin_wch(pad, row, column, &cell);
  wchar_t text[CCHARW_MAX + 1] = {};
  attr_t attributes = 0;
  short pair = 0;
  getcchar(&cell, text, &attributes, &pair, nullptr);
  return {text[0], attributes & ~A_COLOR};
}

TEST(TermCanvas, GlyphsWideRowsSelectionAndInvisibleText) {
  FileTerminal terminal;
  ASSERT_TRUE(terminal.Ready());
  RenderModel model;
  model.Resize(3, 10);
  model.SetLineSize(0, LineSize::kDoubleWidth);
  model.SetCell(0, 0, RenderCell{'A', kNoGlyph, {}});
  model.SetCell(0, 1, RenderCell{'B', kNoGlyph, {}});
  model.SetCell(1, 0, RenderCell{' ', 13, {}});  // the upper left corner
  model.SetCell(1, 1, RenderCell{0xE9, kNoGlyph, {2, 0, kCellBold | kCellUnderline}});
  model.SetCell(1, 2, RenderCell{'s', kNoGlyph, {2, 0, kCellInvisible}});
  CTermCanvas canvas;
  canvas.SetSelection(CellRect{3, 2, 4, 2});
  PaintModel(model, canvas);
  WINDOW* pad = canvas.Pad();
  EXPECT_EQ(PadCell(pad, 0, 0).first, L'A');
  EXPECT_EQ(PadCell(pad, 0, 1).first, L' ');
  EXPECT_EQ(PadCell(pad, 0, 2).first, L'B');
  EXPECT_EQ(PadCell(pad, 1, 0).first, L'\u250C');
  EXPECT_EQ(PadCell(pad, 1, 1), (std::pair<wchar_t, attr_t>{L'\u00E9', A_BOLD | A_UNDERLINE}));
  EXPECT_EQ(PadCell(pad, 1, 2).first, L' ');  // a password stays hidden
  EXPECT_EQ(PadCell(pad, 2, 3).second, A_REVERSE);
  EXPECT_EQ(PadCell(pad, 2, 5).second, A_NORMAL);
  // Back to a normal row: every cell in its own column again.
  model.SetLineSize(0, LineSize::kNormal);
  PaintModel(model, canvas);
  EXPECT_EQ(PadCell(pad, 0, 1).first, L'B');
}

TEST(TermCanvas, SchemeColoursBecomeTheNearestTerminalColours) {
  // 256 colours: the cube, the grey ramp; 16 and 8 colours: the ANSI ones.
  EXPECT_EQ(NearestColor(Rgb{0, 0, 255}, 256), 21);
  EXPECT_EQ(NearestColor(Rgb{255, 255, 255}, 256), 231);
  EXPECT_EQ(NearestColor(Rgb{0, 0, 0}, 256), 16);
  EXPECT_EQ(NearestColor(Rgb{128, 128, 128}, 256), 244);
  EXPECT_EQ(NearestColor(Rgb{64, 224, 208}, 256), 80);  // turquoise
  EXPECT_EQ(NearestColor(Rgb{255, 0, 0}, 16), 9);
  EXPECT_EQ(NearestColor(Rgb{255, 0, 0}, 8), 1);
  EXPECT_EQ(NearestColor(Rgb{0, 255, 0}, 8), 2);
  EXPECT_EQ(NearestColor(Rgb{0, 0, 0}, 8), 0);
  EXPECT_EQ(NearestColor(Rgb{192, 192, 192}, 8), 7);
  EXPECT_EQ(NearestColor(Rgb{255, 255, 0}, 8), 3);
  // Every built-in colour of every family maps inside the palette.
  for (unsigned kind : {17u, 32u, 259u}) {
    const CCorvinaColorScheme& scheme = CCorvinaColorScheme::BuiltIn(kind);
    for (int e = 0; e < scheme.ElementCount(); ++e)
      for (int colors : {8, 16, 256}) {
        const int c = NearestColor(scheme.Foreground(e), colors);
        EXPECT_TRUE(c >= 0 && c < colors) << kind << " " << e;
      }
  }
}

TEST(TermCommands, WordsShortFormsAndMistakes) {
  std::string error;
  auto c = ParseTermCommand("  connect  telnet host 2323 ", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->kind, TermCommand::kConnect);
  EXPECT_EQ(c->argument, "telnet host 2323");
  c = ParseTermCommand("connect -t 5250 --size=27x132 --tls 10.0.0.1:23", &error);
  ASSERT_TRUE(c) << error;
  EXPECT_EQ(c->argument, "10.0.0.1:23");
  EXPECT_EQ(c->overrides.terminalKind, 32u);
  EXPECT_EQ(c->overrides.rows, 27);
  EXPECT_TRUE(c->overrides.tls);
  EXPECT_FALSE(ParseTermCommand("connect --data-dir /tmp host:23", &error));
  EXPECT_NE(error.find("Only session options"), std::string::npos);
  EXPECT_FALSE(ParseTermCommand("connect -t 5250", &error));
  EXPECT_NE(error.find("needs a profile name or a host"), std::string::npos);
  c = ParseTermCommand("sw 3", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->kind, TermCommand::kSwitch);
  EXPECT_EQ(c->number, 3);
  c = ParseTermCommand("SWITCH next", &error);
  ASSERT_TRUE(c && c->argument == "next");
  c = ParseTermCommand("d", &error);
  ASSERT_TRUE(c && c->kind == TermCommand::kDisconnect);
  c = ParseTermCommand("print /tmp/screen.txt", &error);
  ASSERT_TRUE(c && c->kind == TermCommand::kPrint && c->argument == "/tmp/screen.txt");
  error.clear();
  EXPECT_FALSE(ParseTermCommand("   ", &error));
  EXPECT_TRUE(error.empty());

  EXPECT_FALSE(ParseTermCommand("s 2", &error));  // switch or script
  EXPECT_NE(error.find("not clear"), std::string::npos);
  EXPECT_FALSE(ParseTermCommand("frobnicate", &error));
  EXPECT_NE(error.find("Unknown command \"frobnicate\""), std::string::npos);
  EXPECT_FALSE(ParseTermCommand("connect", &error));
  EXPECT_NE(error.find("needs a profile name or a host"), std::string::npos);
  EXPECT_FALSE(ParseTermCommand("switch 0", &error));
  EXPECT_FALSE(ParseTermCommand("switch 2x", &error));
}

TEST(TermCommands, TransferWordsAsTheCliTakesThem) {
  std::string error;
  auto c = ParseTermCommand("t receive \"PROFILE EXEC A\" \"/tmp/my file\" binary nocrlf lrecl=80", &error);
  ASSERT_TRUE(c) << error;
  EXPECT_EQ(c->kind, TermCommand::kTransfer);
  EXPECT_EQ(c->argument, "receive");
  EXPECT_EQ(c->hostFile, "PROFILE EXEC A");
  EXPECT_EQ(c->pcFile, "/tmp/my file");
  EXPECT_EQ(c->transferWords, "binary nocrlf lrecl=80");
  c = ParseTermCommand("transfer --send a.txt A.TXT --ft-options tso", &error);
  ASSERT_TRUE(c) << error;
  EXPECT_EQ(c->argument, "send");
  EXPECT_EQ(c->pcFile, "a.txt");
  EXPECT_EQ(c->hostFile, "A.TXT");
  EXPECT_EQ(c->transferWords, "tso");
  c = ParseTermCommand("transfer cancel", &error);
  ASSERT_TRUE(c && c->argument == "cancel");
  // A wrong word or a missing file is told before anything starts.
  EXPECT_FALSE(ParseTermCommand("transfer send a.txt A.TXT fast", &error));
  EXPECT_NE(error.find("Unknown transfer option \"fast\""), std::string::npos);
  for (const char* bad : {"transfer send a.txt", "transfer push a b", "transfer cancel now", "transfer send \"\" x"}) {
    EXPECT_FALSE(ParseTermCommand(bad, &error)) << bad;
    EXPECT_NE(error.find("needs send PCFILE HOSTFILE"), std::string::npos) << bad;
  }
}

TEST(TermOptions, SharedSessionOptionsAndTheTerminalOnes) {
  std::string error;
  auto o = ParseTermCommandLine({"-t", "vt220", "--size=27x132", "--no-verify", "--command-key", "F12",
                                 "--escape-delay", "20", "--data-dir", "/tmp/d", "telnet", "host", "23"},
                                &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->overrides.terminalKind, 260u);
  EXPECT_EQ(o->overrides.rows, 27);
  EXPECT_EQ(o->overrides.columns, 132);
  EXPECT_EQ(o->verifyServer, false);
  EXPECT_EQ(o->commandKey, (KeyCode{0x7B, 0}));
  EXPECT_EQ(o->escapeDelayMs, 20);
  EXPECT_EQ(o->dataFolder, "/tmp/d");
  EXPECT_EQ(o->target, "telnet host 23");

  EXPECT_FALSE(ParseTermCommandLine({"--command-key", "Ctrl+Nothing"}, &error));
  EXPECT_NE(error.find("Invalid key text"), std::string::npos);
  EXPECT_FALSE(ParseTermCommandLine({"--escape-delay", "0"}, &error));
  EXPECT_FALSE(ParseTermCommandLine({"--type", "x"}, &error));  // a corvina-cli option
  EXPECT_EQ(error, "Unknown option --type");
  EXPECT_FALSE(ParseTermCommandLine({"--trace", "t.trc"}, &error));
  EXPECT_NE(error.find("--trace needs a session"), std::string::npos);
  EXPECT_FALSE(ParseTermCommandLine({"-t", "3290"}, &error));
}

}  // namespace
}  // namespace corvina::term
