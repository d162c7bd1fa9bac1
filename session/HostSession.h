// CHostSession: one connection to one host, shown in one terminal window.
// It is the socket, splits the host stream into Telnet commands and terminal
// data, runs the terminal engine of the current mode, buffers output, and
// runs connect, disconnect, reconnect, keep-alive, the one-second clock, the
// keyboard entry points and the type-ahead queue.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codepage/CodePage.h"
#include "config/SessionProfile.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"
#include "session/Oia.h"
#include "session/OutputFile.h"
#include "session/SessionTrace.h"
#include "session/SslSocket.h"
#include "session/Telnet.h"
#include "session/TerminalEngine.h"

namespace corvina {

namespace printing {
class CPrinterThread;
}

class CHostSession;
class TlsContexts;
class CCorvinaPersistentData;
class CCorvinaKeyboardMap;
class CCorvinaColorScheme;
class CCorvinaMacro;
struct KeyBinding;

// Makes the engine for a terminal mode; null when none is built in.
using EngineFactory = std::function<std::unique_ptr<TerminalEngine>(unsigned mode)>;

// What a session needs of the frame that owns it.
class SessionFrame {
 public:
  virtual ~SessionFrame() = default;
  // Whether the session's window is the one shown.
  virtual bool IsVisible(const CHostSession&) const { return true; }
  // The session's connection is over for good: take it out of the table and
  // destroy it on a later turn of the event loop, never inside this call.
  virtual void CloseSession(CHostSession& session) = 0;
  // The preference "Warn me when the host closes a session".
  virtual bool WarnWhenHostCloses() const { return true; }
  // The session changed its own profile (cross-hair toggle): save it.
  virtual void SaveProfile(CHostSession&) {}
  // Cells, cursor or status changed; repaint when visible.
  virtual void ScreenChanged(CHostSession&) {}
  // A whole block of host data has been processed (a waiting script looks
  // at the screen now; ScreenChangedFlag tells whether the host has written
  // to it since the engine started).
  virtual void HostDataProcessed(CHostSession&) {}
  // A system command from a key binding or a macro, performed as the menu
  // command of that identifier with `argument`. False when nothing did it.
  virtual bool SystemCommand(CHostSession&, int /*id*/, int /*argument*/) { return false; }
  // A key bound to a script file (the session null for none). False when
  // the script did not start; the frame tells the user why.
  virtual bool RunScript(CHostSession* /*session*/, const std::string& /*file*/) { return false; }
  // The running script's Printer file, which host print jobs go to instead
  // of the printer or the profile's file; null when none is set.
  virtual OutputFileOverride* ScriptPrinterFile(CHostSession&) { return nullptr; }
  // The "REC" indicator of a recording session: lit when recording starts,
  // toggled every clock tick, dark when it stops.
  virtual void RecordingIndicator(CHostSession&, bool /*lit*/) {}
};

struct SessionEnvironment {
  platform::EventLoop& loop;
  platform::UserInterface& ui;
  const platform::Clock& clock;
  SessionFrame& frame;
  EngineFactory engines;
  TlsContexts* tls = nullptr;  // null: TLS cannot be offered
  std::chrono::milliseconds tlsHandshakeTimeout{10'000};
  // The application settings (null: every setting has its default).
  const platform::IniFile* settings = nullptr;
  // Where profiles' code-page file names are found.
  std::string codePageFolder = {};
  // The data folder (ends in "/"; empty: the working folder), for the files
  // an engine writes.
  std::string dataFolder = {};
  // Keyboard maps, macros and colour schemes, found by the profile's names
  // at every use (null: only the built-in layouts and colours).
  CCorvinaPersistentData* store = nullptr;
  // The program's printer thread for host print jobs (null: none).
  printing::CPrinterThread* printer = nullptr;
};

// Type-ahead entry kinds.
enum : int { kTypeAheadCharacter = 1, kTypeAheadKey = 2 };

// What a key capture (HLLAPI's keystroke interception) did with a key.
enum class KeyCapture { kPassed, kTaken, kDropped };

class CHostSession : public CMSslSocket {
 public:
  // Bytes kept for one inbound record before it is dropped as hostile.
  static constexpr std::size_t kMaxRecord = 16 * 1024 * 1024;
  // Output a host may leave unread before the session gives up on it.
  static constexpr std::size_t kMaxPendingOutput = 8 * 1024 * 1024;

  CHostSession(int number, std::shared_ptr<CCorvinaSessionProfile> profile, SessionEnvironment env);
  ~CHostSession() override;

  // Starts the engine of the current mode and opens the connection. False
  // when no attempt could be started; the frame then destroys the session.
  bool Connect();
  // Starts TLS on the open connection with the client choice 0x100, 0x200
  // or 0x300 of a script's sslconnect. False (the user is told) when no
  // context can be made.
  bool StartSslOnConnection(unsigned choice);
  // Takes over what the profile says (at connect and after every edit).
  void ApplyProfile();

