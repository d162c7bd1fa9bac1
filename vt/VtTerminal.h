// The VT state layer: cursor, modes, character sets, margins, tab stops,
// renditions and reports, driven by the parser's events and drawing into
// the screen ring. It knows nothing of sessions: what it sends, rings or
// prints goes to its VtTerminalHost.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vt/VtCharsets.h"
#include "vt/VtParser.h"
#include "vt/VtScreen.h"

namespace corvina::vt {

// Terminal kinds (the session's terminal mode).
enum : unsigned { kVtLineMode = 257, kVtAnsi = 258, kVtVt100 = 259, kVtVt220 = 260 };

inline constexpr int kUserKeyCount = 20;
inline constexpr std::size_t kMaxUserKeyBytes = 128;  // 256 hexadecimal digits

class VtTerminalHost {
 public:
  virtual ~VtTerminalHost() = default;
  // A report for the host (status, attributes, answerback).
  virtual void Reply(std::string_view bytes) = 0;
  virtual void Bell() {}
  // Print the screen (CSI i, CSI 0 i, VT52 ESC ]).
  virtual void PrintScreen() {}
  // Printer-controller and auto-print output, in order.
  virtual void PrinterData(std::string_view) {}
  // The printer controller or auto print was switched off: what it printed is one job.
  virtual void PrinterJobEnd() {}
  // The screen changed width (80/132 columns).
  virtual void ScreenResized() {}
};

struct VtConfig {
  unsigned kind = kVtVt100;
  int rows = 24, columns = 80;
  int history = 48;          // scroll-back lines
  bool lineWrap = false;     // "Enable line wrap": wrap even with autowrap off
  std::string answerback;    // sent for ENQ when not empty
};

class CVtTerminal final : private VtParserListener {
 public:
  explicit CVtTerminal(VtTerminalHost& host);
  CVtTerminal(const CVtTerminal&) = delete;
  CVtTerminal& operator=(const CVtTerminal&) = delete;

  // Allocates the ring and resets everything as ESC c does.
  void Start(const VtConfig& config);
  // The host's bytes.
  void Feed(std::span<const std::uint8_t> bytes);
  void Feed(std::string_view bytes) {
    Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  }

  const VtConfig& Config() const { return config_; }
  const CVtScreen& Screen() const { return screen_; }
  // A new history capacity keeps the most recent lines that fit.
  void SetHistory(int lines);
  int Rows() const { return screen_.Rows(); }
  int Columns() const { return screen_.Columns(); }
  int CursorRow() const { return row_; }
  int CursorColumn() const { return column_; }
  bool PendingWrap() const { return pendingWrap_; }

  bool Vt52() const { return vt52_; }
  bool CursorKeysApplication() const { return cursorKeysApplication_; }
  bool KeypadApplication() const { return keypadApplication_; }
  bool NewLineMode() const { return newLineMode_; }
  bool InsertMode() const { return insertMode_; }
  bool KeyboardLocked() const { return keyboardLocked_; }
  bool OriginMode() const { return originMode_; }
  bool Autowrap() const { return autowrap_; }
  bool Autorepeat() const { return autorepeat_; }
  bool CursorVisible() const { return cursorVisible_; }
  bool ScreenReverse() const { return screenReverse_; }
  bool PrinterController() const { return printerController_; }
  bool AutoPrint() const { return autoPrint_; }
  unsigned Leds() const { return leds_; }
  int RegionTop() const { return top_; }
  int RegionBottom() const { return bottom_; }
  // A user-defined key's bytes (0 = F1); empty when the host loaded none.
  const std::string& UserKey(int index) const;

  // The text of a screen or history line, trailing blanks kept, glyphs as
  // their DEC Special Graphics bytes.
  std::string LineText(int row) const;

 private:
  // Parser events.
  void Print(std::span<const std::uint8_t> run) override;
  void Execute(std::uint8_t control) override;
  void EscDispatch(const VtSequence& s) override;
  void CsiDispatch(const VtSequence& s) override;
  void DcsDispatch(const VtSequence& s, std::string_view data, bool truncated) override;
  void Vt52CursorAddress(int row, int column) override;

  void Reset();
  void SoftReset();
  void Vt52Escape(std::uint8_t final);
  void PrivateMode(int mode, bool on);
  void AnsiMode(int mode, bool on);
  void Sgr(const VtSequence& s);
  void PcColour(bool foreground, int n);
  void StatusReport(int n);
  void MediaCopy(int n, bool isPrivate);
  void DefineUserKeys(const VtSequence& s, std::string_view data);

  void PutCharacter(std::uint8_t shown);
  void Index();
  void ReverseIndex();
  void ScrollUp(int n);
  void ScrollDown(int n);
  void NextLine();
  void ForwardTab(int n);
  void BackTab(int n);
  void MoveTo(int row, int column);  // absolute, clamped
  void SetColumn(int column);
  void CursorUp(int n);
  void CursorDown(int n);
  void EraseDisplay(int how, bool spareProtected);
  void EraseLine(int how, bool spareProtected);
  void InsertLines(int n);
  void DeleteLines(int n);
  void SetColumns(int columns);
  void SetLineSize(std::uint8_t size);
  void Designate(int set, char designator);
  void Invoke();  // rebuilds the GL translation
  void SaveCursor();
  void RestoreCursor();
  void AutoPrintLine();
  void StartPrinterController();
  void FeedPrinterController(std::span<const std::uint8_t> bytes, std::size_t& i);
  int LineWidth() const;  // columns usable on the cursor line
  VtCell Blank() const { return VtCell{' ', 0, colours_}; }
  void SendReply(std::string_view bytes) { host_.Reply(bytes); }

  VtTerminalHost& host_;
  VtParser parser_;
  VtConfig config_;
  CVtScreen screen_;

  int row_ = 0, column_ = 0;
  bool pendingWrap_ = false;
  int top_ = 0, bottom_ = 0;
  std::uint8_t rendition_ = 0;  // without the line-size bits
  std::uint8_t colours_ = kDefaultColours;
  bool protect_ = false;

  std::array<char, 4> sets_{{'B', 'B', 'B', 'B'}};  // G0-G3 designators
  int shift_ = 0;        // the set invoked into GL: 0 (G0) to 3
  int singleShift_ = -1; // G2 or G3 for the next character only
  VtTranslation gl_{};
  VtTranslation singleShiftTable_{};
  int fontMode_ = 10;    // SGR 10, 11, 12 (12: PC graphics on ANSI sessions)

  bool vt52_ = false, cursorKeysApplication_ = false, keypadApplication_ = false;
  bool newLineMode_ = false, insertMode_ = false, keyboardLocked_ = false, originMode_ = false;
  bool autowrap_ = true, autorepeat_ = true, cursorVisible_ = true, screenReverse_ = false;
  bool allow132_ = true;
  std::vector<bool> tabs_;

  struct Saved {
    int row = 0, column = 0;
    std::uint8_t rendition = 0, colours = kDefaultColours;
    bool protect = false;
    int shift = 0;
    std::array<char, 4> sets{{'B', 'B', 'B', 'B'}};
  } saved_;
  int savedRow_ = 0, savedColumn_ = 0;  // CSI s / CSI u

  std::uint8_t lastByte_ = 0;  // the last character byte, for CSI b
  bool lastByteValid_ = false;
  bool printerController_ = false, autoPrint_ = false;
  std::string controllerPending_;  // the part of CSI 4 i matched so far
  unsigned leds_ = 0;
  std::array<std::string, kUserKeyCount> userKeys_;
};

}  // namespace corvina::vt
