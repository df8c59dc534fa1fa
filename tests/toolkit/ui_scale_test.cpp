// Resolution scaling: the 96-dpi values of the layouts turned into screen
// pixels by the application's factor, rounding toward zero, and the
// tap-and-hold size metric.
#include "toolkit/ui_scale.h"
#include "tests/toolkit/toolkit_fixture.h"

namespace {

class UiScaleTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    MakeEngine({toolkit_test::kLatin});
  }
};

TEST_F(UiScaleTest, ScaleAndUnscaleRoundTowardZero) {
  struct Case {
    uint16_t factor;
    bool unscale;
    int v;
    int expected;
    const char* why;
  } cases[] = {
      {3, false, 10, 10, "96 dpi keeps the value"},
      {6, false, 10, 20, "192 dpi doubles it"},
      {4, false, 10, 13, "40 / 3 rounds down"},
      {4, false, -10, -13, "-40 / 3 rounds toward zero, not to -14"},
      {6, false, 6000, -9845, "36000 is truncated to 16 bits signed before the division"},
      {6, true, 20, 10, "unscaled at 192 dpi: halved"},
      {4, true, -10, -7, "-30 / 4 rounds toward zero"},
      {3, true, 7, 7, "96 dpi keeps the value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    app_->context().dpiFactor = c.factor;
    EXPECT_EQ(c.unscale ? UnscaleByDpi(c.v) : ScaleByDpi(c.v), c.expected);
  }
}

TEST_F(UiScaleTest, UiMetricFollowsTheFactor) {
  const std::pair<uint16_t, int16_t> cases[] = {{3, 16}, {4, 22}, {6, 32}};
  for (const auto& [factor, metric] : cases) {
    SCOPED_TRACE(factor);
    toolkit_test::TestAppContext app({fonts_->Path(toolkit_test::kLatin)}, factor);
    EXPECT_EQ(GetUiMetric(), metric);
    EXPECT_EQ(GetResolutionFactor(), factor);
  }
}

}  // namespace
