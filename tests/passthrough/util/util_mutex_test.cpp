#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include "passthrough/util/Util_Mutex.h"
#include "passthrough/util/Util_Timer.h"
#include "platform/thread.h"
#include "util_test_support.h"

namespace {

// A lock that answers from a script, in simulated time: a timeout moves the clock on by the
// wait limit it was asked for.
class ScriptedLock final : public Util_LockPrimitive {
 public:
  ScriptedLock(FakeClock& clock, std::deque<Result>& script, std::uint32_t& askedMs)
      : _clock(clock), _script(script), _askedMs(askedMs) {}
  Result lock(std::uint32_t timeoutMs) override {
    _askedMs = timeoutMs;
    const Result r = _script.empty() ? kOwned : _script.front();
    if (!_script.empty()) _script.pop_front();
    if (r == kTimeout) _clock.advance(static_cast<int>(timeoutMs));
    return r;
  }
  void unlock() override {}

 private:
  FakeClock& _clock;
  std::deque<Result>& _script;
  std::uint32_t& _askedMs;
};

struct SimulatedMutex {
  FakeClock clock{-120001};
  std::deque<Util_LockPrimitive::Result> script;
  std::uint32_t askedMs = 0;
  Util_Mutex mutex{clock, [this] {
                     return std::make_unique<ScriptedLock>(clock, script, askedMs);
                   }};
};

// The real platform lock with simulated time, for the bookkeeping records.
struct RealLockSimulatedTime {
  FakeClock clock{0};
  Util_Mutex mutex{clock, Util_MakePlatformLock};
};

TEST(UtilMutexWaitLimit, WaitsTwentySecondsThenFailsNamingHolderAndCaller) {
  RecordingListener listener(LOG_ALL);
  SimulatedMutex m;
  ASSERT_TRUE(m.mutex.create("ctl", LOG_ERROR));
  ASSERT_TRUE(m.mutex.lock(1));  // the holder
  m.script.push_back(Util_LockPrimitive::kTimeout);
  const int before = m.clock.now();
  EXPECT_FALSE(m.mutex.lock(2));
  EXPECT_EQ(m.askedMs, 20000u);
  EXPECT_EQ(Util_TickDiff(m.clock.now(), before), 20000u);
  // A failed wait changes no bookkeeping.
  EXPECT_EQ(m.mutex.ownerKey(), 1);
  EXPECT_EQ(m.mutex.lockCount(), 1);
  const auto records = listener.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].word, "ERROR");
  EXPECT_EQ(records[0].className, "Util_Mutex");
  EXPECT_EQ(records[0].label, "ctl");
  EXPECT_EQ(records[0].where, 2);
  EXPECT_EQ(records[0].texts, "timeout prev key=1 key=2");
}

TEST(UtilMutexCreate, UncreatedOrFailedLockFailsAtOnce) {
  RecordingListener listener(LOG_ALL);
  {
    SCOPED_TRACE("never created");
    Util_Mutex mutex;
    const int before = Util_GetTick();
    EXPECT_FALSE(mutex.lock(0));
    EXPECT_LT(Util_TickDiff(Util_GetTick(), before), 5000u);
    const auto records = listener.records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].texts, "timeout prev key=-1 key=0");
  }
  listener.clear();
  {
    SCOPED_TRACE("lock cannot be made");
    FakeClock clock;
    Util_Mutex mutex(clock, [] { return std::unique_ptr<Util_LockPrimitive>(); });
    EXPECT_FALSE(mutex.create("x", LOG_ERROR));
    EXPECT_FALSE(mutex.lock(0));
    const auto records = listener.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].word, "FATAL");
    EXPECT_EQ(records[0].where, 1);
    EXPECT_EQ(records[0].texts, "CreateMutex");
    EXPECT_EQ(records[1].word, "ERROR");
  }
}

TEST(UtilMutexCreate, SecondCreateKeepsTheFirstLock) {
  int made = 0;
  FakeClock clock;
  Util_Mutex mutex(clock, [&made] { ++made; return Util_MakePlatformLock(); });
  EXPECT_TRUE(mutex.create("", 5));
  EXPECT_TRUE(mutex.lock(0));
  EXPECT_TRUE(mutex.create("", 5));
  EXPECT_EQ(made, 1);
  EXPECT_TRUE(mutex.unlock(0));
}

