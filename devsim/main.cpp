// devsim: runs the device emulator until SIGINT, SIGTERM or --duration, printing its events.
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "devsim/command_line.h"
#include "devsim/devsim.h"

namespace {

void Say(const std::string& line) {
  std::printf("devsim: %s\n", line.c_str());
  std::fflush(stdout);
}

// Written whole under a temporary name and renamed, so a reader never sees half a number.
// Line 1: the HTTP port; line 2, with a camera: the camera port.
bool WritePortFile(const std::string& path, unsigned port, unsigned camera_port, std::string* error) {
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temp.c_str(), "w");
  if (f == nullptr) {
    *error = temp + ": " + std::strerror(errno);
    return false;
  }
  const bool written =
      std::fprintf(f, "%u\n", port) > 0 && (camera_port == 0 || std::fprintf(f, "%u\n", camera_port) > 0);
  if (std::fclose(f) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  devsim::CommandLine command;
  std::string error;
  if (!devsim::ParseCommandLine(argc, argv, &command, &error)) {
    std::fprintf(stderr, "devsim: %s\n%s", error.c_str(), devsim::kUsage);
    return 2;
  }
  if (command.help) {
    std::fputs(devsim::kUsage, stdout);
    return 0;
  }
  if (!command.quiet) command.device.log = Say;

  // Blocked before any thread starts, so every thread inherits the mask and only the wait
  // below takes the signals. The duration arrives as SIGALRM.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGALRM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  devsim::Device device(std::move(command.device));
  if (!device.Start(&error)) {
    std::fprintf(stderr, "devsim: %s\n", error.c_str());
    return 1;
  }
  if (!command.port_file.empty() && !WritePortFile(command.port_file, device.http_port(), device.camera_port(), &error)) {
    std::fprintf(stderr, "devsim: %s\n", error.c_str());
    return 1;
  }

  if (command.duration_ms) {
    itimerval timer{};
    timer.it_value.tv_sec = *command.duration_ms / 1000;
    timer.it_value.tv_usec = (*command.duration_ms % 1000) * 1000 + 1;  // zero would disarm it
    setitimer(ITIMER_REAL, &timer, nullptr);
  }
  int got = 0;
  while (sigwait(&signals, &got) != 0) {
  }
  device.Stop();
  if (!command.quiet) Say(got == SIGALRM ? std::string("stopped after duration") : std::string("stopped by ") + strsignal(got));
  return 0;
}
