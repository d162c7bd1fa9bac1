// The seam between a session and its terminal engines (3270, 5250, VT). The
// session calls an engine only through these operations, in this order of
// the classic operation table; an operation an engine lacks does nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/HllapiRequest.h"

namespace corvina {

class CHostSession;
class Canvas;
struct PrintJob;


// A screen rectangle in cells, inclusive.
struct CellRect {
  int left = 0, top = 0, right = -1, bottom = -1;
  bool Empty() const { return right < left || bottom < top; }
};

// ExtractText flags (the values of the HLLAPI option flags). Without flags
// field attributes, nulls and non-display text all come out as blanks.
enum : unsigned {
  kExtractFieldMode = 0x1,                // wrap at the end, stop at the next attribute
  kExtractAttributeAsTab = 0x2,           // a field attribute gives a TAB
  kExtractShowNonDisplay = 0x20000,       // non-display fields as they are
  kExtractColorForm = 0x200000,           // extended attribute bytes in PC colour form
  kExtractExtendedAttributes = 0x400000,  // an extended attribute byte after each character
  kExtractAttributeBytes = 0x8000000,     // a field attribute gives its byte ORed with 0xC0
  kExtractNonDisplayAsNull = 0x80000000,  // non-display characters give 0x00, not a blank
};

class TerminalEngine {
 public:
  virtual ~TerminalEngine() = default;

  virtual void Start(CHostSession& session) = 0;                          // 1
  virtual void Stop() = 0;                                                // 2
  virtual void ProcessRecord(std::span<const std::uint8_t> record) = 0;   // 3
  virtual void Paint(Canvas&) {}                                          // 4
  virtual void KeyFunction(int /*id*/) {}                                 // 5
  virtual void TypeCharacter(int /*code*/) {}                             // 6
  virtual void MouseFunction(int /*id*/, int /*column*/, int /*row*/) {}  // 7
  virtual void EraseSelection() {}                                        // 8
  virtual void PasteText(std::string_view) {}                             // 9
  virtual std::string CopyRectangle(const CellRect&) { return {}; }       // 10
  // The session's own cursor routine unless the engine has one.
  virtual void SetCursor(int position, bool show);                        // 11
  virtual void DropFiles(const std::vector<std::string>&) {}              // 12
  virtual void PrintJobStatus(const PrintJob&) {}                         // 13
  virtual int HllapiFunction(int /*number*/, HllapiRequest&) { return 10; }  // 14
  // Latin-1 text of `count` positions from `position`; when asked, the field
  // attribute that governs each position read goes to *attributes. Returns
  // the number of bytes produced.
  virtual int ExtractText(int position, int count, std::string& out,
                          std::vector<std::uint8_t>* attributes, unsigned flags) = 0;  // 15
  // The bytes of a print job the host has under way (a VT printer
  // controller or auto print); nullopt when none.
  virtual std::optional<std::string> PrintBuffer() { return std::nullopt; }
  // The running session's profile was edited (ApplyProfile).
  virtual void ProfileChanged() {}
  // The session's one-second clock.
  virtual void OnTick() {}                                                // 16

 protected:
  CHostSession* session_ = nullptr;
};

}  // namespace corvina
