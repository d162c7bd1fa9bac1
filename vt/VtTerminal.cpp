#include "vt/VtTerminal.h"

#include <algorithm>
#include <cstdio>

#include "vt/VtTexts.h"

namespace corvina::vt {

namespace {

// SGR 30-37 and 40-47 in ANSI order (black, red, green, yellow, blue,
// magenta, cyan, white) as colour-scheme indexes.
constexpr std::uint8_t kAnsiColours[8] = {kColourBlack, kColourRed,     kColourGreen, kColourYellow,
                                          kColourBlue,  kColourMagenta, kColourCyan,  kColourWhite};
// CSI = n F/G: PC colour numbers 0-7 (black, blue, green, cyan, red, magenta, yellow, white).
constexpr std::uint8_t kPcColours[8] = {kColourBlack, kColourBlue,    kColourGreen,  kColourCyan,
                                        kColourRed,   kColourMagenta, kColourYellow, kColourWhite};

// The nearest of the eight ANSI colours to an RGB value (xterm's palette).
int NearestAnsi(int r, int g, int b) {
  static constexpr int kRgb[8][3] = {{0, 0, 0},     {205, 0, 0},   {0, 205, 0},   {205, 205, 0},
                                     {0, 0, 238},   {205, 0, 205}, {0, 205, 205}, {229, 229, 229}};
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < 8; ++i) {
    long dr = r - kRgb[i][0], dg = g - kRgb[i][1], db = b - kRgb[i][2];
    long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

// A 256-colour index as one of the eight ANSI colours.
int Ansi256(int n) {
  if (n < 8) return n;
  if (n < 16) return n - 8;
  if (n < 232) {
    n -= 16;
    auto level = [](int v) { return v == 0 ? 0 : 55 + 40 * v; };
    return NearestAnsi(level(n / 36), level(n / 6 % 6), level(n % 6));
  }
  int grey = 8 + 10 * (n - 232);
  return NearestAnsi(grey, grey, grey);
}

// UDK key numbers to slots 0-19 (F1-F20); -1 for none.
int UserKeySlot(int key) {
  if (key >= 11 && key <= 15) return key - 11;
  if (key >= 17 && key <= 21) return key - 12;
  if (key >= 23 && key <= 26) return key - 13;
  if (key >= 28 && key <= 29) return key - 14;
  if (key >= 31 && key <= 34) return key - 15;
  return -1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

CVtTerminal::CVtTerminal(VtTerminalHost& host) : host_(host), parser_(*this) {}

void CVtTerminal::Start(const VtConfig& config) {
  config_ = config;
  screen_.Reset(config.rows, config.columns, config.history);
  parser_.Reset();
  Reset();
}

void CVtTerminal::SetHistory(int lines) {
  config_.history = lines;
  screen_.Resize(screen_.Rows(), screen_.Columns(), lines);
}

const std::string& CVtTerminal::UserKey(int index) const {
  static const std::string none;
  return index >= 0 && index < kUserKeyCount ? userKeys_[static_cast<std::size_t>(index)] : none;
}

std::string CVtTerminal::LineText(int row) const {
  const VtCell* line = screen_.Line(row);
  std::string text(static_cast<std::size_t>(screen_.Columns()), ' ');
  for (int c = 0; c < screen_.Columns(); ++c) {
    std::uint8_t ch = line[c].character;
    text[static_cast<std::size_t>(c)] = static_cast<char>(ch < 0x20 && config_.kind != kVtLineMode ? ch + 0x5F : ch);
  }
  return text;
}

// ------------------------------------------------------------------ resets

void CVtTerminal::Reset() {
  const bool wasPrinting = printerController_ || autoPrint_;
  rendition_ = 0;
  colours_ = kDefaultColours;
  protect_ = false;
  sets_ = {{'B', 'B', 'B', 'B'}};
  shift_ = 0;
  singleShift_ = -1;
  fontMode_ = 10;
  Invoke();
  vt52_ = false;
  parser_.SetVt52(false);
  parser_.SetC1Controls(config_.kind == kVtVt220);
  cursorKeysApplication_ = keypadApplication_ = false;
  newLineMode_ = insertMode_ = keyboardLocked_ = originMode_ = false;
  autowrap_ = autorepeat_ = cursorVisible_ = true;
  screenReverse_ = false;
  allow132_ = true;
  tabs_.assign(static_cast<std::size_t>(screen_.Columns()), false);
  for (std::size_t c = 8; c < tabs_.size(); c += 8) tabs_[c] = true;
  printerController_ = autoPrint_ = false;
  controllerPending_.clear();
  if (wasPrinting) host_.PrinterJobEnd();
  leds_ = 0;
  top_ = 0;
  bottom_ = screen_.Rows() - 1;
  for (int r = 0; r < screen_.Rows(); ++r) screen_.BlankLine(r, Blank());
  row_ = column_ = 0;
  pendingWrap_ = false;
  saved_ = Saved{};
  savedRow_ = savedColumn_ = 0;
  lastByteValid_ = false;
}

void CVtTerminal::SoftReset() {
  cursorVisible_ = true;
  originMode_ = insertMode_ = keyboardLocked_ = false;
  cursorKeysApplication_ = keypadApplication_ = false;
  autowrap_ = true;
  top_ = 0;
  bottom_ = screen_.Rows() - 1;
  rendition_ = 0;
  colours_ = kDefaultColours;
  protect_ = false;
  sets_ = {{'B', 'B', 'B', 'B'}};
  shift_ = 0;
  singleShift_ = -1;
  Invoke();
  saved_ = Saved{};
}

// ---------------------------------------------------------------- feeding

void CVtTerminal::Feed(std::span<const std::uint8_t> bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (printerController_) {
      FeedPrinterController(bytes, i);
      continue;
    }
    i += parser_.Feed(bytes.subspan(i));
  }
}

void CVtTerminal::StartPrinterController() {
  printerController_ = true;
  controllerPending_.clear();
  parser_.Stop();  // the bytes after this sequence go to the printer
}

// Everything goes to the printer except the CSI 4 i that ends the mode; a
// part of it that a piece of data ends with is held back for the next.
void CVtTerminal::FeedPrinterController(std::span<const std::uint8_t> bytes, std::size_t& i) {
  static constexpr std::string_view kOff7 = "\x1B[4i", kOff8 = "\x9B" "4i";
  auto introducer = [&](char b) { return b == kOff7[0] || (parser_.C1Controls() && b == kOff8[0]); };
  std::size_t start = i;
  auto flush = [&](std::size_t end) {
    if (end > start)
      host_.PrinterData(std::string_view(reinterpret_cast<const char*>(bytes.data()) + start, end - start));
  };
  while (i < bytes.size()) {
    const char b = static_cast<char>(bytes[i]);
    if (controllerPending_.empty() && !introducer(b)) {
      ++i;
      continue;
    }
    flush(i);
    start = ++i;
    controllerPending_.push_back(b);
    const std::string_view want = controllerPending_[0] == kOff7[0] ? kOff7 : kOff8;
    if (want.substr(0, controllerPending_.size()) == controllerPending_) {
      if (controllerPending_.size() == want.size()) {
        printerController_ = false;
        controllerPending_.clear();
        host_.PrinterJobEnd();
        return;
      }
      continue;
    }
    // Not the end: what was held back is printed; this byte may begin a new match.
    std::string held;
    held.swap(controllerPending_);
    const char last = held.back();
    held.pop_back();
    host_.PrinterData(held);
    if (introducer(last))
      controllerPending_.push_back(last);
    else
      host_.PrinterData(std::string_view(&last, 1));
  }
  flush(i);
}

// -------------------------------------------------------------- characters

int CVtTerminal::LineWidth() const {
  return screen_.LineSize(row_) == kLineNormal ? screen_.Columns() : std::max(1, screen_.Columns() / 2);
}

void CVtTerminal::Print(std::span<const std::uint8_t> run) {
  const bool ansi = config_.kind == kVtAnsi;
  const bool lineMode = config_.kind == kVtLineMode;
  for (std::uint8_t b : run) {
    lastByte_ = b;
    lastByteValid_ = true;
    std::uint8_t shown = b;
    if (ansi && (b >= 0x80 || fontMode_ == 12)) {
      shown = AnsiHighCharacter(static_cast<std::uint8_t>(b | 0x80));
    } else if (!lineMode && b < 0x80) {
      if (singleShift_ >= 0) {
        shown = singleShiftTable_[b];
        singleShift_ = -1;
      } else {
        shown = gl_[b];
      }
    }
    PutCharacter(shown);
  }
}

void CVtTerminal::PutCharacter(std::uint8_t shown) {
  int width = LineWidth();
  if (pendingWrap_) {
    if (autowrap_ || config_.lineWrap) {
      column_ = 0;
      Index();
      width = LineWidth();
    }
    pendingWrap_ = false;
  }
  column_ = std::min(column_, width - 1);
  if (insertMode_) screen_.InsertCells(row_, column_, 1, Blank());
  std::uint8_t rendition = rendition_;
  if (protect_) rendition |= kRendProtected;
  screen_.Line(row_)[column_] = VtCell{shown, rendition, colours_};
  if (column_ + 1 < width)
    ++column_;
  else
    pendingWrap_ = true;
}

void CVtTerminal::Execute(std::uint8_t c) {
  if (config_.kind == kVtAnsi && c != 0x00 && c != 0x7F && c != 0x05 && c != 0x07 && c != 0x08 && c != 0x09 &&
      !(c >= 0x0A && c <= 0x0F)) {
    lastByteValid_ = false;
    PutCharacter(c);  // the PC character set has shapes for these
    return;
  }
  switch (c) {
    case 0x05:
      if (!config_.answerback.empty()) SendReply(config_.answerback);
      break;
    case 0x07:
      host_.Bell();
      break;
    case 0x08:
      pendingWrap_ = false;
      if (column_ > 0) --column_;
      break;
    case 0x09:
      ForwardTab(1);
      break;
    case 0x0A:
    case 0x0B:
    case 0x0C:
      if (autoPrint_) AutoPrintLine();
      Index();
      if (newLineMode_) column_ = 0;
      break;
    case 0x0D:
      column_ = 0;
      pendingWrap_ = false;
      break;
    case 0x0E:
      shift_ = 1;
      Invoke();
      break;
    case 0x0F:
      shift_ = 0;
      Invoke();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- movement

void CVtTerminal::Index() {
  pendingWrap_ = false;
  if (row_ == bottom_)
    ScrollUp(1);
  else if (row_ < screen_.Rows() - 1)
    ++row_;
}

void CVtTerminal::ReverseIndex() {
  pendingWrap_ = false;
  if (row_ == top_)
    ScrollDown(1);
  else if (row_ > 0)
    --row_;
}

void CVtTerminal::NextLine() {
  column_ = 0;
  Index();
}

void CVtTerminal::ScrollUp(int n) { screen_.ScrollUp(top_, bottom_, n, Blank()); }
void CVtTerminal::ScrollDown(int n) { screen_.ScrollDown(top_, bottom_, n, Blank()); }

void CVtTerminal::MoveTo(int row, int column) {
  pendingWrap_ = false;
  row_ = std::clamp(row, 0, screen_.Rows() - 1);
  column_ = std::clamp(column, 0, LineWidth() - 1);
}

void CVtTerminal::SetColumn(int column) { MoveTo(row_, column); }

// Up and down stop at the region's edge when they start inside it.
void CVtTerminal::CursorUp(int n) {
  const int limit = row_ >= top_ ? top_ : 0;
  MoveTo(std::max(limit, row_ - std::min(n, screen_.Rows())), column_);
}

void CVtTerminal::CursorDown(int n) {
  const int limit = row_ <= bottom_ ? bottom_ : screen_.Rows() - 1;
  MoveTo(std::min(limit, row_ + std::min(n, screen_.Rows())), column_);
}

void CVtTerminal::ForwardTab(int n) {
  if (pendingWrap_ && config_.kind == kVtAnsi && (autowrap_ || config_.lineWrap)) {
    column_ = 0;
    Index();
  }
  const int last = LineWidth() - 1;
  n = std::min(n, screen_.Columns());
  for (int k = 0; k < n && column_ < last; ++k) {
    ++column_;
    while (column_ < last && !tabs_[static_cast<std::size_t>(column_)]) ++column_;
  }
}

void CVtTerminal::BackTab(int n) {
  pendingWrap_ = false;
  n = std::min(n, screen_.Columns());
  for (int k = 0; k < n && column_ > 0; ++k) {
    --column_;
    while (column_ > 0 && !tabs_[static_cast<std::size_t>(column_)]) --column_;
  }
}

// ----------------------------------------------------------------- erasing

// Erasing leaves a pending wrap pending, as the references do.
void CVtTerminal::EraseDisplay(int how, bool spareProtected) {
  const int rows = screen_.Rows(), columns = screen_.Columns();
  switch (how) {
    case 0:
      EraseLine(0, spareProtected);
      for (int r = row_ + 1; r < rows; ++r) {
        screen_.Erase(r, 0, columns - 1, Blank(), spareProtected);
        if (!spareProtected) screen_.SetLineSize(r, kLineNormal);
      }
      break;
    case 1:
      for (int r = 0; r < row_; ++r) {
        screen_.Erase(r, 0, columns - 1, Blank(), spareProtected);
        if (!spareProtected) screen_.SetLineSize(r, kLineNormal);
      }
      EraseLine(1, spareProtected);
      break;
    case 2:
      if (!spareProtected && screen_.HistoryCapacity() > 0 && !screen_.ScreenBlank())
        screen_.PushScreenToHistory(Blank());
      for (int r = 0; r < rows; ++r) {
        screen_.Erase(r, 0, columns - 1, Blank(), spareProtected);
        if (!spareProtected) screen_.SetLineSize(r, kLineNormal);
      }
      break;
    default:
      break;
  }
}

void CVtTerminal::EraseLine(int how, bool spareProtected) {
  const int columns = screen_.Columns();
  switch (how) {
    case 0: screen_.Erase(row_, column_, columns - 1, Blank(), spareProtected); break;
    case 1: screen_.Erase(row_, 0, column_, Blank(), spareProtected); break;
    case 2: screen_.Erase(row_, 0, columns - 1, Blank(), spareProtected); break;
    default: break;
  }
}

// Lines are inserted and deleted inside the region only, as the references do.
void CVtTerminal::InsertLines(int n) {
  if (row_ < top_ || row_ > bottom_) return;
  screen_.ScrollDown(row_, bottom_, n, Blank());
  column_ = 0;
  pendingWrap_ = false;
}

void CVtTerminal::DeleteLines(int n) {
  if (row_ < top_ || row_ > bottom_) return;
  screen_.ScrollUp(row_, bottom_, n, Blank(), false);  // deleted lines never feed the history
  column_ = 0;
  pendingWrap_ = false;
}

// ------------------------------------------------------------------- sizes

void CVtTerminal::SetColumns(int columns) {
  if (columns == screen_.Columns()) return;
  if (!screen_.ScreenBlank() && screen_.HistoryCapacity() > 0) screen_.PushScreenToHistory(Blank());
  screen_.Resize(screen_.Rows(), columns, config_.history);
  for (int r = 0; r < screen_.Rows(); ++r) screen_.BlankLine(r, Blank());
  const std::size_t old = tabs_.size();
  tabs_.resize(static_cast<std::size_t>(columns), false);
  for (std::size_t c = std::max<std::size_t>(8, (old + 7) / 8 * 8); c < tabs_.size(); c += 8) tabs_[c] = true;
  top_ = 0;
  bottom_ = screen_.Rows() - 1;
  MoveTo(0, 0);
  host_.ScreenResized();
}

void CVtTerminal::SetLineSize(std::uint8_t size) {
  screen_.SetLineSize(row_, size);
  column_ = std::min(column_, LineWidth() - 1);
}

// --------------------------------------------------------- character sets

void CVtTerminal::Designate(int set, char designator) {
  if (!FindCharset(designator)) return;  // an unknown set drops the sequence
  sets_[static_cast<std::size_t>(set)] = designator;
  Invoke();
}

void CVtTerminal::Invoke() {
  BuildTranslation(*FindCharset(sets_[static_cast<std::size_t>(shift_)]), gl_);
}

void CVtTerminal::SaveCursor() {
  saved_.row = row_;
  saved_.column = column_;
  saved_.rendition = rendition_;
  saved_.colours = colours_;
  saved_.protect = protect_;
  saved_.shift = shift_;
  saved_.sets = sets_;
}

void CVtTerminal::RestoreCursor() {
  rendition_ = saved_.rendition;
  colours_ = saved_.colours;
  protect_ = saved_.protect;
  shift_ = saved_.shift;
  sets_ = saved_.sets;
  Invoke();
  MoveTo(saved_.row, saved_.column);  // a pending wrap is not restored
}

// -------------------------------------------------------------- sequences

void CVtTerminal::EscDispatch(const VtSequence& s) {
  if (vt52_) {
    Vt52Escape(s.final);
    return;
  }
  const std::string_view in = s.Intermediates();
  if (in.empty()) {
    switch (s.final) {
      case 'D': Index(); break;
      case 'E': NextLine(); break;
      case 'M': ReverseIndex(); break;
      case 'H': tabs_[static_cast<std::size_t>(std::min(column_, screen_.Columns() - 1))] = true; break;
      case '7': SaveCursor(); break;
      case '8': RestoreCursor(); break;
      case 'c':
        Reset();
        break;
      case 'Z': SendReply(texts::kDeviceAttributes); break;
      case '=': keypadApplication_ = true; break;
      case '>': keypadApplication_ = false; break;
      case 'N':  // single shifts: the next character from G2 or G3
      case 'O':
        singleShift_ = s.final == 'N' ? 2 : 3;
        BuildTranslation(*FindCharset(sets_[static_cast<std::size_t>(singleShift_)]), singleShiftTable_);
        break;
      case 'n': shift_ = 2; Invoke(); break;
      case 'o': shift_ = 3; Invoke(); break;
      default: break;  // recognised or not, nothing to do
    }
    return;
  }
  if (in.size() != 1) return;
  switch (in[0]) {
    case '(': Designate(0, static_cast<char>(s.final)); break;
    case ')': Designate(1, static_cast<char>(s.final)); break;
    case '*': Designate(2, static_cast<char>(s.final)); break;
    case '+': Designate(3, static_cast<char>(s.final)); break;
    case '#':
      switch (s.final) {
        case '3': SetLineSize(kLineDoubleHeightTop); break;
        case '4': SetLineSize(kLineDoubleHeightBottom); break;
        case '5': SetLineSize(kLineNormal); break;
        case '6': SetLineSize(kLineDoubleWidth); break;
        case '8':
          top_ = 0;
          bottom_ = screen_.Rows() - 1;
          for (int r = 0; r < screen_.Rows(); ++r) {
            screen_.BlankLine(r, VtCell{'E', 0, kDefaultColours});
          }
          MoveTo(0, 0);
          break;
        default: break;
      }
      break;
    default:
      break;
  }
}

void CVtTerminal::Vt52Escape(std::uint8_t final) {
  switch (final) {
    case 'A': CursorUp(1); break;
    case 'B': CursorDown(1); break;
    case 'C': MoveTo(row_, column_ + 1); break;
    case 'D': MoveTo(row_, column_ - 1); break;
    case 'F': sets_[0] = '0'; Invoke(); break;
    case 'G': sets_[0] = 'B'; Invoke(); break;
    case 'H': MoveTo(0, 0); break;
    case 'I': ReverseIndex(); break;
    case 'J': EraseDisplay(0, false); break;
    case 'K': EraseLine(0, false); break;
    case 'Z': SendReply(texts::kVt52Identify); break;
    case 'V': MediaCopy(1, true); break;
    case 'W': MediaCopy(5, false); break;
    case 'X': MediaCopy(4, false); break;
    case ']': MediaCopy(0, false); break;
    case '^': MediaCopy(5, true); break;
    case '-':
    case '_': MediaCopy(4, true); break;
    case '=': keypadApplication_ = true; break;
    case '>': keypadApplication_ = false; break;
    case '<':
      vt52_ = false;
      parser_.SetVt52(false);
      parser_.SetC1Controls(config_.kind == kVtVt220);
      break;
    default: break;
  }
}

void CVtTerminal::Vt52CursorAddress(int row, int column) { MoveTo(row, column); }

void CVtTerminal::CsiDispatch(const VtSequence& s) {
  const std::string_view in = s.Intermediates();
  const int rows = screen_.Rows(), columns = screen_.Columns();
  if (!in.empty()) {
    if (in == "\"" && s.final == 'q' && s.prefix == 0) {
      const int n = s.Get(0, 0);
      if (n == 1) protect_ = true;
      if (n == 0 || n == 2) protect_ = false;
    } else if (in == " " && s.prefix == 0 && (s.final == 'A' || s.final == '@')) {
      const int n = std::min(s.Count(0), columns);
      for (int r = 0; r < rows; ++r) {
        if (s.final == 'A')
          screen_.InsertCells(r, 0, n, Blank());
        else
          screen_.DeleteCells(r, 0, n, Blank());
      }
    } else if (in == "!" && s.final == 'p' && s.prefix == 0) {
      SoftReset();
    }
    return;
  }
  if (s.prefix == '?') {
    switch (s.final) {
      case 'h':
      case 'l':
        for (int i = 0; i < std::max(1, s.count); ++i) PrivateMode(s.Get(i, 0), s.final == 'h');
        break;
      case 'J': EraseDisplay(s.Get(0, 0), true); break;
      case 'K': EraseLine(s.Get(0, 0), true); break;
      case 'i': MediaCopy(s.Get(0, 0), true); break;
      default: break;
    }
    return;
  }
  if (s.prefix == '=') {
    if (s.final == 'F') PcColour(true, s.Get(0, 0));
    if (s.final == 'G') PcColour(false, s.Get(0, 0));
    return;
  }
  if (s.prefix != 0) return;
  const int origin = originMode_ ? top_ : 0;
  switch (s.final) {
    case 'A': CursorUp(s.Count(0)); break;
    case 'B':
    case 'e': CursorDown(s.Count(0)); break;
    case 'C':
    case 'a': MoveTo(row_, column_ + std::min(s.Count(0), columns)); break;
    case 'D': MoveTo(row_, column_ - std::min(s.Count(0), columns)); break;
    case 'H':
    case 'f': {
      int r = std::min(s.Count(0), rows) - 1 + origin;
      if (originMode_) r = std::min(r, bottom_);
      MoveTo(r, std::min(s.Count(1), columns) - 1);
      break;
    }
    case 'G':
    case '`': SetColumn(std::min(s.Count(0), columns) - 1); break;
    case 'd': {
      int r = std::min(s.Count(0), rows) - 1 + origin;
      if (originMode_) r = std::min(r, bottom_);
      MoveTo(r, column_);
      break;
    }
    case 'E':
      CursorDown(s.Count(0));
      column_ = 0;
      break;
    case 'F':
      CursorUp(s.Count(0));
      column_ = 0;
      break;
    case 'J': EraseDisplay(s.Get(0, 0), false); break;
    case 'K': EraseLine(s.Get(0, 0), false); break;
    case 'L': InsertLines(std::min(s.Count(0), rows)); break;
    case 'M': DeleteLines(std::min(s.Count(0), rows)); break;
    case '@':
      pendingWrap_ = false;
      screen_.InsertCells(row_, column_, std::min(s.Count(0), columns), Blank());
      break;
    case 'P':
      pendingWrap_ = false;
      screen_.DeleteCells(row_, column_, std::min(s.Count(0), columns), Blank());
      break;
    case 'X':
      pendingWrap_ = false;
      screen_.Erase(row_, column_, column_ + std::min(s.Count(0), columns) - 1, Blank());
      break;
    case 'b':
      if (lastByteValid_ && lastByte_ >= 0x20 && lastByte_ <= 0x7F) {
        const std::uint8_t b = lastByte_;
        // Not past the line end.
        for (int n = std::min(s.Count(0), LineWidth() - column_); n > 0 && !pendingWrap_; --n)
          Print(std::span(&b, 1));
      }
      break;
    case 'S': ScrollUp(std::min(s.Count(0), rows)); break;
    case 'T': ScrollDown(std::min(s.Count(0), rows)); break;
    case 'I': ForwardTab(s.Count(0)); break;
    case 'Z': BackTab(s.Count(0)); break;
    case 'g':
      if (s.Get(0, 0) == 0) tabs_[static_cast<std::size_t>(column_)] = false;
      if (s.Get(0, 0) == 3) std::fill(tabs_.begin(), tabs_.end(), false);
      break;
    case 'r': {
      const int t = std::min(s.Count(0), rows) - 1;
      const int b = std::min(s.Get(1, 0) > 0 ? s.Get(1, 0) : rows, rows) - 1;
      if (t >= b) break;  // a region of fewer than two lines is refused
      top_ = t;
      bottom_ = b;
      MoveTo(originMode_ ? top_ : 0, 0);
      break;
    }
    case 's':
      savedRow_ = row_;
      savedColumn_ = column_;
      break;
    case 'u': MoveTo(savedRow_, savedColumn_); break;
    case 'h':
    case 'l':
      for (int i = 0; i < std::max(1, s.count); ++i) AnsiMode(s.Get(i, 0), s.final == 'h');
      break;
    case 'm': Sgr(s); break;
    case 'q':
      for (int i = 0; i < std::max(1, s.count); ++i) {
        const int n = s.Get(i, 0);
        if (n == 0) leds_ = 0;
        if (n >= 1 && n <= 4) leds_ |= 1u << (n - 1);
      }
      break;
    case 'c':
      if (s.Get(0, 0) == 0) SendReply(texts::kDeviceAttributes);
      break;
    case 'n': StatusReport(s.Get(0, 0)); break;
    case 'x': {
      const int n = s.Get(0, 0);
      if (n == 0) SendReply(texts::kTerminalParameters0);
      if (n == 1) SendReply(texts::kTerminalParameters1);
      break;
    }
    case 'i': MediaCopy(s.Get(0, 0), false); break;
    default: break;
  }
}

void CVtTerminal::AnsiMode(int mode, bool on) {
  switch (mode) {
    case 2: keyboardLocked_ = on; break;
    case 4: insertMode_ = on; break;
    case 20: newLineMode_ = on; break;
    default: break;
  }
}

void CVtTerminal::PrivateMode(int mode, bool on) {
  switch (mode) {
    case 1: cursorKeysApplication_ = on; break;
    case 2:
      if (!on) {
        vt52_ = true;
        parser_.SetVt52(true);
        parser_.SetC1Controls(false);
      }
      break;
    case 3:
      if (!allow132_) break;
      if (on && config_.columns < 132) SetColumns(132);
      if (!on) SetColumns(std::max(80, config_.columns));
      break;
    case 5: screenReverse_ = on; break;
    case 6:
      originMode_ = on;
      MoveTo(on ? top_ : 0, 0);
      break;
    case 7: autowrap_ = on; break;
    case 8: autorepeat_ = on; break;
    case 25: cursorVisible_ = on; break;
    case 40: allow132_ = on; break;
    default: break;
  }
}

void CVtTerminal::Sgr(const VtSequence& s) {
  const int n = std::max(1, s.count);
  for (int i = 0; i < n; ++i) {
    const int p = s.Get(i, 0);
    switch (p) {
      case 0:
        rendition_ = 0;
        colours_ = kDefaultColours;
        break;
      case 1: rendition_ |= kRendBold; break;
      case 4: rendition_ |= kRendUnderline; break;
      case 5: rendition_ |= kRendBlink; break;
      case 7: rendition_ |= kRendReverse; break;
      case 8: rendition_ |= kRendInvisible; break;
      case 22: rendition_ &= static_cast<std::uint8_t>(~kRendBold); break;
      case 24: rendition_ &= static_cast<std::uint8_t>(~kRendUnderline); break;
      case 25: rendition_ &= static_cast<std::uint8_t>(~kRendBlink); break;
      case 27: rendition_ &= static_cast<std::uint8_t>(~kRendReverse); break;
      case 28: rendition_ &= static_cast<std::uint8_t>(~kRendInvisible); break;
      case 10:
      case 11:
      case 12: fontMode_ = p; break;
      case 39: colours_ = static_cast<std::uint8_t>((colours_ & 0x0F) | kColourDefault << 4); break;
      case 40:
      case 49: colours_ = static_cast<std::uint8_t>(colours_ & 0xF0); break;
      case 38:
      case 48: {
        // 5;n or 2;r;g;b (or their ":" forms): always consumed whole.
        const int kind = s.Get(i + 1, -1);
        int colour = -1;
        if (kind == 5) {
          colour = Ansi256(std::clamp(s.Get(i + 2, 0), 0, 255));
          i += 2;
        } else if (kind == 2) {
          colour = NearestAnsi(std::clamp(s.Get(i + 2, 0), 0, 255), std::clamp(s.Get(i + 3, 0), 0, 255),
                               std::clamp(s.Get(i + 4, 0), 0, 255));
          i += 4;
        } else {
          i = n;  // a malformed extended colour ends the list
          break;
        }
        const std::uint8_t index = kAnsiColours[colour];
        if (p == 38)
          colours_ = static_cast<std::uint8_t>((colours_ & 0x0F) | index << 4);
        else
          colours_ = static_cast<std::uint8_t>((colours_ & 0xF0) | index);
        break;
      }
      default:
        if (p >= 30 && p <= 37) colours_ = static_cast<std::uint8_t>((colours_ & 0x0F) | kAnsiColours[p - 30] << 4);
        if (p >= 41 && p <= 47) colours_ = static_cast<std::uint8_t>((colours_ & 0xF0) | kAnsiColours[p - 40]);
        // The bright colours have no entries of their own: the nearest is the normal one.
        if (p >= 90 && p <= 97) colours_ = static_cast<std::uint8_t>((colours_ & 0x0F) | kAnsiColours[p - 90] << 4);
        if (p >= 100 && p <= 107) colours_ = static_cast<std::uint8_t>((colours_ & 0xF0) | kAnsiColours[p - 100]);
        break;
    }
  }
}

void CVtTerminal::PcColour(bool foreground, int n) {
  if (n < 0 || n > 15) return;
  std::uint8_t index = kPcColours[n % 8];
  if (foreground) {
    colours_ = static_cast<std::uint8_t>((colours_ & 0x0F) | index << 4);
  } else {
    if (n % 8 == 0) index = kColourDefaultBackground;
    colours_ = static_cast<std::uint8_t>((colours_ & 0xF0) | index);
  }
}

void CVtTerminal::StatusReport(int n) {
  if (n == 5) SendReply(texts::kStatusOk);
  if (n == 6) {
    char reply[32];
    std::snprintf(reply, sizeof reply, texts::kCursorPositionReport, row_ + 1, column_ + 1);
    SendReply(reply);
  }
}

void CVtTerminal::MediaCopy(int n, bool isPrivate) {
  if (isPrivate) {
    switch (n) {
      case 1: {
        std::string line = LineText(row_);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        host_.PrinterData(line + "\r\n");
        if (!autoPrint_ && !printerController_) host_.PrinterJobEnd();
        break;
      }
      case 4:
        if (autoPrint_) {
          autoPrint_ = false;
          host_.PrinterJobEnd();
        }
        break;
      case 5: autoPrint_ = true; break;
      default: break;
    }
    return;
  }
  switch (n) {
    case 0: host_.PrintScreen(); break;
    case 5: StartPrinterController(); break;
    default: break;  // 4: the controller is off already
  }
}

void CVtTerminal::AutoPrintLine() {
  std::string line = LineText(row_);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  host_.PrinterData(line + "\r\n");
}

void CVtTerminal::DcsDispatch(const VtSequence& s, std::string_view data, bool truncated) {
  if (s.final != '|' || s.prefix != 0 || s.intermediateCount != 0 || config_.kind != kVtVt220 || truncated) return;
  DefineUserKeys(s, data);
}

// "kk/hexhex;kk/hexhex": stops at the first item that is not valid.
void CVtTerminal::DefineUserKeys(const VtSequence& s, std::string_view data) {
  if (s.Get(0, 0) == 0)
    for (std::string& key : userKeys_) key.clear();
  while (!data.empty()) {
    const std::size_t end = std::min(data.find(';'), data.size());
    std::string_view item = data.substr(0, end);
    data.remove_prefix(std::min(end + 1, data.size()));
    const std::size_t slash = item.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash > 2) return;
    int key = 0;
    for (char c : item.substr(0, slash)) {
      if (c < '0' || c > '9') return;
      key = key * 10 + (c - '0');
    }
    const int slot = UserKeySlot(key);
    std::string_view hex = item.substr(slash + 1);
    if (slot < 0 || hex.size() % 2 != 0 || hex.size() > 2 * kMaxUserKeyBytes) return;
    std::string value;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
      if (hi < 0 || lo < 0) return;
      value.push_back(static_cast<char>(hi << 4 | lo));
    }
    userKeys_[static_cast<std::size_t>(slot)] = std::move(value);
  }
}

}  // namespace corvina::vt
