// CMSslSocket: CMSocket with an optional TLS client layer, for host sessions.
#pragma once

#include <chrono>
#include <string>

#include "session/MSocket.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace corvina {

// TLS error codes as the socket reports them (names in CMSocket::ErrorText).
constexpr int kSslErrorSsl = 1;

class CMSslSocket : public CMSocket {
 public:
  explicit CMSslSocket(platform::EventLoop& loop);
  ~CMSslSocket() override;

  // Starts the client handshake on the connected socket. The outcome arrives
  // through SslClientHandshakeComplete: 0, the TLS error code, or 1 when the
  // handshake did not finish in time. Returns false when no TLS connection
  // could be made (the hook is not called then).
  bool StartSslClient(SSL_CTX* ctx, const std::string& serverName);
  bool Handshaking() const { return handshaking_; }
  bool Secure() const { return ssl_ != nullptr && !handshaking_; }
  // Why the last handshake or TLS read failed, for people ("certificate
  // verify failed: ..."); empty when there is nothing to add.
  const std::string& SslErrorDetail() const { return sslDetail_; }
  void SetHandshakeTimeout(std::chrono::milliseconds t) { handshakeTimeout_ = t; }

  void Close(bool noWait = false) override;

 protected:
  virtual void SslClientHandshakeComplete(int /*result*/) {}

  ReadResult ReadAvailable(std::vector<std::uint8_t>& into) override;
  int FlushPending() override;
  bool HandleReadyBeforeData(unsigned events) override;

 private:
  void StepHandshake();
  void FinishHandshake(int result);
  void FreeSsl();

  SSL* ssl_ = nullptr;
  bool handshaking_ = false;
  platform::TimerId handshakeTimer_ = 0;
  std::chrono::milliseconds handshakeTimeout_{10'000};
  std::string sslDetail_;
};

}  // namespace corvina
