#include "platform/UserInterface.h"

#include <ostream>

namespace corvina::platform {

const char* AnswerName(Answer a) {
  switch (a) {
    case Answer::Ok: return "OK";
    case Answer::Cancel: return "Cancel";
    case Answer::Abort: return "Abort";
    case Answer::Retry: return "Retry";
    case Answer::Ignore: return "Ignore";
    case Answer::Yes: return "Yes";
    case Answer::No: return "No";
  }
  return "?";
}

namespace {
Answer TakeAnswer(std::deque<Answer>& queued, Answer def) {
  if (queued.empty()) return def;
  Answer a = queued.front();
  queued.pop_front();
  return a;
}
}  // namespace

Answer HeadlessUserInterface::ShowMessageBox(const std::string& text,
                                             const std::string& caption, Buttons,
                                             Answer defaultButton, Icon) {
  Answer a = TakeAnswer(queued_, defaultButton);
  boxes_ << '[' << caption << "] " << text << " -> " << AnswerName(a) << std::endl;
  return a;
}

void HeadlessUserInterface::SetStatusText(const std::string& text) {
  if (status_ == nullptr || text == lastStatus_) return;
  lastStatus_ = text;
  *status_ << text << std::endl;
}

Answer RecordingUserInterface::ShowMessageBox(const std::string& text,
                                              const std::string& caption, Buttons buttons,
                                              Answer defaultButton, Icon) {
  Answer a = TakeAnswer(queued, defaultButton);
  boxes.push_back(Box{text, caption, buttons, a});
  return a;
}

}  // namespace corvina::platform
