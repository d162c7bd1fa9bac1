// corvina-netutil: the network utilities without a window, for people and
// tests. Prints what the tool's output area would show.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/NetUtilities.h"
#include "netutil/DnsLookup.h"
#include "netutil/Fields.h"
#include "netutil/NetTexts.h"
#include "netutil/Ping.h"
#include "netutil/Pop3.h"
#include "netutil/Settings.h"
#include "netutil/TextQuery.h"
#include "platform/AppProfile.h"
#include "platform/Format.h"
#include "platform/PollLoop.h"

using namespace corvina;
using namespace corvina::netutil;

namespace {

constexpr char kDefaultWhoisServer[] = "whois.iana.org";

const char kUsage[] = R"(Usage: corvina-netutil [OPTIONS] COMMAND ARGUMENTS
The network utilities of Corvina without a window.

Commands:
  finger USER HOST          ask HOST's finger server (port 79) about USER
  whois QUERY [SERVER]      ask a whois server (port 43; default whois.iana.org)
  ping HOST                 send ICMP echo requests and show the replies
  dns NAME                  look a host name up, or an IPv4 address in reverse
  checkmail HOST USER       count the messages of a POP3 mailbox

Options:
  --settings FILE       the application profile; the utilities' own settings
                        are Sondra.ini beside it (default: beside Corvina.ini)
  --port N              the server's port (finger, whois, checkmail)
  --timeout SECONDS     time limit of a finger, whois or mail exchange (60)
  --packets N           ping: echo requests, 1 to 32767 (setting Packets, 4)
  --size BYTES          ping: echo data, 32 to 1000 (setting DataSize, 32)
  --wait SECONDS        ping: reply time-out, 1 to 32767 (setting Timeout, 5)
  --every MINUTES       checkmail: check again every 1 to 100 minutes, until
                        interrupted
  --password-file FILE  checkmail: the password is the file's first line;
                        without it the saved password (SavePassword=1), else
                        one line read from standard input
  -h, --help            show this text

Exit status: 0 when the tool got its answer (the server's reply, at least one
echo reply, the host entry, the message count), 1 when it did not, 2 for a
wrong command line.
)";

// Standard output in the reader's line ends.
class StdoutSink final : public OutputSink {
 public:
  void Append(std::string_view text) override {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
      if (c != '\r') out.push_back(c);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    endsInNewline_ = text.empty() ? endsInNewline_ : text.back() == '\n';
  }
  void Clear() override {}
  bool EndsInNewline() const { return endsInNewline_; }

 private:
  bool endsInNewline_ = true;
};

int Usage(const std::string& error) {
  std::cerr << "corvina-netutil: " << error << "\nTry 'corvina-netutil --help'.\n";
  return 2;
}

