#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core_fixture.h"

namespace {

SYSTEMTIME Make(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
  SYSTEMTIME t{};
  t.wYear = y;
  t.wMonth = mo;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = mi;
  t.wSecond = s;
  t.wMilliseconds = ms;
  return t;
}

ULONGLONG Value(const FILETIME& f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

// Pins TZ for one test and puts the old value back.
class ZoneTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    const char* old = getenv("TZ");
    hadZone_ = old != nullptr;
    if (old) oldZone_ = old;
  }
  void TearDown() override {
    if (hadZone_) setenv("TZ", oldZone_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
    CoreTest::TearDown();
  }
  bool Pin(const char* zone) {
    if (!std::filesystem::exists(std::string("/usr/share/zoneinfo/") + zone)) return false;
    setenv("TZ", zone, 1);
    tzset();
    return true;
  }
  bool hadZone_ = false;
  std::string oldZone_;
};

TEST(TimeConversion, SystemTimeAndFileTimeRoundTrip) {
  FILETIME f;
  SYSTEMTIME epoch = Make(1970, 1, 1);
  ASSERT_TRUE(SystemTimeToFileTime(&epoch, &f));
  EXPECT_EQ(Value(f), 116444736000000000ull);

  SYSTEMTIME leap = Make(2024, 2, 29, 23, 59, 58, 789);
  ASSERT_TRUE(SystemTimeToFileTime(&leap, &f));
  SYSTEMTIME back;
  ASSERT_TRUE(FileTimeToSystemTime(&f, &back));
  EXPECT_EQ(back.wYear, 2024);
  EXPECT_EQ(back.wMonth, 2);
  EXPECT_EQ(back.wDay, 29);
  EXPECT_EQ(back.wHour, 23);
  EXPECT_EQ(back.wMinute, 59);
  EXPECT_EQ(back.wSecond, 58);
  EXPECT_EQ(back.wMilliseconds, 789);
  EXPECT_EQ(back.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(Value(f), (1709251198ull * 1000 + 789) * 10000 + 116444736000000000ull);

  FILETIME first{0, 0};
  ASSERT_TRUE(FileTimeToSystemTime(&first, &back));
  EXPECT_EQ(back.wYear, 1601);
  EXPECT_EQ(back.wDayOfWeek, 1);  // a Monday

  for (SYSTEMTIME bad : {Make(2023, 2, 29), Make(2024, 13, 1), Make(2024, 4, 31), Make(1600, 12, 31),
                         Make(2024, 1, 1, 24), Make(2024, 1, 1, 0, 60)}) {
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &f)) << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay;
  }
}

struct ZoneCase {
  const char* zone;
  SYSTEMTIME utc;
  DWORD id;
  LONG bias, standardBias, daylightBias;
  WORD localHour, localMinute;
};

TEST_F(ZoneTest, TimeZoneInformationFollowsTheHostZone) {
  const ZoneCase cases[] = {
      {"UTC", Make(2024, 7, 1, 12), TIME_ZONE_ID_STANDARD, 0, 0, 0, 12, 0},
      {"America/New_York", Make(2024, 7, 1, 12), TIME_ZONE_ID_DAYLIGHT, 300, 0, -60, 8, 0},
      {"America/New_York", Make(2024, 1, 15, 12), TIME_ZONE_ID_STANDARD, 300, 0, -60, 7, 0},
      {"Asia/Kolkata", Make(2024, 7, 1, 12), TIME_ZONE_ID_STANDARD, -330, 0, 0, 17, 30},
      {"Australia/Sydney", Make(2024, 1, 15, 12), TIME_ZONE_ID_DAYLIGHT, -600, 0, -60, 23, 0},
  };
  for (const ZoneCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.zone << " month " << c.utc.wMonth);
    if (!Pin(c.zone)) GTEST_SKIP() << "no zone data for " << c.zone;
    InstallVirtualClock(&c.utc, 0);
    TIME_ZONE_INFORMATION tz;
    EXPECT_EQ(GetTimeZoneInformation(&tz), c.id);
    EXPECT_EQ(tz.Bias, c.bias);
    EXPECT_EQ(tz.StandardBias, c.standardBias);
    EXPECT_EQ(tz.DaylightBias, c.daylightBias);
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(utc.wHour, c.utc.wHour);
    EXPECT_EQ(local.wHour, c.localHour);
    EXPECT_EQ(local.wMinute, c.localMinute);
    // The device rule UTC = local + bias holds with the bias of the answer.
    const LONG bias = c.bias + (c.id == TIME_ZONE_ID_DAYLIGHT ? c.daylightBias : c.standardBias);
    FILETIME lf, uf;
    SystemTimeToFileTime(&local, &lf);
    SystemTimeToFileTime(&utc, &uf);
    EXPECT_EQ(static_cast<LONGLONG>(Value(uf) - Value(lf)), static_cast<LONGLONG>(bias) * 60 * 10000000);
    UninstallVirtualClock();
  }
}

