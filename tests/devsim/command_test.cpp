// The devsim command as a page author or a script runs it.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio_common/packet.h"
#include "client.h"
#include "devsim/audio_route.h"

extern char** environ;

namespace devsim_test {
namespace {

using Clock = std::chrono::steady_clock;

struct Process {
  pid_t pid = -1;
  int out = -1;  // its standard output
  int err = -1;  // its standard error
};

Process Spawn(std::vector<std::string> args) {
  args.insert(args.begin(), DEVSIM_COMMAND);
  int out[2], err[2];
  Process p;
  if (::pipe(out) != 0 || ::pipe(err) != 0) return p;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&p.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) p.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  p.out = out[0];
  p.err = err[0];
  return p;
}

// Reads fd until it has held `until` (or, if empty, until its end) or timeout_ms pass.
std::string ReadOutput(int fd, std::string* so_far, const std::string& until, int timeout_ms) {
  const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(timeout_ms);
  char buf[4096];
  while (until.empty() || so_far->find(until) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    so_far->append(buf, static_cast<std::size_t>(n));
  }
  return *so_far;
}

int Wait(const Process& p) {
  int status = 0;
  ::waitpid(p.pid, &status, 0);
  ::close(p.out);
  ::close(p.err);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(DevsimCommand, ServesWritesItsPortAndStopsOnSigterm) {
  char dir[] = "/tmp/devsim-test-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string port_file = std::string(dir) + "/port";
  const Process p = Spawn({"--port-file", port_file, "--fault", "close-after:2"});
  ASSERT_GT(p.pid, 0);

  unsigned port = 0;
  for (const Clock::time_point limit = Clock::now() + std::chrono::seconds(5); port == 0 && Clock::now() < limit;) {
    std::ifstream in(port_file);
    std::string line;
    if (std::getline(in, line) && in.good()) port = static_cast<unsigned>(std::stoul(line));  // a whole line
    else std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(port, 0u);
  Client client(static_cast<std::uint16_t>(port));
  ASSERT_TRUE(client.Send(kAudioRequest));
  const ReadResult r = client.ReadToEnd(3000);
  EXPECT_TRUE(r.eof);
  EXPECT_EQ(r.data.size(), devsim::kAudioResponseHeader.size() + 2 * audio::kPacketBytes);

  std::string out;
  ReadOutput(p.out, &out, "closed after 2 packets", 3000);
  ::kill(p.pid, SIGTERM);
  ReadOutput(p.out, &out, "", 3000);
  EXPECT_EQ(Wait(p), 0);
  const std::string http = "devsim: http 127.0.0.1:" + std::to_string(port) + "\n";
  for (const std::string& line : {http, std::string("devsim: connection 1 from 127.0.0.1:"),
                                  std::string("devsim: request 1 \"GET /api/audio?lowdelay=1 HTTP/1.1\"\n"),
                                  std::string("devsim: connection 1 closed after 2 packets")}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "\nin:\n" << out;
  }
  std::remove(port_file.c_str());
  ::rmdir(dir);
}

TEST(DevsimCommand, ExitStatusTellsHowARunEnded) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;  // on standard error; "" for nothing
  } rows[] = {
      {{"--duration", "100", "--quiet"}, 0, ""},
      {{"--fault", "bogus"}, 2, "unknown fault 'bogus'"},
      {{"--wav", "/nonexistent/sound.wav"}, 2, "/nonexistent/sound.wav"},
      {{"--tone", "abc"}, 2, "--tone"},
      {{"--multicast", "239.1.1.1"}, 2, "GROUP:PORT"},
      {{"--frobnicate", "1"}, 2, "unknown option"},
      {{"--bind", "no-such-address"}, 1, "no-such-address"},
      {{"--camera", "--camera-plan", "bogus"}, 2, "camera answer 'bogus'"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args[1]);
    const Process p = Spawn(row.args);
    ASSERT_GT(p.pid, 0);
    std::string out, err;
    ReadOutput(p.err, &err, "", 5000);
    ReadOutput(p.out, &out, "", 5000);
    EXPECT_EQ(Wait(p), row.status);
    if (*row.says == '\0') {
      EXPECT_EQ(err, "");
      EXPECT_EQ(out, "");
    } else {
      EXPECT_NE(err.find(row.says), std::string::npos) << err;
    }
  }
}

// The port file's lines as numbers, once the file is there (it appears whole).
std::vector<unsigned> ReadPorts(const std::string& path, int timeout_ms) {
  std::vector<unsigned> ports;
  const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (ports.empty() && Clock::now() < limit) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) ports.push_back(static_cast<unsigned>(std::stoul(line)));
    if (ports.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ports;
}

TEST(DevsimCommand, ServesTheCameraAfterItsRefusalAndWritesItsPortOnLineTwo) {
  char dir[] = "/tmp/devsim-test-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string port_file = std::string(dir) + "/port";
  const Clock::time_point spawned = Clock::now();
  const int refuse_ms = 800;
  const Process p = Spawn({"--port-file", port_file, "--camera", "--camera-refuse-ms", std::to_string(refuse_ms),
                           "--camera-plan", "reply:90:41"});
  ASSERT_GT(p.pid, 0);
  const std::vector<unsigned> ports = ReadPorts(port_file, 5000);
  ASSERT_EQ(ports.size(), 2u);
  const auto camera = static_cast<std::uint16_t>(ports[1]);
  ASSERT_NE(camera, ports[0]);
  {
    Client early(camera);
    // Started after the spawn, so its refusal lasts at least this long.
    if (Clock::now() - spawned < std::chrono::milliseconds(refuse_ms)) {
      EXPECT_FALSE(early.connected());
    }
  }
  std::unique_ptr<Client> client;
  for (const Clock::time_point limit = Clock::now() + std::chrono::seconds(10); Clock::now() < limit;) {
    client = std::make_unique<Client>(camera);
    if (client->connected()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(client->connected());
  ASSERT_TRUE(client->Send(std::string("\x81\x01\x04\x00\x02\xFF", 6)));
  EXPECT_EQ(client->ReadExactly(2, 3000).data, "\x90\x41");
  client->Close();

  std::string out;
  ReadOutput(p.out, &out, "camera 1 closed", 3000);
  ::kill(p.pid, SIGTERM);
  ReadOutput(p.out, &out, "", 3000);
  EXPECT_EQ(Wait(p), 0);
  std::size_t at = 0;
  for (const char* line : {"devsim: camera refusing\n", "devsim: camera listening\n",
                           "devsim: camera 1 from 127.0.0.1:", " (reply:90:41)\n",
                           "devsim: camera 1 received 81 01 04 00 02 FF\n", "devsim: camera 1 sent 90 41\n",
                           "devsim: camera 1 closed (by peer)\n"}) {
    at = out.find(line, at);  // in this order
    ASSERT_NE(at, std::string::npos) << line << "\nin:\n" << out;
  }
  std::remove(port_file.c_str());
  ::rmdir(dir);
}

}  // namespace
}  // namespace devsim_test
