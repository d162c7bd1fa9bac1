// The test process's own network namespace (see PrivateNetwork.cpp).
#pragma once

#include <string>

namespace corvina::test {

// Empty when the process runs in its own network; otherwise why not.
const std::string& PrivateNetworkProblem();

// Sets a sysctl of this network namespace ("net.ipv4.ping_group_range").
bool SetSysctl(const std::string& name, const std::string& value);

}  // namespace corvina::test

#define REQUIRE_PRIVATE_NETWORK()                                                                      \
  do {                                                                                                 \
    if (!::corvina::test::PrivateNetworkProblem().empty())                                             \
      GTEST_SKIP() << "no private network: " << ::corvina::test::PrivateNetworkProblem();              \
  } while (0)
