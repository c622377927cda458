// Threads, the millisecond tick and sleep, in real time with generous bounds.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/sync.h"
#include "platform/thread.h"

namespace plat_test {
namespace {

constexpr std::uint32_t kLongMs = 5000;

struct Body {
  std::atomic<std::uint32_t> id{0};
  plat::Event* go = nullptr;  // waited for when set
};

unsigned RecordId(void* arg) {
  auto* r = static_cast<Body*>(arg);
  if (r->go) plat::WaitForEvent(r->go, kLongMs);
  r->id = plat::CurrentThreadId();
  return 7;
}

TEST(ThreadTest, RunsOnItsOwnThreadAndJoins) {
  Body run;
  plat::Thread t;
  EXPECT_FALSE(t.Started());
  ASSERT_TRUE(t.Start(RecordId, &run));
  EXPECT_TRUE(t.Started());
  const std::uint32_t id = t.Id();
  ASSERT_TRUE(t.Join(kLongMs));
  EXPECT_EQ(run.id.load(), id);
  EXPECT_NE(id, plat::CurrentThreadId());
}

TEST(ThreadTest, JoinTimesOutWhileTheThreadRuns) {
  plat::Event go(true, false);
  Body run;
  run.go = &go;
  plat::Thread t;
  ASSERT_TRUE(t.Start(RecordId, &run));
  const std::uint32_t start = plat::TickMs();
  EXPECT_FALSE(t.Join(100));
  const std::uint32_t spent = plat::TickMs() - start;
  EXPECT_GE(spent, 80u);
  EXPECT_LT(spent, 3000u);
  go.Set();
  EXPECT_TRUE(t.Join(kLongMs));
  EXPECT_NE(run.id.load(), 0u);
}

struct Detached {
  plat::Event go{true, false};
  plat::Event finished{true, false};
};

unsigned RunDetached(void* arg) {
  auto* d = static_cast<Detached*>(arg);
  plat::WaitForEvent(&d->go, kLongMs);
  d->finished.Set();
  return 0;
}

TEST(ThreadTest, DestroyingARunningThreadDetachesIt) {
  static Detached d;  // outlives the detached thread
  d.go.Reset();
  d.finished.Reset();
  {
    plat::Thread t;
    ASSERT_TRUE(t.Start(RunDetached, &d));
  }
  d.go.Set();
  EXPECT_EQ(plat::WaitForEvent(&d.finished, kLongMs), 0u);
}

TEST(ClockTest, TickIsMonotonic) {
  std::uint32_t last = plat::TickMs();
  for (int i = 0; i < 100000; ++i) {
    const std::uint32_t now = plat::TickMs();
    ASSERT_LT(now - last, 0x80000000u) << "went back at read " << i;  // wrap-safe difference
    last = now;
  }
}

TEST(ClockTest, SleepLastsRoughlyAsAsked) {
  const std::uint32_t start = plat::TickMs();
  plat::SleepMs(200);
  const std::uint32_t spent = plat::TickMs() - start;
  EXPECT_GE(spent, 180u);
  EXPECT_LT(spent, 2000u);
}

TEST(ClockTest, SleepZeroReturnsAtOnce) {
  const std::uint32_t start = plat::TickMs();
  plat::SleepMs(0);
  EXPECT_LT(plat::TickMs() - start, 100u);
}

}  // namespace
}  // namespace plat_test
