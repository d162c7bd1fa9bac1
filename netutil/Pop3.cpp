#include "netutil/Pop3.h"

#include <ctime>

#include "netutil/NetTexts.h"
#include "platform/Format.h"
#include "session/MSocket.h"

namespace corvina::netutil {

using platform::Format;

namespace {

constexpr std::size_t kGroup = 7;
// A box shows at most this much of what a server sent.
constexpr std::size_t kMaxBoxText = 512;

char Digit(unsigned d) { return static_cast<char>(d < 26 ? 'A' + d : '0' + (d - 26)); }

int DigitValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= '0' && c <= '9') return c - '0' + 26;
  return -1;
}

std::string LocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  char text[16] = "00:00:00";
  if (::localtime_r(&now, &tm)) std::strftime(text, sizeof text, "%H:%M:%S", &tm);
  return text;
}

}  // namespace

bool Pop3LineAssembler::Feed(std::span<const std::uint8_t> bytes, std::vector<std::string>* lines) {
  if (overflow_) return false;
  for (std::uint8_t b : bytes) {
    if (b == '\n') {
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      lines->push_back(std::move(partial_));
      partial_.clear();
      continue;
    }
    if (partial_.size() >= kMaxLine) {
      overflow_ = true;
      partial_.clear();
      return false;
    }
    partial_.push_back(static_cast<char>(b));
  }
  return true;
}

Pop3Reply JudgePop3Reply(std::string_view line) {
  if (line.starts_with("+OK")) return Pop3Reply::Ok;
  if (line.starts_with("-ERR")) return Pop3Reply::Err;
  return Pop3Reply::Other;
}

std::optional<int> ParseStatCount(std::string_view line) {
  if (!line.starts_with("+OK ")) return std::nullopt;
  std::size_t at = 4;
  auto number = [&](long long* value) {
    std::size_t start = at;
    *value = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
      *value = *value * 10 + (line[at++] - '0');
      if (*value > 0x7FFFFFFF) return false;
    }
    return at > start;
  };
  long long count = 0, size = 0;
  if (!number(&count) || at >= line.size() || line[at] != ' ') return std::nullopt;
  ++at;
  if (!number(&size)) return std::nullopt;
  // Servers may add text after the size.
  if (at < line.size() && line[at] != ' ') return std::nullopt;
  return static_cast<int>(count);
}

std::string EncodePassword(std::string_view password) {
  std::string out;
  for (std::size_t i = 0; i < password.size(); i += 4) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4 && i + k < password.size(); ++k)
      value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(password[i + k])) << (8 * k);
    char group[kGroup];
    for (std::size_t d = kGroup; d-- > 0;) {
      group[d] = Digit(value % 36);
      value /= 36;
    }
    out.append(group, kGroup);
  }
  return out;
}

