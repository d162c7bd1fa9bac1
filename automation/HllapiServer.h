// The HLLAPI server of one emulator instance. Sessions with a short name
// letter own the slot of that letter in the shared area; clients of this
// user send (letter, function) messages on the instance's SOCK_SEQPACKET
// socket while they hold the area's lock, and the server answers from the
// area on the user-interface thread. It never waits on a client: a client
// that does not take its answer is dropped, and what a client set up
// (reservation, interception, its connection) is undone when its socket
// hangs up, however it ended.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/HllapiArea.h"
#include "platform/EventLoop.h"

namespace corvina {
class CHostSession;
enum class KeyCapture;
}

namespace corvina::automation {

class CHllapiServer {
 public:
  // How long the user-interface thread may wait for the area's lock.
  static constexpr std::chrono::milliseconds kLockSlice{50};
  // Keys a keystroke queue holds (a ring of kQueueSize entries).
  static constexpr std::size_t kQueueSize = 1024;

  // `folder` is the prepared runtime folder; `instance` the id clients find
  // in the slots (0: this process's id).
  CHllapiServer(platform::EventLoop& loop, std::string folder, std::uint32_t instance = 0);
  ~CHllapiServer();
  CHllapiServer(const CHllapiServer&) = delete;
  CHllapiServer& operator=(const CHllapiServer&) = delete;

  // Listens on hllapi-<instance>.sock. False, with the cause, when it cannot.
  bool Start(std::string* cause);
  std::uint32_t Instance() const { return instance_; }

  // Claims the letter's slot for a session about to start. kInUse: another
  // instance serves the letter. kUnavailable: the area or its lock cannot be
  // had; the session then runs without HLLAPI access.
  enum class Claim { kClaimed, kInUse, kUnavailable };
  Claim ClaimLetter(char letter, std::string* cause);
  // A session starts or ends; a session whose letter is claimed is served.
  void RegisterSession(CHostSession& session);
  void UnregisterSession(CHostSession& session);
  // The host wrote to the session's screen.
  void HostUpdate(CHostSession& session);
  // Brings the session's window forward (CONPHYS at Connect).
  std::function<void(CHostSession&)> showSession;

  // One request against the area as it stands, from connection `client`
  // (0: none). Public for the fuzz target and the benchmark.
  int Handle(std::uint64_t client, char letter, int function);
  hllapi::CHllapiArea& Area() { return area_; }
  std::size_t Connections() const { return connections_.size(); }

 private:
  struct Connection;
  struct SessionState {
    CHostSession* session = nullptr;
    bool reserved = false, notifying = false, intercepting = false, attentionOnly = false;
    std::vector<std::uint32_t> queue;  // kind, value pairs
    std::size_t read = 0, write = 0;
    // The connections that set up each piece, undone when they hang up.
    std::uint64_t reservedBy = 0, interceptedBy = 0, connectedBy = 0;
  };

  bool AreaReady();
  void Accept();
  void OnReady(Connection& c, unsigned events);
  void Drop(Connection& c);
  void ClientGone(std::uint64_t client);
  void RetryPending();
  std::uint8_t* Slot(int index) { return area_.Slot(index); }

  int Request(std::uint64_t client, int index, SessionState& st, int function);
  void StatusRefresh(int index, SessionState& st, std::uint32_t flags);
  int SendKey(SessionState& st, std::uint32_t flags, std::uint16_t length);
  // Send File and Receive File: starts the transfer, does not wait for it.
  int StartTransfer(CHostSession& s, bool send, std::uint16_t length);
  int Copy(SessionState& st, std::uint16_t length, std::uint16_t position, std::uint32_t flags);
  int CopyOia(int index, SessionState& st, std::uint32_t flags);
  int SetCursor(int index, SessionState& st);
  int StartIntercept(std::uint64_t client, int index, SessionState& st);
  void StopIntercept(int index, SessionState& st);
  int GetKey(SessionState& st);
  void SetReserved(SessionState& st, bool on, std::uint64_t client);
  KeyCapture Capture(int index, int kind, int value);

  platform::EventLoop& loop_;
  std::string folder_;
  std::uint32_t instance_;
  hllapi::CHllapiArea area_;
  int listenFd_ = -1;
  platform::WatchId listenWatch_ = 0;
  std::string path_;
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::array<std::optional<SessionState>, hllapi::kSlotCount> sessions_;
  std::array<bool, hllapi::kSlotCount> claimed_{};
  // Slot writes the lock was too busy for: releases and client-thread clears.
  std::array<bool, hllapi::kSlotCount> releasePending_{}, clientClearPending_{};
  platform::TimerId retryTimer_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace corvina::automation