  // Identity.
  int Number() const { return number_; }
  std::string Title() const;
  CCorvinaSessionProfile& Profile() { return *profile_; }
  const CCorvinaSessionProfile& Profile() const { return *profile_; }
  const std::string& HostName() const { return host_; }
  int Port() const { return port_; }
  platform::EventLoop& Loop() { return env_.loop; }
  platform::UserInterface& Ui() { return env_.ui; }
  const platform::Clock& Clock() const { return env_.clock; }
  const platform::IniFile* Settings() const { return env_.settings; }
  // The session's EBCDIC translation (the built-in table until a file loads).
  const CCorvinaCodePage& CodePage() const { return codePage_; }
  SessionFrame& Frame() { return env_.frame; }
  const std::string& DataFolder() const { return env_.dataFolder; }
  printing::CPrinterThread* Printer() const { return env_.printer; }
  // False once the session is destroyed: for reports that arrive later.
  std::shared_ptr<const bool> AliveToken() const { return alive_; }

  // Output, used by the Telnet layer and the engines.
  void QueueOutput(std::span<const std::uint8_t> bytes);
  void QueueOutputEscaped(std::span<const std::uint8_t> bytes);  // doubles 0xFF
  void FlushOutput();
  std::size_t SendRaw(std::span<const std::uint8_t> bytes);
  std::size_t QueuedOutput() const { return output_.size(); }
  // Largest piece sent at once; 0 sends the whole buffer in one piece.
  void SetMaxChunk(std::size_t n) { maxChunk_ = n; }

  // Keyboard entry points. OnKeyFunction returns 0 when nothing ran;
  // OnCharacter false when the character was refused.
  int OnKeyFunction(int id);
  bool OnCharacter(int code);
  // HLLAPI's hold on the entries above. A key capture sees every key first
  // (kind kTypeAheadCharacter or kTypeAheadKey); a taken key is not run, a
  // dropped one fails. Keys that Send Key plays pass the reservation
  // (SetKeyboardDisabled) and the capture.
  void SetKeyCapture(std::function<KeyCapture(int kind, int value)> capture) { keyCapture_ = std::move(capture); }
  void SetPlayingKeys(bool on) { playingKeys_ = on; }
  bool PlayingKeys() const { return playingKeys_; }
  // Engines count the keys they refuse (operator errors, a full type-ahead).
  void KeyRefused() { ++refusedKeys_; }

  // Key events of the front ends (desktop, text terminal, HLLAPI): a
  // virtual-key code and modifier byte go through the session's keyboard
  // map to a key function, a character, a system command, a macro or a
  // script. False when the map does not bind the key: the front end then
  // types the key's character with TypeText (or drops the key). An
  // auto-repeated key whose function does not repeat is taken and ignored.
  bool OnKeyEvent(int virtualKey, int modifiers, bool autoRepeat = false);
  // A mouse button (1 left, 2 right, 4 middle; modifier bit 8 for a double
  // click) at a screen cell; CursorMove, CursorSelect and Hotspot act on
  // that cell. False when the button is not bound.
  bool OnMouseEvent(int button, int modifiers, int column, int row);
  // Text no binding covers (Latin-1), typed one character at a time.
  void TypeText(std::string_view latin1);
  // The profile's map when the store has one of the session's family, else
  // the family's default map, else the built-in layout. Look it up again
  // for every key: the store may replace or delete maps in between.
  const CCorvinaKeyboardMap& KeyboardMap() const;
  // The same for the profile's colour scheme.
  const CCorvinaColorScheme& ColorScheme() const;

  // Macros. Playback types and presses through the entry points above,
  // pauses on the one-second clock and stops at an invalid token (told),
  // when the macro leaves the store, or when another starts.
  bool PlayMacro(std::string_view name);  // false, told, when the store has no such macro
  void PlayMacro(std::shared_ptr<const CCorvinaMacro> macro);
  void StopMacro() { playback_.reset(); }
  bool MacroPlaying() const { return playback_.has_value(); }
  // Every key function, character and system command from here on goes
  // into a new macro of the session's family.
  void StartRecording();
  // The recorded macro, unnamed; null when nothing was recorded.
  std::shared_ptr<CCorvinaMacro> StopRecording();
  bool Recording() const { return recorder_ != nullptr; }

