// Win32 backend of sync.h: the kernel's own events and mutex, so abandonment and the wait
// rules are exactly Windows' own.
#include <winsock2.h>
#include <windows.h>

#include "platform/sync.h"

namespace plat {

struct Event::Impl {
  HANDLE handle;
};

struct RecursiveMutex::Impl {
  HANDLE handle;
};

namespace win32 {
// For net.cpp: WSAEventSelect binds sockets to this handle (a WSAEVENT is an event HANDLE).
HANDLE EventHandle(const Event* event) {
  return event && event->impl() ? event->impl()->handle : nullptr;
}
}  // namespace win32

Event::Event(bool manual_reset, bool initially_set)
    : impl_(new Impl{CreateEventW(nullptr, manual_reset, initially_set, nullptr)}) {}

Event::~Event() {
  if (impl_->handle) CloseHandle(impl_->handle);
  delete impl_;
}

bool Event::Valid() const { return impl_->handle != nullptr; }
void Event::Set() { SetEvent(impl_->handle); }
void Event::Reset() { ResetEvent(impl_->handle); }

std::uint32_t WaitForEvents(Event* const* events, unsigned count, std::uint32_t timeout_ms) {
  if (!events || count == 0 || count > MAXIMUM_WAIT_OBJECTS) return kWaitFailed;
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  for (unsigned i = 0; i < count; ++i) {
    handles[i] = win32::EventHandle(events[i]);
    if (!handles[i]) return kWaitFailed;
  }
  DWORD r = WaitForMultipleObjects(count, handles, FALSE, timeout_ms);
  if (r < WAIT_OBJECT_0 + count) return r - WAIT_OBJECT_0;
  if (r == WAIT_TIMEOUT) return kWaitTimeout;
  return kWaitFailed;
}

RecursiveMutex::RecursiveMutex() : impl_(new Impl{CreateMutexW(nullptr, FALSE, nullptr)}) {}

RecursiveMutex::~RecursiveMutex() {
  if (impl_->handle) CloseHandle(impl_->handle);
  delete impl_;
}

RecursiveMutex::Result RecursiveMutex::Lock(std::uint32_t timeout_ms) {
  if (!impl_->handle) return kFailed;
  switch (WaitForSingleObject(impl_->handle, timeout_ms)) {
    case WAIT_OBJECT_0:
      return kAcquired;
    case WAIT_ABANDONED:
      return kAbandoned;
    case WAIT_TIMEOUT:
      return kTimeout;
    default:
      return kFailed;
  }
}

void RecursiveMutex::Unlock() { ReleaseMutex(impl_->handle); }

}  // namespace plat
