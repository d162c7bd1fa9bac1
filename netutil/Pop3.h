// POP3 mail check: greeting, USER, PASS, STAT, QUIT, then the message
// count; again every few minutes when a timer is set. Replies are judged
// line by line, however the server splits or joins them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "netutil/OutputSink.h"
#include "platform/EventLoop.h"
#include "platform/UserInterface.h"

namespace corvina {
class CMSocket;
}

namespace corvina::netutil {

// Splits a byte stream into lines ended by LF (a CR before it is dropped).
class Pop3LineAssembler {
 public:
  // Far beyond the 512 bytes a POP3 reply line may have.
  static constexpr std::size_t kMaxLine = 4096;
  // Appends the complete lines to *lines; false once a line grows past
  // kMaxLine (the stream is then hostile and nothing more comes out).
  bool Feed(std::span<const std::uint8_t> bytes, std::vector<std::string>* lines);

 private:
  std::string partial_;
  bool overflow_ = false;
};

enum class Pop3Reply { Ok, Err, Other };
Pop3Reply JudgePop3Reply(std::string_view line);
// The message count of a STAT reply, "+OK count size": digits only, within
// the range of int; nullopt otherwise.
std::optional<int> ParseStatCount(std::string_view line);

// The stored form of a saved password: groups of seven base-36 digits
// ('A'-'Z' 0-25, '0'-'9' 26-35), each four bytes of the password as a
// little-endian number, the last group padded with zero bytes.
std::string EncodePassword(std::string_view password);
// Nullopt when a group holds another character or a number beyond 32 bits.
// Characters after the last full group are ignored.
std::optional<std::string> DecodePassword(std::string_view stored);

struct MailAccount {
  std::string host;
  int port = 110;
  std::string user;
  std::string password;
};

class CMailChecker {
 public:
  static constexpr std::size_t kMaxReceived = 64 * 1024;
  static constexpr std::chrono::seconds kDefaultTimeLimit{60};
  enum class State { Idle, Checking, WaitingForNextCheck };

  // Boxes are shown with the caption.
  CMailChecker(platform::EventLoop& loop, OutputSink& out, platform::UserInterface& ui, std::string caption);
  ~CMailChecker();
  CMailChecker(const CMailChecker&) = delete;
  CMailChecker& operator=(const CMailChecker&) = delete;

  void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
  // Checks now, and every `minutes` minutes after a check that succeeded
  // (0: once). The caller has refused fields with control characters.
  void Start(const MailAccount& account, int minutes);
  void Stop();
  State GetState() const { return state_; }
  // The last check: whether it got a count, and the count.
  bool LastSucceeded() const { return succeeded_; }
  int LastCount() const { return count_; }
  // The state changed (the dialog's buttons follow it).
  std::function<void()> onStateChanged;

  // The minute timer's period (tests).
  void SetMinute(std::chrono::milliseconds minute) { minute_ = minute; }

 private:
  void Check();
  void OnEvent(int event, int value);
  void OnLine(const std::string& line);
  void SendCommand(const std::string& command, const std::string& shown);
  void EndCheck(bool closedByServer);
  void SetState(State s);

  platform::EventLoop& loop_;
  OutputSink& out_;
  platform::UserInterface& ui_;
  std::string caption_;
  MailAccount account_;
  int minutes_ = 0;
  int minutesPassed_ = 0;
  std::chrono::milliseconds timeLimit_ = kDefaultTimeLimit;
  std::chrono::milliseconds minute_ = std::chrono::minutes(1);
  State state_ = State::Idle;
  std::unique_ptr<CMSocket> socket_;
  platform::TimerId limitTimer_ = 0, minuteTimer_ = 0;
  Pop3LineAssembler lines_;
  ReceivedText received_;
  int step_ = 0;
  bool error_ = false;
  std::optional<int> statCount_;
  bool succeeded_ = false;
  int count_ = 0;
  int previousCount_ = 0;
};

}  // namespace corvina::netutil
