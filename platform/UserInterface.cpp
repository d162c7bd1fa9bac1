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
// A handle that tells whether its dialog is still open.
class FlagDialog final : public ModelessDialog {
 public:
  explicit FlagDialog(std::shared_ptr<bool> open) : open_(std::move(open)) {}
  ~FlagDialog() override { *open_ = false; }

 private:
  std::shared_ptr<bool> open_;
};

std::string JoinTexts(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "\"" : ", \"") + t + "\"";
  return all;
}

}  // namespace

std::unique_ptr<ModelessDialog> UserInterface::OpenTextPrompt(const TextPrompt&,
                                                              std::function<void(std::optional<std::string>)> done) {
  done(std::nullopt);
  return nullptr;
}

std::unique_ptr<ModelessDialog> UserInterface::OpenScanChooser(const ScanChooser&,
                                                               std::function<void(ScanChoice)> done) {
  done(ScanChoice::kCancelScript);
  return nullptr;
}

std::unique_ptr<ModelessDialog> HeadlessUserInterface::OpenTextPrompt(
    const TextPrompt& prompt, std::function<void(std::optional<std::string>)> done) {
  boxes_ << '[' << Latin1ToUtf8(prompt.caption) << "] " << Latin1ToUtf8(prompt.group) << ": "
         << Latin1ToUtf8(prompt.prompt) << " -> ";
  if (texts_.empty()) {
    boxes_ << "Cancel (no answer was given)" << std::endl;
    done(std::nullopt);
    return nullptr;
  }
  std::string text = std::move(texts_.front());
  texts_.pop_front();
  boxes_ << (prompt.password ? std::string(text.size(), '*') : Latin1ToUtf8(text)) << std::endl;
  done(std::move(text));
  return nullptr;
}

std::unique_ptr<ModelessDialog> HeadlessUserInterface::OpenScanChooser(const ScanChooser& chooser,
                                                                       std::function<void(ScanChoice)>) {
  boxes_ << '[' << Latin1ToUtf8(chooser.caption) << "] " << Latin1ToUtf8(chooser.group) << ' '
         << Latin1ToUtf8(JoinTexts(chooser.texts)) << std::endl;
  return std::make_unique<FlagDialog>(std::make_shared<bool>(true));
}

std::unique_ptr<ModelessDialog> RecordingUserInterface::OpenTextPrompt(
    const TextPrompt& prompt, std::function<void(std::optional<std::string>)> done) {
  auto open = std::make_shared<bool>(true);
  prompts.push_back(OpenDialog{prompt, {}, std::move(done), {}, open});
  return std::make_unique<FlagDialog>(open);
}

std::unique_ptr<ModelessDialog> RecordingUserInterface::OpenScanChooser(const ScanChooser& chooser,
                                                                        std::function<void(ScanChoice)> done) {
  auto open = std::make_shared<bool>(true);
  scans.push_back(OpenDialog{{}, chooser, {}, std::move(done), open});
  return std::make_unique<FlagDialog>(open);
}

std::unique_ptr<ModelessDialog> RecordingUserInterface::OpenPrintProgress(const PrintProgress& progress,
                                                                          std::function<void()> cancel) {
  auto open = std::make_shared<bool>(true);
  printing.push_back(OpenProgress{progress, std::move(cancel), open});
  return std::make_unique<FlagDialog>(open);
}

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
