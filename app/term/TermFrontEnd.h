// corvina-term's view: the application's sessions drawn full-screen in the
// text terminal the program runs in, with the OIA and a status line at the
// bottom, the terminal's keys and mouse turned into the key codes of the
// keyboard maps, and a command line behind the command key.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/term/KeyDecoder.h"
#include "app/term/TermCanvas.h"
#include "app/term/TermCommands.h"
#include "app/term/TermUi.h"
#include "filetransfer/FileTransfer.h"
#include "platform/EventLoop.h"

namespace corvina::term {

struct TermSettings {
  KeyCode commandKey;
  std::string commandKeyText;  // as the status line shows it
  int escapeDelayMs = 50;
  bool mouse = true;
};

class CTermFrontEnd final : public app::SessionTableObserver {
 public:
  CTermFrontEnd(platform::EventLoop& loop, CTermUi& ui, app::CCorvinaApp& app, TermSettings settings);
  ~CTermFrontEnd() override;
  CTermFrontEnd(const CTermFrontEnd&) = delete;
  CTermFrontEnd& operator=(const CTermFrontEnd&) = delete;

  // Whether standard input and output are a terminal; the reason when not.
  static bool TerminalAvailable(std::string* error);
  // Takes over the terminal on standard input and output (after the
  // application's Initialise). False, with the reason, when there is none.
  bool Start(std::string* error);
  // Gives the terminal back as it was.
  void Stop();
  // The terminal changed its size.
  void Resized();
  // Opens the command line with this text already typed.
  void OpenCommandLine(const std::u32string& text = {});

  // SessionTableObserver.
  void SessionStarted(CHostSession&) override { ScheduleRepaint(); }
  void SessionClosing(CHostSession& s) override;
  void ActiveSessionChanged(CHostSession*) override { ScheduleRepaint(); }
  void ScreenChanged(CHostSession&) override { ScheduleRepaint(); }
  void LastSessionClosed() override { ScheduleRepaint(); }

 private:
  void OnReadable();
  void OnInput(const TermInput& in);
  void SessionKey(CHostSession& s, const TermInput& in);
  void SessionMouse(CHostSession& s, const TermMouse& m);
  void SessionPaste(CHostSession& s, const std::string& utf8);
  void CommandLineKey(const TermInput& in);
  void RunCommand(const std::string& utf8);
  bool SystemCommand(CHostSession& s, int id);
  void Transfer(CHostSession& s, const TermCommand& command);
  void TransferEnded(CHostSession& s, const filetransfer::TransferOutcome& outcome);
  void Copy(CHostSession& s);
  void RequestClipboard();
  void PrintScreen(CHostSession& s, const std::string& file);
  void ShowOverlay(const std::string& title, const std::vector<std::string>& lines);
  void ScheduleRepaint();
  void Repaint();
  void DrawBottom(int oiaRow, int statusRow);
  std::string StatusLine(int width, std::vector<std::pair<int, int>>* bold) const;
  void WriteTerminal(const std::string& bytes);

  platform::EventLoop& loop_;
  CTermUi& ui_;
  app::CCorvinaApp& app_;
  TermSettings settings_;
  CKeyDecoder decoder_;
  CTermCanvas canvas_;
  bool started_ = false;
  bool hooked_ = false;  // the session table calls SystemCommand
  void* screen_ = nullptr;  // the curses SCREEN
  platform::WatchId inputWatch_ = 0;
  platform::TimerId escapeTimer_ = 0;
  platform::TimerId clockTimer_ = 0;
  platform::TimerId clipboardTimer_ = 0;  // waiting for the terminal's clipboard
  bool repaintPosted_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  CHostSession* shown_ = nullptr;
  bool layoutChanged_ = true;
  int top_ = 0, left_ = 0;  // the first screen row and column shown
  int viewRows_ = 0;        // terminal rows that show the screen
  int lastCursorRow_ = -1, lastCursorColumn_ = -1;

  // The command line.
  bool commandOpen_ = false;
  std::u32string commandText_;
  std::size_t commandCursor_ = 0;
  std::vector<std::u32string> history_;
  std::size_t historyIndex_ = 0;

  // The transfers the transfer command started, by session: their progress
  // goes to the status line, their end is told.
  class TransferWatch;
  std::map<CHostSession*, std::unique_ptr<TransferWatch>> transfers_;

  // A help or messages page over the screen until the next key.
  std::vector<std::string> overlay_;

  // Mouse: the cell a drag started at, and the last click for double clicks.
  int anchorRow_ = -1, anchorColumn_ = -1;
  int lastClickRow_ = -1, lastClickColumn_ = -1;
  std::chrono::steady_clock::time_point lastClick_{};
};

}  // namespace corvina::term
