// A test program's main that runs every test inside a network namespace of the program's own
// (loopback only), when it may make one. Controls that look up this PC's own name at creation
// then cannot ask the machine's resolver anything, whatever /etc/hosts holds.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool BringLoopbackUp() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s < 0) return false;
  ifreq req{};
  std::strncpy(req.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ioctl(s, SIOCGIFFLAGS, &req) == 0;
  req.ifr_flags |= IFF_UP;
  ok = ok && ioctl(s, SIOCSIFFLAGS, &req) == 0;
  close(s);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Before any thread starts: unshare moves only the calling thread, and later threads follow it.
  // A test that made a namespace of its own (netns.h) re-runs itself inside it: stay there.
  if (geteuid() == 0 && std::getenv("ZUB_IN_PRIVATE_NETWORK") == nullptr) {
    if (unshare(CLONE_NEWNET) != 0 || !BringLoopbackUp()) {
      std::perror("private network");
      return 1;
    }
  }
  return RUN_ALL_TESTS();
}
