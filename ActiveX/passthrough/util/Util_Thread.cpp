#include "passthrough/util/Util_Thread.h"

Util_Thread::Util_Thread(std::uint32_t exitWaitMs) : _exitWaitMs(exitWaitMs) {}

Util_Thread::~Util_Thread() { destroy(); }

bool Util_Thread::create(const std::string& name, int level) {
  if (_mainThreadHdl) return true;
  _name = name;
  _log.setName("Util_Thread", name);
  _log.setLevel(level);
  if (!_flagsMutex) _flagsMutex = std::make_unique<plat::RecursiveMutex>();
  if (!_resumeEvent) {
    auto event = std::make_unique<plat::Event>(false, false);
    if (!event->Valid()) {
      _log.fatal(1, "Create _resumeEvent");
      return false;
    }
    _resumeEvent = std::move(event);
  }
  auto thread = std::make_unique<plat::Thread>();
  if (!thread->Start(&Util_Thread::threadProc, this)) {
    _log.fatal(1, "Create _mainThreadHdl");
    destroy();
    return false;
  }
  _mainThreadHdl = std::move(thread);
  return true;
}

bool Util_Thread::setLoop(int intervalMs, int count) {
  const plat::RecursiveMutex::Result got = _flagsMutex ? _flagsMutex->Lock(kFlagsWaitMs)
                                                       : plat::RecursiveMutex::kFailed;
  _loopCount = count;
  _interval = intervalMs;
  if (got == plat::RecursiveMutex::kAcquired || got == plat::RecursiveMutex::kAbandoned)
    _flagsMutex->Unlock();
  return true;
}

bool Util_Thread::resume() {
  if (_quit.load()) return false;
  const plat::RecursiveMutex::Result got = _flagsMutex ? _flagsMutex->Lock(kFlagsWaitMs)
                                                       : plat::RecursiveMutex::kFailed;
  _runRequest = true;
  if (got == plat::RecursiveMutex::kAcquired || got == plat::RecursiveMutex::kAbandoned)
    _flagsMutex->Unlock();
  _log.trace(0, "resume");
  if (_resumeEvent) _resumeEvent->Set();
  return true;
}

void Util_Thread::destroy() {
  _quit.store(true);
  if (_mainThreadHdl) {
    _resumeEvent->Set();
    if (!_mainThreadHdl->Join(_exitWaitMs)) {
      _log.warning(0, "thread exit timeout");
      // The worker may be inside run(), which uses this object: it must end before we go on.
      _mainThreadHdl->Join(plat::kInfinite);
    }
    _mainThreadHdl.reset();
  }
  _resumeEvent.reset();
  _flagsMutex.reset();
}

unsigned Util_Thread::threadProc(void* self) {
  static_cast<Util_Thread*>(self)->workerLoop();
  return 0;
}

bool Util_Thread::takeFlags(bool* quit, int* loopCount, bool* runRequest, int* interval) {
  const plat::RecursiveMutex::Result got = _flagsMutex->Lock(kFlagsWaitMs);
  if (got != plat::RecursiveMutex::kAcquired) {
    if (got == plat::RecursiveMutex::kAbandoned) _flagsMutex->Unlock();
    return false;
  }
  *quit = _quit.load();
  if (!*quit) {
    if (loopCount) *loopCount = _loopCount;
    if (runRequest) *runRequest = _runRequest;
    if (interval) *interval = _interval;
  }
  _flagsMutex->Unlock();
  return true;
}

void Util_Thread::workerLoop() {
  bool runFlag = false;
  int cyclesLeft = 0;
  int sleepMs = 0;
  bool quit = false;
  for (;;) {
    _log.trace(0, "wait resumeEvent");
    plat::WaitForEvent(_resumeEvent.get(), plat::kInfinite);
    _log.trace(0, "resume");
    if (takeFlags(&quit, &cyclesLeft, &runFlag, nullptr) && quit) break;
    if (runFlag) {
      _log.trace(0, "start()");
      start();
      bool quitting = false;
      do {
        _log.trace(0, "loop in count=", &cyclesLeft);
        if (cyclesLeft == 0) break;
        if (takeFlags(&quit, nullptr, nullptr, &sleepMs) && quit) { quitting = true; break; }
        plat::SleepMs(static_cast<std::uint32_t>(sleepMs < 0 ? 0 : sleepMs));
        if (takeFlags(&quit, nullptr, nullptr, nullptr) && quit) { quitting = true; break; }
        _log.trace(0, "run()");
        run();
        if (cyclesLeft > 0 && --cyclesLeft == 0) break;
        if (takeFlags(&quit, nullptr, &runFlag, nullptr) && quit) { quitting = true; break; }
      } while (runFlag);
      if (quitting) break;
    }
    _log.trace(0, "end()");
    end();
  }
  _log.trace(0, "ExitThread");
}
