#include "platform/clock.h"

#include <time.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/errors.h"

namespace {

constexpr ULONGLONG kTicksPerSecond = 10000000ull;
constexpr ULONGLONG kEpochTo1970 = 116444736000000000ull;  // 100 ns from 1601 to 1970

struct VirtualClock {
  std::mutex mutex;
  bool installed = false;
  ULONGLONG utc = 0;  // file time
  DWORD tick = 0;
  std::vector<std::pair<void (*)(void*), void*>> hooks;
};

VirtualClock& Virtual() {
  static VirtualClock* clock = new VirtualClock;
  return *clock;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
LONGLONG DaysFromCivil(LONGLONG y, unsigned m, unsigned d) {
  y -= m <= 2;
  const LONGLONG era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<LONGLONG>(doe) - 719468;
}

void CivilFromDays(LONGLONG z, LONGLONG* y, unsigned* m, unsigned* d) {
  z += 719468;
  const LONGLONG era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<LONGLONG>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

ULONGLONG ToValue(const FILETIME& f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }
FILETIME FromValue(ULONGLONG v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

ULONGLONG RealUtc() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<ULONGLONG>(ts.tv_sec) * kTicksPerSecond + static_cast<ULONGLONG>(ts.tv_nsec / 100) +
         kEpochTo1970;
}

ULONGLONG NowUtc() {
  VirtualClock& v = Virtual();
  {
    std::lock_guard lock(v.mutex);
    if (v.installed) return v.utc;
  }
  return RealUtc();
}

// Seconds east of UTC at the UTC file time `utc`, and whether daylight time applies.
bool ZoneOffset(ULONGLONG utc, long* offset, bool* daylight, std::string* name) {
  tzset();  // TZ may have changed (tests pin it)
  const time_t t = static_cast<time_t>((static_cast<LONGLONG>(utc) - static_cast<LONGLONG>(kEpochTo1970)) /
                                       static_cast<LONGLONG>(kTicksPerSecond));
  tm local;
  if (!localtime_r(&t, &local)) return false;
  *offset = local.tm_gmtoff;
  *daylight = local.tm_isdst > 0;
  if (name) *name = local.tm_zone ? local.tm_zone : "";
  return true;
}

void CopyName(const std::string& from, WCHAR* to) {
  size_t i = 0;
  for (; i < from.size() && i < 31; ++i) to[i] = static_cast<unsigned char>(from[i]);
  to[i] = 0;
}

}  // namespace

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* time) {
  if (!fileTime || !time) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const ULONGLONG v = ToValue(*fileTime);
  if (v >= 0x8000000000000000ull) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const ULONGLONG ms = v / 10000;
  const ULONGLONG msPerDay = 86400000ull;
  const LONGLONG days1601 = static_cast<LONGLONG>(ms / msPerDay);
  ULONGLONG rest = ms % msPerDay;
  LONGLONG y;
  unsigned m, d;
  CivilFromDays(days1601 + DaysFromCivil(1601, 1, 1), &y, &m, &d);
  time->wYear = static_cast<WORD>(y);
  time->wMonth = static_cast<WORD>(m);
  time->wDay = static_cast<WORD>(d);
  time->wDayOfWeek = static_cast<WORD>((days1601 + 1) % 7);  // 1601-01-01 was a Monday
  time->wHour = static_cast<WORD>(rest / 3600000);
  rest %= 3600000;
  time->wMinute = static_cast<WORD>(rest / 60000);
  rest %= 60000;
  time->wSecond = static_cast<WORD>(rest / 1000);
  time->wMilliseconds = static_cast<WORD>(rest % 1000);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* t, FILETIME* fileTime) {
  if (!t || !fileTime || t->wYear < 1601 || t->wYear > 30827 || t->wMonth < 1 || t->wMonth > 12 || t->wDay < 1 ||
      t->wDay > DaysInMonth(t->wYear, t->wMonth) || t->wHour > 23 || t->wMinute > 59 || t->wSecond > 59 ||
      t->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const LONGLONG days = DaysFromCivil(t->wYear, t->wMonth, t->wDay) - DaysFromCivil(1601, 1, 1);
  const ULONGLONG ms = static_cast<ULONGLONG>(days) * 86400000ull + t->wHour * 3600000ull + t->wMinute * 60000ull +
                       t->wSecond * 1000ull + t->wMilliseconds;
  *fileTime = FromValue(ms * 10000);
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (!utc || !local) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  long offset = 0;
  bool daylight = false;
  const ULONGLONG v = ToValue(*utc);
  ZoneOffset(v, &offset, &daylight, nullptr);
  *local = FromValue(v + static_cast<ULONGLONG>(static_cast<LONGLONG>(offset) * static_cast<LONGLONG>(kTicksPerSecond)));
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) {
  if (!utc || !local) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The offset in effect at the local time read as UTC, corrected once.
  const ULONGLONG v = ToValue(*local);
  long offset = 0;
  bool daylight = false;
  ZoneOffset(v, &offset, &daylight, nullptr);
  ULONGLONG guess = v - static_cast<ULONGLONG>(static_cast<LONGLONG>(offset) * static_cast<LONGLONG>(kTicksPerSecond));
  ZoneOffset(guess, &offset, &daylight, nullptr);
  *utc = FromValue(v - static_cast<ULONGLONG>(static_cast<LONGLONG>(offset) * static_cast<LONGLONG>(kTicksPerSecond)));
  return TRUE;
}

void GetSystemTime(SYSTEMTIME* utc) {
  const FILETIME f = FromValue(NowUtc());
  FileTimeToSystemTime(&f, utc);
}

void GetLocalTime(SYSTEMTIME* local) {
  const FILETIME u = FromValue(NowUtc());
  FILETIME l;
  FileTimeToLocalFileTime(&u, &l);
  FileTimeToSystemTime(&l, local);
}

DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  *info = TIME_ZONE_INFORMATION{};
  const ULONGLONG now = NowUtc();
  long offset;
  bool daylight;
  std::string name;
  if (!ZoneOffset(now, &offset, &daylight, &name)) return TIME_ZONE_ID_UNKNOWN;
  // Find the other half of the year's offsets by looking at each month.
  bool haveStandard = !daylight, haveDaylight = daylight;
  long standard = daylight ? 0 : offset, dst = daylight ? offset : 0;
  std::string standardName = daylight ? "" : name, daylightName = daylight ? name : "";
  for (int month = 0; month < 12; ++month) {
    const ULONGLONG t = now + static_cast<ULONGLONG>(month) * 30ull * 86400ull * kTicksPerSecond;
    long o;
    bool d;
    std::string n;
    if (!ZoneOffset(t, &o, &d, &n)) continue;
    if (d && !haveDaylight) {
      haveDaylight = true;
      dst = o;
      daylightName = n;
    } else if (!d && !haveStandard) {
      haveStandard = true;
      standard = o;
      standardName = n;
    }
  }
  if (!haveStandard) standard = dst - 3600;
  info->Bias = -static_cast<LONG>(standard / 60);
  info->StandardBias = 0;
  info->DaylightBias = haveDaylight ? -static_cast<LONG>((dst - standard) / 60) : 0;
  CopyName(standardName, info->StandardName);
  CopyName(daylightName, info->DaylightName);
  return daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

namespace {

const char16_t* const kDayNames[] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                     u"Thursday", u"Friday", u"Saturday"};
const char16_t* const kMonthNames[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                       u"July",    u"August",   u"September", u"October", u"November", u"December"};

void AppendNumber(std::u16string* out, unsigned v, int width) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v);
  while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), u'0');
  *out += digits;
}

