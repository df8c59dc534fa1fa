// The system services: the all-keys request is passed on and remembered, and
// the version test follows the major version the system reports.
#include "toolkit/ui_system.h"
#include "platform/ui.h"
#include "tests/platform/window_test_util.h"

namespace {

class UiSystemTest : public wintest::WindowTest {};

TEST_F(UiSystemTest, CaptureAllKeysIsPassedOnAndRemembered) {
  for (bool on : {true, false, true}) {
    SCOPED_TRACE(on);
    EXPECT_TRUE(CaptureAllKeys(on));
    EXPECT_EQ(IsAllKeysMode() != FALSE, on);
    EXPECT_EQ(IsCapturingAllKeys(), on);
  }
  CaptureAllKeys(false);
}

TEST_F(UiSystemTest, VersionFiveOrLater) {
  struct Case {
    DWORD major, minor, build;
    bool expected;
  } cases[] = {{4, 21, 0, false}, {5, 0, 0, true}, {5, 2, 21000, true}, {6, 0, 0, true}, {3, 99, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.major * 100 + c.minor);
    SetOsVersion(c.major, c.minor, c.build);
    EXPECT_EQ(IsOsVersion5OrLater(), c.expected);
  }
  SetOsVersion(5, 2, 21000);
}

}  // namespace