TEST_F(ZoneTest, LocalFileTimeConversionsAcrossDaylightTime) {
  if (!Pin("America/New_York")) GTEST_SKIP() << "no zone data";
  SYSTEMTIME summer = Make(2024, 7, 1, 12);
  FILETIME u, l, back;
  SystemTimeToFileTime(&summer, &u);
  ASSERT_TRUE(FileTimeToLocalFileTime(&u, &l));
  EXPECT_EQ(Value(u) - Value(l), 4ull * 3600 * 10000000);
  ASSERT_TRUE(LocalFileTimeToFileTime(&l, &back));
  EXPECT_EQ(Value(back), Value(u));
  SYSTEMTIME winter = Make(2024, 1, 15, 12);
  SystemTimeToFileTime(&winter, &u);
  FileTimeToLocalFileTime(&u, &l);
  EXPECT_EQ(Value(u) - Value(l), 5ull * 3600 * 10000000);
  LocalFileTimeToFileTime(&l, &back);
  EXPECT_EQ(Value(back), Value(u));
}

TEST(DateTimeText, ShortDateAndTimeWithoutSeconds) {
  const SYSTEMTIME t = Make(2024, 3, 7, 15, 7, 9);
  WCHAR out[64];
  EXPECT_EQ(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, out, 64), 9);
  EXPECT_EQ(Narrow(out), "3/7/2024");
  EXPECT_EQ(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, nullptr, 0), 9);
  EXPECT_EQ(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, out, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_GT(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_LONGDATE, &t, nullptr, out, 64), 0);
  EXPECT_EQ(Narrow(out), "Thursday, March 7, 2024");
  EXPECT_GT(GetDateFormatW(0, 0, &t, u"dd MMM yy 'at' ddd", out, 64), 0);
  EXPECT_EQ(Narrow(out), "07 Mar 24 at Thu");
  const SYSTEMTIME bad = Make(2024, 2, 30);
  EXPECT_EQ(GetDateFormatW(0, DATE_SHORTDATE, &bad, nullptr, out, 64), 0);

  struct TimeCase {
    SYSTEMTIME t;
    DWORD flags;
    const char* text;
  } cases[] = {
      {t, TIME_NOSECONDS, "3:07 PM"},
      {t, 0, "3:07:09 PM"},
      {Make(2024, 1, 1, 0, 5), TIME_NOSECONDS, "12:05 AM"},
      {Make(2024, 1, 1, 12, 0), TIME_NOSECONDS, "12:00 PM"},
      {t, TIME_NOSECONDS | TIME_FORCE24HOURFORMAT, "15:07"},
      {t, TIME_NOSECONDS | TIME_NOTIMEMARKER, "3:07"},
      {t, TIME_NOMINUTESORSECONDS, "3 PM"},
  };
  for (const TimeCase& c : cases) {
    ASSERT_GT(GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, c.flags, &c.t, nullptr, out, 64), 0);
    EXPECT_EQ(Narrow(out), c.text) << c.flags;
  }
}

using ClockTest = CoreTest;

