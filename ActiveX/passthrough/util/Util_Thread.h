// Util_Thread: base of a worker that sleeps until resumed and then runs a loop: start() once,
// then cycles of sleeping the interval and calling run(), for the set count (-1: without end),
// then end(), and sleeps again until the next resume. A derived class overrides start(),
// run() and end(); they run on the worker only, and data they share with the controlling
// thread needs the derived class's own lock.
//
// The controlling thread calls create, setLoop, resume and destroy. The worker checks for
// quitting on waking, right before and right after each sleep, and after each run(); ending
// that way it does not call end(). destroy() waits for the worker to end: after 30 s it writes
// WARNING "thread exit timeout" and goes on waiting, so a run() still under way never outlives
// the object. A derived class whose run() uses its own members must call destroy() in its own
// destructor, before those members go.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "passthrough/util/Util_Log.h"
#include "platform/sync.h"
#include "platform/thread.h"

class Util_Thread {
 public:
  static constexpr int kDefaultIntervalMs = 1000;
  static constexpr std::uint32_t kFlagsWaitMs = 20000;
  static constexpr std::uint32_t kExitWaitMs = 30000;

  // exitWaitMs: how long destroy() waits before its warning (tests shorten it).
  explicit Util_Thread(std::uint32_t exitWaitMs = kExitWaitMs);
  virtual ~Util_Thread();
  Util_Thread(const Util_Thread&) = delete;
  Util_Thread& operator=(const Util_Thread&) = delete;

  // Sets up the handles and starts the worker, which waits for resume(). True at once when the
  // worker exists; false (FATAL record naming the step) when a handle or the thread cannot be
  // made, with nothing left running.
  bool create(const std::string& name, int level);
  // Interval and number of run() cycles for the next resume; always true.
  bool setLoop(int intervalMs, int count);
  // Requests a run of the loop and wakes the worker; false once destroy() has begun.
  bool resume();
  // Stops the worker (waiting for it to end) and closes every handle.
  void destroy();

  const std::string& name() const { return _name; }

 protected:
  virtual void start() {}
  virtual void run() {}
  virtual void end() {}

 private:
  static unsigned threadProc(void* self);
  // Copies the steering flags under _flagsMutex; false when the wait failed (values unchanged)
  // or when quitting.
  bool takeFlags(bool* quit, int* loopCount, bool* runRequest, int* interval);
  void workerLoop();

  const std::uint32_t _exitWaitMs;
  std::atomic<bool> _quit{false};
  bool _runRequest = false;
  int _interval = kDefaultIntervalMs;
  int _loopCount = -1;
  std::string _name;
  std::unique_ptr<plat::Event> _resumeEvent;
  Util_Log _log;
  std::unique_ptr<plat::RecursiveMutex> _flagsMutex;
  std::unique_ptr<plat::Thread> _mainThreadHdl;
};