TEST(UtilMutexDepth, NestingDeeperThanFiveIsReportedOnLockAndUnlock) {
  RecordingListener listener(LOG_ALL);
  RealLockSimulatedTime m;
  ASSERT_TRUE(m.mutex.create("", LOG_ERROR));
  const struct { int depth; const char* lockRecord; } locks[] = {
      {1, nullptr}, {2, nullptr}, {3, nullptr}, {4, nullptr}, {5, nullptr},
      {6, "double lock count=6 prev key=0 key=0"}, {7, "double lock count=7 prev key=0 key=0"}};
  for (const auto& l : locks) {
    SCOPED_TRACE(l.depth);
    listener.clear();
    ASSERT_TRUE(m.mutex.lock(0));
    EXPECT_EQ(m.mutex.lockCount(), l.depth);
    const auto records = listener.records();
    if (l.lockRecord == nullptr) {
      EXPECT_TRUE(records.empty());
    } else {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].where, 2);
      EXPECT_EQ(records[0].texts, l.lockRecord);
    }
  }
  const struct { int depth; const char* unlockRecord; } unlocks[] = {
      {7, "unlock count=7 prev key=0 key=0"}, {6, "unlock count=6 prev key=0 key=0"},
      {5, nullptr}, {4, nullptr}, {3, nullptr}, {2, nullptr}, {1, nullptr}};
  for (const auto& u : unlocks) {
    SCOPED_TRACE(u.depth);
    listener.clear();
    EXPECT_EQ(m.mutex.lockCount(), u.depth);
    EXPECT_TRUE(m.mutex.unlock(0));
    const auto records = listener.records();
    if (u.unlockRecord == nullptr) {
      EXPECT_TRUE(records.empty());
    } else {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].where, 3);
      EXPECT_EQ(records[0].texts, u.unlockRecord);
    }
  }
  EXPECT_EQ(m.mutex.lockCount(), 0);
  EXPECT_EQ(m.mutex.ownerKey(), -1);
}

// Runs fn on a thread of its own and waits for it.
template <class Fn>
void OnOtherThread(Fn fn) {
  struct Box { Fn fn; } box{fn};
  plat::Thread thread;
  ASSERT_TRUE(thread.Start([](void* arg) -> unsigned { static_cast<Box*>(arg)->fn(); return 0; },
                           &box));
  ASSERT_TRUE(thread.Join(60000));
}

TEST(UtilMutexKeys, OutermostUnlockWithAnotherKeyIsReportedAndStillReleases) {
  RecordingListener listener(LOG_ALL);
  RealLockSimulatedTime m;
  ASSERT_TRUE(m.mutex.create("", LOG_ERROR));
  ASSERT_TRUE(m.mutex.lock(3));
  ASSERT_TRUE(m.mutex.lock(8));  // a nested key does not change the owner key
  EXPECT_EQ(m.mutex.ownerKey(), 3);
  EXPECT_TRUE(m.mutex.unlock(8));
  EXPECT_TRUE(listener.records().empty());
  EXPECT_TRUE(m.mutex.unlock(4));
  const auto records = listener.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].word, "ERROR");
  EXPECT_EQ(records[0].where, 3);
  EXPECT_EQ(records[0].texts, "unlock key unmach prev key=3 key=4");
  EXPECT_EQ(m.mutex.ownerKey(), -1);
  bool otherGotIt = false;
  OnOtherThread([&] {
    otherGotIt = m.mutex.lock(5);
    if (otherGotIt) m.mutex.unlock(5);
  });
  EXPECT_TRUE(otherGotIt);
}

TEST(UtilMutexHoldTimer, HoldsOverTenSecondsAreReportedWithTheirKey) {
  const struct {
    int startTick;
    int holdMs;
    const char* record;
  } cases[] = {
      {0, 9999, nullptr},
      {0, 10000, nullptr},
      {0, 10001, "period=10001 key=5"},
      {-120001, 12000, "period=12000 key=5"},
      {-6000, 12000, "period=12000 key=5"},                 // across 0
      {2147483647 - 5000, 12000, "period=12000 key=5"},     // across the 32-bit wrap
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.startTick << " + " << c.holdMs);
    RecordingListener listener(LOG_ALL);
    FakeClock clock(c.startTick);
    Util_Mutex mutex(clock, Util_MakePlatformLock);
    ASSERT_TRUE(mutex.create("", LOG_ERROR));
    ASSERT_TRUE(mutex.lock(5));
    clock.advance(c.holdMs);
    ASSERT_TRUE(mutex.unlock(5));
    const auto records = listener.records();
    if (c.record == nullptr) {
      EXPECT_TRUE(records.empty());
    } else {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].word, "DETAIL");
      EXPECT_EQ(records[0].className, "Util_Timer");
      EXPECT_EQ(records[0].where, 6);
      EXPECT_EQ(records[0].texts, c.record);
    }
  }
}

