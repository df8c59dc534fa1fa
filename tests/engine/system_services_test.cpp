#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/builtin_tables.h"
#include "engine/engine_time.h"
#include "engine/system_services.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/random.h"
#include "tests/support/temp_device_root.h"

namespace {

SYSTEMTIME Time(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  return t;
}

uint32_t Seconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return SystemTimeToSeconds(Time(year, month, day, hour, minute, second));
}

// Pins the host time zone and the clock for one test.
class ZoneAndClock {
 public:
  ZoneAndClock(const char* tz, const SYSTEMTIME& utcNow) {
    const char* old = std::getenv("TZ");
    oldTz_ = old ? old : "";
    hadTz_ = old != nullptr;
    setenv("TZ", tz, 1);
    tzset();
    InstallVirtualClock(&utcNow, 1000);
  }
  ~ZoneAndClock() {
    UninstallVirtualClock();
    if (hadTz_)
      setenv("TZ", oldTz_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string oldTz_;
  bool hadTz_;
};

// Central European time, written out so no zone database is needed.
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(ToneTables, VowelTable) {
  MemHandle* h = NewToneVowelTable();
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(GetMemHandleSize(h), 82u);
  const auto* v = static_cast<const char16_t*>(h->data);
  EXPECT_EQ(static_cast<int>(v[0]), 0);
  EXPECT_EQ(static_cast<int>(v[1]), static_cast<int>(u'\u0101'));       // a tone 1
  EXPECT_EQ(static_cast<int>(v[4]), static_cast<int>(u'\u00E0'));       // a tone 4
  EXPECT_EQ(static_cast<int>(v[1 + 4 * 5 + 3]), static_cast<int>(u'\u01DC'));  // ü tone 4
  EXPECT_EQ(static_cast<int>(v[1 + 4 * 8 + 2]), static_cast<int>(u'\u01D1'));  // O tone 3
  EXPECT_EQ(static_cast<int>(v[1 + 4 * 9]), static_cast<int>(u'n'));    // n has no tone-1 mark
  EXPECT_EQ(static_cast<int>(v[40]), static_cast<int>(u'\u01F9'));      // n tone 4
  FreeTableHandle(h);
}

TEST(ToneTables, LetterTableDecodesEveryMarkedVowel) {
  MemHandle* vh = NewToneVowelTable();
  MemHandle* lh = NewToneLetterTable();
  ASSERT_NE(vh, nullptr);
  ASSERT_NE(lh, nullptr);
  ASSERT_EQ(GetMemHandleSize(lh), 318u);
  const auto* vowels = static_cast<const char16_t*>(vh->data);
  const auto* letters = static_cast<const uint8_t*>(lh->data);
  auto at = [&](char16_t c) { return letters[4 + (c - 0xC0)]; };

  for (int i = 0; i < 4; ++i) EXPECT_EQ(letters[i], 0);
  EXPECT_EQ(at(u'\u00E0'), 135);  // à: "a", tone 4
  EXPECT_EQ(at(u'\u01DC') / 4 + 64, 'v');  // ǜ
  EXPECT_EQ(at(u'\u01DC') % 4 + 1, 4);
  EXPECT_EQ(at(u'\u00C3'), 0);  // Ã carries no pinyin tone
  EXPECT_EQ(at(u'\u00C0') / 4 + 64, 'A');

  // Every entry of the vowel table in range decodes to its letter and tone;
  // every other code point is 0.
  const char kBases[] = "aeiouvAEOn";
  int marked = 0;
  for (int v = 0; v < 10; ++v) {
    for (int t = 1; t <= 4; ++t) {
      char16_t c = vowels[1 + 4 * v + (t - 1)];
      if (c < 0xC0 || c > 0x1F9) continue;
      ++marked;
      EXPECT_EQ(at(c) / 4 + 64, kBases[v]) << std::hex << static_cast<int>(c);
      EXPECT_EQ(at(c) % 4 + 1, t) << std::hex << static_cast<int>(c);
    }
  }
  EXPECT_EQ(marked, 39);
  int nonZero = 0;
  for (uint32_t i = 4; i < 318; ++i) nonZero += letters[i] != 0;
  EXPECT_EQ(nonZero, marked);
  FreeTableHandle(vh);
  FreeTableHandle(lh);
}

TEST(MessageTexts, CopiesWithTerminator) {
  struct Case {
    int number;
    std::u16string text;
  };
  const Case cases[] = {
      {3, u"No matches (exact or approximate) were found for the search query entered."},
      {5, u"This entry appears to have been deleted from the dictionary."},
      {6, u"\nNo dictionary entries found. Character reference info:\n"},
      {7, u"\n(no definition is available for this entry)"},
  };
  for (const Case& c : cases) {
    MemHandle* h = GetMessageText(c.number);
    ASSERT_NE(h, nullptr) << c.number;
    EXPECT_EQ(GetMemHandleSize(h), (c.text.size() + 1) * 2);
    EXPECT_EQ(Utf16ToUtf8(static_cast<const char16_t*>(h->data)), Utf16ToUtf8(c.text));
    EXPECT_EQ(h->MemHandleFromStore, 1);
    FreeTableHandle(h);
  }
  MemHandle* four = GetMessageText(4);
  ASSERT_NE(four, nullptr);
  std::u16string text(static_cast<const char16_t*>(four->data));
  EXPECT_EQ(text.rfind(u"Sorry, the dictionary associated", 0), 0u);
  EXPECT_EQ(static_cast<int>(text.back()), ')');
  FreeTableHandle(four);
  EXPECT_EQ(GetMessageText(2), nullptr);
  EXPECT_EQ(GetMessageText(8), nullptr);
}

TEST(EngineTime, SecondsRoundTrip) {
  EXPECT_EQ(Seconds(1970, 1, 1), 0u);
  EXPECT_EQ(Seconds(2024, 1, 1), 1704067200u);
  EXPECT_EQ(Seconds(2038, 1, 19, 3, 14, 8), 2147483648u);  // past the signed limit
  EXPECT_EQ(Seconds(1969, 12, 31, 23, 59, 59), 0u);          // before 1970: nothing to count
  SYSTEMTIME back{};
  ASSERT_TRUE(SecondsToSystemTime(1709824029u, &back));  // 2024-03-07 15:07:09
  EXPECT_EQ(back.wYear, 2024);
  EXPECT_EQ(back.wMonth, 3);
  EXPECT_EQ(back.wDay, 7);
  EXPECT_EQ(back.wHour, 15);
  EXPECT_EQ(back.wMinute, 7);
  EXPECT_EQ(back.wSecond, 9);
}

TEST(EngineTime, LocalAndUtcFollowTheZoneInEffectNow) {
  struct Case {
    const char* tz;
    SYSTEMTIME now;
    int64_t localMinusUtc;
  };
  const Case cases[] = {
      {"UTC0", Time(2024, 7, 1, 12), 0},
      {kCentralEurope, Time(2024, 1, 15, 12), 3600},   // standard time
      {kCentralEurope, Time(2024, 7, 1, 12), 7200},    // daylight time
      {"JST-9", Time(2024, 7, 1, 12), 9 * 3600},       // no daylight time at all
      {"EST5EDT,M3.2.0,M11.1.0", Time(2024, 12, 1, 12), -5 * 3600},
  };
  for (const Case& c : cases) {
    ZoneAndClock pin(c.tz, c.now);
    const uint32_t utc = SystemTimeToSeconds(c.now);
    EXPECT_EQ(GetUtcSeconds(), utc) << c.tz;
    EXPECT_EQ(static_cast<int64_t>(GetLocalSeconds()) - utc, c.localMinusUtc) << c.tz;
    EXPECT_EQ(static_cast<int64_t>(UtcToLocalSeconds(utc)) - utc, c.localMinusUtc) << c.tz;
    EXPECT_EQ(LocalToUtcSeconds(UtcToLocalSeconds(utc)), utc) << c.tz;
  }
}

TEST(EngineTime, SecondsAgoAcrossTheYearBoundary) {
  // Thursday 2 January 2025, 10:30:15.
  ZoneAndClock pin("UTC0", Time(2025, 1, 2, 10, 30, 15));
  SYSTEMTIME local;
  GetLocalTime(&local);
  ASSERT_EQ(local.wDayOfWeek, 4);
  struct Case {
    int unit;
    uint32_t n;
    bool align;
    uint32_t expected;
  };
  const Case cases[] = {
      {kAgoSeconds, 15, false, Seconds(2025, 1, 2, 10, 30)},
      {kAgoMinutes, 31, false, Seconds(2025, 1, 2, 9, 59, 15)},
      {kAgoHours, 11, false, Seconds(2025, 1, 1, 23, 30, 15)},
      {kAgoDays, 0, true, Seconds(2025, 1, 2)},  // today 00:00
      {kAgoDays, 1, true, Seconds(2025, 1, 2)},  // aligned: n counts one less
      {kAgoDays, 3, true, Seconds(2024, 12, 31)},
      {kAgoDays, 2, false, Seconds(2024, 12, 31, 10, 30, 15)},
      {kAgoWeeks, 1, true, Seconds(2024, 12, 29)},  // Sunday of this week
      {kAgoWeeks, 2, true, Seconds(2024, 12, 22)},
      {kAgoWeeks, 1, false, Seconds(2024, 12, 26, 10, 30, 15)},
      {kAgoMonths, 1, true, Seconds(2025, 1, 1)},
      {kAgoMonths, 2, true, Seconds(2024, 12, 1)},
      {kAgoMonths, 13, true, Seconds(2024, 1, 1)},
      {kAgoMonths, 1, false, Seconds(2024, 12, 2, 10, 30, 15)},
      {kAgoMonths, 14, false, Seconds(2023, 11, 2, 10, 30, 15)},
      {9, 5, true, Seconds(2025, 1, 2, 10, 30, 15)},  // unknown unit: now
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetSecondsAgo(c.unit, c.n, c.align), c.expected) << c.unit << " " << c.n << " " << c.align;
}

TEST(EngineTime, SecondsAgoByMonthsAlignsInMarch) {
  // Aligned, n = 3 counts two months back from the start of March.
  ZoneAndClock pin("UTC0", Time(2025, 3, 20, 8));
  EXPECT_EQ(GetSecondsAgo(kAgoMonths, 3, true), Seconds(2025, 1, 1));
  EXPECT_EQ(GetSecondsAgo(kAgoMonths, 4, true), Seconds(2024, 12, 1));
}

TEST(EngineTime, SecondsAgoByMonthsClampsTheDay) {
  struct Case {
    SYSTEMTIME now;
    uint32_t n;
    uint32_t expected;
  };
  const Case cases[] = {
      {Time(2025, 5, 31, 9), 1, Seconds(2025, 4, 30, 9)},
      {Time(2025, 3, 31, 9), 1, Seconds(2025, 2, 28, 9)},
      {Time(2024, 3, 31, 9), 1, Seconds(2024, 2, 29, 9)},  // leap year
      {Time(2025, 1, 31, 9), 2, Seconds(2024, 11, 30, 9)},
  };
  for (const Case& c : cases) {
    ZoneAndClock pin("UTC0", c.now);
    EXPECT_EQ(GetSecondsAgo(kAgoMonths, c.n, false), c.expected) << c.now.wMonth;
  }
}

TEST(EngineTime, SecondsAgoIsUtc) {
  // 00:30 local on 2 January in Central Europe is 23:30 UTC the day before.
  ZoneAndClock pin(kCentralEurope, Time(2025, 1, 1, 23, 30));
  EXPECT_EQ(GetSecondsAgo(kAgoDays, 0, true), Seconds(2025, 1, 1, 23));
  EXPECT_EQ(GetSecondsAgo(kAgoMonths, 1, true), Seconds(2024, 12, 31, 23));
}

TEST(EngineTime, FormatSecondsAsText) {
  const uint32_t t = Seconds(2024, 3, 7, 15, 7, 9);
  struct Case {
    bool date, time;
    std::u16string text;
  };
  const Case cases[] = {
      {true, true, u"3/7/2024 3:07 PM"},
      {true, false, u"3/7/2024"},
      {false, true, u"3:07 PM"},
      {false, false, u""},
  };
  for (const Case& c : cases) {
    WCHAR out[kSecondsTextSize];
    FormatSecondsAsText(t, out, c.date, c.time);
    EXPECT_EQ(Utf16ToUtf8(out), Utf16ToUtf8(c.text));
  }
}

TEST(EngineTime, TicksFollowTheClock) {
  ZoneAndClock pin("UTC0", Time(2025, 1, 1));
  const uint32_t start = GetTicks();
  SleepMilliseconds(250);
  EXPECT_EQ(GetTicks() - start, 250u);
  EXPECT_EQ(GetTicksPerSecond(), 1000u);
}

TEST(Services, RandomIsTheGeneratorsBytesInOrder) {
  SeedRandomForTests(42);
  BYTE bytes[8];
  ASSERT_TRUE(CeGenRandom(sizeof bytes, bytes));
  SeedRandomForTests(42);
  const uint32_t a = GetRandom32();
  const uint32_t b = GetRandom32();
  UnseedRandomForTests();
  EXPECT_EQ(a, bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
  EXPECT_EQ(b, bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24);
}

TEST(Services, DecimalTextAndSort) {
  char buffer[kDecimalTextSize];
  EXPECT_STREQ(FormatDecimal(buffer, -123), "-123");
  EXPECT_STREQ(FormatDecimal(buffer, INT32_MIN), "-2147483648");
  EXPECT_EQ(ParseDecimal("  42x"), 42);
  EXPECT_EQ(ParseDecimal("-7"), -7);
  EXPECT_EQ(ParseDecimal("abc"), 0);
  EXPECT_EQ(ParseDecimal("99999999999"), INT32_MAX);
  EXPECT_DOUBLE_EQ(SquareRoot(2.25), 1.5);

  int values[] = {5, -1, 3, 3, 0};
  SortArray(values, 5, sizeof(int), [](const void* a, const void* b) {
    return *static_cast<const int*>(a) - *static_cast<const int*>(b);
  });
  EXPECT_EQ(values[0], -1);
  EXPECT_EQ(values[4], 5);

  WCHAR name[kPlatformNameSize];
  GetPlatformName(name);
  EXPECT_EQ(Utf16ToUtf8(name), "Windows Mobile");
}

TEST(Services, FileWriteStamp) {
  TempDeviceRoot root;
  HANDLE h = CreateFileW(u"\\My Documents\\stamp.db", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "x", 1, &written, nullptr);
  CloseHandle(h);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(u"\\My Documents\\stamp.db", GetFileExInfoStandard, &data));
  const uint64_t whole =
      static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(GetFileWriteStamp("\\My Documents\\stamp.db"), whole);
  EXPECT_NE(GetFileWriteStamp("\\My Documents\\stamp.db"), 0u);
  EXPECT_EQ(GetFileWriteStamp("\\My Documents\\missing.db"), 0u);
}

}  // namespace
