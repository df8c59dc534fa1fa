// The date and time picker: set and get by message, refused values, the
// "none" state, stepping fields by key and spin button with
// DTN_DATETIMECHANGE, and picking a day in the dropped calendar.
#include <cstdio>

#include "platform/datetime.h"
#include "tests/platform/window_test_util.h"

using namespace wintest;

namespace {

class DatePickerTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    RegisterDateTimeClass();
    dlg_ = Top(0, 52, 480, 536);
    TheHook() = [this](HWND hwnd, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
      if (hwnd != dlg_ || msg != WM_NOTIFY) return std::nullopt;
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      codes_.push_back(hdr->code);
      if (hdr->code == DTN_DATETIMECHANGE) {
        auto* nm = reinterpret_cast<NMDATETIMECHANGE*>(lParam);
        EXPECT_EQ(hdr->hwndFrom, picker_);
        changes_.push_back(nm->st);
        flags_.push_back(nm->dwFlags);
      }
      return 0;
    };
  }
  HWND Make(DWORD style, int id) {
    picker_ = CreateWindowExW(0, WC_DATETIMEPICKW, u"", WS_CHILD | WS_VISIBLE | style, 20, 20, 200, 40, dlg_,
                              reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    return picker_;
  }
  SYSTEMTIME Get(LRESULT* result = nullptr) {
    SYSTEMTIME st{};
    LRESULT r = SendMessageW(picker_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
    if (result) *result = r;
    return st;
  }
  static std::string Str(const SYSTEMTIME& s) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u dow%u", s.wYear, s.wMonth, s.wDay, s.wHour, s.wMinute,
                  s.wSecond, s.wDayOfWeek);
    return buf;
  }
  HWND dlg_ = nullptr;
  HWND picker_ = nullptr;
  std::vector<UINT> codes_;
  std::vector<SYSTEMTIME> changes_;
  std::vector<DWORD> flags_;
};

TEST_F(DatePickerTest, SetAndGetByMessageWithoutNotifying) {
  ASSERT_NE(Make(DTS_SHORTDATEFORMAT, 3704), nullptr);
  // A new picker shows the current local time (the virtual clock's).
  SYSTEMTIME now;
  GetLocalTime(&now);
  SYSTEMTIME first = Get();
  EXPECT_EQ(first.wYear, now.wYear);
  EXPECT_EQ(first.wDay, now.wDay);
  SYSTEMTIME st{2024, 2, 0, 29, 13, 45, 30, 0};
  ASSERT_TRUE(SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st)));
  LRESULT r = -5;
  EXPECT_EQ(Str(Get(&r)), "2024-02-29 13:45:30 dow4");  // the weekday is filled in
  EXPECT_EQ(r, GDT_VALID);
  EXPECT_EQ(AutoGetWindowText(picker_), u"");  // the value is not the window text
  // Dates that do not exist are refused and change nothing.
  const SYSTEMTIME bad[] = {{2023, 2, 0, 29, 0, 0, 0, 0}, {2024, 13, 0, 1, 0, 0, 0, 0}, {2024, 1, 0, 1, 24, 0, 0, 0}};
  for (const SYSTEMTIME& b : bad) EXPECT_FALSE(SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&b)));
  EXPECT_EQ(Str(Get()), "2024-02-29 13:45:30 dow4");
  // "None" only with DTS_SHOWNONE.
  EXPECT_FALSE(SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_NONE, 0));
  EXPECT_TRUE(codes_.empty());
  DestroyWindow(picker_);
  Make(DTS_SHORTDATEFORMAT | DTS_SHOWNONE, 3705);
  ASSERT_TRUE(SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_NONE, 0));
  SYSTEMTIME untouched{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(SendMessageW(picker_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&untouched)), GDT_NONE);
  EXPECT_EQ(untouched.wYear, 1);
}

