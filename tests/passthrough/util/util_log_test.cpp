#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "passthrough/util/Util_Clock.h"
#include "passthrough/util/Util_Log.h"
#include "passthrough/util/Util_LogCenter.h"
#include "passthrough/util/Util_LogWriter.h"
#include "util_test_support.h"

namespace {

TEST(UtilLogHandle, InstanceIdsStepByThousandInConstructionOrder) {
  Util_Log first;
  Util_Log second;
  Util_Log third;
  EXPECT_EQ(first.instanceId() % 1000, 0);
  EXPECT_EQ(second.instanceId(), first.instanceId() + 1000);
  EXPECT_EQ(third.instanceId(), first.instanceId() + 2000);
}

TEST(UtilLogHandle, SetLevelStoresNonNegativeLevelsAndErrorForNegativeOnes) {
  const struct { int given, stored; } cases[] = {
      {-7, LOG_ERROR}, {-1, LOG_ERROR}, {0, 0}, {LOG_DETAIL, LOG_DETAIL}, {LOG_ALL, LOG_ALL}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    Util_Log log;
    EXPECT_EQ(log.level(), LOG_ERROR);
    log.setLevel(c.given);
    EXPECT_EQ(log.level(), c.stored);
  }
}

enum Kind { kFatal, kWarning, kDetail, kError };

void Write(const Util_Log& log, Kind kind) {
  static const int value = 42;
  switch (kind) {
    case kFatal: log.fatal(9, "v=", &value); break;
    case kWarning: log.warning(9, "v=", &value); break;
    case kDetail: log.detail(9, "v=", &value); break;
    case kError: log.error(9, "v=", &value); break;
  }
}

TEST(UtilLogFiltering, HandleLevelAndCenterThresholdDecideWhatReachesListeners) {
  const struct {
    int handleLevel;
    int threshold;
    Kind kind;
    const char* delivered;  // level word, or nullptr when dropped
  } cases[] = {
      // The delivered setup: handle level 5 passes every kind, the center keeps FATAL and WARNING.
      {LOG_ERROR, 3, kFatal, "FATAL"},
      {LOG_ERROR, 3, kWarning, "WARNING"},
      {LOG_ERROR, 3, kDetail, nullptr},
      {LOG_ERROR, 3, kError, nullptr},
      // Threshold opened: the handle's level decides (level >= the kind's constant).
      {LOG_ERROR, LOG_ALL, kError, "ERROR"},
      {LOG_ERROR, LOG_ALL, kDetail, "DETAIL"},
      {LOG_DETAIL, LOG_ALL, kError, nullptr},
      {LOG_DETAIL, LOG_ALL, kDetail, "DETAIL"},
      {LOG_WARNING, LOG_ALL, kDetail, nullptr},
      {LOG_WARNING, LOG_ALL, kWarning, "WARNING"},
      {2, LOG_ALL, kWarning, nullptr},
      {LOG_FATAL, LOG_ALL, kFatal, "FATAL"},
      {0, LOG_ALL, kFatal, nullptr},
      {LOG_ALL, LOG_ALL, kError, "ERROR"},
      // The threshold cuts between kinds by their constants: 4 keeps DETAIL, drops ERROR.
      {LOG_ALL, 4, kDetail, "DETAIL"},
      {LOG_ALL, 4, kError, nullptr},
      {LOG_ALL, 0, kFatal, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "handle " << c.handleLevel << " threshold " << c.threshold
                                    << " kind " << c.kind);
    RecordingListener listener(c.threshold);
    Util_Log log;
    log.setName("Util_Test", "row");
    log.setLevel(c.handleLevel);
    Write(log, c.kind);
    const auto records = listener.records();
    if (c.delivered == nullptr) {
      EXPECT_TRUE(records.empty());
    } else {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].word, c.delivered);
      EXPECT_EQ(records[0].texts, "v=42");
    }
  }
}

TEST(UtilLogRecords, CarryNamesIdLocationAndTextsWithValues) {
  RecordingListener listener(LOG_ALL);
  Util_Log unnamed;
  unnamed.warning(4, "before name");
  Util_Log log;
  log.setName("Util_Mutex", "ctl");
  const int owner = 3, key = -1;
  log.error(2, "timeout prev key=", &owner, " key=", &key);
  log.detail(6, "no value", nullptr, nullptr, &key);
  log.fatal(1, "a=", &owner, "b=", &owner, "c=", &owner, "d=", &key);
  log.trace(0, "run()");  // trace points write nothing

  const auto records = listener.records();
  ASSERT_EQ(records.size(), 4u);
  const struct {
    const char* word;
    const char* className;
    const char* label;
    int where;
    const char* texts;
  } expected[] = {
      {"WARNING", "", "", 4, "before name"},
      {"ERROR", "Util_Mutex", "ctl", 2, "timeout prev key=3 key=-1"},
      {"DETAIL", "Util_Mutex", "ctl", 6, "no value-1"},
      {"FATAL", "Util_Mutex", "ctl", 1, "a=3b=3c=3d=-1"},
  };
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].word, expected[i].word);
    EXPECT_EQ(records[i].className, expected[i].className);
    EXPECT_EQ(records[i].label, expected[i].label);
    EXPECT_EQ(records[i].where, expected[i].where);
    EXPECT_EQ(records[i].texts, expected[i].texts);
    EXPECT_EQ(records[i].instanceId, i == 0 ? unnamed.instanceId() : log.instanceId());
  }
}

