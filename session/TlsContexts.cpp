#include "session/TlsContexts.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace corvina {

namespace {
std::string LastOpenSslError() {
  unsigned long e = ERR_peek_last_error();
  if (e == 0) return "unknown TLS library error";
  char buf[256];
  ERR_error_string_n(e, buf, sizeof buf);
  return buf;
}
}  // namespace

TlsContexts::TlsContexts(TlsSettings settings) : settings_(std::move(settings)) {}

TlsContexts::~TlsContexts() {
  for (SSL_CTX* ctx : contexts_)
    if (ctx) SSL_CTX_free(ctx);
}

SSL_CTX* TlsContexts::ForChoice(unsigned choice, std::string* error) {
  if (choice < 1 || choice > 3) {
    if (error) *error = "no TLS choice";
    return nullptr;
  }
  if (contexts_[choice]) return contexts_[choice];
  ERR_clear_error();
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx) {
    if (error) *error = LastOpenSslError();
    return nullptr;
  }
  // Oldest allowed where the library's security level permits; newest preferred.
  SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION);
  SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (settings_.verifyServer) {
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    bool ok = SSL_CTX_set_default_verify_paths(ctx) == 1;
    if (!settings_.caFile.empty())
      ok = SSL_CTX_load_verify_locations(ctx, settings_.caFile.c_str(), nullptr) == 1;
    if (!ok) {
      if (error) *error = "cannot load trusted certificates: " + LastOpenSslError();
      SSL_CTX_free(ctx);
      return nullptr;
    }
  } else {
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
  }
  contexts_[choice] = ctx;
  return ctx;
}

}  // namespace corvina
