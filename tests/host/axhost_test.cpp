// axhost as a command: exit statuses, and the lines a script prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct HostRun {
  int status;
  std::string out;
};

HostRun Axhost(const std::string& args, const std::string& script) {
  const std::string path = ::testing::TempDir() + "axhost_test_" + std::to_string(::getpid()) + ".ax";
  std::ofstream(path) << script;
  const std::string cmd = std::string(AXHOST_PATH) + " " + args + " " + path + " 2>&1";
  HostRun r{-1, {}};
  if (std::FILE* p = popen(cmd.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.out += buf;
    const int w = pclose(p);
    r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
  }
  std::remove(path.c_str());
  return r;
}

TEST(Axhost, ExitStatusNamesTheFailingLine) {
  struct Case {
    const char* what;
    std::string args;
    std::string script;
    int status;
    std::string output_has;
  };
  const std::string progid = "Zu_R_Audio.ReceiveAudio.1";
  const Case cases[] = {
      {"a script that runs", progid, "create\nget Port\n", 0, "Port = 80\n"},
      {"unknown ProgID", "No.Such.Control", "create\n", 2, "unknown ProgID"},
      {"unknown member", progid, "create\n\n# comment\nget Nope\n", 2, "line 4: unknown member Nope"},
      {"syntax error", progid, "create\nput IP \"open\n", 2, "line 2: unterminated string"},
      {"unknown command", progid, "create\nfrobnicate\n", 2, "line 2: unknown command"},
      {"wrong argument count", progid, "create\nget\n", 2, "line 2:"},
      {"names ignore case", progid, "create\nget port\n", 0, "Port = 80\n"},
      {"a wrong type is a runtime error", progid, "create\nput Port \"abc\"\nget Port\n", 0,
       "Port put error 0x80020005\nPort = 80\n"},
      {"method with a result", progid, "create\ncall SetPassword \"a\"\n", 0, "SetPassword -> 0x8002000E\n"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.what);
    const HostRun r = Axhost(row.args, row.script);
    EXPECT_EQ(r.status, row.status) << r.out;
    EXPECT_NE(r.out.find(row.output_has), std::string::npos) << r.out;
  }
}

TEST(Axhost, UntilPollsAndSavePrintsParams) {
  const HostRun r = Axhost("Zu_R_Audio.ReceiveAudio", "param Port 81\ncreate\nuntil Port 81 1000\nuntil Port 99 50\nsave\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Port = 81\nPort = 81\nparam IP \"192.168.0.2\"\nparam Port 81\nparam Volume 100\n"
            "param DelayTime 300\nparam StreamType 0\n");
}

}  // namespace
