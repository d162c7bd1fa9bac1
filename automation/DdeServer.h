// The DDE-style server of one emulator instance: an AF_UNIX stream socket
// in the per-user runtime folder, peers of this user only. Requests, pokes
// and executes reach sessions through the same entry points as the
// keyboard and the screen readers; advise data is sent once per item per
// loop turn, and a client that stops reading is dropped, never waited for.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/DdeProtocol.h"
#include "platform/EventLoop.h"

namespace corvina {
class CHostSession;
}

namespace corvina::automation {

// What the server needs of the frame.
class DdeFrame {
 public:
  virtual ~DdeFrame() = default;
  // The first live session, in slot order, whose topic is the name
  // (ignoring case). A session's topic is its profile's DDETopic, else the
  // profile name.
  virtual CHostSession* SessionByTopic(std::string_view topic) = 0;
  // Starts a session from the stored profile of that name when no session
  // of it runs and a slot is free. False when none was started.
  virtual bool StartProfileSession(std::string_view name) = 0;
  // Runs a frame command (a system key function). Called on a turn of its
  // own, after the execute was acknowledged.
  virtual void RunSystemCommand(int id) = 0;
  // The session's status line text.
  virtual std::string OiaText(CHostSession& session) = 0;
  // What identifies this instance's main window ("Emulator").
  virtual std::string MainWindowId() = 0;
};

class CDdeServer {
 public:
  // Pending answer bytes after which a client that does not read is dropped.
  static constexpr std::size_t kMaxPendingOutput = 1024 * 1024;

  CDdeServer(platform::EventLoop& loop, DdeFrame& frame);
  ~CDdeServer();
  CDdeServer(const CDdeServer&) = delete;
  CDdeServer& operator=(const CDdeServer&) = delete;

  // Listens on `folder` + "dde-<pid>.sock" (the folder is prepared by the
  // caller). False, with the cause, when it cannot.
  bool Start(const std::string& folder, std::string* cause);
  void Stop();
  const std::string& SocketPath() const { return path_; }
  void SetMaxPendingOutput(std::size_t bytes) { maxPending_ = bytes; }
  std::size_t Connections() const { return connections_.size(); }

  // A session's screen, cursor or status changed.
  void SessionChanged(CHostSession& session);
  // A session ends: its conversations lose their advise links.
  void SessionClosing(CHostSession& session);

 private:
  struct Connection;
  void Accept();
  void OnReady(Connection& c, unsigned events);
  void HandleLine(Connection& c, std::string_view line);
  std::string Answer(Connection& c, const DdeRequest& r);
  std::optional<std::string> RequestItem(CHostSession& s, const DdeItem& item);
  bool Poke(CHostSession& s, const DdeItem& item, const std::string& text);
  void Send(Connection& c, const std::string& line);
  void Flush(Connection& c);
  void Drop(Connection& c);
  void FlushAdvise();
  char& EscapeOf(CHostSession& s);

  platform::EventLoop& loop_;
  DdeFrame& frame_;
  int listenFd_ = -1;
  platform::WatchId listenWatch_ = 0;
  std::string path_;
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::map<const CHostSession*, char> escapes_;
  bool advisePosted_ = false;
  std::size_t maxPending_ = kMaxPendingOutput;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace corvina::automation
