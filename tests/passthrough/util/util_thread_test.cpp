#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "passthrough/util/Util_Thread.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "util_test_support.h"

namespace {

// Records what the worker calls, with the tick of each call.
class RecordingThread : public Util_Thread {
 public:
  struct Call {
    char what;  // 's' start, 'r' run, 'e' end
    std::uint32_t atMs;
  };
  explicit RecordingThread(std::uint32_t exitWaitMs = kExitWaitMs) : Util_Thread(exitWaitMs) {}
  ~RecordingThread() override { destroy(); }  // before the members run() uses go

  std::vector<Call> calls() {
    plat::LockGuard hold(_mutex);
    return _calls;
  }
  std::string sequence() {
    std::string s;
    for (const Call& c : calls()) s += c.what;
    return s;
  }
  // Waits (generously) until the sequence has at least n calls.
  bool waitForCalls(size_t n) {
    for (int i = 0; i < 6000; ++i) {
      if (calls().size() >= n) return true;
      plat::SleepMs(5);
    }
    return false;
  }
  // The next run() blocks until released, to let a test act while a pass runs.
  plat::Event runEntered{true, false};
  plat::Event releaseRun{true, true};
  std::atomic<bool> runFinished{false};

 protected:
  void start() override { add('s'); }
  void run() override {
    add('r');
    runEntered.Set();
    plat::WaitForEvent(&releaseRun, plat::kInfinite);
    runFinished.store(true);
  }
  void end() override { add('e'); }

 private:
  void add(char what) {
    plat::LockGuard hold(_mutex);
    _calls.push_back({what, plat::TickMs()});
  }
  plat::RecursiveMutex _mutex;
  std::vector<Call> _calls;
};

TEST(UtilThreadLoop, CountedResumeRunsStartCyclesEndThenWaitsAgain) {
  const struct {
    int intervalMs, count;
    const char* sequence;
  } cases[] = {
      {100, 3, "srrre"},
      {100, 0, "se"},
      {20, 1, "sre"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sequence);
    RecordingThread thread;
    ASSERT_TRUE(thread.create("loop", LOG_ERROR));
    ASSERT_TRUE(thread.setLoop(c.intervalMs, c.count));
    const std::uint32_t resumedAt = plat::TickMs();
    ASSERT_TRUE(thread.resume());
    const std::string expected = c.sequence;
    ASSERT_TRUE(thread.waitForCalls(expected.size()));
    plat::SleepMs(static_cast<std::uint32_t>(2 * c.intervalMs));  // nothing more may follow
    EXPECT_EQ(thread.sequence(), expected);
    // Each run() comes at least one interval after the previous step.
    std::uint32_t previous = resumedAt;
    for (const auto& call : thread.calls()) {
      if (call.what != 'r') continue;
      EXPECT_GE(call.atMs - previous, static_cast<std::uint32_t>(c.intervalMs) - 1);
      previous = call.atMs;
    }
    // A second resume runs the loop again with the same settings.
    ASSERT_TRUE(thread.resume());
    ASSERT_TRUE(thread.waitForCalls(2 * expected.size()));
    EXPECT_EQ(thread.sequence(), expected + expected);
  }
}

TEST(UtilThreadLoop, EndlessLoopRunsUntilDestroyWithoutCallingEnd) {
  RecordingThread thread;
  ASSERT_TRUE(thread.create("endless", LOG_ERROR));
  ASSERT_TRUE(thread.setLoop(1, -1));
  ASSERT_TRUE(thread.resume());
  ASSERT_TRUE(thread.waitForCalls(6));
  thread.destroy();
  const std::string seq = thread.sequence();
  EXPECT_EQ(seq.find_first_not_of('r', 1), std::string::npos) << seq;
  EXPECT_EQ(seq[0], 's');
  EXPECT_FALSE(thread.resume());
}

TEST(UtilThreadLifecycle, CreateTwiceStartsNothingMore) {
  RecordingThread thread;
  ASSERT_TRUE(thread.create("first", LOG_ERROR));
  ASSERT_TRUE(thread.create("second", LOG_ERROR));
  EXPECT_EQ(thread.name(), "first");
  ASSERT_TRUE(thread.setLoop(1, 1));
  ASSERT_TRUE(thread.resume());
  ASSERT_TRUE(thread.waitForCalls(3));
  plat::SleepMs(50);
  EXPECT_EQ(thread.sequence(), "sre");  // one worker, one pass
}

TEST(UtilThreadLifecycle, DestroyDuringALongSleepEndsWithoutEndAndWithoutResuming) {
  RecordingThread thread;
  ASSERT_TRUE(thread.create("sleeper", LOG_ERROR));
  ASSERT_TRUE(thread.setLoop(1000, 5));
  ASSERT_TRUE(thread.resume());
  ASSERT_TRUE(thread.waitForCalls(1));  // start() done, now sleeping the interval
  const std::uint32_t before = plat::TickMs();
  thread.destroy();
  EXPECT_LT(plat::TickMs() - before, 20000u);  // well under the 30 s exit wait
  EXPECT_EQ(thread.sequence(), "s");
  EXPECT_FALSE(thread.resume());
}

TEST(UtilThreadLifecycle, DestroyWhileNeverResumedEndsTheWaitingWorker) {
  RecordingThread thread;
  ASSERT_TRUE(thread.create("idle", LOG_ERROR));
  thread.destroy();
  EXPECT_EQ(thread.sequence(), "");
}

// The exit wait shortened to 50 ms: a run() that takes longer makes destroy() warn, and
// destroy() still returns only after that run() has finished with the object.
TEST(UtilThreadLifecycle, DestroyPastTheExitWaitWarnsAndWaitsForTheRunningPass) {
  RecordingListener listener;
  RecordingThread thread(50);
  ASSERT_TRUE(thread.create("slow", LOG_ERROR));
  thread.releaseRun.Reset();
  ASSERT_TRUE(thread.setLoop(1, -1));
  ASSERT_TRUE(thread.resume());
  ASSERT_EQ(plat::WaitForEvent(&thread.runEntered, 60000), 0u);

  struct Releaser {
    RecordingThread* thread;
    static unsigned proc(void* arg) {
      plat::SleepMs(300);
      static_cast<Releaser*>(arg)->thread->releaseRun.Set();
      return 0;
    }
  } releaser{&thread};
  plat::Thread helper;
  ASSERT_TRUE(helper.Start(&Releaser::proc, &releaser));
  thread.destroy();
  EXPECT_TRUE(thread.runFinished.load());
  ASSERT_TRUE(helper.Join(60000));

  const auto records = listener.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].word, "WARNING");
  EXPECT_EQ(records[0].className, "Util_Thread");
  EXPECT_EQ(records[0].label, "slow");
  EXPECT_EQ(records[0].where, 0);
  EXPECT_EQ(records[0].texts, "thread exit timeout");
}

}  // namespace
