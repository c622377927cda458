#include "tests/support/netns.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace testsupport {

const char* const kLoopbackMulticast =
    "ip link set lo up multicast on && ip route add 224.0.0.0/4 dev lo";

const char* const kVethMulticast =
    "ip link set lo up multicast on && ip route add 224.0.0.0/4 dev lo && "
    "sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0 && "
    "ip link add zv0 type veth peer name zv1 && ip link set zv0 up && ip link set zv1 up && "
    "ip -6 addr add fd5a::1/64 dev zv0 nodad && ip -6 addr add fd5a::2/64 dev zv1 nodad && "
    // zv1's multicast route loses to zv0's, so a join on the default interface picks zv0,
    // while a sender bound to zv1 still finds a route out.
    "ip -6 route del ff00::/8 dev zv1 table local && "
    "ip -6 route add multicast ff00::/8 dev zv1 table local metric 1024";

bool InPrivateNetwork(const char* setup_commands) {
  if (std::getenv("ZUB_IN_PRIVATE_NETWORK") != nullptr) return true;
  if (geteuid() != 0 || std::system("command -v unshare >/dev/null && command -v ip >/dev/null") != 0) {
    ADD_FAILURE() << "needs root, unshare and ip";  // the CI machine has all three
    return false;
  }
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) {
    ADD_FAILURE() << "cannot find the test program";
    return false;
  }
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string(info->test_suite_name()) + "." + info->name();
  const std::string cmd = std::string("unshare -n sh -c '") + setup_commands +
                          " && ZUB_IN_PRIVATE_NETWORK=1 exec \"$0\" --gtest_filter=\"$1\"' '" + self + "' '" +
                          filter + "' > /tmp/zub-netns-$$.log 2>&1; s=$?; [ $s -eq 0 ] || cat /tmp/zub-netns-$$.log; "
                          "rm -f /tmp/zub-netns-$$.log; exit $s";
  const int status = std::system(cmd.c_str());
  EXPECT_EQ(status, 0) << "the test failed inside its network namespace (output above)";
  return false;
}

unsigned InterfaceIndex(const char* name) { return if_nametoindex(name); }

}  // namespace testsupport
