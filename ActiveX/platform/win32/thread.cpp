// Win32 backend of thread.h.
#include <winsock2.h>
#include <windows.h>
#include <mmsystem.h>

#include <process.h>

#include "platform/thread.h"

namespace plat {

struct Thread::Impl {
  HANDLE handle = nullptr;
  std::uint32_t id = 0;
};

namespace {

// Owned by the new thread, so a Thread destroyed while it runs leaves it nothing dangling.
struct StartBlock {
  ThreadProc proc;
  void* arg;
};

// _beginthreadex wants __stdcall, which ThreadProc is not on i686.
unsigned __stdcall Trampoline(void* p) {
  StartBlock block = *static_cast<StartBlock*>(p);
  delete static_cast<StartBlock*>(p);
  return block.proc(block.arg);
}

}  // namespace

Thread::Thread() : impl_(new Impl) {}

Thread::~Thread() {
  if (impl_->handle) CloseHandle(impl_->handle);
  delete impl_;
}

bool Thread::Start(ThreadProc proc, void* arg) {
  if (impl_->handle || !proc) return false;
  auto* block = new StartBlock{proc, arg};
  unsigned id = 0;
  // _beginthreadex rather than CreateThread: the thread may use the C runtime.
  auto h = _beginthreadex(nullptr, 0, Trampoline, block, 0, &id);
  if (!h) {
    delete block;
    return false;
  }
  impl_->handle = reinterpret_cast<HANDLE>(h);
  impl_->id = id;
  return true;
}

// No thread held (never started, or joined already): nothing to wait for.
bool Thread::Join(std::uint32_t timeout_ms) {
  if (!impl_->handle) return true;
  if (WaitForSingleObject(impl_->handle, timeout_ms) != WAIT_OBJECT_0) return false;
  CloseHandle(impl_->handle);
  *impl_ = Impl{};
  return true;
}

bool Thread::Started() const { return impl_->handle != nullptr; }
std::uint32_t Thread::Id() const { return impl_->id; }

std::uint32_t CurrentThreadId() { return GetCurrentThreadId(); }
// Counted from the system's start like GetTickCount, but read fresh: wine's GetTickCount comes
// from a copy refreshed now and then, which lags by tens of milliseconds on a busy machine.
std::uint32_t TickMs() { return timeGetTime(); }
void SleepMs(std::uint32_t ms) { Sleep(ms); }

}  // namespace plat