std::optional<std::string> DecodePassword(std::string_view stored) {
  std::string out;
  for (std::size_t i = 0; i + kGroup <= stored.size(); i += kGroup) {
    std::uint64_t value = 0;
    for (std::size_t d = 0; d < kGroup; ++d) {
      int v = DigitValue(stored[i + d]);
      if (v < 0) return std::nullopt;
      value = value * 36 + static_cast<unsigned>(v);
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    for (int k = 0; k < 4; ++k) {
      char c = static_cast<char>((value >> (8 * k)) & 0xFF);
      if (c == 0) break;
      out.push_back(c);
    }
  }
  return out;
}

CMailChecker::CMailChecker(platform::EventLoop& loop, OutputSink& out, platform::UserInterface& ui,
                           std::string caption)
    : loop_(loop), out_(out), ui_(ui), caption_(std::move(caption)) {}

CMailChecker::~CMailChecker() {
  if (limitTimer_ != 0) loop_.CancelTimer(limitTimer_);
  if (minuteTimer_ != 0) loop_.CancelTimer(minuteTimer_);
}

void CMailChecker::SetState(State s) {
  if (state_ == s) return;
  state_ = s;
  if (onStateChanged) onStateChanged();
}

void CMailChecker::Start(const MailAccount& account, int minutes) {
  Stop();
  account_ = account;
  minutes_ = minutes;
  Check();
}

void CMailChecker::Check() {
  if (minuteTimer_ != 0) loop_.CancelTimer(minuteTimer_);
  minuteTimer_ = 0;
  out_.Clear();
  out_.Append(Format(texts::kConnecting, LocalTime().c_str(), account_.host.c_str()));
  step_ = 0;
  error_ = false;
  statCount_.reset();
  lines_ = Pop3LineAssembler();
  received_ = ReceivedText();
  SetState(State::Checking);
  socket_ = std::make_unique<CMSocket>(loop_);
  socket_->SetOwner([this](CMSocket& s, int event, int value) {
    if (&s == socket_.get()) OnEvent(event, value);
  });
  limitTimer_ = loop_.AddTimer(timeLimit_, false, [this] {
    limitTimer_ = 0;
    out_.Append(Format(texts::kTimedOut, account_.host.c_str(), static_cast<int>((timeLimit_.count() + 999) / 1000)));
    error_ = true;
    EndCheck(false);
  });
  int error = 0;
  if (!socket_->Connect(account_.host, account_.port, &error)) OnEvent(kSockConnected, error);
}

void CMailChecker::OnEvent(int event, int value) {
  switch (event) {
    case kSockConnected:
      if (value != 0) {
        const auto failure = socket_->LastConnectFailure();
        if (failure == CMSocket::ConnectFailure::CreateSocket)
          out_.Append(texts::kSocketFailed);
        else if (failure == CMSocket::ConnectFailure::Lookup)
          out_.Append(Format(texts::kUnableToConnect, account_.host.c_str()));
        else
          out_.Append(Format(texts::kLine, CMSocket::ErrorText(value).c_str()));
        error_ = true;
        EndCheck(false);
        return;
      }
      step_ = 1;
      out_.Append(Format(texts::kConnected, account_.host.c_str()));
      return;
    case kSockData: {
      auto bytes = socket_->TakeInput();
      if (received_.Total() + bytes.size() > kMaxReceived) {
        out_.Append(Format(texts::kReplyTooLong, account_.host.c_str(), kMaxReceived));
        error_ = true;
        EndCheck(false);
        return;
      }
      out_.Append(received_.Feed(bytes));
      std::vector<std::string> lines;
      if (!lines_.Feed(bytes, &lines)) {
        out_.Append(Format(texts::kReplyTooLong, account_.host.c_str(), Pop3LineAssembler::kMaxLine));
        error_ = true;
        EndCheck(false);
        return;
      }
      for (const std::string& line : lines) {
        OnLine(line);
        if (!socket_) return;
      }
      return;
    }
    case kSockClosed:
      out_.Append(received_.Finish());
      out_.Append(Format(texts::kDisconnected, account_.host.c_str()));
      EndCheck(true);
      return;
    case kSockError:
      out_.Append(Format(texts::kErrorOnHost, account_.host.c_str()));
      out_.Append(Format(texts::kLine, CMSocket::ErrorText(value).c_str()));
      error_ = true;
      EndCheck(false);
      return;
    default:
      return;
  }
}

void CMailChecker::SendCommand(const std::string& command, const std::string& shown) {
  out_.Append(shown);
  socket_->Send(command.data(), command.size());
}

void CMailChecker::OnLine(const std::string& line) {
  const Pop3Reply reply = JudgePop3Reply(line);
  if (reply == Pop3Reply::Other || step_ == 0) return;
  if (step_ == 5) {
    // The answer to QUIT ends the exchange whatever it says; answering it
    // would let a server keep us going.
    step_ = 0;
    return;
  }
  if (reply == Pop3Reply::Err) {
    error_ = true;
    SendCommand("QUIT\r\n", "QUIT\r\n");
    step_ = 5;
    std::string shown = ReceivedText().Feed(std::span(reinterpret_cast<const std::uint8_t*>(line.data()),
                                                      std::min(line.size(), kMaxBoxText)));
    ui_.MessageBox(shown, caption_, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
    return;
  }
  switch (step_) {
    case 1:
      SendCommand("USER " + account_.user + "\r\n", "USER " + account_.user + "\r\n");
      step_ = 2;
      return;
    case 2:
      SendCommand("PASS " + account_.password + "\r\n", texts::kPassEcho);
      step_ = 3;
      return;
    case 3:
      SendCommand("STAT\r\n", "STAT\r\n");
      step_ = 4;
      return;
    case 4:
      statCount_ = ParseStatCount(line);
      if (!statCount_) {
        out_.Append(texts::kBadStat);
        error_ = true;
      }
      SendCommand("QUIT\r\n", "QUIT\r\n");
      step_ = 5;
      return;
    default:
      return;
  }
}

void CMailChecker::EndCheck(bool closedByServer) {
  if (limitTimer_ != 0) loop_.CancelTimer(limitTimer_);
  limitTimer_ = 0;
  if (socket_) {
    socket_->Close(true);
    loop_.DeleteLater(std::move(socket_));
  }
  step_ = 0;
  // Only a count the server gave is reported: a server that closes before
  // STAT has told nothing.
  succeeded_ = closedByServer && !error_ && statCount_.has_value();
  if (succeeded_) {
    count_ = *statCount_;
    const std::string text = Format(texts::kMessages, account_.user.c_str(), count_);
    out_.Append(text);
    if (count_ > previousCount_)
      ui_.MessageBox(text.substr(0, text.size() - 2), caption_, platform::Buttons::Ok, platform::Answer::Ok,
                     platform::Icon::Information);
    previousCount_ = count_;
  }
  if (succeeded_ && minutes_ > 0) {
    minutesPassed_ = 0;
    minuteTimer_ = loop_.AddTimer(minute_, true, [this] {
      if (++minutesPassed_ >= minutes_) Check();
    });
    SetState(State::WaitingForNextCheck);
    return;
  }
  SetState(State::Idle);
}

void CMailChecker::Stop() {
  if (minuteTimer_ != 0) loop_.CancelTimer(minuteTimer_);
  minuteTimer_ = 0;
  if (state_ == State::Checking) {
    error_ = true;
    EndCheck(false);
  }
  SetState(State::Idle);
}

}  // namespace corvina::netutil
