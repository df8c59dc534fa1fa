// The shared menus: numbered items, and a field's edit pop-up: which items
// it offers for (editable, selection, held), and a chosen item reaching the
// field as the edit message that changes its text or the clipboard.
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/menu_automation.h"
#include "tests/toolkit/control_fixture.h"
#include "toolkit/control_field.h"
#include "toolkit/ui_menu.h"

namespace {

class UiMenuTest : public ControlTest {
 protected:
  void TearDown() override {
    AutoMenuClearScript();
    AutoMenuClearHistory();
    ControlTest::TearDown();
  }
  HWND MakeField(bool editable, const std::u16string& text) {
    FieldCreateParams p{};
    p.fontSize = 14;
    p.editable = editable ? 1 : 0;
    field_ = MakeControl(kFieldClassName, 61, 20, 30, 200, 60, &p);
    SendMessageW(field_, WM_SETTEXT, 1, reinterpret_cast<LPARAM>(text.c_str()));
    return field_;
  }
  std::u16string Text() {
    std::u16string out(200, u'\0');
    SendMessageW(field_, WM_GETTEXT, out.size(), reinterpret_cast<LPARAM>(out.data()));
    out.resize(std::char_traits<char16_t>::length(out.c_str()));
    return out;
  }
  std::u16string Clipboard() {
    if (!OpenClipboard(nullptr)) return u"<closed>";
    auto* t = static_cast<const char16_t*>(GetClipboardData(CF_UNICODETEXT));
    std::u16string out = t ? t : u"";
    CloseClipboard();
    return out;
  }
  FieldNotify PenRecord(uint32_t start, uint32_t end, uint32_t flags) {
    FieldNotify n{};
    n.header.hwndFrom = field_;
    n.header.code = kFieldPen;
    n.payload.pen.start = start;
    n.payload.pen.end = end;
    n.payload.pen.flags = flags;
    n.payload.pen.x = 15;
    n.payload.pen.y = 12;
    return n;
  }
  HWND field_ = nullptr;
};

TEST_F(UiMenuTest, NumberedItemsCountFromTheFirstId) {
  HMENU menu = CreatePopupMenu();
  AppendNumberedMenuItems(menu, 3, 5, 4);
  ASSERT_EQ(GetMenuItemCount(menu), 3);
  const struct {
    const char16_t* text;
    UINT id;
    bool checked;
  } expected[] = {{u"3", 40100, false}, {u"4", 40101, true}, {u"5", 40102, false}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    WCHAR text[16] = {};
    GetMenuStringW(menu, i, text, 16, MF_BYPOSITION);
    EXPECT_EQ(std::u16string(text), expected[i].text);
    EXPECT_EQ(GetMenuItemID(menu, i), expected[i].id);
    EXPECT_EQ((GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED) != 0, expected[i].checked);
  }
  DestroyMenu(menu);
}

TEST_F(UiMenuTest, EditMenuOffersWhatTheFieldAllows) {
  struct Case {
    bool editable;
    uint32_t start, end;
    uint32_t flags;
    std::vector<std::u16string> items;  // empty: no menu
    const char* why;
  } cases[] = {
      {true, 1, 4, 8, {u"Cut", u"Copy", u"Paste", u"Clear"}, "editable with a selection: all four"},
      {true, 2, 2, 8, {u"Paste", u"Clear"}, "editable without a selection"},
      {false, 1, 4, 8, {u"Copy"}, "read-only with a selection: only Copy"},
      {false, 2, 2, 8, {}, "read-only without a selection: nothing"},
      {false, 4, 1, 8, {}, "an end before the start is no selection"},
      {true, 1, 4, 0, {}, "without the hold flag nothing is shown"},
      {true, 1, 4, 7, {}, "other pen flags are not a hold"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    MakeField(c.editable, u"abcdef");
    AutoMenuClearHistory();
    AutoMenuScriptDismiss();
    FieldNotify record = PenRecord(c.start, c.end, c.flags);
    EXPECT_EQ(ShowEditContextMenu(parent_, &record), 0);
    std::vector<AutoMenuInfo> shown = AutoMenuHistory();
    if (c.items.empty()) {
      EXPECT_TRUE(shown.empty());
    } else {
      ASSERT_EQ(shown.size(), 1u);
      std::vector<std::u16string> texts;
      for (const AutoMenuItem& item : shown[0].items) texts.push_back(item.text);
      EXPECT_EQ(texts, c.items);
      EXPECT_EQ(shown[0].owner, parent_);
      // At the field's screen position plus the pen point.
      RECT f{};
      GetWindowRect(field_, &f);
      EXPECT_EQ(shown[0].rect.left, f.left + 15);
    }
    AutoMenuClearScript();
    DestroyWindow(field_);
  }
}

TEST_F(UiMenuTest, ChosenItemReachesTheField) {
  struct Case {
    UINT command;
    const char16_t* text;       // the field's text afterwards
    const char16_t* clipboard;  // the clipboard afterwards
  } cases[] = {
      {kEditMenuCopy, u"abcdef", u"bcd"},
      {kEditMenuCut, u"aef", u"bcd"},
      {kEditMenuClear, u"", u"zz"},  // the field's Clear empties it
      {kEditMenuPaste, u"azzef", u"zz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    MakeField(true, u"abcdef");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    auto* block = static_cast<WCHAR*>(LocalAlloc(LPTR, 3 * sizeof(WCHAR)));
    block[0] = block[1] = u'z';
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    SendMessageW(field_, kFieldSetSelection, 1, 4);
    AutoMenuScriptChoose(c.command);
    FieldNotify record = PenRecord(1, 4, 8);
    ShowEditContextMenu(parent_, &record);
    EXPECT_EQ(Text(), c.text);
    if (c.command == kEditMenuCopy || c.command == kEditMenuCut) {
      EXPECT_EQ(Clipboard(), c.clipboard);
    } else {
      EXPECT_EQ(Clipboard(), u"zz");
    }
    DestroyWindow(field_);
  }
}

}  // namespace
