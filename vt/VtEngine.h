// The VT engine behind TerminalEngine: VT100, VT220 and ANSI sessions and
// line mode. It feeds the host's bytes to the terminal state, turns key
// functions into the bytes the host expects, keeps the scroll-back view,
// prints through the spool, and draws the screen as a render model.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "session/OutputFile.h"
#include "session/RenderModel.h"
#include "session/TerminalEngine.h"
#include "vt/VtPrintSpool.h"
#include "vt/VtTerminal.h"

namespace corvina {

class CVtEngine final : public TerminalEngine, private vt::VtTerminalHost {
 public:
  // The elements of the VT colour scheme.
  static constexpr int kSchemeElements = 20;

  CVtEngine();
  ~CVtEngine() override;

  void Start(CHostSession& session) override;
  void Stop() override;
  void ProcessRecord(std::span<const std::uint8_t> bytes) override;
  void Paint(Canvas& canvas) override;
  void KeyFunction(int id) override;
  void TypeCharacter(int code) override;
  void PasteText(std::string_view text) override;
  std::string CopyRectangle(const CellRect& rect) override;
  void ProfileChanged() override;
  std::optional<std::string> PrintBuffer() override { return spool_.OpenJobBytes(); }
  int ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                  unsigned flags) override;

  // A keyboard map's sequence for a VT function (nullopt: the default one).
  // VT52 sequences cannot be replaced.
  using SequenceOverride = std::function<std::optional<std::string>(int id)>;
  void SetSequenceOverride(SequenceOverride lookup) { override_ = std::move(lookup); }
  // Where finished print jobs go (null: they stay in the spool file).
  void SetPrintSink(vt::VtPrintSink* sink) { spool_.SetSink(sink); }

  // The scroll-back view: 0 is the live screen.
  int ViewOffset() const { return viewOffset_; }
  void SetViewOffset(int offset);

  const vt::CVtTerminal& Terminal() const { return terminal_; }
  const RenderModel& Model() const { return model_; }
  const std::string& SpoolPath() const { return spool_.Path(); }
  std::string OiaLine() const;

 private:
  // VtTerminalHost.
  void Reply(std::string_view bytes) override;
  void Bell() override;
  void PrintScreen() override;
  void PrinterData(std::string_view bytes) override;
  void PrinterJobEnd() override;
  void ScreenResized() override;

  unsigned Mode() const;
  bool LocalEchoOn() const;
  void Echo(std::string_view bytes);
  // To the host through the session's escaped output; a CR not followed by
  // LF goes as CR NUL (Telnet NVT).
  void Send(std::string_view bytes);
  void LineModeKey(int id);
  bool HistoryKey(int id);
  void ReturnToLive();
  void AfterHostData(int historyBefore);
  void UpdateModel();
  RenderCell CellOf(const vt::VtCell& cell, std::uint8_t lineSize) const;
  std::string RowText(int viewRow) const;

  vt::CVtTerminal terminal_;
  vt::CVtPrintSpool spool_;
  // Hands finished print jobs to the program's printer thread.
  class CPrinterThreadSink final : public vt::VtPrintSink {
   public:
    explicit CPrinterThreadSink(CVtEngine& engine) : engine_(engine) {}
    void SubmitJob(const vt::VtPrintJob& job) override;

   private:
    void WriteToFile(const vt::VtPrintJob& job, OutputFileOverride& file);
    CVtEngine& engine_;
  };
  CPrinterThreadSink printerSink_{*this};
  // Reports of the printer thread reach the session only while the engine runs.
  std::shared_ptr<CHostSession*> alive_;
  RenderModel model_;
  SequenceOverride override_;
  int viewOffset_ = 0;
  bool running_ = false;
};

}  // namespace corvina
