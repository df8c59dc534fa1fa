#include "app/main_toolbar.h"

#include <gtest/gtest.h>

#include "app/main_actions.h"
#include "app/main_window.h"

namespace {

TEST(NavStateImage, EachStateWithAndWithoutLatinIcons) {
  const struct {
    int state;
    int latin;  // preference 170 set
    int plain;
  } cases[] = {
      {1, 36, 36},  {2, 36, 36},               // back: history or not
      {3, 79, 79},  {4, 79, 79},               // forward
      {5, 44, 18},  {6, 41, 6},                // language: English, Chinese
      {7, 98, 97},  {8, 96, 95},               // full text in either language
      {9, 87, 87},  {10, 90, 90},              // display mode
      {11, 43, 14}, {12, 56, 76},              // list kind
      {0, 0, 0},    {13, 0, 0},   {14, 0, 0},  // card state and the dictionary's code have no image
      {-1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    EXPECT_EQ(NavStateImageFor(c.state, true), c.latin);
    EXPECT_EQ(NavStateImageFor(c.state, false), c.plain);
  }
}

TEST(ActionImage, FixedImagesAndTheVariantsOfTheIconPreferences) {
  const struct {
    int action;
    int latin;    // preference 170
    int display;  // preference 50 without 170
    int plain;    // neither
  } cases[] = {
      {6, 92, 92, 92},
      {7, 15, 15, 15},
      {8, 11, 11, 11},
      {9, 8, 8, 8},
      {10, 65, 65, 65},
      {11, 7, 7, 7},
      {12, 88, 88, 88},
      {13, 2, 2, 2},
      {17, 20, 20, 20},
      {18, 54, 73, 72},
      {19, 16, 16, 16},
      {20, 13, 13, 13},
      {21, 9, 9, 9},
      {22, 100, 100, 100},
      {23, 68, 68, 68},
      {24, 93, 93, 93},
      {25, 5, 5, 5},
      {26, 51, 37, 37},
      {27, 50, 34, 34},
      {28, 49, 30, 27},
      {29, 71, 71, 71},
      {30, 35, 35, 35},
      {33, 69, 69, 69},
      {36, 19, 19, 19},
      {38, 45, 21, 21},
      {39, 3, 3, 3},
      {40, 104, 104, 104},
      // No image: unbound, the actions that do nothing, the two dialogs
      // without one, and numbers outside the vocabulary.
      {0, -1, -1, -1},
      {15, -1, -1, -1},
      {31, -1, -1, -1},
      {32, -1, -1, -1},
      {37, -1, -1, -1},
      {34, -1, -1, -1},
      {35, -1, -1, -1},
      {41, -1, -1, -1},
      {-1, -1, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    EXPECT_EQ(ActionImageFor(c.action, true, true, 0), c.latin);
    EXPECT_EQ(ActionImageFor(c.action, false, true, 0), c.display);
    EXPECT_EQ(ActionImageFor(c.action, false, false, 0), c.plain);
    EXPECT_EQ(ActionNavState(c.action), -1);
  }
}

TEST(ActionImage, TheNavigationActionsFollowTheirSessionState) {
  const struct {
    int action;
    int which;  // the session's state asked for
  } cases[] = {{1, 2}, {2, 3}, {3, 5}, {4, 0}, {5, 1}, {14, 4}, {16, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    EXPECT_EQ(ActionNavState(c.action), c.which);
    for (int state = 0; state <= 14; ++state) {
      EXPECT_EQ(ActionImageFor(c.action, true, false, state), NavStateImageFor(state, true));
      EXPECT_EQ(ActionImageFor(c.action, false, true, state), NavStateImageFor(state, false));
    }
  }
}

TEST(ActionHasHoldMenu, OnlyTheActionsWithAChoice) {
  for (int action = 0; action <= 41; ++action) {
    SCOPED_TRACE(action);
    EXPECT_EQ(ActionHasHoldMenu(action), action == 13 || action == 16 || action == 26 || action == 27);
  }
}

TEST(NextInputMode, TheModeButtonCyclesInItsOrder) {
  const struct {
    int32_t mode, box, nextMode, nextBox;
  } cases[] = {
      {0, 0, 0, 1},                // palette box -> the box in the window
      {0, 1, 1, 1},                // -> radicals (the box choice is kept)
      {1, 1, 2, 1},                // -> keyboard
      {2, 1, 0, 0},                // -> handwriting in the palette box
      {1, 0, 2, 0},                // from radicals without the box
      {2, 0, 0, 0}, {7, 1, 0, 0},  // a mode the program does not have starts over
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << "," << c.box);
    int32_t mode = -5, box = -5;
    NextInputMode(c.mode, c.box, &mode, &box);
    EXPECT_EQ(mode, c.nextMode);
    EXPECT_EQ(box, c.nextBox);
  }
}

TEST(MenuCommandAction, EveryMenuItemRunsItsAction) {
  const struct {
    UINT id;
    int action;
    int argument;
  } cases[] = {
      {kMenuSwitchLanguage, 1, -1},
      {kMenuSwitchDictionary, 2, -1},
      {kMenuToggleList, 3, -1},
      {kMenuBack, 4, -1},
      {kMenuForward, 5, -1},
      {kMenuCut, 8, -1},
      {kMenuCopy, 9, -1},
      {kMenuPaste, 10, -1},
      {kMenuClear, 11, -1},
      {kMenuPlayAudio, 13, -1},
      {kMenuToggleCharset, 14, -1},
      {kMenuAddToFlashcards, 16, -1},
      {kMenuOpenFlashcards, 17, -1},
      {kMenuOpenReader, 18, -1},
      {kMenuAddEditEntry, 19, -1},
      {kMenuDeleteEntry, 20, -1},
      {kMenuCopyToInput, 21, -1},
      {kMenuSendToReader, 22, -1},
      {kMenuPopupDefinition, 23, -1},
      {kMenuCharInfo, 25, -1},
      {kMenuPreferences, 33, -1},
      {kMenuManageDicts, 34, -1},
      {kMenuAbout, 35, -1},
      {kMenuQuit, 36, -1},
      {kMenuFullText, 38, -1},
      {kMenuInputText, 27, 3},  // the Input sheet: the input section's side 3
      {kMenuUnused, 31, -1},    // an action that does nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    int action = 0, argument = 0;
    ASSERT_TRUE(MenuCommandAction(c.id, &action, &argument));
    EXPECT_EQ(action, c.action);
    EXPECT_EQ(argument, c.argument);
  }
  // The ids between the items and the control ids are no menu items.
  for (UINT id : {12800u, 12803u, 12812u, 12828u, 12847u, 12861u, 12863u, 1043u, 1045u, 0u}) {
    int action = 0, argument = 0;
    EXPECT_FALSE(MenuCommandAction(id, &action, &argument)) << id;
  }
}

}  // namespace
