// The 5250 display engine: the host's records (operation codes, commands,
// Write To Display orders) applied to the character buffer and the format
// table; the records sent back (read responses, the Save Screen image,
// error responses, Attention, System Request and Help); the operator's keys,
// typing and pasting; and the screen drawn as a render model.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ibm5250/FormatTable.h"
#include "ibm5250/PresentationSpace.h"
#include "session/RenderModel.h"
#include "session/TerminalEngine.h"

namespace corvina {

class C5250Engine : public TerminalEngine {
 public:
  enum KeyboardState : int {
    kStateNormal = 0,
    kStatePowerOn = 3,
    kStateSystemRequest = 4,
    kStateHostLocked = 5,
    kStateError = 6,
    kStateHelpInError = 7,
  };

  C5250Engine() = default;
  C5250Engine(const C5250Engine&) = delete;
  C5250Engine& operator=(const C5250Engine&) = delete;

  void Start(CHostSession& session) override;
  void Stop() override;
  void ProcessRecord(std::span<const std::uint8_t> record) override;
  void Paint(Canvas& canvas) override;
  void KeyFunction(int id) override;
  void TypeCharacter(int code) override;
  void MouseFunction(int id, int column, int row) override;
  void EraseSelection() override;
  void PasteText(std::string_view text) override;
  std::string CopyRectangle(const CellRect& rect) override;
  void SetCursor(int position, bool show) override;
  int ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                  unsigned flags) override;
  // Query Field Attribute, Copy String to Presentation Space, Find Field
  // Position and Length, Copy String to Field (Hllapi5250.cpp).
  int HllapiFunction(int number, HllapiRequest& request) override;

  // State while the engine runs.
  const C5250PresentationSpace& Screen() const { return *ps_; }
  const C5250FormatTable& Format() const { return table_; }
  int State() const { return state_; }
  std::uint8_t PendingAid() const { return pendingAid_; }
  bool Invited() const { return invited_; }
  int ErrorCode() const { return errorCode_; }
  bool MessageLight() const { return messageLight_; }
  bool MdtPresent() const { return mdtPresent_; }
  int InsertCursor() const { return ic_; }
  // The render model as of the last paint, and the OIA line now.
  const RenderModel& Model() const { return model_; }
  std::string OiaLine() const;
  // The tool tip of an attribute cell (empty for any other cell).
  std::string DescribeAttribute(int position) const;
  // The data of the Save Screen record: commands and orders that rebuild
  // this screen in a Restore Screen.
  std::vector<std::uint8_t> SaveScreenImage() const;

