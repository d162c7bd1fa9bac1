// CMSocket: the one TCP socket class of the suite. Non-blocking, driven by the
// event loop, with buffered input and output and one notification channel to
// its owner. This plain variant can listen and accept (the LPD server and the
// network utilities use it); CMSslSocket adds TLS for host sessions.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

#include "platform/EventLoop.h"

struct addrinfo;

namespace corvina {

enum SocketEvent : int {
  kSockConnecting = 0,   // a connection attempt starts
  kSockConnected = 1,    // a connection attempt ends (value 0 = connected, else the error)
  kSockAccepted = 2,     // a listening socket accepted a connection (value = its handle)
  kSockData = 3,         // received data was appended to the pending input
  kSockWritable = 4,     // the network takes more data and no output is pending
  kSockClosed = 6,       // the peer closed the connection
  kSockError = 7,        // an error occurred (value = the error code)
};

enum SocketState : int {
  kSocketClosed = 0,
  kSocketConnecting = 1,
  kSocketConnected = 2,
  kSocketListening = 3,
};

class CMSocket {
 public:
  // Receives (socket, event, value).
  using Owner = std::function<void(CMSocket&, int event, int value)>;

  explicit CMSocket(platform::EventLoop& loop);
  virtual ~CMSocket();
  CMSocket(const CMSocket&) = delete;
  CMSocket& operator=(const CMSocket&) = delete;

  void SetOwner(Owner owner) { owner_ = std::move(owner); }

  // Starts a connection: state 1 and event 0 at once; the outcome arrives as
  // event 1, always after Connect returned (even when the system refuses at
  // once). Names are looked up off the event-loop thread. Returns false
  // (with the error code in *error) when no attempt could be started.
  bool Connect(const std::string& host, int port, int* error = nullptr);
  // Where the last failed attempt failed: the name lookup, the socket, the
  // system refusing the attempt at once (no route), or the connection later.
  enum class ConnectFailure { None, Lookup, CreateSocket, Unreachable, Connect };
  ConnectFailure LastConnectFailure() const { return failure_; }

  // Binds and listens; state 3. Port 0 picks a free port (see LocalPort).
  bool Listen(const std::string& address, int port, int backlog = 16, int* error = nullptr);
  int LocalPort() const;
  // After event 2: the accepted connection, already connected.
  std::unique_ptr<CMSocket> TakeAccepted();

  // Appends to the pending output and tries to send. Returns 0, or the error
  // code of a send that failed for another reason than "would block".
  int Send(const void* data, std::size_t length);
  // Moves the pending input out.
  std::vector<std::uint8_t> TakeInput();

  // Closes at once; with TLS, sends the close alert without waiting long.
  virtual void Close(bool noWait = false);

  int State() const { return state_; }
  // A session keeps its closed socket "connecting" while a reconnect is due.
  void SetState(int state) { state_ = state; }
  int Handle() const { return fd_; }
  std::size_t PendingOutput() const { return OutSize(); }
  std::size_t PendingInput() const { return input_.size(); }
  // The peer's IPv4 address (network byte order) and port; false otherwise.
  bool PeerIPv4(std::uint32_t* address, std::uint16_t* port) const;

  // "Socket error %d: %s" with the Windows Sockets or TLS error name.
  static std::string ErrorText(int code);

 protected:
  platform::EventLoop& loop_;

  virtual void Notify(int event, int value);
  // Transport hooks; CMSslSocket routes them through TLS.
  struct ReadResult {
    bool eof = false;
    int error = 0;  // error code when nothing could be read
  };
  virtual ReadResult ReadAvailable(std::vector<std::uint8_t>& into);
  // Sends as much pending output as the transport takes; returns 0 or an error.
  virtual int FlushPending();
  // Called once the TCP connection is up (before event 1).
  virtual void TcpConnected() {}
  // Read-ready while the transport needs it for itself (TLS handshake).
  virtual bool HandleReadyBeforeData(unsigned) { return false; }
  // Sends that fail hard raise event 7 (plain) or are returned (sessions).
  bool sendErrorsAsEvents_ = true;

  void WatchFor(bool read, bool write);
  // The unsent output, and removal of what the transport accepted.
  const std::uint8_t* OutData() const { return output_.data() + outputStart_; }
  std::size_t OutSize() const { return output_.size() - outputStart_; }
  void RemoveOutputFront(std::size_t n);
  // A receive or send failure: event 7 once, then closed with event 6.
  void FailAndClose(int error);
  void PeerClosed();
  // Reads what the transport has and raises the matching events.
  void HandleReadable();

 private:
  void StartAttempt();
  void OnReady(unsigned events);
  void ConnectComplete(int error);
  struct Address {
    sockaddr_storage storage;
    socklen_t length;
  };
  struct Resolved {
    int error = 0;
    std::vector<Address> addresses;
  };
  static Resolved Resolve(const std::string& host, int port);
  void OnResolved(Resolved resolved);
  void AcceptOne();
  void ReleaseFd();

  Owner owner_;
  int fd_ = -1;
  platform::WatchId watch_ = 0;
  int state_ = kSocketClosed;
  ConnectFailure failure_ = ConnectFailure::None;
  std::vector<std::uint8_t> output_;
  std::size_t outputStart_ = 0;  // bytes at the front already sent
  std::vector<std::uint8_t> input_;
  std::deque<std::unique_ptr<CMSocket>> accepted_;
  // Addresses still to try for the current connection attempt.
  std::vector<Address> addrs_;
  std::size_t nextAddr_ = 0;
  // A name lookup, or the report of an attempt that failed at once, in
  // flight; cancelling it makes its late result vanish.
  struct Lookup;
  std::shared_ptr<Lookup> lookup_;
  void CancelLookup();
};

}  // namespace corvina
