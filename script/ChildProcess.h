// Child processes of scripts: started with an explicit environment, standard
// input from /dev/null and no inherited descriptors; watched from the event
// loop, never waited for on it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/EventLoop.h"

namespace corvina::script {

struct SpawnResult {
  pid_t pid = -1;
  int err = 0;  // errno of the failed fork, chdir or exec
};

// Runs argv[0] (searched in PATH when it has no "/") in the folder (empty:
// this process's). Detached children are nobody's to wait for: they are
// reparented at once and pid stays -1 on success.
SpawnResult SpawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const std::string& folder, bool detached);

// Tells the loop when the child ends. Destroying the watch while the child
// runs kills it.
class CChildWatch {
 public:
  CChildWatch(platform::EventLoop& loop, pid_t pid, std::function<void()> exited);
  ~CChildWatch();
  CChildWatch(const CChildWatch&) = delete;
  CChildWatch& operator=(const CChildWatch&) = delete;
  bool Running() const { return pid_ > 0; }

 private:
  void Check();

  platform::EventLoop& loop_;
  pid_t pid_;
  int pidFd_ = -1;
  platform::WatchId watch_ = 0;
  platform::TimerId poll_ = 0;
  std::function<void()> exited_;
};

// Splits a command line at blanks; double quotes group words.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace corvina::script