// A dropped field takes the separator written before it along.
void DropSeparator(std::u16string* out, std::u16string_view separators) {
  while (!out->empty() && separators.find(out->back()) != std::u16string_view::npos) out->pop_back();
}

// Expands a date or time picture. Letters that are not of the picture's kind
// are copied as they are.
std::u16string Expand(std::u16string_view picture, const SYSTEMTIME& t, bool date, DWORD flags) {
  std::u16string out;
  size_t i = 0;
  while (i < picture.size()) {
    const char16_t c = picture[i];
    if (c == u'\'') {
      size_t j = i + 1;
      while (j < picture.size() && picture[j] != u'\'') out += picture[j++];
      i = j + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    const bool dateLetter = c == u'd' || c == u'M' || c == u'y';
    const bool timeLetter = c == u'h' || c == u'H' || c == u'm' || c == u's' || c == u't';
    if (date && dateLetter) {
      if (c == u'd') {
        if (run <= 2) AppendNumber(&out, t.wDay, static_cast<int>(run));
        else if (run == 3) out += std::u16string_view(kDayNames[t.wDayOfWeek % 7]).substr(0, 3);
        else out += kDayNames[t.wDayOfWeek % 7];
      } else if (c == u'M') {
        if (run <= 2) AppendNumber(&out, t.wMonth, static_cast<int>(run));
        else if (run == 3) out += std::u16string_view(kMonthNames[(t.wMonth + 11) % 12]).substr(0, 3);
        else out += kMonthNames[(t.wMonth + 11) % 12];
      } else {
        if (run <= 2) AppendNumber(&out, t.wYear % 100, run == 1 ? 1 : 2);
        else AppendNumber(&out, t.wYear, 4);
      }
    } else if (!date && timeLetter) {
      const bool h24 = flags & TIME_FORCE24HOURFORMAT;
      if (c == u'h' || c == u'H') {
        unsigned h = t.wHour;
        if (c == u'h' && !h24) h = h % 12 == 0 ? 12 : h % 12;
        AppendNumber(&out, h, run >= 2 ? 2 : 1);
      } else if (c == u'm') {
        if (!(flags & TIME_NOMINUTESORSECONDS)) AppendNumber(&out, t.wMinute, run >= 2 ? 2 : 1);
        else DropSeparator(&out, u":.");
      } else if (c == u's') {
        if (!(flags & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS))) AppendNumber(&out, t.wSecond, run >= 2 ? 2 : 1);
        else DropSeparator(&out, u":.");
      } else if (!(flags & TIME_NOTIMEMARKER) && !h24) {
        const char16_t* marker = t.wHour < 12 ? u"AM" : u"PM";
        out += run >= 2 ? std::u16string(marker) : std::u16string(1, marker[0]);
      } else {
        DropSeparator(&out, u" ");
      }
    } else {
      out.append(run, c);
    }
    i += run;
  }
  // Separators left behind by dropped fields are trimmed.
  while (!out.empty() && (out.back() == u' ' || out.back() == u':')) out.pop_back();
  return out;
}

