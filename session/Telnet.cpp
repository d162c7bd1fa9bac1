#include "session/Telnet.h"

#include "session/HostSession.h"

namespace corvina {

using namespace telnet;

void CTelnetLayer::BeginCommand() {
  cmd_.assign(1, IAC);
  assembling_ = true;
  overflow_ = false;
  iacRun_ = 0;
}

void CTelnetLayer::AddCommandByte(std::uint8_t b) {
  if (!assembling_) return;
  if (cmd_.size() < kMaxCommand)
    cmd_.push_back(b);
  else
    overflow_ = true;
  if (cmd_.size() == 2 && !overflow_) {
    if (b == SB || (b >= WILL && b <= DONT)) return;  // more bytes follow
    Dispatch();
    return;
  }
  std::uint8_t verb = cmd_[1];
  if (verb >= WILL && verb <= DONT) {
    Dispatch();
    return;
  }
  // Subnegotiation: it ends at an SE that follows an odd run of IACs (an
  // even run is escaped 0xFF data). Count the option byte out of the run.
  if (cmd_.size() == 3 && !overflow_) return;
  if (b == IAC) {
    ++iacRun_;
    return;
  }
  bool end = b == SE && (iacRun_ % 2) == 1;
  iacRun_ = 0;
  if (end) Dispatch();
}

void CTelnetLayer::Dispatch() {
  assembling_ = false;
  if (overflow_) {
    cmd_.clear();
    return;
  }
  std::uint8_t verb = cmd_[1];
  switch (verb) {
    case WILL:
      session_.QueueOutput(std::vector<std::uint8_t>{IAC, DONT, cmd_[2]});
      break;
    case DO:
      session_.QueueOutput(std::vector<std::uint8_t>{IAC, WONT, cmd_[2]});
      break;
    case EOR:
      if (RemoteEndOfRecord()) session_.DeliverRecord();
      break;
    default:
      if (verb < EOR || verb == IAC) session_.CommandAsData(verb);
      break;  // WONT, DONT, SB and the other commands need no answer here
  }
  cmd_.clear();
}

void CTelnetLayer::ResetOptions() {
  assembling_ = false;
  overflow_ = false;
  cmd_.clear();
}

}  // namespace corvina
