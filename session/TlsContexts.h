// TLS client contexts, one per security choice of a profile, made on first
// use and kept until the program ends.
#pragma once

#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace corvina {

struct TlsSettings {
  bool verifyServer = true;  // [SSL] VerifyServer
  std::string caFile;        // [SSL] CAFile: extra trusted certificates (PEM)
};

class TlsContexts {
 public:
  explicit TlsContexts(TlsSettings settings = {});
  ~TlsContexts();
  TlsContexts(const TlsContexts&) = delete;
  TlsContexts& operator=(const TlsContexts&) = delete;

  // Context for security choice 1..3 (the profile's SSLv2, SSLv3 and TLSv1
  // choices all negotiate the newest TLS both sides have). Null on failure.
  SSL_CTX* ForChoice(unsigned choice, std::string* error = nullptr);
  const TlsSettings& Settings() const { return settings_; }

 private:
  TlsSettings settings_;
  SSL_CTX* contexts_[4] = {};
};

}  // namespace corvina
