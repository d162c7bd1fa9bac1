// The 3270 display engine: the host's commands and orders applied to the
// presentation space, the extended protocol's record headers, line-mode
// text, program checks, the reads the host asks for, and the screen drawn
// as a render model.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ibm3270/PresentationSpace.h"
#include "session/RenderModel.h"
#include "session/TerminalEngine.h"

namespace corvina {

class C3270Engine : public TerminalEngine {
 public:
  // Program check numbers.
  static constexpr int kInvalidCommand = 401;
  static constexpr int kInvalidAddress = 402;

  C3270Engine() = default;
  C3270Engine(const C3270Engine&) = delete;
  C3270Engine& operator=(const C3270Engine&) = delete;

  void Start(CHostSession& session) override;
  void Stop() override;
  void ProcessRecord(std::span<const std::uint8_t> record) override;
  void Paint(Canvas& canvas) override;
  int ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                  unsigned flags) override;
  void KeyFunction(int id) override;
  void TypeCharacter(int code) override;
  void MouseFunction(int id, int column, int row) override;
  void EraseSelection() override;
  void PasteText(std::string_view text) override;
  std::string CopyRectangle(const CellRect& rect) override;
  // Query Field Attribute, Copy String to Presentation Space, Find Field
  // Position and Length, Copy String to Field (Hllapi3270.cpp).
  int HllapiFunction(int number, HllapiRequest& request) override;

  // The presentation space while the engine runs.
  const C3270PresentationSpace& Screen() const { return *ps_; }
  std::uint8_t Wcc() const { return wcc_; }
  std::uint8_t CurrentAid() const { return aid_; }
  int ProgramCheck() const { return programCheck_; }
  // The render model as of the last paint.
  const RenderModel& Model() const { return model_; }

  // One field of a formatted screen.
  struct Field {
    int attributePosition = 0;
    std::uint8_t attribute = 0;
    std::uint32_t extended = 0;
    int length = 0;  // character positions up to the next attribute
  };
  std::vector<Field> Fields() const;

  // Unlocks a keyboard waiting for the host (not after a program check),
  // stops the response-time clock and forgets the current AID.
  void KeyboardRestore();
  // An operator error (or a forced lock): beeps unless suppressed, and locks
  // when forced or when the profile locks on errors.
  void LockKeyboard(int reason, bool forced);
  // The inbound records. An AID key's Read Modified and short read make the
  // AID current and lock the keyboard; the host's read commands do not. The
  // selector pen's AID sends only the addresses of the modified fields,
  // except for Read Modified All.
  void ReadBuffer(std::uint8_t aid);
  void ReadModified(std::uint8_t aid, bool hostRequested = true, bool all = false);
  void ShortRead(std::uint8_t aid);
  void SendSscpLuInput();

  // The operator information area line as drawn under the screen.
  std::string OiaLine() const { return OiaText(); }
  // The NVT-mode text typed and not yet sent.
  const std::string& NvtLine() const { return nvtLine_; }
  // Sets the sizes of the stored BIND image (or the profile's) and clears.
  void SessionReset();

  // The query replies of the session's terminal type; none for a 3278.
  struct ReplySet {
    int rows, columns;
  };
  std::optional<ReplySet> QueryReplySet() const;
  // One query reply by its QCODE (empty for an unknown one).
  std::vector<std::uint8_t> QueryReply(std::uint8_t qcode, const ReplySet& set, bool withDdm) const;

 protected:
  // Hooks of the 3270 printer variant; the display has none of them.
  virtual bool IsPrinter() const { return false; }
  virtual void PrinterScsData(std::span<const std::uint8_t> /*data*/) {}
  virtual void PrinterEndOfJob() {}
  virtual void PrinterWriteComplete(std::uint8_t /*wcc*/) {}
  // The file transfer's part, filled by the transfer's engine variant:
  // whether one runs, whether it wants the DDM query reply and with which
  // buffer size, the 0xD0 fields it takes while it runs, and each host
  // Write of more than 2 bytes, handed over once the host has its response
  // (true: the transfer took the screen, which is then neither drawn nor
  // unlocks the keyboard).
  virtual bool FileTransferActive() const { return false; }
  virtual bool FileTransferWantsDdm() const { return false; }
  virtual int FileTransferBufferSize() const;
  virtual void FileTransferField(std::span<const std::uint8_t> /*field*/) {}
  virtual bool FileTransferWrite() { return false; }
  // What a transfer writes into a frame, and how it answers.
  C3270PresentationSpace& TransferScreen() { return *ps_; }
  void SendInboundRecord(const std::vector<std::uint8_t>& data);

 private:
  void ProcessCorvinaERecord(std::span<const std::uint8_t> data);
  void ProcessCommand(std::span<const std::uint8_t> record);
  void WriteStructuredFields(std::span<const std::uint8_t> fields);
  bool ReadPartition(std::span<const std::uint8_t> field, bool& responded);
  void SendQueryReply(const ReplySet& set, std::span<const std::uint8_t> qcodes, bool all);
  // Applies a Write's orders and data; false when the response is not the
  // caller's to send (a program check, or a printer, which answers itself).
  // A Write handed to a transfer leaves the screen's follow-up to it.
  bool Write(std::span<const std::uint8_t> record, bool handOff = false);
  void AfterWrite();
  void HandOffWrite();
  int ProgramTab(int position, bool dataWrittenLast);
  void EraseAllUnprotected();
  void DoProgramCheck(int number);
  void LineModeText(std::span<const std::uint8_t> text, bool translate);
  void Alarm();
  void Refresh();
  void UpdateModel();
  RenderCell CellAt(int position, std::uint8_t attribute, bool formatted, std::uint32_t fieldExtended) const;
  std::string OiaText() const;

  // Keyboard (Keyboard3270.cpp).
  struct FieldSpan {
    int start;   // the first character position
    int length;  // positions up to the next attribute (the whole buffer when unformatted)
  };
  FieldSpan FieldOf(int position) const;
  bool InputPosition(int position) const;  // a character position of an unprotected field
  void PerformKey(int id);
  void NvtKey(int id);
  void AidKey(std::uint8_t aid);
  bool TypeOne(int code);
  bool QueuedWhileBusy(int kind, int value);
  bool StartAid(std::uint8_t aid);
  void MoveCursor(int position);
  void Tab();
  void Backtab();
  void StepToInputField(int direction);
  void Home();
  void Newline();
  void FieldEnd();
  void Backspace();
  void DeleteAt(int position);
  void EraseEof();
  void EraseInput();
  void CursorSelect();
  void WordRight();
  void WordLeft();
  void WordDelete();
  void Hotspot(int position);
  bool Blank(int position) const;
  int NullUnprotectedFields();
  // The attribute position a field search code finds from the position:
  // -1 for none, -2 for an unknown direction (Hllapi3270.cpp).
  int FindField(int position, std::uint8_t direction, std::uint8_t kind) const;
  // Reads (Inbound3270.cpp).
  void AppendCharacter(std::vector<std::uint8_t>& data, int position, std::uint32_t& lastExtended) const;
  void AppendFieldAttribute(std::vector<std::uint8_t>& data, int position) const;

  std::optional<C3270PresentationSpace> ps_;  // while running
  std::uint8_t wcc_ = 0;
  std::uint8_t aid_ = 0x60;
  int programCheck_ = 0;
  std::uint32_t characterAttributes_ = 0;  // Set Attribute values of the current Write
  bool alarmPending_ = false;              // a sound alarm for the next repaint
  RenderModel model_;
  std::string nvtLine_;
};

}  // namespace corvina
