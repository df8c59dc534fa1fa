// The main window's layout on real screens: over portrait and landscape
// screens at 96 and 192 dpi, every input section (full and compact
// handwriting, radicals, keyboard) on each side, no two shown children of the
// window may cover each other. A control drawn over another hides buttons the
// user needs, and a tap on the common area reaches only one of them. No pair
// is exempt: the main window lays no overlay controls over its buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/main_window_fixture.h"
#include "toolkit/keyboard_layout.h"
#include "toolkit/pane_layout.h"

namespace {

struct Screen {
  const char* name;
  int width, height, dpi;
};

// One input section: its kind (0 handwriting, 1 radicals, 2 keyboard) and
// whether handwriting is the compact strip.
struct Section {
  const char* name;
  int32_t kind;
  bool compact;
};

constexpr Section kSections[] = {
    {"full handwriting", 0, false},
    {"compact handwriting", 0, true},
    {"radicals", 1, false},
    {"keyboard", 2, false},
};

constexpr struct {
  const char* name;
  int32_t side;
} kSides[] = {{"right", kPaneRight}, {"left", kPaneLeft}, {"bottom", kPaneBottom}};

class MainWindowLayoutTest : public mainfix::MainWindowTest, public ::testing::WithParamInterface<Screen> {
 protected:
  MainWindowLayoutTest() {
    width_ = GetParam().width;
    height_ = GetParam().height;
    dpi_ = GetParam().dpi;
  }

  // Both ids of a preference that has a portrait and a landscape value, so
  // the section is the same whichever the window takes.
  void SetBoth(int32_t portrait, int32_t wide, int32_t value) {
    SetPref(portrait, value);
    SetPref(wide, value);
  }

  void Lay(const Section& section, int32_t side, int32_t listSide, bool mirrored) {
    SetPref(kPrefInputKind, section.kind);
    SetPref(kPrefCompactHandwriting, section.compact ? 1 : 0);
    SetPref(kPrefMirrorInputSection, mirrored ? 1 : 0);
    SetBoth(kPrefInputSide, kPrefInputSideWide, side);
    SetBoth(kPrefListSide, kPrefListSideWide, listSide);
    SendMessageW(main_, kMainPrefsChanged, 0, 0);
    Pump();
  }

  struct Child {
    int id;
    RECT rect;
  };
  std::vector<Child> ShownChildren() const {
    std::vector<Child> children;
    for (HWND child = GetWindow(main_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child)) continue;
      RECT r{};
      GetWindowRect(child, &r);
      if (r.right > r.left && r.bottom > r.top) children.push_back({GetDlgCtrlID(child), r});
    }
    return children;
  }
};

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") " + std::to_string(r.right - r.left) + " x " +
         std::to_string(r.bottom - r.top);
}

TEST_P(MainWindowLayoutTest, NoShownChildCoversAnother) {
  for (const Section& section : kSections) {
    for (const auto& side : kSides) {
      for (const auto& list : kSides) {
        for (bool mirrored : {false, true}) {
          SCOPED_TRACE(std::string(section.name) + " on the " + side.name + ", the list on the " + list.name +
                       (mirrored ? ", mirrored" : ""));
          Lay(section, side.side, list.side, mirrored);
          // Every one of these screens is tall or wide enough for the
          // section, so its controls are among those compared.
          bool inputLaid = false;
          GetPaneLayoutFlags(engine(), &inputLaid, nullptr);
          EXPECT_TRUE(inputLaid);
          EXPECT_TRUE(IsWindowVisible(GetDlgItem(main_, kMainInputModeButton)));
          const std::vector<Child> children = ShownChildren();
          for (size_t i = 0; i < children.size(); ++i) {
            for (size_t j = i + 1; j < children.size(); ++j) {
              RECT common{};
              EXPECT_FALSE(IntersectRect(&common, &children[i].rect, &children[j].rect))
                  << "control " << children[i].id << " at " << Describe(children[i].rect) << " covers control "
                  << children[j].id << " at " << Describe(children[j].rect);
            }
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, MainWindowLayoutTest,
                         ::testing::Values(Screen{"portrait_480x640_192dpi", 480, 640, 192},
                                           Screen{"portrait_240x320_96dpi", 240, 320, 96},
                                           Screen{"landscape_640x480_192dpi", 640, 480, 192},
                                           Screen{"landscape_320x240_96dpi", 320, 240, 96},
                                           Screen{"landscape_640x480_96dpi", 640, 480, 96}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
