// Blocking work (name lookups) off the event-loop thread: the result comes
// back as a task on the loop, unless the request was cancelled first.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/EventLoop.h"

namespace corvina::netutil {

class BackgroundRequest {
 public:
  BackgroundRequest() = default;
  ~BackgroundRequest() { Cancel(); }
  BackgroundRequest(const BackgroundRequest&) = delete;
  BackgroundRequest& operator=(const BackgroundRequest&) = delete;

  // Runs work() on a thread of its own and done(result) on the loop. A
  // request already running is cancelled.
  template <class Result>
  void Run(platform::EventLoop& loop, std::function<Result()> work, std::function<void(Result)> done) {
    Cancel();
    auto token = std::make_shared<Token>();
    token->loop = &loop;
    token_ = token;
    std::thread([token, work = std::move(work), done = std::move(done)]() mutable {
      Result result = work();
      std::lock_guard lock(token->mutex);
      if (token->loop == nullptr) return;
      token->loop->Post([token, done = std::move(done), result = std::move(result)]() mutable {
        {
          std::lock_guard lock(token->mutex);
          if (token->loop == nullptr) return;
          token->loop = nullptr;
        }
        done(std::move(result));
      });
    }).detach();
  }

  bool Pending() const {
    if (!token_) return false;
    std::lock_guard lock(token_->mutex);
    return token_->loop != nullptr;
  }

  // The result, when it comes, is dropped. Loop thread only.
  void Cancel() {
    if (!token_) return;
    std::lock_guard lock(token_->mutex);
    token_->loop = nullptr;
    token_.reset();
  }

 private:
  struct Token {
    std::mutex mutex;
    platform::EventLoop* loop = nullptr;
  };
  std::shared_ptr<Token> token_;
};

}  // namespace corvina::netutil