TEST_F(ClockTest, VirtualClockDrivesTicksSleepAndSystemTime) {
  const SYSTEMTIME start = Make(2030, 12, 31, 23, 59, 59, 500);
  std::atomic<int> hookCalls{0};
  auto count = [](void* c) { ++*static_cast<std::atomic<int>*>(c); };
  AddVirtualClockAdvanceHook(count, &hookCalls);
  AddVirtualClockAdvanceHook(count, &hookCalls);  // kept once
  InstallVirtualClock(&start, 0xFFFFFF00u);
  EXPECT_TRUE(IsVirtualClockInstalled());
  EXPECT_EQ(GetTickCount(), 0xFFFFFF00u);
  Sleep(1000);  // returns at once under the virtual clock
  EXPECT_EQ(GetTickCount(), 0x000002E8u);  // wrapped
  SYSTEMTIME now;
  GetSystemTime(&now);
  EXPECT_EQ(now.wYear, 2031);
  EXPECT_EQ(now.wMonth, 1);
  EXPECT_EQ(now.wDay, 1);
  EXPECT_EQ(now.wSecond, 0);
  EXPECT_EQ(now.wMilliseconds, 500);
  AdvanceVirtualClock(250);
  EXPECT_EQ(hookCalls.load(), 2);

  // Advances from several threads all count.
  const DWORD before = GetTickCount();
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([] {
      for (int k = 0; k < 500; ++k) AdvanceVirtualClock(2);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(GetTickCount() - before, 4000u);
  EXPECT_EQ(hookCalls.load(), 2002);
  RemoveVirtualClockAdvanceHook(count, &hookCalls);
  AdvanceVirtualClock(1);
  EXPECT_EQ(hookCalls.load(), 2002);

  UninstallVirtualClock();
  EXPECT_FALSE(IsVirtualClockInstalled());
  GetSystemTime(&now);
  EXPECT_GE(now.wYear, 2024);
  const DWORD t0 = GetTickCount();
  Sleep(20);
  EXPECT_GE(GetTickCount() - t0, 19u);
}

// The window layer presents at each sleep of its thread: the hook runs as
// every Sleep starts, on the clock of either kind, until it is removed.
std::atomic<int> gSleepHookCalls{0};
std::atomic<bool> gSleepHookSawOldTick{false};
DWORD gTickBeforeSleep = 0;
void CountSleep() {
  ++gSleepHookCalls;
  gSleepHookSawOldTick = GetTickCount() == gTickBeforeSleep;
}

TEST_F(ClockTest, SleepHookRunsAsEverySleepStarts) {
  gSleepHookCalls = 0;
  SetSleepHook(&CountSleep);
  Sleep(0);
  EXPECT_EQ(gSleepHookCalls.load(), 1);
  SYSTEMTIME start = Make(2030, 1, 1, 0, 0, 0, 0);
  InstallVirtualClock(&start, 500);
  gTickBeforeSleep = 500;
  Sleep(30);
  EXPECT_EQ(gSleepHookCalls.load(), 2) << "under the virtual clock too";
  EXPECT_TRUE(gSleepHookSawOldTick.load()) << "before the clock moves";
  UninstallVirtualClock();
  SetSleepHook(nullptr);
  Sleep(0);
  EXPECT_EQ(gSleepHookCalls.load(), 2) << "removed";
}

TEST(Random, SeededBytesDoNotDependOnChunking) {
  SeedRandomForTests(42);
  BYTE whole[37];
  ASSERT_TRUE(CeGenRandom(sizeof whole, whole));
  SeedRandomForTests(42);
  BYTE pieces[37];
  ASSERT_TRUE(CeGenRandom(4, pieces));
  ASSERT_TRUE(CeGenRandom(13, pieces + 4));
  ASSERT_TRUE(CeGenRandom(20, pieces + 17));
  EXPECT_EQ(std::memcmp(whole, pieces, sizeof whole), 0);
  SeedRandomForTests(43);
  BYTE other[37];
  CeGenRandom(sizeof other, other);
  EXPECT_NE(std::memcmp(whole, other, sizeof whole), 0);
  UnseedRandomForTests();

  // The host generator: two draws of 32 bytes never agree in practice.
  BYTE a[32], b[32];
  ASSERT_TRUE(CeGenRandom(32, a));
  ASSERT_TRUE(CeGenRandom(32, b));
  EXPECT_NE(std::memcmp(a, b, 32), 0);
  EXPECT_FALSE(CeGenRandom(4, nullptr));
}

}  // namespace
