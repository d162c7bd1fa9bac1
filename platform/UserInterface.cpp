#include "platform/UserInterface.h"

#include <ostream>

#include "platform/Text.h"

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

bool Offers(Buttons buttons, Answer answer) {
  switch (buttons) {
    case Buttons::Ok: return answer == Answer::Ok;
    case Buttons::OkCancel: return answer == Answer::Ok || answer == Answer::Cancel;
    case Buttons::YesNo: return answer == Answer::Yes || answer == Answer::No;
    case Buttons::YesNoCancel: return answer == Answer::Yes || answer == Answer::No || answer == Answer::Cancel;
    case Buttons::RetryCancel: return answer == Answer::Retry || answer == Answer::Cancel;
    case Buttons::AbortRetryIgnore:
      return answer == Answer::Abort || answer == Answer::Retry || answer == Answer::Ignore;
  }
  return false;
}

Answer TakeAnswer(std::deque<Answer>& queued, Buttons buttons, Answer def) {
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (queued.empty() || !Offers(buttons, queued.front())) return def;
  Answer a = queued.front();
  queued.pop_front();
  return a;
}
}  // namespace

Answer HeadlessUserInterface::ShowMessageBox(const std::string& text,
                                             const std::string& caption, Buttons buttons,
                                             Answer defaultButton, Icon) {
  Answer a = TakeAnswer(queued_, buttons, defaultButton);
  boxes_ << '[' << Latin1ToUtf8(caption) << "] " << Latin1ToUtf8(text) << " -> " << AnswerName(a) << std::endl;
  return a;
}

void HeadlessUserInterface::SetStatusText(const std::string& text) {
  if (status_ == nullptr || text == lastStatus_) return;
  lastStatus_ = text;
  *status_ << Latin1ToUtf8(text) << std::endl;
}

Answer RecordingUserInterface::ShowMessageBox(const std::string& text,
                                              const std::string& caption, Buttons buttons,
                                              Answer defaultButton, Icon) {
  Answer a = TakeAnswer(queued, buttons, defaultButton);
  boxes.push_back(Box{text, caption, buttons, a});
  return a;
}

}  // namespace corvina::platform