TEST_F(DatePickerTest, KeysAndSpinStepFieldsAndNotify) {
  struct Case {
    const char* name;
    DWORD style;
    SYSTEMTIME start;
    std::vector<UINT> keys;
    const char* expected;
  };
  const Case cases[] = {
      {"month up wraps the year's end", DTS_SHORTDATEFORMAT, {2024, 12, 0, 31, 0, 0, 0, 0}, {VK_UP}, "2024-01-31 00:00:00 dow3"},
      {"day clamps to the new month", DTS_SHORTDATEFORMAT, {2024, 3, 0, 31, 0, 0, 0, 0}, {VK_DOWN}, "2024-02-29 00:00:00 dow4"},
      {"day field down wraps", DTS_SHORTDATEFORMAT, {2024, 2, 0, 1, 0, 0, 0, 0}, {VK_RIGHT, VK_DOWN}, "2024-02-29 00:00:00 dow4"},
      {"year field", DTS_SHORTDATEFORMAT, {2024, 2, 0, 29, 0, 0, 0, 0}, {VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_UP}, "2025-02-28 00:00:00 dow5"},
      {"hour wraps", DTS_TIMEFORMAT, {2024, 5, 0, 6, 23, 10, 0, 0}, {VK_UP}, "2024-05-06 00:10:00 dow1"},
      {"minutes", DTS_TIMEFORMAT, {2024, 5, 0, 6, 9, 0, 0, 0}, {VK_RIGHT, VK_DOWN, VK_DOWN}, "2024-05-06 09:58:00 dow1"},
      {"am/pm", DTS_TIMEFORMAT, {2024, 5, 0, 6, 9, 0, 0, 0}, {VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_UP}, "2024-05-06 21:00:00 dow1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Make(c.style, 3805);
    SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&c.start));
    changes_.clear();
    size_t steps = 0;
    for (UINT k : c.keys) {
      SendMessageW(picker_, WM_KEYDOWN, k, 0);
      if (k == VK_UP || k == VK_DOWN) ++steps;
    }
    EXPECT_EQ(Str(Get()), c.expected);
    ASSERT_EQ(changes_.size(), steps);
    EXPECT_EQ(Str(changes_.back()), c.expected);
    EXPECT_EQ(flags_.back(), static_cast<DWORD>(GDT_VALID));
    DestroyWindow(picker_);
  }
  // The spin buttons of a time picker: the upper half steps up, the lower down.
  Make(DTS_TIMEFORMAT, 3806);
  SYSTEMTIME st{2024, 5, 0, 6, 9, 30, 0, 0};
  SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  changes_.clear();
  RECT rc;
  GetClientRect(picker_, &rc);
  AutoTapWindow(picker_, rc.right - 3, 3);
  EXPECT_EQ(Get().wHour, 10);
  AutoTapWindow(picker_, rc.right - 3, rc.bottom - 3);
  AutoTapWindow(picker_, rc.right - 3, rc.bottom - 3);
  EXPECT_EQ(Get().wHour, 8);
  EXPECT_EQ(changes_.size(), 3u);
}

TEST_F(DatePickerTest, TheCalendarPicksADay) {
  Make(DTS_SHORTDATEFORMAT, 3704);
  SYSTEMTIME st{2024, 5, 0, 6, 8, 30, 0, 0};  // May 2024 starts on a Wednesday
  SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  RECT rc;
  GetClientRect(picker_, &rc);
  AutoTapWindow(picker_, rc.right - 3, rc.bottom / 2);
  HWND cal = GetDateTimeCalendar(picker_);
  ASSERT_NE(cal, nullptr);
  EXPECT_TRUE(IsWindowVisible(cal));
  EXPECT_EQ(codes_, std::vector<UINT>{DTN_DROPDOWN});
  EXPECT_EQ(GetActiveWindow(), dlg_);  // the calendar never takes the activation
  RECT pr, cr;
  GetWindowRect(picker_, &pr);
  GetWindowRect(cal, &cr);
  EXPECT_EQ(cr.top, pr.bottom);
  // Rows: the title, the weekday names, then weeks. The 17th of May 2024 is a
  // Friday in the third week; one cell is a seventh of the width.
  RECT cc;
  GetClientRect(cal, &cc);
  int cell = cc.right / 7;
  // Through the next-month arrow first: June, then back to May.
  AutoTapWindow(cal, cc.right - cell / 2, cell / 2);
  AutoTapWindow(cal, cell / 2, cell / 2);
  AutoTapWindow(cal, 5 * cell + cell / 2, (2 + 2) * cell + cell / 2);
  EXPECT_EQ(Str(Get()), "2024-05-17 08:30:00 dow5");  // the time of day is kept
  ASSERT_EQ(changes_.size(), 1u);
  EXPECT_EQ(changes_[0].wDay, 17);
  EXPECT_EQ(codes_.back(), DTN_CLOSEUP);
  EXPECT_EQ(GetDateTimeCalendar(picker_), nullptr);
  EXPECT_FALSE(IsWindow(cal));
  // A tap outside closes it without a change.
  AutoTapWindow(picker_, rc.right - 3, rc.bottom / 2);
  ASSERT_NE(GetDateTimeCalendar(picker_), nullptr);
  AutoTap(470, 600);
  EXPECT_EQ(GetDateTimeCalendar(picker_), nullptr);
  EXPECT_EQ(changes_.size(), 1u);
  // Destroying the picker takes an open calendar with it.
  AutoTapWindow(picker_, rc.right - 3, rc.bottom / 2);
  cal = GetDateTimeCalendar(picker_);
  ASSERT_NE(cal, nullptr);
  DestroyWindow(picker_);
  EXPECT_FALSE(IsWindow(cal));
  EXPECT_EQ(GetDateTimeCalendar(dlg_), nullptr);
}

}  // namespace
