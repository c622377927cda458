#include "platform/thread.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>

namespace plat {

namespace {

constexpr std::uint32_t kForever = 0xFFFFFFFFu;  // INFINITE

// What a thread and its Thread object share; the thread keeps it alive after a detach.
struct Shared {
  ThreadProc proc = nullptr;
  void* arg = nullptr;
  std::mutex mu;
  std::condition_variable cv;
  std::uint32_t id = 0;  // published by the thread before it runs proc
  bool done = false;
};

void* Trampoline(void* p) {
  std::unique_ptr<std::shared_ptr<Shared>> owner(static_cast<std::shared_ptr<Shared>*>(p));
  std::shared_ptr<Shared> shared = *owner;
  {
    std::lock_guard<std::mutex> lock(shared->mu);
    shared->id = CurrentThreadId();
  }
  shared->cv.notify_all();
  shared->proc(shared->arg);
  {
    std::lock_guard<std::mutex> lock(shared->mu);
    shared->done = true;
  }
  shared->cv.notify_all();
  return nullptr;
}

}  // namespace

struct Thread::Impl {
  std::shared_ptr<Shared> shared;  // null when no thread is held
  pthread_t handle{};
};

Thread::Thread() : impl_(new Impl) {}

Thread::~Thread() {
  if (impl_->shared) {
    bool done;
    {
      std::lock_guard<std::mutex> lock(impl_->shared->mu);
      done = impl_->shared->done;
    }
    if (done) {
      pthread_join(impl_->handle, nullptr);
    } else {
      pthread_detach(impl_->handle);
    }
  }
  delete impl_;
}

bool Thread::Start(ThreadProc proc, void* arg) {
  if (impl_->shared || proc == nullptr) return false;
  auto shared = std::make_shared<Shared>();
  shared->proc = proc;
  shared->arg = arg;
  auto* handoff = new std::shared_ptr<Shared>(shared);
  if (pthread_create(&impl_->handle, nullptr, Trampoline, handoff) != 0) {
    delete handoff;
    return false;
  }
  impl_->shared = shared;
  // Id() is valid as soon as Start returns, as with CreateThread.
  std::unique_lock<std::mutex> lock(shared->mu);
  shared->cv.wait(lock, [&] { return shared->id != 0; });
  return true;
}

bool Thread::Join(std::uint32_t timeout_ms) {
  if (!impl_->shared) return true;
  {
    std::unique_lock<std::mutex> lock(impl_->shared->mu);
    auto ended = [&] { return impl_->shared->done; };
    if (timeout_ms == kForever) {
      impl_->shared->cv.wait(lock, ended);
    } else if (!impl_->shared->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), ended)) {
      return false;
    }
  }
  pthread_join(impl_->handle, nullptr);
  impl_->shared.reset();
  return true;
}

bool Thread::Started() const { return impl_->shared != nullptr; }

std::uint32_t Thread::Id() const {
  if (!impl_->shared) return 0;
  std::lock_guard<std::mutex> lock(impl_->shared->mu);
  return impl_->shared->id;
}

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(gettid()); }

std::uint32_t TickMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

void SleepMs(std::uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace plat
