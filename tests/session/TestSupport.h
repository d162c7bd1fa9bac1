// Shared pieces of the session tests: a loopback server built on the plain
// socket, a frame that records what the session asks of it, engines that
// record what they are given, and child processes for real peers.
#pragma once

#include <sys/types.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"
#include "session/MSocket.h"

namespace corvina::test {

// Accepts connections on 127.0.0.1 and records what each one receives.
class LoopbackServer {
 public:
  explicit LoopbackServer(platform::EventLoop& loop);
  int Port() const { return listener_.LocalPort(); }
  int Accepted() const { return static_cast<int>(connections_.size()); }
  // Bytes received on the newest connection.
  const std::string& Received() const;
  void Send(const std::string& bytes);
  void CloseConnection();
  // The connection events of the newest connection, in order.
  const std::vector<int>& Events() const;

 private:
  struct Conn {
    std::unique_ptr<CMSocket> socket;
    std::string received;
    std::vector<int> events;
  };
  CMSocket listener_;
  std::vector<std::unique_ptr<Conn>> connections_;
};

// What a recording engine saw.
struct EngineLog {
  std::vector<std::string> records;  // ProcessRecord calls
  std::vector<int> keys;             // KeyFunction and TypeCharacter, in order
  std::vector<std::array<int, 3>> mouse;  // MouseFunction: identifier, column, row
  int starts = 0, stops = 0;
  std::vector<unsigned> modes;       // mode of each started engine
};

// Records records and keys; locked keyboards queue keys as a 3270 does.
std::unique_ptr<TerminalEngine> MakeRecordingEngine(EngineLog& log);

class TestFrame : public SessionFrame {
 public:
  platform::PollLoop loop;
  platform::RecordingUserInterface ui;
  platform::FakeClock clock;
  platform::IniFile settings;  // the application settings the sessions see
  bool warn = true;
  int closes = 0;
  int saves = 0;
  EngineLog engineLog;
  bool lineModeEngine = false;  // VT modes get the line-mode engine
  EngineFactory engines;        // when set, makes every engine
  std::string dataFolder;       // the sessions' data folder
  CCorvinaPersistentData* store = nullptr;  // what sessions find maps and macros in
  std::vector<int> systemCommands;          // SystemCommand calls
  std::vector<std::string> scripts;         // RunScript calls
  std::vector<bool> recordingIndicator;     // RecordingIndicator calls

  // Connects a session with this profile; the frame owns it until it closes.
  CHostSession& Start(std::shared_ptr<CCorvinaSessionProfile> profile, TlsContexts* tls = nullptr,
                      std::chrono::milliseconds handshake = std::chrono::seconds(10));
  CHostSession* Session() { return session_.get(); }
  bool RunUntil(const std::function<bool()>& done, int ms = 5000) {
    return loop.RunUntil(done, std::chrono::milliseconds(ms));
  }
  bool HasStatus(const std::string& text) const;
  bool HasBoxContaining(const std::string& text) const;

  void CloseSession(CHostSession& s) override;
  bool WarnWhenHostCloses() const override { return warn; }
  void SaveProfile(CHostSession&) override { ++saves; }
  bool SystemCommand(CHostSession&, int id, int) override {
    systemCommands.push_back(id);
    return true;
  }
  bool RunScript(CHostSession*, const std::string& file) override {
    scripts.push_back(file);
    return false;
  }
  void RecordingIndicator(CHostSession&, bool lit) override { recordingIndicator.push_back(lit); }

 private:
  std::unique_ptr<CHostSession> session_;
};

std::shared_ptr<CCorvinaSessionProfile> ProfileFor(int port, unsigned kind = kKindVt100);

// A child process with a pipe to its standard input. Its output goes nowhere,
// or to outputFile; it runs in workDir when one is given.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv, const std::string& outputFile = "",
                        const std::string& workDir = "");
  ~ChildProcess();
  void Write(const std::string& bytes);
  pid_t Pid() const { return pid_; }
  // Exit status once it ended, -1 after `ms` without an end (or a signal).
  int Wait(int ms);

 private:
  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int status_ = -1;
};

// The scriptable test host (testhost/corvina_testhost.py) serving one client
// with a scenario: a name, or a file of tests/<folder>/scenarios.
class TestHost {
 public:
  explicit TestHost(const std::string& scenario, const std::vector<std::string>& options = {},
                    int timeoutSeconds = 30);
  ~TestHost();
  bool Ready() const { return port_ > 0; }
  int Port() const { return port_; }
  // The scenario's exit status (0: it passed).
  int Wait(int ms = 20000) { return process_->Wait(ms); }
  std::string Log() const;
  // Every byte the client sent, as upper-case hex pairs separated by blanks.
  std::string ClientHex() const;
  // The client's first whole record after the negotiation (which ends with
  // DO BINARY) starts with these hex pairs ("F3" for the PF3 AID).
  bool FirstRecordStartsWith(const std::string& hex) const;

 private:
  std::string dir_;
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

// A hercules console host (no operating system) with the given device lines
// ("0010 3270", ...), listening on a free port of 127.0.0.1. Ready once it
// waits for console connections; killed when destroyed.
class HerculesHost {
 public:
  static bool Installed();
  explicit HerculesHost(const std::vector<std::string>& devices);
  ~HerculesHost();
  bool Ready() const { return ready_; }
  int Port() const { return port_; }
  std::string Log() const;

 private:
  std::string dir_;
  int port_ = 0;
  bool ready_ = false;
  std::unique_ptr<ChildProcess> process_;
};

// A CA and a server certificate for 127.0.0.1 made by openssl in a folder
// of its own, removed with it.
class Certificates {
 public:
  Certificates();
  ~Certificates();
  bool Ok() const { return ok_; }
  std::string Path(const char* name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
  bool ok_ = false;
};

// "FF FA 18" for the bytes of s.
std::string Hex(const std::string& s);

int FreePort();
// Waits until something listens on 127.0.0.1:port.
bool WaitForListener(int port, int ms = 10000);
std::string MakeTempDir();
// Whole files as bytes; a missing file reads as empty.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace corvina::test
