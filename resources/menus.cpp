// The main window's two menu bars. 104 (newer shells) has two soft keys,
// "Dict" (the dictionary and edit menus with the settings below them) and
// "Modules"; 102 (older shells) has the three menus side by side. The item
// ids are the main window's menu commands.
#include "resources/menus.h"

#include <iterator>

#include "platform/menu.h"
#include "platform/resources.h"

namespace {

constexpr UINT kSeparator = MF_SEPARATOR;

// The dictionary menu's items.
#define SORVI_DICT_ITEMS                                                                                        \
  {0, 12801, u"Switch &Language"}, {0, 12802, u"Switch &Dictionary"}, {0, 12804, u"To&ggle Dict/Results List"}, \
      {0, 12805, u"Toggle &Simp/Trad Chars"}, {0, 12811, u"&Full-text Search"}, {kSeparator, 0, nullptr}, {     \
    0, 12806, u"&Back"                                                                                          \
  }

// The edit menu's items.
#define SORVI_EDIT_ITEMS                                                                                             \
  {0, 12820, u"C&ut"}, {0, 12821, u"&Copy"}, {0, 12822, u"&Paste"}, {0, 12823, u"Clea&r"}, {kSeparator, 0, nullptr}, \
      {0, 12824, u"&Input Text..."}, {                                                                               \
    0, 12825, u"Copy to Input &Field"                                                                                \
  }

// The modules menu, the last of its bar in both.
#define SORVI_MODULES_MENU                                                                                    \
  {MF_POPUP | MF_END, 0, u"&Modules"}, {0, 12840, u"&Open Flashcards..."}, {0, 12841, u"Add To &Flashcards"}, \
      {kSeparator, 0, nullptr}, {0, 12842, u"Open &Reader..."}, {0, 12827, u"&Send Entry To Reader..."},      \
      {kSeparator, 0, nullptr}, {0, 12843, u"&Character Info..."}, {0, 12844, u"&Pop-up Definition..."},      \
      {0, 12845, u"&Add/Edit Custom Entry..."}, {                                                             \
    MF_END, 12846, u"&Delete Custom Entry"                                                                    \
  }

const MENU_RESOURCE_ITEM kMenuBarOld[] = {
    {MF_POPUP, 0, u"&Dict"},
    SORVI_DICT_ITEMS,
    {0, 12807, u"For&ward"},
    {kSeparator, 0, nullptr},
    {0, 12808, u"&Preference&s..."},
    {0, 12809, u"&Manage Dicts..."},
    {kSeparator, 0, nullptr},
    {0, 12862, u"&About..."},
    {MF_END, 12810, u"&Quit"},
    {MF_POPUP, 0, u"&Edit"},
    SORVI_EDIT_ITEMS,
    {MF_END, 12826, u"Pla&y Audio"},
    SORVI_MODULES_MENU,
};

const MENU_RESOURCE_ITEM kMenuBarNew[] = {
    {MF_POPUP, 0, u"Dict"},
    {MF_POPUP, 0, u"&Dict"},
    SORVI_DICT_ITEMS,
    {MF_END, 12807, u"For&ward"},
    {MF_POPUP, 0, u"&Edit"},
    SORVI_EDIT_ITEMS,
    {MF_END, 12826, u"Pla&y Audio"},
    {kSeparator, 0, nullptr},
    {0, 12808, u"&Preferences..."},
    {0, 12809, u"&Manage Dicts..."},
    {0, 12862, u"&About..."},
    {MF_END, 12810, u"&Quit"},
    SORVI_MODULES_MENU,
};

#undef SORVI_DICT_ITEMS
#undef SORVI_EDIT_ITEMS
#undef SORVI_MODULES_MENU

}  // namespace

void RegisterMenuResources() {
  RegisterResource(RT_MENU, kMenuBarOldId, kMenuBarOld, static_cast<DWORD>(sizeof kMenuBarOld));
  RegisterResource(RT_MENU, kMenuBarNewId, kMenuBarNew, static_cast<DWORD>(sizeof kMenuBarNew));
}
