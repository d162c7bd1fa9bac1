#include "app/term/TermUi.h"

#include "platform/Text.h"

namespace corvina::term {

namespace {

// One line: line breaks of box texts become blanks.
std::string OneLine(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out.push_back(c == '\n' || c == '\t' ? ' ' : c);
  }
  return out;
}

}  // namespace

void CTermUi::SetStatusText(const std::string& text) {
  const std::string utf8 = platform::Latin1ToUtf8(OneLine(text));
  if (utf8 == status_) return;
  status_ = utf8;
  if (onChange) onChange();
}

void CTermUi::Tell(const std::string& text) {
  message_ = OneLine(text);
  messages_.push_back(message_);
  if (messages_.size() > kKeptMessages) messages_.pop_front();
  if (onChange) onChange();
}

platform::Answer CTermUi::ShowMessageBox(const std::string& text, const std::string& caption,
                                         platform::Buttons buttons, platform::Answer defaultButton,
                                         platform::Icon) {
  // A question takes its default answer: nothing waits for the user.
  const platform::Answer answer = buttons == platform::Buttons::Ok ? platform::Answer::Ok : defaultButton;
  std::string line = platform::Latin1ToUtf8(caption + ": " + text);
  if (buttons != platform::Buttons::Ok) line += std::string(" [") + platform::AnswerName(answer) + "]";
  Tell(line);
  return answer;
}

}  // namespace corvina::term