  // Status and clock.
  void ShowStatus();
  void ShowStatus(const std::string& text);
  const std::string& StatusText() const { return status_; }
  bool ArmTick(int ticks, std::function<void()> callback);
  void CancelTick();
  // The one-second clock: the armed tick, keep-alive, the macro step, then
  // either a blink of the blinking cells or a redraw of the OIA clock.
  void OnTick();
  // Blinking cells: the engine tells whether its screen has any (when it
  // draws the screen); they are shown while the phase is on.
  void SetScreenBlinks(bool on) { screenBlinks_ = on; }
  bool BlinkPhase() const { return blinkPhase_; }
  void SetBlinkPhase(bool on) { blinkPhase_ = on; }

  // Terminal modes.
  unsigned Mode() const { return mode_; }
  unsigned ConfiguredKind() const { return configuredKind_; }
  void SetConfiguredKind(unsigned kind) { configuredKind_ = kind; }
  void SetMode(unsigned mode) { mode_ = mode; }
  void SwitchToConfiguredKind();
  // Runs the engine of a mode without a connection (fuzz targets, benchmarks).
  void StartEngineFor(unsigned mode);
  void ResetToNvt();
  bool EngineRunning() const { return engine_ != nullptr; }
  TerminalEngine* Engine() { return engine_.get(); }
  CTelnetLayer& Telnet() { return telnet_; }

  // One block of bytes from the host: Telnet commands to the Telnet layer,
  // data to the record buffer or the VT engine. The socket calls it; tests,
  // benchmarks and fuzzing call it directly.
  void ProcessReceived(std::span<const std::uint8_t> bytes);
  // Called by the Telnet layer: IAC followed by a data byte, and IAC EOR.
  void CommandAsData(std::uint8_t second);
  void DeliverRecord();
  // Bytes of the current receive block not handled yet.
  std::size_t BytesLeftInBlock() const { return bytesLeft_; }

  // Screen geometry.
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  int DefaultRows() const { return defaultRows_; }
  int DefaultColumns() const { return defaultColumns_; }
  int AlternateRows() const { return alternateRows_; }
  int AlternateColumns() const { return alternateColumns_; }
  int BufferSize() const { return rows_ * columns_; }
  void SetSize(int rows, int columns);
  void SetDefaultSize(int rows, int columns);
  void SetAlternateSize(int rows, int columns);
  // The profile's size is the alternate one; the default is 24 x 80 unless
  // the alternate is smaller.
  void UseProfileSizes();

  // Keyboard state shared with the engines.
  int Cursor() const { return cursor_; }
  void SetCursorPosition(int position, bool show);
  int LockReason() const { return lockReason_; }
  void SetLockReason(int reason) { lockReason_ = reason; }
  ResponseTimes& Responses() { return responses_; }
  const ResponseTimes& Responses() const { return responses_; }
  bool InsertMode() const { return insertMode_; }
  void SetInsertMode(bool on) { insertMode_ = on; }
  bool Pasting() const { return pasting_; }
  void SetPasting(bool on) { pasting_ = on; }
  // How much of the clipboard text pasting has consumed (for Paste Continue).
  std::size_t PasteOffset() const { return pasteOffset_; }
  void SetPasteOffset(std::size_t n) { pasteOffset_ = n; }
  bool SelectionActive() const { return selectionActive_; }
  const CellRect& Selection() const { return selection_; }
  void SetSelection(const CellRect& r);
  void ClearSelection();
  // Set while HLLAPI has the keyboard disabled, or a file transfer runs.
  void SetKeyboardDisabled(bool on) { keyboardDisabled_ = on; }
  void SetFileTransferRunning(bool on) { fileTransferRunning_ = on; }
  bool ScreenChangedFlag() const { return screenChanged_; }
  void SetScreenChanged(bool on) { screenChanged_ = on; }

  // Type-ahead ring. QueueTypeAhead fails when the ring is full or type-ahead
  // is off; the caller then locks the keyboard.
  bool QueueTypeAhead(int kind, int value);
  bool TypeAheadPending() const { return taRead_ != taWrite_; }
  std::size_t TypeAheadCount() const;
  void ClearTypeAhead();
  bool Replaying() const { return replaying_; }
  // Asks for a replay on a later turn (after a host write unlocked the keyboard).
  void RequestTypeAheadReplay();
  void ReplayTypeAhead();

  // Inbound record buffer (3270 and 5250).
  std::vector<std::uint8_t>& Record() { return record_; }

  // The current screen as rows of Latin-1 text.
  std::vector<std::string> ScreenRows();

  void SetTrace(SessionTraceSink* trace) { trace_ = trace; }
  SessionTraceSink* Trace() { return trace_; }
  // How this session's trace records describe it.
  TraceSource TraceInfo() const;

  // Reconnect after a host disconnect; a pending one can be started at once.
  bool ReconnectPending() const { return reconnectPending_ || reconnectCountdown_ > 0; }
  int ReconnectCountdown() const { return reconnectCountdown_; }