 private:
  // A failed command or order: the error response code; 0 is success.
  using Failure = std::uint32_t;
  static constexpr Failure kOk = 0;
  struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool Has(std::size_t n) const { return bytes.size() - at >= n; }
    std::uint8_t Take() { return bytes[at++]; }
    std::uint8_t Peek() const { return bytes[at]; }
    bool AtEnd() const { return at >= bytes.size(); }
  };
  // What Reset restores after an error and Enter after a system request.
  struct SavedState {
    int state = kStateNormal;
    int lockReason = 0;
    bool insert = false;
    int cursor = 0;
    int ic = 0;
    bool mdtPresent = false;
    bool cursorProgression = false;
  };

  // Records (Engine5250.cpp).
  void ProcessCommands(Reader& r);
  Failure Command(std::uint8_t command, Reader& r);
  void ClearUnit(int rows, int columns);
  void ClearFormatTable();
  void HostLock();
  void ApplyCc1(std::uint8_t cc1);
  void ApplyCc2(std::uint8_t cc2);
  void Unlock();
  void HostAlarm();
  void OperatorAlarm();
  void Refresh();
  void SendRecord(std::uint8_t flags, std::span<const std::uint8_t> data, std::uint8_t opcode);
  void SendRecord(std::uint8_t flags, std::span<const std::uint8_t> data) { SendRecord(flags, data, opcode_); }
  void SendError(Failure code);
  // Write To Display and the commands that write (WriteToDisplay.cpp).
  Failure WriteToDisplay(Reader& r);
  Failure StartOfField(Reader& r);
  Failure StartOfHeader(Reader& r);
  Failure WriteErrorCode(Reader& r);
  Failure Roll(Reader& r);
  Failure WriteStructuredField(Reader& r);
  // A row and column of the host as a position; nullopt when outside.
  std::optional<int> TakeAddress(Reader& r) const;
  void HostWrite(int position, std::uint8_t b);
  void PlaceCursorAfterWrite(std::optional<int> moveCursor, std::uint8_t cc2);
  // Reads and the other records to the host (Inbound5250.cpp).
  void ReadCommand(std::uint8_t command, std::uint8_t cc1, std::uint8_t cc2);
  void SendReadResponse(std::uint8_t command, std::uint8_t aid);
  void AppendFieldCells(std::vector<std::uint8_t>& data, const C5250Field& field, bool mdtRead,
                        std::uint8_t nullAs) const;
  std::vector<int> FieldsInReadOrder() const;
  void AppendCursorAddress(std::vector<std::uint8_t>& data, int position) const;

  // Keyboard (Keyboard5250.cpp).
  bool Locked() const;
  bool QueuedWhileBusy(int kind, int value);
  int KeyStateColumn() const;
  bool KeyAllowed(int row);
  void PerformKey(int id);
  void AidKey(int id, std::uint8_t aid);
  bool LeaveChecks(const C5250Field& field);
  bool SelfCheck(const C5250Field& field);
  void OperatorError(int code);
  void SaveState(std::optional<SavedState>& slot);
  void HelpKey();
  void SystemRequest();
  void EndSystemRequest(bool send);
  void ErrorReset();
  static constexpr int kIgnored = -2, kRefused = -1;
  int TypeOne(int code);
  void TypeCharacterNow(int code);
  void AfterLastCell(int field);
  void FieldExit(int id);
  void Dup();
  void Tab();
  void Backtab();
  void Newline();
  void Home();
  void FieldEnd();
  void Backspace();
  bool DeleteAt(int position);
  void EraseEof();
  void EraseInput();
  void CursorSelect();
  void WordLeft();
  void WordRight();
  void WordDelete();
  int HomePosition() const;
  // Moves the cursor as the operator does: leaving a field runs its checks
  // first (false, cursor kept, when they fail).
  bool MoveCursor(int position);
  // Places the cursor without checks (the host, errors).
  void PlaceCursor(int position);
  // Keeps the field under the cursor, its highlight and the typing flags in step.
  void TrackCursorField();
  void Unhighlight();
  C5250Field* CursorInputField();
  int Cursor() const;
  // Clipboard and mouse (Clipboard5250.cpp).
  void Hotspot(int position);

  // Drawing (Render5250.cpp).
  void UpdateModel();
  std::uint8_t QueryAttributeByte(int attributePosition) const;
  // The 3270-style attribute byte HLLAPI gives for a field (null: no input field).
  static std::uint8_t AttributeByte(const C5250Field* field);
  // HLLAPI's field searches (Hllapi5250.cpp): the nearest attribute cell at
  // or before the position; the attribute a search code finds, -1 for none,
  // -2 for an unknown direction.
  int AttributeAtOrBefore(int position) const;
  int FindField(int position, std::uint8_t direction, std::uint8_t kind) const;
  bool Monochrome() const;

  std::optional<C5250PresentationSpace> ps_;  // while running
  C5250FormatTable table_;
  std::optional<C5250FormatTable> savedTable_;  // during a system request
  int state_ = kStatePowerOn;
  std::uint8_t pendingAid_ = 0;
  std::uint8_t shownAid_ = 0;  // the AID the OIA names while the host is waited for
  std::uint8_t readCommand_ = 0, readCc1_ = 0, readCc2_ = 0;
  bool invited_ = false;
  bool messageLight_ = false;
  bool blinkingCursor_ = false;
  bool mdtPresent_ = false;
  bool cursorProgression_ = false;
  std::uint8_t opcode_ = 0;  // of the last host record
  int address_ = 0;          // where the next order writes
  int ic_ = 0;               // the insert-cursor address, 0 for none
  int errorCode_ = 0;
  std::optional<SavedState> errorSaved_, requestSaved_;
  bool waitingForFieldExit_ = false, dataTyped_ = false;
  int cursorField_ = -1;        // the field under the cursor when last tracked
  int highlightCell_ = -1;      // an attribute cell a highlight word replaced ...
  std::uint8_t highlightSaved_ = 0;  // ... and what it held
  bool alarmPending_ = false;
  RenderModel model_;
};

}  // namespace corvina