std::optional<long> Number(const std::string& text, long low, long high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  long v = std::stol(text);
  if (v < low || v > high) return std::nullopt;
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words;
  std::string settingsFile, passwordFile;
  std::optional<long> port, timeout, packets, size, wait, every;
  struct NumberOption {
    const char* name;
    std::optional<long>* value;
    long low, high;
  };
  const NumberOption numbers[] = {
      {"--port", &port, 1, 65535},
      {"--timeout", &timeout, 1, 3600},
      {"--packets", &packets, PingSettings::kMinPackets, PingSettings::kMaxPackets},
      {"--size", &size, PingSettings::kMinDataSize, PingSettings::kMaxDataSize},
      {"--wait", &wait, PingSettings::kMinTimeout, PingSettings::kMaxTimeout},
      {"--every", &every, 1, 100},
  };
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    }
    bool matched = false;
    for (const NumberOption& n : numbers) {
      if (a != n.name) continue;
      matched = true;
      if (i + 1 >= argc) return Usage(a + " needs a value");
      *n.value = Number(argv[++i], n.low, n.high);
      if (!*n.value) return Usage(platform::Format("%s takes a number from %ld to %ld", n.name, n.low, n.high));
    }
    if (matched) continue;
    if (a == "--settings" || a == "--password-file") {
      if (i + 1 >= argc) return Usage(a + " needs a value");
      (a == "--settings" ? settingsFile : passwordFile) = argv[++i];
      continue;
    }
    if (a.size() > 1 && a[0] == '-') return Usage("unknown option " + a);
    words.push_back(a);
  }
  if (words.empty()) return Usage("name a command");
  const std::string command = words[0];
  auto arguments = [&](std::size_t low, std::size_t high) {
    return words.size() - 1 >= low && words.size() - 1 <= high;
  };
  for (std::size_t i = 1; i < words.size(); ++i)
    if (HasControlCharacters(words[i])) return Usage("arguments must not contain control characters");

  if (!settingsFile.empty()) platform::SetAppProfilePathOverride(settingsFile);
  CSondraSettings settings(app::NetUtilitiesSettingsPath(platform::AppProfilePath()));
  if (std::string error; !settings.Load(&error)) std::cerr << "corvina-netutil: " << error << " (using defaults)\n";

  platform::PollLoop loop;
  StdoutSink out;
  platform::HeadlessUserInterface ui(std::cerr);
  // Ctrl+C and SIGTERM stop the tool and still print its end.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  int sigFd = signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
  std::function<void()> onSignal = [&loop] { loop.Quit(); };
  if (sigFd >= 0) loop.WatchFd(sigFd, platform::kIoRead, [&](unsigned) { onSignal(); });

  int status = 1;
  auto quit = [&loop] { loop.Post([&loop] { loop.Quit(); }); };

  std::unique_ptr<CTextQuery> query;
  std::unique_ptr<CDnsLookup> dns;
  std::unique_ptr<CPinger> pinger;
  std::unique_ptr<CMailChecker> mail;
  if (command == "finger" || command == "whois") {
    if (command == "finger" ? !arguments(2, 2) : !arguments(1, 2))
      return Usage(command == "finger" ? "finger takes USER HOST" : "whois takes QUERY [SERVER]");
    const bool finger = command == "finger";
    query = std::make_unique<CTextQuery>(finger ? CTextQuery::Kind::Finger : CTextQuery::Kind::Whois, loop, out);
    if (port) query->SetPort(static_cast<int>(*port));
    if (timeout) query->SetTimeLimit(std::chrono::seconds(*timeout));
    query->onFinished = [&] {
      status = query->Succeeded() ? 0 : 1;
      quit();
    };
    const std::string host = finger ? words[2] : words.size() > 2 ? words[2] : kDefaultWhoisServer;
    query->Start(host, words[1]);
    onSignal = [&] { query->Stop(); };
  } else if (command == "dns") {
    if (!arguments(1, 1)) return Usage("dns takes NAME");
    out.Append(SocketsDescription());
    dns = std::make_unique<CDnsLookup>(loop, out);
    dns->onFinished = [&] {
      status = dns->Found() ? 0 : 1;
      quit();
    };
    dns->Start(words[1]);
  } else if (command == "ping") {
    if (!arguments(1, 1)) return Usage("ping takes HOST");
    PingSettings p = settings.Ping().settings;
    if (packets) p.packets = static_cast<int>(*packets);
    if (size) p.dataSize = static_cast<int>(*size);
    if (wait) p.timeoutSeconds = static_cast<int>(*wait);
    pinger = std::make_unique<CPinger>(loop, out);
    pinger->onFinished = [&] {
      if (!out.EndsInNewline()) out.Append("\n");
      status = pinger->Received() > 0 ? 0 : 1;
      quit();
    };
    pinger->Start(words[1], p);
    onSignal = [&] { pinger->Stop(); };
  } else if (command == "checkmail") {
    if (!arguments(2, 2)) return Usage("checkmail takes HOST USER");
    MailAccount account;
    account.host = words[1];
    account.user = words[2];
    const MailDefaults saved = settings.Mail();
    account.port = port ? static_cast<int>(*port) : saved.account.port;
    if (!passwordFile.empty()) {
      std::ifstream in(passwordFile);
      if (!in || !std::getline(in, account.password)) {
        std::cerr << "corvina-netutil: cannot read the password from " << passwordFile << "\n";
        return 1;
      }
    } else if (saved.savePassword && !saved.account.password.empty()) {
      account.password = saved.account.password;
    } else {
      std::getline(std::cin, account.password);
    }
    if (!account.password.empty() && account.password.back() == '\r') account.password.pop_back();
    if (account.password.empty()) {
      std::cerr << "corvina-netutil: " << texts::kEnterPassword << "\n";
      return 1;
    }
    if (HasControlCharacters(account.password)) {
      std::cerr << "corvina-netutil: " << platform::Format(texts::kControlCharacters, "password") << "\n";
      return 1;
    }
    mail = std::make_unique<CMailChecker>(loop, out, ui, platform::Format(texts::kCheckMailTitle, texts::kProduct));
    if (timeout) mail->SetTimeLimit(std::chrono::seconds(*timeout));
    mail->onStateChanged = [&] {
      if (mail->GetState() == CMailChecker::State::Checking) return;
      status = mail->LastSucceeded() ? 0 : 1;
      if (mail->GetState() == CMailChecker::State::Idle) quit();
    };
    mail->Start(account, every ? static_cast<int>(*every) : 0);
    onSignal = [&] {
      mail->Stop();
      quit();
    };
  } else {
    return Usage("unknown command " + command);
  }
  loop.Run();
  if (sigFd >= 0) ::close(sigFd);
  return status;
}