 protected:
  void Notify(int event, int value) override;
  void SslClientHandshakeComplete(int result) override;

 private:
  void OnSocketEvent(int event, int value);
  void AfterNotification();
  bool OpenConnection();
  void OnConnected(int error);
  void AppendRecordByte(std::uint8_t b);
  void HostDisconnected();
  void CountdownStep();
  void ReconnectNow();
  void ReconnectConnect();
  void ErrorBox(const std::string& text);
  void StartEngine();
  void StopEngine();
  // Keys typed, the lock, and a half-received record belong to one
  // connection and one terminal mode: a reconnect and every mode switch
  // drop them, so that nothing meant for the old host reaches the new one.
  void DiscardSessionState();
  // Closes the session when the host has left too much output unread.
  void CheckOutputBacklog();
  void RebuildTypeAhead(std::size_t capacity);
  bool SessionLevelKey(int id);
  void ExtendSelection(int dRow, int dColumn);
  // The first keyboard steps: HLLAPI's disabled keyboard beeps, a pending
  // reconnect starts now; false when no engine runs to take the key.
  bool KeyboardEntry();
  void RecordKey(int id, unsigned kind);
  void PerformBinding(const KeyBinding& binding);
  void PerformSystemCommand(int id);
  void OnMouseFunction(int id, int column, int row);
  void SendControlSequence(const std::string& bytes);
  // A function of the map's family as the running engine's mode knows it.
  int FunctionForMode(int id, unsigned mapFamily) const;
  void StartPlayback(std::shared_ptr<const CCorvinaMacro> macro, bool fromStore);
  void ContinueMacro();
  // Step 4 of the clock: the recording indicator and macro pauses.
  void MacroTick();

  int number_;
  std::shared_ptr<CCorvinaSessionProfile> profile_;
  SessionEnvironment env_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  std::string host_;
  int port_ = 23;
  std::string status_;
  CTelnetLayer telnet_;
  unsigned mode_ = kKindLineMode;
  unsigned configuredKind_ = kKind3279;
  std::unique_ptr<TerminalEngine> engine_;
  unsigned engineMode_ = kKindLineMode;  // the mode engine_ was started for

  std::function<void()> tickCallback_;
  int tickCountdown_ = 0;

  int rows_ = 24, columns_ = 80;
  int defaultRows_ = 24, defaultColumns_ = 80;
  int alternateRows_ = 24, alternateColumns_ = 80;

  std::vector<std::uint8_t> record_;
  bool recordOverflow_ = false;
  std::vector<std::uint8_t> output_;
  std::size_t maxChunk_ = 0;
  std::size_t bytesLeft_ = 0;

  int lockReason_ = 0;
  ResponseTimes responses_;
  bool insertMode_ = false;
  int cursor_ = 0;
  CellRect selection_;
  bool selectionActive_ = false;
  bool pasting_ = false;
  std::size_t pasteOffset_ = 0;
  bool keyboardDisabled_ = false;
  bool playingKeys_ = false;
  unsigned refusedKeys_ = 0;
  std::function<KeyCapture(int kind, int value)> keyCapture_;
  bool fileTransferRunning_ = false;
  bool screenChanged_ = false;

  struct TypeAheadEntry {
    int kind;
    int value;
  };
  std::vector<TypeAheadEntry> typeAhead_;
  std::size_t taRead_ = 0, taWrite_ = 0;
  bool replaying_ = false;
  bool replayPosted_ = false;

  bool screenBlinks_ = false;
  bool blinkPhase_ = true;
  std::string oiaClock_;  // the time of day the OIA showed at the last redraw

  // The connection's socket and peer as the trace names them, kept for the
  // texts written after the socket closed.
  int lastHandle_ = 0;
  std::uint32_t lastPeerIPv4_ = 0;
  std::uint16_t lastPeerPort_ = 0;

  int reconnectCountdown_ = 0;
  bool reconnectPending_ = false;
  int keepAliveMinutes_ = 0;
  std::int64_t nextKeepAlive_ = 0;
  bool closeReported_ = false;

  struct MacroPlayback {
    std::shared_ptr<const CCorvinaMacro> macro;
    std::string text;  // the text as playback started
    bool fromStore = false;  // stops once the store no longer holds it
    std::size_t position = 0;
    int pauseTicks = 0;
    unsigned generation = 0;
  };
  std::optional<MacroPlayback> playback_;
  unsigned playbackGeneration_ = 0;
  bool continuingMacro_ = false;
  std::shared_ptr<CCorvinaMacro> recorder_;
  bool recordingLit_ = false;

  SessionTraceSink* trace_ = nullptr;
  CCorvinaCodePage codePage_;
  std::optional<std::string> codePageName_;  // the profile's name it was loaded for
};

}  // namespace corvina
