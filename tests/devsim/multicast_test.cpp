// The multicast sender, received by a member on lo inside a network namespace of the test's
// own, so nothing leaves the test. Needs root and the ip tool; skipped otherwise.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio_common/packet.h"
#include "devsim/devsim.h"
#include "devsim/packets.h"

namespace devsim_test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kGroup = "239.255.77.1";

// A member of the group on lo; 0 on failure. The port is the system's pick.
int JoinGroup(std::uint16_t* port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  socklen_t length = sizeof any;
  ip_mreqn member{};
  inet_pton(AF_INET, kGroup, &member.imr_multiaddr);
  inet_pton(AF_INET, "127.0.0.1", &member.imr_address);
  const timeval limit{0, 500000};
  if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&any), &length) != 0 ||
      ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &member, sizeof member) != 0 ||
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(any.sin_port);
  return fd;
}

// Runs in the namespace; returns what went wrong, or "" when every row held.
std::string CheckSender() {
  // 0: whole packets. (Loop off cannot be seen here: lo hands every datagram back anyway.)
  const std::size_t sizes[] = {0, 12, 300, 600};
  for (const std::size_t datagram_bytes : sizes) {
    const std::string name = "size " + std::to_string(datagram_bytes) + ": ";
    std::uint16_t port = 0;
    const int member = JoinGroup(&port);
    if (member < 0) return name + "cannot join the group";
    devsim::DeviceOptions options;
    options.multicast = devsim::MulticastOptions{kGroup, port, "127.0.0.1", true, 1, datagram_bytes};
    devsim::Device device(options);
    std::string error;
    if (!device.Start(&error)) return name + error;

    devsim::PacketStream expected(options.source());
    const std::size_t size = datagram_bytes == 0 ? audio::kPacketBytes : datagram_bytes;
    const Clock::time_point start = Clock::now();
    std::string problem;
    for (int k = 0; k < 3 && problem.empty(); ++k) {
      std::vector<std::uint8_t> got(2048);
      const ssize_t n = ::recv(member, got.data(), got.size(), 0);
      if (n != static_cast<ssize_t>(size)) {
        problem = "datagram " + std::to_string(k) + " has " + std::to_string(n) + " bytes";
        break;
      }
      const devsim::Packet packet = expected.Next();
      std::vector<std::uint8_t> want(size, 0);
      std::copy_n(packet.begin(), std::min(size, packet.size()), want.begin());
      got.resize(size);
      if (got != want) problem = "datagram " + std::to_string(k) + " differs from packet " + std::to_string(k);
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // Three datagrams span two periods (128 ms).
    if (problem.empty() && (ms < 90 || ms > 1500))
      problem = "three datagrams in " + std::to_string(ms) + " ms";
    if (problem.empty() && !device.stats().WaitForDatagrams(3, 1000)) problem = "not counted";
    ::close(member);
    if (!problem.empty()) return name + problem;
  }
  return "";
}

TEST(DevsimMulticast, SendsThePacketsToAnIpv4Group) {
  if (::geteuid() != 0 || std::system("command -v ip >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs root and the ip tool for a network namespace";
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(report[0]);
    std::string problem;
    if (::unshare(CLONE_NEWNET) != 0) problem = "unshare(CLONE_NEWNET) failed";
    else if (std::system("ip link set lo up multicast on && ip route add 224.0.0.0/4 dev lo") != 0)
      problem = "cannot set up lo for multicast";
    else problem = CheckSender();
    if (::write(report[1], problem.data(), problem.size()) < 0) _exit(2);
    _exit(problem.empty() ? 0 : 1);
  }
  ::close(report[1]);
  std::string problem;
  char buf[512];
  for (ssize_t n; (n = ::read(report[0], buf, sizeof buf)) > 0;) problem.append(buf, static_cast<std::size_t>(n));
  ::close(report[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(problem, "");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace devsim_test