int Deliver(const std::u16string& text, LPWSTR out, int size) {
  const int needed = static_cast<int>(text.size()) + 1;
  if (size == 0) return needed;
  if (!out || size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  return needed;
}

}  // namespace

int GetDateFormatW(LCID, DWORD flags, const SYSTEMTIME* date, LPCWSTR picture, LPWSTR out, int size) {
  SYSTEMTIME t;
  if (date) {
    // Normalise through a file time: validates the date and fills the weekday.
    FILETIME f;
    SYSTEMTIME day = *date;
    day.wHour = day.wMinute = day.wSecond = day.wMilliseconds = 0;
    if (!SystemTimeToFileTime(&day, &f)) return 0;
    FileTimeToSystemTime(&f, &t);
  } else {
    GetLocalTime(&t);
  }
  if (size < 0 || (picture && flags)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char16_t* p = picture ? picture : (flags & DATE_LONGDATE) ? u"dddd, MMMM d, yyyy" : u"M/d/yyyy";
  return Deliver(Expand(p, t, true, 0), out, size);
}

int GetTimeFormatW(LCID, DWORD flags, const SYSTEMTIME* time, LPCWSTR picture, LPWSTR out, int size) {
  SYSTEMTIME t;
  if (time) {
    if (time->wHour > 23 || time->wMinute > 59 || time->wSecond > 59 || time->wMilliseconds > 999) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    t = *time;
  } else {
    GetLocalTime(&t);
  }
  if (size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char16_t* p = picture ? picture : (flags & TIME_FORCE24HOURFORMAT) ? u"H:mm:ss" : u"h:mm:ss tt";
  return Deliver(Expand(p, t, false, flags), out, size);
}

DWORD GetTickCount() {
  VirtualClock& v = Virtual();
  {
    std::lock_guard lock(v.mutex);
    if (v.installed) return v.tick;
  }
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<ULONGLONG>(ts.tv_sec) * 1000ull + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000ull);
}

namespace {
std::atomic<void (*)()> gSleepHook{nullptr};
}  // namespace

void SetSleepHook(void (*hook)()) { gSleepHook.store(hook); }

void Sleep(DWORD ms) {
  if (void (*hook)() = gSleepHook.load()) hook();
  if (IsVirtualClockInstalled()) {
    AdvanceVirtualClock(ms);
    return;
  }
  if (ms == 0) std::this_thread::yield();
  else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void InstallVirtualClock(const SYSTEMTIME* startUtc, DWORD startTick) {
  FILETIME f{};
  if (!startUtc || !SystemTimeToFileTime(startUtc, &f)) f = FromValue(RealUtc());
  VirtualClock& v = Virtual();
  std::lock_guard lock(v.mutex);
  v.installed = true;
  v.utc = ToValue(f);
  v.tick = startTick;
}

void UninstallVirtualClock() {
  VirtualClock& v = Virtual();
  std::lock_guard lock(v.mutex);
  v.installed = false;
}

BOOL IsVirtualClockInstalled() {
  VirtualClock& v = Virtual();
  std::lock_guard lock(v.mutex);
  return v.installed;
}

void AdvanceVirtualClock(DWORD ms) {
  VirtualClock& v = Virtual();
  std::vector<std::pair<void (*)(void*), void*>> hooks;
  {
    std::lock_guard lock(v.mutex);
    if (!v.installed) return;
    v.utc += static_cast<ULONGLONG>(ms) * 10000ull;
    v.tick += ms;
    hooks = v.hooks;
  }
  for (const auto& [hook, context] : hooks) hook(context);
}

void AddVirtualClockAdvanceHook(void (*hook)(void* context), void* context) {
  if (!hook) return;
  VirtualClock& v = Virtual();
  std::lock_guard lock(v.mutex);
  for (const auto& h : v.hooks)
    if (h.first == hook && h.second == context) return;
  v.hooks.emplace_back(hook, context);
}

void RemoveVirtualClockAdvanceHook(void (*hook)(void* context), void* context) {
  VirtualClock& v = Virtual();
  std::lock_guard lock(v.mutex);
  for (auto it = v.hooks.begin(); it != v.hooks.end(); ++it) {
    if (it->first == hook && it->second == context) {
      v.hooks.erase(it);
      return;
    }
  }
}

void SetVirtualClockAdvanceHook(void (*hook)(void* context), void* context) { AddVirtualClockAdvanceHook(hook, context); }
