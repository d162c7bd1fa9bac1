#include "script/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace corvina::script {

namespace {

// Closes the descriptors lo..hi (async-signal-safe).
void CloseRange(unsigned lo, unsigned hi) {
  if (lo > hi || ::syscall(SYS_close_range, lo, hi, 0u) == 0) return;
  for (unsigned fd = lo; fd <= hi && fd < 65536; ++fd) ::close(static_cast<int>(fd));
}

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(char* const* argv, char* const* envp, const char* folder, int errorFd) {
  auto fail = [errorFd](int err) {
    [[maybe_unused]] ssize_t n = ::write(errorFd, &err, sizeof err);
  };
  if (folder != nullptr && ::chdir(folder) != 0) {
    fail(errno);
    ::_exit(127);
  }
  const int devNull = ::open("/dev/null", O_RDONLY);
  if (devNull < 0) {
    fail(errno);
    ::_exit(127);
  }
  if (devNull != 0) {
    ::dup2(devNull, 0);
    ::close(devNull);
  }
  // Nothing of the emulator's reaches the child but stdout, stderr and the
  // error pipe (closed by exec).
  if (errorFd > 3) CloseRange(3, static_cast<unsigned>(errorFd - 1));
  CloseRange(static_cast<unsigned>(errorFd + 1), ~0u);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &dfl, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  // execvpe searches PATH; a name with "/" is run as it is.
  ::execvpe(argv[0], argv, envp);
  fail(errno);
  ::_exit(127);
}

}  // namespace

SpawnResult SpawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const std::string& folder, bool detached) {
  SpawnResult result;
  if (argv.empty()) {
    result.err = ENOENT;
    return result;
  }
  // Everything the child needs is made before fork.
  std::vector<char*> args, env;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  const char* dir = folder.empty() ? nullptr : folder.c_str();

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    result.err = errno;
    return result;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.err = errno;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return result;
  }
  if (pid == 0) {
    ::close(pipeFds[0]);
    if (detached) {
      // The grandchild runs the program; init reaps it.
      const pid_t grandchild = ::fork();
      if (grandchild < 0) {
        int err = errno;
        [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &err, sizeof err);
        ::_exit(127);
      }
      if (grandchild > 0) ::_exit(0);
    }
    ExecChild(args.data(), env.data(), dir, pipeFds[1]);
  }
  ::close(pipeFds[1]);
  // The pipe closes at exec (or carries the errno): a short wait, never one
  // on the program itself.
  int err = 0;
  ssize_t n;
  do {
    n = ::read(pipeFds[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  ::close(pipeFds[0]);
  if (detached) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (n == static_cast<ssize_t>(sizeof err)) {
    if (!detached) {
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    result.err = err;
    return result;
  }
  if (!detached) result.pid = pid;
  return result;
}

CChildWatch::CChildWatch(platform::EventLoop& loop, pid_t pid, std::function<void()> exited)
    : loop_(loop), pid_(pid), exited_(std::move(exited)) {
  pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidFd_ >= 0) {
    ::fcntl(pidFd_, F_SETFD, FD_CLOEXEC);
    watch_ = loop_.WatchFd(pidFd_, platform::kIoRead, [this](unsigned) { Check(); });
  } else {
    poll_ = loop_.AddTimer(std::chrono::milliseconds(50), true, [this] { Check(); });
  }
}

CChildWatch::~CChildWatch() {
  if (watch_ != 0) loop_.RemoveWatch(watch_);
  if (poll_ != 0) loop_.CancelTimer(poll_);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (pidFd_ >= 0) ::close(pidFd_);
}

void CChildWatch::Check() {
  if (pid_ <= 0) return;
  const pid_t done = ::waitpid(pid_, nullptr, WNOHANG);
  if (done == 0) return;
  pid_ = -1;
  if (watch_ != 0) loop_.RemoveWatch(watch_);
  if (poll_ != 0) loop_.CancelTimer(poll_);
  watch_ = poll_ = 0;
  // The callback may destroy this watch.
  auto exited = std::move(exited_);
  if (exited) exited();
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace corvina::script
