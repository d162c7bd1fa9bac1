// What the response-time window shows for one session.
#pragma once

#include <array>
#include <string>

namespace corvina {
class ResponseTimes;
}

namespace corvina::dialogs {

struct ResponseTimeView {
  std::string caption;
  std::string last, average, longest;
  int count = 0;
  struct Bar {
    std::string label;
    int count = 0;
    double share = 0;  // of all responses, 0 to 1
  };
  std::array<Bar, 11> bars;
};

ResponseTimeView BuildResponseTimeView(const ResponseTimes& times, const std::string& sessionTitle);

}  // namespace corvina::dialogs
