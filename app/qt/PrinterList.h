// The printers the Printer page offers. The scheduler is asked on a worker
// thread, so that a slow or hung one never holds the window; the dialogs
// take the last list that came back (empty until the first answer).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvina::qt {

class CPrinterList {
 public:
  using Lister = std::function<std::vector<std::string>()>;
  // The CUPS destinations by default.
  explicit CPrinterList(Lister lister = {});

  // Starts a query unless one is still out.
  void Refresh();
  std::vector<std::string> Names() const;
  // Whether no query is out (tests wait for this).
  bool Idle() const;

 private:
  struct State;
  Lister lister_;
  std::shared_ptr<State> state_;  // shared with a query that may outlive us
};

}  // namespace corvina::qt
