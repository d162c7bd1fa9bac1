#include "netutil/TextQuery.h"

#include "netutil/NetTexts.h"
#include "platform/Format.h"
#include "session/MSocket.h"

namespace corvina::netutil {

using platform::Format;

CTextQuery::CTextQuery(Kind kind, platform::EventLoop& loop, OutputSink& out)
    : kind_(kind), loop_(loop), out_(out), port_(kind == Kind::Finger ? kFingerPort : kWhoisPort) {}

CTextQuery::~CTextQuery() {
  if (timer_ != 0) loop_.CancelTimer(timer_);
}

void CTextQuery::Start(const std::string& host, const std::string& text) {
  Stop();
  out_.Clear();
  host_ = host;
  text_ = text;
  received_ = ReceivedText();
  connected_ = false;
  succeeded_ = false;
  socket_ = std::make_unique<CMSocket>(loop_);
  socket_->SetOwner([this](CMSocket& s, int event, int value) {
    if (&s == socket_.get()) OnEvent(event, value);
  });
  timer_ = loop_.AddTimer(timeLimit_, false, [this] {
    timer_ = 0;
    out_.Append(Format(texts::kTimedOut, host_.c_str(), static_cast<int>((timeLimit_.count() + 999) / 1000)));
    Finish();
  });
  int error = 0;
  if (!socket_->Connect(host_, port_, &error)) OnEvent(kSockConnected, error);
}

void CTextQuery::Stop() {
  if (socket_) Finish();
}

void CTextQuery::OnEvent(int event, int value) {
  if (!socket_) return;
  switch (event) {
    case kSockConnected:
      if (value != 0) {
        const auto failure = socket_->LastConnectFailure();
        if (failure == CMSocket::ConnectFailure::CreateSocket) {
          out_.Append(texts::kSocketFailed);
        } else if (failure == CMSocket::ConnectFailure::Lookup || kind_ == Kind::Finger) {
          // A connect that could not even start: whois names the host only.
          out_.Append(Format(texts::kUnableToConnect, host_.c_str()));
          if (kind_ == Kind::Finger) out_.Append(Format(texts::kLine, CMSocket::ErrorText(value).c_str()));
        } else {
          out_.Append(Format(texts::kLine, CMSocket::ErrorText(value).c_str()));
        }
        Finish();
        return;
      }
      connected_ = true;
      out_.Append(Format(texts::kConnected, host_.c_str()));
      {
        const std::string line = text_ + "\r\n";
        socket_->Send(line.data(), line.size());
      }
      return;
    case kSockData: {
      auto bytes = socket_->TakeInput();
      std::size_t room = kMaxReply - std::min(kMaxReply, received_.Total());
      if (bytes.size() > room) {
        out_.Append(received_.Feed(std::span(bytes).first(room)) + received_.Finish());
        out_.Append(Format(texts::kReplyTooLong, host_.c_str(), kMaxReply));
        Finish();
        return;
      }
      out_.Append(received_.Feed(bytes));
      return;
    }
    case kSockClosed:
      out_.Append(received_.Finish());
      out_.Append(Format(texts::kDisconnected, host_.c_str()));
      succeeded_ = connected_;
      Finish();
      return;
    case kSockError:
      out_.Append(received_.Finish());
      out_.Append(Format(texts::kLine, CMSocket::ErrorText(value).c_str()));
      Finish();
      return;
    default:
      return;
  }
}

// The socket may be inside its own callback: it goes on a later turn.
void CTextQuery::Finish() {
  if (timer_ != 0) {
    loop_.CancelTimer(timer_);
    timer_ = 0;
  }
  if (!socket_) return;
  socket_->Close(true);
  loop_.DeleteLater(std::move(socket_));
  if (onFinished) onFinished();
}

}  // namespace corvina::netutil
