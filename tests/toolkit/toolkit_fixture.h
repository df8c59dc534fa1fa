// The toolkit tests' fixture: a headless 480x640 screen at 192 dpi with a
// clean window manager (tests/platform/window_test_util.h), the test fonts
// under a device root of the test's own, one visible top-level window and a
// DrawContext over it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core.h"
#include "platform/ui.h"
#include "tests/platform/window_test_util.h"
#include "tests/support/toolkit_context.h"
#include "toolkit/draw_context.h"
#include "toolkit/text_service.h"
#include "toolkit/truetype_engine.h"

class ToolkitTest : public wintest::WindowTest {
 protected:
  void SetUp() override {
    wintest::WindowTest::SetUp();
    fonts_ = std::make_unique<toolkit_test::TestFonts>();
    ASSERT_TRUE(fonts_->Has(toolkit_test::kLatin)) << "the fixture fonts (tests/support/fonts) are missing";
  }
  void TearDown() override {
    SetTextDrawDirectOnly(false);
    if (context_) FreeDrawContext(context_);
    context_ = nullptr;
    app_.reset();
    wintest::WindowTest::TearDown();
    fonts_.reset();
  }

  // Whether the CJK fixture face is there (it is committed, so a test that
  // needs it fails without it rather than skipping).
  bool NeedCjk() { return fonts_->Has(toolkit_test::kCjk); }

  // An engine whose slot 0 has the given fonts, set as the AppContext.
  // A second engine in one test replaces the first: the old context is
  // destroyed before the new one is made, so that the new one does not
  // remember the old (soon dangling) pointer as the one to restore.
  DictEngine* MakeEngine(const std::vector<toolkit_test::TestFont>& fonts, uint32_t num = 0, uint32_t den = 0) {
    std::vector<std::string> paths;
    for (auto f : fonts) paths.push_back(fonts_->Path(f));
    app_.reset();
    app_ = std::make_unique<toolkit_test::TestAppContext>(paths, 6, num, den);
    return app_->engine();
  }
  DictEngine* MakeEngineWithPaths(const std::vector<std::string>& paths) {
    app_.reset();
    app_ = std::make_unique<toolkit_test::TestAppContext>(paths, 6);
    return app_->engine();
  }
  TrueTypeEngine* Slot0() { return GetSlotTrueTypeEngine(app_->engine(), 0); }

  // A white window and a draw context over it.
  DrawContext* Window(int w = 480, int h = 200) {
    hwnd_ = Top(0, 0, w, h);
    UpdateWindow(hwnd_);
    context_ = NewDrawContext(hwnd_, GetModuleHandleW(nullptr));
    ShortRect all{0, 0, static_cast<uint16_t>(w), static_cast<uint16_t>(h)};
    FillShortRect(context_, all, 0xFFFFFF);
    return context_;
  }
  std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    AutoCaptureWindow(hwnd_, &pixels, &w, &h);
    width_ = w;
    return pixels;
  }
  uint32_t Pixel(int x, int y) { return AutoGetPixel(hwnd_, x, y) & 0xFFFFFF; }
  // Pixels of the window that are not `background`.
  int CountInk(uint32_t background = 0xFFFFFF) {
    int n = 0;
    for (uint32_t p : Pixels())
      if ((p & 0xFFFFFF) != background) ++n;
    return n;
  }

  std::unique_ptr<toolkit_test::TestFonts> fonts_;
  std::unique_ptr<toolkit_test::TestAppContext> app_;
  HWND hwnd_ = nullptr;
  DrawContext* context_ = nullptr;
  int width_ = 0;
};

#define REQUIRE_CJK()                                                                  \
  do {                                                                                 \
    ASSERT_TRUE(NeedCjk()) << "the CJK fixture font (tests/support/fonts) is missing"; \
  } while (0)