TEST(UtilLogRecords, AnnouncedNameWritesInstanceIdAsDetail) {
  RecordingListener listener(LOG_ALL);
  Util_Log log;
  log.setName("Net_TcpClient", "", true);
  const auto records = listener.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].word, "DETAIL");
  EXPECT_EQ(records[0].where, 0);
  EXPECT_EQ(records[0].texts, "instance ID=" + std::to_string(log.instanceId()));
}

TEST(UtilLogCenter, ListenersOfALevelAreCalledInKeyOrderAndCanBeRemoved) {
  struct Tagging final : Util_LogListener {
    std::string* out;
    char tag;
    void report(const std::time_t* stamp, const char*, const char*, const char*, int, int,
                const Util_LogPair*) override {
      EXPECT_NE(stamp, nullptr);
      *out += tag;
    }
  };
  std::string order;
  Tagging a, b, c;
  a.out = b.out = c.out = &order;
  a.tag = 'a';
  b.tag = 'b';
  c.tag = 'c';
  Util_LogCenter* center = Util_LogCenter::instance();
  ASSERT_TRUE(center->addListener(LOG_WARNING, 30, &c));
  ASSERT_TRUE(center->addListener(LOG_WARNING, -5, &a));
  ASSERT_TRUE(center->addListener(LOG_WARNING, 12, &b));
  ASSERT_TRUE(center->addListener(LOG_WARNING, 13, nullptr));  // null entries are skipped
  ASSERT_TRUE(center->addListener(LOG_FATAL, 1, &c));
  EXPECT_FALSE(center->addListener(11, 1, &a));
  EXPECT_FALSE(center->addListener(-1, 1, &a));

  Util_Log log;
  log.warning(0, "w");
  EXPECT_EQ(order, "abc");
  EXPECT_TRUE(center->removeListener(LOG_WARNING, 12));
  EXPECT_FALSE(center->removeListener(LOG_WARNING, 12));
  order.clear();
  log.warning(0, "w");
  log.fatal(0, "f");
  EXPECT_EQ(order, "acc");
  for (int key : {30, -5, 13}) center->removeListener(LOG_WARNING, key);
  center->removeListener(LOG_FATAL, 1);
}

TEST(UtilLogCenter, ReleaseKeepsTheCenterAndItsListenersForOtherUsers) {
  RecordingListener listener;
  Util_LogCenter* before = Util_LogCenter::instance();
  Util_LogCenter::release();
  EXPECT_EQ(Util_LogCenter::instance(), before);
  Util_Log log;
  log.warning(0, "after release");
  ASSERT_EQ(listener.records().size(), 1u);
  EXPECT_EQ(Util_LogCenter::instance()->threshold(), Util_LogCenter::kDefaultThreshold);
}

TEST(UtilLogLine, LaysOutEveryFieldOnOneLine) {
  const int three = 3, minus = -1, big = 2147483647;
  const struct {
    std::time_t stamp;
    const char* word;
    const char* className;
    const char* label;
    int id, where;
    Util_LogPair pairs[kUtilLogPairs];
    const char* line;
  } cases[] = {
      {0, "ERROR", "Util_Mutex", "", 3000, 2, {{"timeout prev key=", &three}, {" key=", &minus}},
       "1970-01-01T00:00:00Z ERROR Util_Mutex \"\" id=3000 at=2: timeout prev key=3 key=-1"},
      {951782400 + 86399, "WARNING", "Util_Thread", "CQuorinCtrl", 0, 0,
       {{"thread exit timeout", nullptr}},
       "2000-02-29T23:59:59Z WARNING Util_Thread \"CQuorinCtrl\" id=0 at=0: thread exit timeout"},
      {4102444800, "FATAL", "", "a\"b\\c\nd\x01", 1000, -4, {},
       "2100-01-01T00:00:00Z FATAL - \"a\\\"b\\\\c\\nd\\x01\" id=1000 at=-4:"},
      {1, "DETAIL", "X", "l", 5, 6, {{nullptr, &big}, {"", nullptr}, {"t\r", nullptr}, {"=", &minus}},
       "1970-01-01T00:00:01Z DETAIL X \"l\" id=5 at=6: 2147483647t\\r=-1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Util_FormatLogLine(c.stamp, c.word, c.className, c.label, c.id, c.where, c.pairs),
              c.line);
  }
}