TEST(UtilMutexHoldTimer, NestedHoldEndsItsPeriodAtTheFirstInnerUnlock) {
  RecordingListener listener(LOG_ALL);
  RealLockSimulatedTime m;
  ASSERT_TRUE(m.mutex.create("", LOG_ERROR));
  ASSERT_TRUE(m.mutex.lock(1));
  m.clock.advance(1000);
  ASSERT_TRUE(m.mutex.lock(2));  // does not restart the running period
  m.clock.advance(11000);
  ASSERT_TRUE(m.mutex.unlock(2));
  m.clock.advance(500);
  ASSERT_TRUE(m.mutex.unlock(1));  // measures again from the same start, key now -1
  const auto records = listener.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].texts, "period=12000 key=1");
  EXPECT_EQ(records[1].texts, "period=12500 key=-1");
}

TEST(UtilTimer, StartWhileRunningKeepsTheFirstStartAndStopNeedsCreate) {
  FakeClock clock(100);
  Util_Timer uncreated(clock);
  EXPECT_EQ(uncreated.stop(), 0);

  Util_Timer timer(clock);
  EXPECT_TRUE(timer.start(4));  // creates on first use
  clock.advance(30);
  EXPECT_FALSE(timer.start(9));
  EXPECT_EQ(timer.key(), 4);
  clock.advance(20);
  EXPECT_EQ(timer.stop(), 50);
  EXPECT_FALSE(timer.running());
  EXPECT_EQ(timer.key(), -1);
}

TEST(UtilMutexThreads, ExcludesOtherThreadsAndIsReentrantOnItsOwner) {
  Util_Mutex mutex;
  ASSERT_TRUE(mutex.create("", LOG_ERROR));
  struct Shared {
    Util_Mutex* mutex;
    long counter = 0;  // guarded by mutex only
    std::atomic<int> failures{0};
  } shared{&mutex};
  constexpr int kThreads = 4, kRounds = 2000;
  auto worker = [](void* arg) -> unsigned {
    auto* s = static_cast<Shared*>(arg);
    for (int i = 0; i < kRounds; ++i) {
      if (!s->mutex->lock(0)) { ++s->failures; continue; }
      if (!s->mutex->lock(0)) ++s->failures;  // nested, on the owner thread
      const long seen = s->counter;
      s->counter = seen + 1;
      if (s->mutex->lockCount() != 2) ++s->failures;
      s->mutex->unlock(0);
      s->mutex->unlock(0);
    }
    return 0;
  };
  plat::Thread threads[kThreads];
  for (auto& t : threads) ASSERT_TRUE(t.Start(worker, &shared));
  for (auto& t : threads) ASSERT_TRUE(t.Join(120000));
  EXPECT_EQ(shared.failures.load(), 0);
  EXPECT_EQ(shared.counter, long{kThreads} * kRounds);
}

TEST(UtilMutexThreads, WaiterGetsTheLockWhenTheHolderReleases) {
  Util_Mutex mutex;
  ASSERT_TRUE(mutex.create("", LOG_ERROR));
  ASSERT_TRUE(mutex.lock(1));
  std::atomic<bool> waiterHolds{false};
  struct Args { Util_Mutex* mutex; std::atomic<bool>* holds; } args{&mutex, &waiterHolds};
  plat::Thread waiter;
  ASSERT_TRUE(waiter.Start([](void* p) -> unsigned {
    auto* a = static_cast<Args*>(p);
    if (a->mutex->lock(2)) {
      a->holds->store(true);
      a->mutex->unlock(2);
    }
    return 0;
  }, &args));
  plat::SleepMs(100);
  EXPECT_FALSE(waiterHolds.load());
  EXPECT_TRUE(mutex.unlock(1));
  ASSERT_TRUE(waiter.Join(60000));
  EXPECT_TRUE(waiterHolds.load());
}

TEST(UtilMutexThreads, HolderEndingWithTheLockFailsOneWaitThenFreesIt) {
  RecordingListener listener(LOG_ALL);
  Util_Mutex mutex;
  ASSERT_TRUE(mutex.create("", LOG_ERROR));
  OnOtherThread([&] { EXPECT_TRUE(mutex.lock(7)); });  // ends holding it
  EXPECT_FALSE(mutex.lock(0));
  const auto records = listener.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].texts, "timeout prev key=7 key=0");
  // The failed lock left nothing held: another thread and then this one get it cleanly.
  bool otherGotIt = false;
  OnOtherThread([&] {
    otherGotIt = mutex.lock(5);
    if (otherGotIt) mutex.unlock(5);
  });
  EXPECT_TRUE(otherGotIt);
  ASSERT_TRUE(mutex.lock(0));
  EXPECT_EQ(mutex.lockCount(), 1);
  EXPECT_EQ(mutex.ownerKey(), 0);
  EXPECT_TRUE(mutex.unlock(0));
}

}  // namespace
