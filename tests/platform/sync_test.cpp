// Events, waits on several events, and the re-entrant lock with abandonment, in real time with
// generous bounds.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/sync.h"
#include "platform/thread.h"

namespace plat_test {
namespace {

using plat::Event;
using plat::RecursiveMutex;

constexpr std::uint32_t kLongMs = 5000;

TEST(EventTest, ManualResetStaysSetUntilReset) {
  Event e(true, false);
  ASSERT_TRUE(e.Valid());
  EXPECT_EQ(plat::WaitForEvent(&e, 0), plat::kWaitTimeout);
  e.Set();
  EXPECT_EQ(plat::WaitForEvent(&e, 0), 0u);
  EXPECT_EQ(plat::WaitForEvent(&e, 0), 0u);
  e.Reset();
  EXPECT_EQ(plat::WaitForEvent(&e, 0), plat::kWaitTimeout);
}

TEST(EventTest, AutoResetIsClearedByTheReleasedWait) {
  Event e(false, true);
  EXPECT_EQ(plat::WaitForEvent(&e, 0), 0u);
  EXPECT_EQ(plat::WaitForEvent(&e, 0), plat::kWaitTimeout);
  e.Set();
  e.Set();  // not counted
  EXPECT_EQ(plat::WaitForEvent(&e, 0), 0u);
  EXPECT_EQ(plat::WaitForEvent(&e, 0), plat::kWaitTimeout);
}

TEST(EventTest, TimedWaitTimesOut) {
  Event e(true, false);
  const std::uint32_t start = plat::TickMs();
  EXPECT_EQ(plat::WaitForEvent(&e, 150), plat::kWaitTimeout);
  const std::uint32_t spent = plat::TickMs() - start;
  EXPECT_GE(spent, 120u);
  EXPECT_LT(spent, 3000u);
}

TEST(EventTest, WaitReturnsTheLowestSetIndexAndClearsOnlyIt) {
  Event manual0(true, false), auto1(false, true), manual2(true, true), auto3(false, true);
  Event* all[] = {&manual0, &auto1, &manual2, &auto3};
  EXPECT_EQ(plat::WaitForEvents(all, 4, 0), 1u);
  EXPECT_EQ(plat::WaitForEvents(all, 4, 0), 2u);
  manual2.Reset();
  EXPECT_EQ(plat::WaitForEvents(all, 4, 0), 3u);
  EXPECT_EQ(plat::WaitForEvents(all, 4, 0), plat::kWaitTimeout);
  manual0.Set();
  EXPECT_EQ(plat::WaitForEvents(all, 4, 0), 0u);
}

TEST(EventTest, BadCountFails) {
  Event e(true, true);
  Event* many[65];
  for (Event*& p : many) p = &e;
  EXPECT_EQ(plat::WaitForEvents(many, 0, 0), plat::kWaitFailed);
  EXPECT_EQ(plat::WaitForEvents(many, 65, 0), plat::kWaitFailed);
  EXPECT_EQ(plat::WaitForEvents(many, 64, 0), 0u);
}

struct Setter {
  Event* event;
  std::uint32_t delay_ms;
};

unsigned SetLater(void* arg) {
  auto* s = static_cast<Setter*>(arg);
  plat::SleepMs(s->delay_ms);
  s->event->Set();
  return 0;
}

TEST(EventTest, SetFromAnotherThreadWakesAWaiterPromptly) {
  Event idle(true, false), wake(false, false);
  Event* both[] = {&idle, &wake};
  Setter setter{&wake, 100};
  plat::Thread t;
  ASSERT_TRUE(t.Start(SetLater, &setter));
  const std::uint32_t start = plat::TickMs();
  EXPECT_EQ(plat::WaitForEvents(both, 2, kLongMs), 1u);
  const std::uint32_t spent = plat::TickMs() - start;
  EXPECT_GE(spent, 80u);
  EXPECT_LT(spent, 2000u);
  EXPECT_TRUE(t.Join(kLongMs));
}

struct Waiter {
  Event* event;
  std::atomic<int>* released;
};

unsigned WaitOnce(void* arg) {
  auto* w = static_cast<Waiter*>(arg);
  if (plat::WaitForEvent(w->event, kLongMs) == 0) ++*w->released;
  return 0;
}

TEST(EventTest, AutoResetSetReleasesExactlyOneOfTwoWaiters) {
  Event e(false, false);
  std::atomic<int> released{0};
  Waiter w{&e, &released};
  plat::Thread a, b;
  ASSERT_TRUE(a.Start(WaitOnce, &w));
  ASSERT_TRUE(b.Start(WaitOnce, &w));
  plat::SleepMs(100);
  e.Set();
  plat::SleepMs(300);
  EXPECT_EQ(released.load(), 1);
  e.Set();
  EXPECT_TRUE(a.Join(kLongMs));
  EXPECT_TRUE(b.Join(kLongMs));
  EXPECT_EQ(released.load(), 2);
  EXPECT_EQ(plat::WaitForEvent(&e, 0), plat::kWaitTimeout);
}

struct PingPong {
  Event ping{false, false};
  Event pong{false, false};
  int rounds = 0;
  std::atomic<bool> failed{false};
};

unsigned Ponger(void* arg) {
  auto* p = static_cast<PingPong*>(arg);
  for (int i = 0; i < p->rounds; ++i) {
    if (plat::WaitForEvent(&p->ping, kLongMs) != 0) {
      p->failed = true;
      return 1;
    }
    p->pong.Set();
  }
  return 0;
}

TEST(EventTest, ManyRoundTripsBetweenThreadsLoseNoSet) {
  PingPong p;
  p.rounds = 500;
  plat::Thread t;
  ASSERT_TRUE(t.Start(Ponger, &p));
  for (int i = 0; i < p.rounds; ++i) {
    p.ping.Set();
    ASSERT_EQ(plat::WaitForEvent(&p.pong, kLongMs), 0u) << "round " << i;
  }
  EXPECT_TRUE(t.Join(kLongMs));
  EXPECT_FALSE(p.failed.load());
}

TEST(RecursiveMutexTest, OwnerMayLockAgain) {
  RecursiveMutex m;
  EXPECT_EQ(m.Lock(), RecursiveMutex::kAcquired);
  EXPECT_EQ(m.Lock(0), RecursiveMutex::kAcquired);
  EXPECT_EQ(m.Lock(100), RecursiveMutex::kAcquired);
  m.Unlock();
  m.Unlock();
  m.Unlock();
  { plat::LockGuard guard(m); }
}

struct LockAttempt {
  RecursiveMutex* mutex;
  std::uint32_t timeout_ms;
  RecursiveMutex::Result result = RecursiveMutex::kFailed;
  std::uint32_t spent_ms = 0;
  bool hold = false;  // end the thread still holding it
};

unsigned TryLock(void* arg) {
  auto* a = static_cast<LockAttempt*>(arg);
  const std::uint32_t start = plat::TickMs();
  a->result = a->mutex->Lock(a->timeout_ms);
  a->spent_ms = plat::TickMs() - start;
  if (a->result != RecursiveMutex::kTimeout && !a->hold) a->mutex->Unlock();
  return 0;
}

RecursiveMutex::Result LockOnAnotherThread(LockAttempt* attempt) {
  plat::Thread t;
  EXPECT_TRUE(t.Start(TryLock, attempt));
  EXPECT_TRUE(t.Join(kLongMs));
  return attempt->result;
}

TEST(RecursiveMutexTest, AnotherThreadTimesOutWhileHeld) {
  RecursiveMutex m;
  ASSERT_EQ(m.Lock(), RecursiveMutex::kAcquired);
  LockAttempt now{&m, 0};
  EXPECT_EQ(LockOnAnotherThread(&now), RecursiveMutex::kTimeout);
  LockAttempt later{&m, 150};
  EXPECT_EQ(LockOnAnotherThread(&later), RecursiveMutex::kTimeout);
  EXPECT_GE(later.spent_ms, 100u);
  EXPECT_LT(later.spent_ms, 3000u);
  m.Unlock();
  LockAttempt free_again{&m, 1000};
  EXPECT_EQ(LockOnAnotherThread(&free_again), RecursiveMutex::kAcquired);
}

TEST(RecursiveMutexTest, WaiterGetsItWhenTheOwnerUnlocks) {
  RecursiveMutex m;
  ASSERT_EQ(m.Lock(), RecursiveMutex::kAcquired);
  LockAttempt waiter{&m, kLongMs};
  plat::Thread t;
  ASSERT_TRUE(t.Start(TryLock, &waiter));
  plat::SleepMs(100);
  m.Unlock();
  ASSERT_TRUE(t.Join(kLongMs));
  EXPECT_EQ(waiter.result, RecursiveMutex::kAcquired);
  EXPECT_LT(waiter.spent_ms, 3000u);
}

TEST(RecursiveMutexTest, OwnerEndingWithItHeldAbandonsIt) {
  RecursiveMutex m;
  LockAttempt owner{&m, kLongMs};
  owner.hold = true;
  ASSERT_EQ(LockOnAnotherThread(&owner), RecursiveMutex::kAcquired);
  EXPECT_EQ(m.Lock(1000), RecursiveMutex::kAbandoned);
  EXPECT_EQ(m.Lock(0), RecursiveMutex::kAcquired);  // the new owner holds it normally
  m.Unlock();
  m.Unlock();
  LockAttempt next{&m, 1000};
  EXPECT_EQ(LockOnAnotherThread(&next), RecursiveMutex::kAcquired);
}

}  // namespace
}  // namespace plat_test
