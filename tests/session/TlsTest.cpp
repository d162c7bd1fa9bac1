#include <gtest/gtest.h>

#include "TestSupport.h"
#include "session/TlsContexts.h"

using namespace corvina;
using namespace corvina::test;

namespace {

// openssl s_server on 127.0.0.1; what is written to it goes to the client.
struct TlsServer {
  explicit TlsServer(const Certificates& certs)
      : port(FreePort()),
        process({"openssl", "s_server", "-quiet", "-accept", "127.0.0.1:" + std::to_string(port), "-cert",
                 certs.Path("server.pem"), "-key", certs.Path("server.key")}) {
    ready = WaitForListener(port);
  }
  int port;
  ChildProcess process;
  bool ready = false;
};

std::shared_ptr<CCorvinaSessionProfile> TlsProfile(int port) {
  auto p = ProfileFor(port);
  p->hostOptions |= kHostSecurityTlsV1;
  return p;
}

}  // namespace

class Tls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { certs_ = new Certificates(); }
  static void TearDownTestSuite() { delete certs_; }
  void SetUp() override {
    if (!certs_->Ok()) GTEST_SKIP() << "openssl could not make test certificates";
  }
  static Certificates* certs_;
};
Certificates* Tls::certs_ = nullptr;

TEST_F(Tls, TrustedCertificateConnectsAndCarriesData) {
  TlsServer server(*certs_);
  ASSERT_TRUE(server.ready);
  TlsContexts tls(TlsSettings{true, certs_->Path("ca.pem")});
  TestFrame frame;
  frame.lineModeEngine = true;
  auto& s = frame.Start(TlsProfile(server.port), &tls);
  ASSERT_TRUE(frame.RunUntil([&] { return s.Secure(); }, 10000));
  server.process.Write("HELLO OVER TLS\r\n");
  ASSERT_TRUE(frame.RunUntil([&] { return s.ScreenRows()[0].rfind("HELLO OVER TLS", 0) == 0; }, 10000));
  EXPECT_TRUE(frame.ui.boxes.empty());
}

TEST_F(Tls, UntrustedCertificateFailsWithAClearMessage) {
  TlsServer server(*certs_);
  ASSERT_TRUE(server.ready);
  TlsContexts tls(TlsSettings{true, ""});  // system store only
  TestFrame frame;
  frame.Start(TlsProfile(server.port), &tls);
  ASSERT_TRUE(frame.RunUntil([&] { return frame.closes == 1; }, 10000));
  ASSERT_EQ(frame.ui.boxes.size(), 1u);
  EXPECT_EQ(frame.ui.boxes[0].text.rfind("Session 1: Socket error 1: SSL_ERROR_SSL (certificate verify failed: ", 0), 0u)
      << frame.ui.boxes[0].text;
}

TEST_F(Tls, WrongHostNameFailsVerification) {
  TlsServer server(*certs_);
  ASSERT_TRUE(server.ready);
  TlsContexts tls(TlsSettings{true, certs_->Path("ca.pem")});
  TestFrame frame;
  auto profile = TlsProfile(server.port);
  profile->host = "localhost";  // the certificate names only 127.0.0.1
  frame.Start(profile, &tls);
  ASSERT_TRUE(frame.RunUntil([&] { return frame.closes == 1; }, 10000));
  ASSERT_EQ(frame.ui.boxes.size(), 1u);
  EXPECT_NE(frame.ui.boxes[0].text.find("certificate verify failed"), std::string::npos) << frame.ui.boxes[0].text;
}

TEST_F(Tls, VerificationOffAcceptsThePrivateCertificate) {
  TlsServer server(*certs_);
  ASSERT_TRUE(server.ready);
  TlsContexts tls(TlsSettings{false, ""});
  TestFrame frame;
  auto& s = frame.Start(TlsProfile(server.port), &tls);
  ASSERT_TRUE(frame.RunUntil([&] { return s.Secure(); }, 10000));
  EXPECT_TRUE(frame.ui.boxes.empty());
}

TEST_F(Tls, SilentListenerTimesOutTheHandshake) {
  TestFrame frame;
  LoopbackServer silent(frame.loop);  // accepts and never answers
  TlsContexts tls(TlsSettings{false, ""});
  frame.Start(TlsProfile(silent.Port()), &tls, std::chrono::milliseconds(300));
  ASSERT_TRUE(frame.RunUntil([&] { return frame.closes == 1; }, 10000));
  ASSERT_EQ(frame.ui.boxes.size(), 1u);
  EXPECT_EQ(frame.ui.boxes[0].text,
            "Session 1: Socket error 1: SSL_ERROR_SSL (TLS handshake did not finish within 0.3 seconds)");
}
