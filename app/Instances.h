// Running instances count themselves through one locked file each in the
// per-user runtime folder. The kernel drops the lock of a process that ends
// in any way, so a crashed instance stops counting by itself.
#pragma once

#include <string>

namespace corvina::app {

class CInstanceRegistration {
 public:
  CInstanceRegistration() = default;
  ~CInstanceRegistration();
  CInstanceRegistration(const CInstanceRegistration&) = delete;
  CInstanceRegistration& operator=(const CInstanceRegistration&) = delete;

  // Registers this process in the folder (prepared by
  // platform::PreparePrivateFolder) and returns the number of running
  // instances, this one included; files of ended instances are removed on
  // the way. 0 when the folder cannot be used, with the cause.
  int Register(const std::string& folder, std::string* cause);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace corvina::app
