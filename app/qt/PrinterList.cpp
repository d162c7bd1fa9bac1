#include "app/qt/PrinterList.h"

#include <mutex>
#include <thread>

#include "printing/backends/Backends.h"

namespace corvina::qt {

struct CPrinterList::State {
  mutable std::mutex mutex;
  std::vector<std::string> names;
  bool busy = false;
};

namespace {

std::vector<std::string> CupsDestinations() {
  std::vector<std::string> names;
  for (const auto& d : printing::backends::ListDestinations()) names.push_back(d.name);
  return names;
}

}  // namespace

CPrinterList::CPrinterList(Lister lister)
    : lister_(lister ? std::move(lister) : Lister(CupsDestinations)), state_(std::make_shared<State>()) {}

void CPrinterList::Refresh() {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->busy) return;
    state_->busy = true;
  }
  // Detached: a scheduler that never answers keeps only this thread.
  std::thread([state = state_, lister = lister_] {
    std::vector<std::string> names = lister();
    std::lock_guard lock(state->mutex);
    state->names = std::move(names);
    state->busy = false;
  }).detach();
}

std::vector<std::string> CPrinterList::Names() const {
  std::lock_guard lock(state_->mutex);
  return state_->names;
}

bool CPrinterList::Idle() const {
  std::lock_guard lock(state_->mutex);
  return !state_->busy;
}

}  // namespace corvina::qt
