// The network side of the LPD server: the per-connection protocol state
// machine (fed bytes, answering through callbacks, so it can be driven
// without a socket) and the listening server on an event loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lpd/PrintQueues.h"
#include "platform/EventLoop.h"
#include "session/SessionTrace.h"

namespace corvina::lpd {

class CLpdConnection {
 public:
  using Send = std::function<void(const std::string&)>;
  using Log = std::function<void(const std::string&)>;
  // trusted: the peer may act as "root" in remove requests.
  CLpdConnection(CPrintQueues& queues, bool trusted, Send send, Log log);
  ~CLpdConnection();

  // Consumes a block of received bytes. False when the connection is to be
  // closed by the program (no further bytes are taken).
  bool Feed(const char* data, std::size_t size);
  // The peer closed: a job in the middle of a file is deleted whole; a
  // complete control file is handed to its queue.
  void PeerClosed();
  bool Closing() const { return closing_; }

 private:
  enum State { kCommand, kSubcommand, kControlBytes, kDataBytes };
  bool LineDone();
  void Command();
  void Subcommand();
  bool OpenSpoolFile(bool control, const std::string& countText, const std::string& name);
  void FileDone();
  void HandOverJob();
  void DeleteJobFiles();
  void Nak() { send_(std::string(1, '\x0A')); }
  void Ack() { send_(std::string(1, '\0')); }
  void LogF(const char* format, ...) __attribute__((format(printf, 2, 3)));

  CPrintQueues& queues_;
  bool trusted_;
  Send send_;
  Log log_;
  State state_ = kCommand;
  int code_ = -1;
  std::string operand_;
  bool lineTooLong_ = false;
  std::string queue_;
  std::string folder_;
  int fd_ = -1;
  bool writeFailed_ = false;
  bool fileControl_ = false;
  std::string filePath_;
  std::uint64_t expected_ = 0, received_ = 0;
  bool needTerminator_ = false;
  std::string controlName_;  // complete control file of the current job
  std::vector<std::string> jobFiles_;  // full paths received for the job
  bool closing_ = false;
};

struct ServerOptions {
  std::string address = "127.0.0.1";
  int port = 515;
  int maxConnections = 64;
  std::chrono::milliseconds idleTimeout{60000};
  std::vector<std::string> trustedHosts;  // besides the local machine
};

class CLpdServer {
 public:
  // socket: " Socket=%d (%s:%d)" for a connection's lines, else empty.
  using Log = std::function<void(const std::string& socket, const std::string& message)>;
  CLpdServer(platform::EventLoop& loop, CPrintQueues& queues, ServerOptions options, Log log);
  ~CLpdServer();
  // False with the message (also logged) when the port cannot be used.
  bool Listen(std::string& error);
  int Port() const { return port_; }
  std::size_t Connections() const { return connections_.size(); }
  // Bytes received and sent go to the trace while one is set (null: none).
  void SetTrace(SessionTraceSink* trace) { trace_ = trace; }

 private:
  struct Connection;
  void Accept();
  void OnIo(Connection& connection, unsigned events);
  void Close(int fd, bool byPeer);
  void Flush(Connection& connection);
  void Trace(const Connection& connection, const char* bytes, std::size_t size, char kind);

  platform::EventLoop& loop_;
  CPrintQueues& queues_;
  ServerOptions options_;
  Log log_;
  int listenFd_ = -1;
  int port_ = 0;
  platform::WatchId listenWatch_ = 0;
  platform::TimerId sweepTimer_ = 0;
  bool acceptPaused_ = false;
  SessionTraceSink* trace_ = nullptr;
  std::map<int, std::unique_ptr<Connection>> connections_;
};

}  // namespace corvina::lpd
