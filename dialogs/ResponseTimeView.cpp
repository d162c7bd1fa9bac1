#include "dialogs/ResponseTimeView.h"

#include "dialogs/DialogTexts.h"
#include "platform/Format.h"
#include "session/Oia.h"

namespace corvina::dialogs {

ResponseTimeView BuildResponseTimeView(const ResponseTimes& times, const std::string& sessionTitle) {
  ResponseTimeView view;
  view.caption = platform::Format(texts::kResponseTitle, sessionTitle.c_str());
  for (int c : times.Distribution()) view.count += c;
  view.last = times.Last() < 0 ? texts::kResponseNone : ResponseTimes::Format(times.Last());
  view.average = view.count == 0 ? texts::kResponseNone : ResponseTimes::Format(times.Average());
  view.longest = view.count == 0 ? texts::kResponseNone : ResponseTimes::Format(times.Longest());
  for (std::size_t i = 0; i < view.bars.size(); ++i) {
    auto& bar = view.bars[i];
    bar.label = i + 1 < view.bars.size() ? platform::Format(texts::kResponseSeconds, static_cast<int>(i))
                                         : std::string(texts::kResponseTenOrMore);
    bar.count = times.Distribution()[i];
    bar.share = view.count == 0 ? 0.0 : static_cast<double>(bar.count) / view.count;
  }
  return view;
}

}  // namespace corvina::dialogs
