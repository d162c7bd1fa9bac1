#include "session/SslSocket.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cstdio>

namespace corvina {

namespace {

constexpr std::size_t kSslReadChunk = 16 * 1024;
constexpr std::size_t kSslReadPerNotification = 1024 * 1024;
constexpr int kCloseAlertWaitMs = 200;

bool IsIpAddress(const std::string& s) {
  unsigned char buf[16];
  return inet_pton(AF_INET, s.c_str(), buf) == 1 || inet_pton(AF_INET6, s.c_str(), buf) == 1;
}

std::string OpenSslReason() {
  unsigned long e = ERR_peek_last_error();
  if (e == 0) return {};
  const char* reason = ERR_reason_error_string(e);
  return reason ? reason : "";
}

}  // namespace

CMSslSocket::CMSslSocket(platform::EventLoop& loop) : CMSocket(loop) { sendErrorsAsEvents_ = false; }

CMSslSocket::~CMSslSocket() { FreeSsl(); }

void CMSslSocket::FreeSsl() {
  if (handshakeTimer_ != 0) {
    loop_.CancelTimer(handshakeTimer_);
    handshakeTimer_ = 0;
  }
  handshaking_ = false;
  if (ssl_) {
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
}

bool CMSslSocket::StartSslClient(SSL_CTX* ctx, const std::string& serverName) {
  sslDetail_.clear();
  if (ctx == nullptr || State() != kSocketConnected) return false;
  FreeSsl();
  ERR_clear_error();
  ssl_ = SSL_new(ctx);
  if (ssl_ == nullptr || SSL_set_fd(ssl_, Handle()) != 1) {
    sslDetail_ = OpenSslReason();
    FreeSsl();
    return false;
  }
  if (SSL_CTX_get_verify_mode(ctx) & SSL_VERIFY_PEER) {
    if (IsIpAddress(serverName))
      X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), serverName.c_str());
    else
      SSL_set1_host(ssl_, serverName.c_str());
  }
  if (!IsIpAddress(serverName)) SSL_set_tlsext_host_name(ssl_, serverName.c_str());
  handshaking_ = true;
  handshakeTimer_ = loop_.AddTimer(handshakeTimeout_, false, [this] {
    handshakeTimer_ = 0;
    if (!handshaking_) return;
    char text[80];
    std::snprintf(text, sizeof text, "TLS handshake did not finish within %g seconds",
                  static_cast<double>(handshakeTimeout_.count()) / 1000.0);
    sslDetail_ = text;
    FinishHandshake(kSslErrorSsl);
  });
  StepHandshake();
  return true;
}

void CMSslSocket::StepHandshake() {
  ERR_clear_error();
  int r = SSL_connect(ssl_);
  if (r == 1) {
    FinishHandshake(0);
    return;
  }
  int err = SSL_get_error(ssl_, r);
  if (err == SSL_ERROR_WANT_READ) {
    WatchFor(true, false);
    return;
  }
  if (err == SSL_ERROR_WANT_WRITE) {
    WatchFor(true, true);
    return;
  }
  long verify = SSL_get_verify_result(ssl_);
  if (verify != X509_V_OK)
    sslDetail_ = std::string("certificate verify failed: ") + X509_verify_cert_error_string(verify);
  else if (std::string reason = OpenSslReason(); !reason.empty())
    sslDetail_ = reason;
  else if (err == SSL_ERROR_SYSCALL || err == SSL_ERROR_ZERO_RETURN)
    sslDetail_ = "the host closed the connection during the TLS handshake";
  FinishHandshake(err);
}

void CMSslSocket::FinishHandshake(int result) {
  if (handshakeTimer_ != 0) {
    loop_.CancelTimer(handshakeTimer_);
    handshakeTimer_ = 0;
  }
  handshaking_ = false;
  if (result != 0) {
    SslClientHandshakeComplete(result);
    return;
  }
  WatchFor(true, OutSize() > 0);
  SslClientHandshakeComplete(0);
  // Application data may have arrived with the last handshake message and
  // sit in the TLS buffer, where poll cannot see it.
  if (ssl_ && State() == kSocketConnected && SSL_has_pending(ssl_)) HandleReadable();
}

bool CMSslSocket::HandleReadyBeforeData(unsigned) {
  if (!handshaking_) return false;
  StepHandshake();
  return true;
}

CMSocket::ReadResult CMSslSocket::ReadAvailable(std::vector<std::uint8_t>& into) {
  if (!ssl_) return CMSocket::ReadAvailable(into);
  ReadResult r;
  std::size_t total = 0;
  do {
    std::size_t old = into.size();
    into.resize(old + kSslReadChunk);
    ERR_clear_error();
    int n = SSL_read(ssl_, into.data() + old, static_cast<int>(kSslReadChunk));
    into.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n > 0) {
      total += static_cast<std::size_t>(n);
      continue;
    }
    int err = SSL_get_error(ssl_, n);
    if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) break;
    if (err == SSL_ERROR_ZERO_RETURN) {
      r.eof = true;
      break;
    }
    if (total == 0) {
      sslDetail_ = OpenSslReason();
      r.error = err;
    }
    break;
  } while (total < kSslReadPerNotification);
  return r;
}

int CMSslSocket::FlushPending() {
  if (!ssl_) return CMSocket::FlushPending();
  if (handshaking_) return 0;  // sent once the handshake is done
  while (OutSize() > 0) {
    ERR_clear_error();
    int n = SSL_write(ssl_, OutData(), static_cast<int>(std::min<std::size_t>(OutSize(), 1 << 30)));
    if (n > 0) {
      RemoveOutputFront(static_cast<std::size_t>(n));
      continue;
    }
    int err = SSL_get_error(ssl_, n);
    if (err == SSL_ERROR_WANT_WRITE || err == SSL_ERROR_WANT_READ) return 0;
    sslDetail_ = OpenSslReason();
    return err;
  }
  return 0;
}

void CMSslSocket::Close(bool noWait) {
  if (ssl_ && !handshaking_ && State() == kSocketConnected) {
    // One close alert; wait a little for room to send it, never longer.
    ERR_clear_error();
    int r = SSL_shutdown(ssl_);
    if (r < 0 && !noWait && SSL_get_error(ssl_, r) == SSL_ERROR_WANT_WRITE) {
      pollfd p{Handle(), POLLOUT, 0};
      if (::poll(&p, 1, kCloseAlertWaitMs) == 1) SSL_shutdown(ssl_);
    }
  }
  FreeSsl();
  CMSocket::Close(noWait);
}

}  // namespace corvina