// The tick arithmetic over a simulated source: the first reading is -120001 whatever the
// source says, and every later reading adds the source's unsigned progress.
TEST(UtilTick, StartsAtMinus120001AndCountsAcrossZeroAndTheWrap) {
  static std::uint32_t source;
  const struct {
    std::uint32_t t0;
  } starts[] = {{0}, {1000}, {0x7FFFFFFFu}, {0xFFFFFFFFu - 5000}, {0xFFFFFFFFu}};
  const struct {
    std::uint32_t after;  // ms since the first reading
    int tick;
  } steps[] = {
      {0, -120001},
      {1000, -119001},
      {120000, -1},
      {120001, 0},
      {120002, 1},
      {120001u + 0x7FFFFFFFu, 2147483647},
      {120002u + 0x7FFFFFFFu, -2147483647 - 1},
      {0xFFFFFFFFu, -120002},
  };
  for (const auto& s : starts) {
    SCOPED_TRACE(s.t0);
    source = s.t0;
    Util_TickClock clock([] { return source; });
    int first = 0;
    for (const auto& step : steps) {
      SCOPED_TRACE(step.after);
      source = s.t0 + step.after;
      const int now = clock.now();
      if (step.after == 0) first = now;
      EXPECT_EQ(now, step.tick);
      EXPECT_EQ(Util_TickDiff(now, first), step.after);
    }
  }
}

TEST(UtilTick, DifferencesAreUnsignedAcrossTheWrap) {
  const struct { int later, earlier; std::uint32_t ms; } cases[] = {
      {-119001, -120001, 1000},
      {5, -5, 10},
      {-2147483647 - 1, 2147483647, 1},
      {-2147483647 + 99, 2147483647 - 100, 201},
      {0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.later << " - " << c.earlier);
    EXPECT_EQ(Util_TickDiff(c.later, c.earlier), c.ms);
  }
}

TEST(UtilTick, ProcessClockAdvancesAndTheSystemClockReadsIt) {
  const int a = Util_GetTick();
  const int b = Util_SystemClock().now();
  const int c = Util_GetTick();
  EXPECT_LE(Util_TickDiff(b, a), Util_TickDiff(c, a));
  EXPECT_LT(Util_TickDiff(c, a), 60000u);
}

}  // namespace

namespace {

std::string ReadFile(const std::string& path) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

TEST(UtilLogWriter, WritesEveryLevelAsOneLineEachToItsFile) {
  const std::string path = testing::TempDir() + "util_log_writer_" +
                           std::to_string(Util_GetTick()) + ".log";
  Util_LogCenter* center = Util_LogCenter::instance();
  const int savedThreshold = center->threshold();
  int logId = 0;
  {
    Util_LogWriter writer;
    ASSERT_TRUE(writer.open(path));
    constexpr int kKey = 7002;
    writer.attachToAllLevels(center, kKey);
    EXPECT_EQ(center->threshold(), LOG_ALL);
    Util_Log log;
    log.setName("Util_Thread", "w");
    logId = log.instanceId();
    const int key = 4;
    log.error(3, "unlock count=", &key);
    log.detail(6, "period=", &key);
    log.warning(0, "thread exit timeout");
    log.fatal(1, "CreateMutex");
    for (int level = 0; level < Util_LogCenter::kLevels; ++level) center->removeListener(level, kKey);
    center->setThreshold(savedThreshold);
  }
  const std::string id = " id=" + std::to_string(logId);
  const char* expectedTails[] = {
      " ERROR Util_Thread \"w\"%ID at=3: unlock count=4\n",
      " DETAIL Util_Thread \"w\"%ID at=6: period=4\n",
      " WARNING Util_Thread \"w\"%ID at=0: thread exit timeout\n",
      " FATAL Util_Thread \"w\"%ID at=1: CreateMutex\n",
  };
  const std::string text = ReadFile(path);
  size_t at = 0;
  for (const char* tail : expectedTails) {
    std::string expected = tail;
    expected.replace(expected.find("%ID"), 3, id);
    SCOPED_TRACE(expected);
    const size_t lineEnd = text.find('\n', at);
    ASSERT_NE(lineEnd, std::string::npos);
    const std::string line = text.substr(at, lineEnd + 1 - at);
    ASSERT_GT(line.size(), 20u);
    EXPECT_EQ(line[19], 'Z');  // the UTC stamp, 2024-05-01T12:34:56Z
    EXPECT_EQ(line.substr(20), expected);
    at = lineEnd + 1;
  }
  EXPECT_EQ(at, text.size());
  std::remove(path.c_str());
}

}  // namespace
