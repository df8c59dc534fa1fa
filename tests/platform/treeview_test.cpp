// The tree view: insertion order and navigation, check boxes flipped by the
// control on a state-icon tap (after NM_CLICK), subtree deletion, expanding
// and visibility, the selection's action codes, and in-place label editing.
#include <cstring>
#include <string>

#include "platform/controls.h"
#include "platform/treeview.h"
#include "tests/platform/window_test_util.h"

using namespace wintest;

namespace {

constexpr UINT kToggleMessage = 0x830C;

struct Notice {
  UINT code;
  UINT action;
  HTREEITEM oldItem, newItem;
  LPARAM oldParam, newParam;
  bool textNull;
  std::u16string text;
};

class TreeViewTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    RegisterTreeViewClass();
    RegisterStandardControls();
    dlg_ = Top(0, 52, 480, 536);
    tree_ = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, 10, 10, 300,
                            200, dlg_, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(4070)), nullptr, nullptr);
    ASSERT_NE(tree_, nullptr);
    TheHook() = [this](HWND hwnd, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
      if (hwnd != dlg_ || msg != WM_NOTIFY) return std::nullopt;
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      EXPECT_EQ(hdr->hwndFrom, tree_);
      EXPECT_EQ(hdr->idFrom, 4070u);
      Notice n{hdr->code, 0, nullptr, nullptr, 0, 0, false, {}};
      if (hdr->code == TVN_SELCHANGINGW || hdr->code == TVN_SELCHANGEDW || hdr->code == TVN_DELETEITEMW ||
          hdr->code == TVN_ITEMEXPANDINGW || hdr->code == TVN_ITEMEXPANDEDW) {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(lParam);
        n.action = nm->action;
        n.oldItem = nm->itemOld.hItem;
        n.newItem = nm->itemNew.hItem;
        n.oldParam = nm->itemOld.lParam;
        n.newParam = nm->itemNew.lParam;
      }
      if (hdr->code == TVN_BEGINLABELEDITW || hdr->code == TVN_ENDLABELEDITW) {
        auto* di = reinterpret_cast<NMTVDISPINFOW*>(lParam);
        n.newItem = di->item.hItem;
        n.newParam = di->item.lParam;
        n.textNull = di->item.pszText == nullptr;
        if (di->item.pszText) n.text = di->item.pszText;
      }
      notices_.push_back(n);
      if (answer_) return answer_(n);
      return 0;
    };
  }
  HTREEITEM Add(HTREEITEM parent, HTREEITEM after, const char16_t* text, LPARAM param, UINT state = 0,
                int children = -1) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | (state ? TVIF_STATE : 0) | (children >= 0 ? TVIF_CHILDREN : 0);
    ins.item.pszText = const_cast<LPWSTR>(text);
    ins.item.lParam = param;
    ins.item.state = state;
    ins.item.stateMask = TVIS_STATEIMAGEMASK;
    ins.item.cChildren = children;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  }
  HTREEITEM Next(UINT how, HTREEITEM item = nullptr) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  }
  std::u16string Text(HTREEITEM item) {
    WCHAR buf[64] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = 64;
    if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return u"<none>";
    return buf;
  }
  UINT StateImage(HTREEITEM item) {
    return STATEIMAGEMASKTOINDEX(SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
  }
  RECT ItemRect(HTREEITEM item, bool textOnly) {
    RECT r{};
    std::memcpy(&r, &item, sizeof(item));
    EXPECT_TRUE(SendMessageW(tree_, TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(&r)));
    return r;
  }
  std::vector<UINT> Codes() {
    std::vector<UINT> out;
    for (const Notice& n : notices_) out.push_back(n.code);
    return out;
  }
  // Visible order through FIRSTVISIBLE / NEXTVISIBLE, as texts.
  std::vector<std::u16string> VisibleTexts() {
    SendMessageW(tree_, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(Next(TVGN_ROOT)));
    std::vector<std::u16string> out;
    for (HTREEITEM h = Next(TVGN_FIRSTVISIBLE); h; h = Next(TVGN_NEXTVISIBLE, h)) out.push_back(Text(h));
    return out;
  }
  HWND dlg_ = nullptr;
  HWND tree_ = nullptr;
  std::vector<Notice> notices_;
  std::function<LRESULT(const Notice&)> answer_;
};

TEST_F(TreeViewTest, InsertionOrderNavigationAndItems) {
  HTREEITEM b = Add(TVI_ROOT, TVI_LAST, u"B", 2);
  HTREEITEM a = Add(TVI_ROOT, TVI_FIRST, u"A", 1);
  HTREEITEM d = Add(TVI_ROOT, TVI_LAST, u"D", 4);
  HTREEITEM c = Add(TVI_ROOT, b, u"C", 3);  // after a sibling
  HTREEITEM c2 = Add(c, TVI_LAST, u"c2", 32);
  HTREEITEM c1 = Add(c, TVI_SORT, u"c1", 31);
  HTREEITEM c3 = Add(c, TVI_SORT, u"c3", 33);
  ASSERT_TRUE(a && b && c && d && c1 && c2 && c3);
  EXPECT_EQ(SendMessageW(tree_, TVM_GETCOUNT, 0, 0), 7);
  std::vector<std::u16string> roots;
  for (HTREEITEM h = Next(TVGN_ROOT); h; h = Next(TVGN_NEXT, h)) roots.push_back(Text(h));
  EXPECT_EQ(roots, (std::vector<std::u16string>{u"A", u"B", u"C", u"D"}));
  EXPECT_EQ(Next(TVGN_CHILD, c), c1);
  EXPECT_EQ(Next(TVGN_NEXT, c1), c2);
  EXPECT_EQ(Next(TVGN_NEXT, c2), c3);
  EXPECT_EQ(Next(TVGN_PREVIOUS, c1), nullptr);
  EXPECT_EQ(Next(TVGN_PARENT, c2), c);
  EXPECT_EQ(Next(TVGN_PARENT, c), nullptr);
  EXPECT_EQ(Next(TVGN_CHILD, nullptr), a);  // the first top-level item
  EXPECT_EQ(Next(TVGN_CARET), nullptr);

  TVITEMW it{};
  it.mask = TVIF_PARAM | TVIF_CHILDREN | TVIF_STATE;
  it.hItem = c;
  it.stateMask = TVIS_EXPANDED;
  ASSERT_TRUE(SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  EXPECT_EQ(it.lParam, 3);
  EXPECT_EQ(it.cChildren, 1);
  EXPECT_EQ(it.state, 0u);
  // The children flag alone gives an item its button before it has children.
  HTREEITEM e = Add(TVI_ROOT, TVI_LAST, u"E", 5, 0, 1);
  it.hItem = e;
  SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(it.cChildren, 1);
  it.hItem = d;
  SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(it.cChildren, 0);

  TVITEMW set{};
  set.mask = TVIF_TEXT | TVIF_PARAM;
  set.hItem = d;
  set.pszText = const_cast<LPWSTR>(u"Dee");
  set.lParam = 44;
  ASSERT_TRUE(SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&set)));
  EXPECT_EQ(Text(d), u"Dee");
  // A short buffer gets a cut, terminated text.
  WCHAR small[3];
  TVITEMW get{};
  get.mask = TVIF_TEXT;
  get.hItem = c1;
  get.pszText = small;
  get.cchTextMax = 2;
  SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&get));
  EXPECT_EQ(std::u16string(small), u"c");

  // Bad handles: an insert after a non-sibling, a forged item.
  EXPECT_EQ(Add(TVI_ROOT, c1, u"X", 9), nullptr);
  EXPECT_EQ(Add(reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(0x7770)), TVI_LAST, u"X", 9), nullptr);
  EXPECT_EQ(SendMessageW(tree_, TVM_GETCOUNT, 0, 0), 8);
}

TEST_F(TreeViewTest, CheckBoxesFlipAfterTheClickNotificationAndBeforeThePostedToggle) {
  // Check boxes switched on at run time, as the picker does.
  SetWindowLongW(tree_, GWL_STYLE, GetWindowLongW(tree_, GWL_STYLE) | static_cast<LONG>(TVS_CHECKBOXES));
  HTREEITEM a = Add(TVI_ROOT, TVI_LAST, u"Alpha", 1, INDEXTOSTATEIMAGEMASK(1));
  HTREEITEM b = Add(TVI_ROOT, TVI_LAST, u"Beta", 2, INDEXTOSTATEIMAGEMASK(2));
  HTREEITEM c = Add(TVI_ROOT, TVI_LAST, u"Gamma", 3);  // no state given: unchecked
  EXPECT_EQ(StateImage(a), 1u);
  EXPECT_EQ(StateImage(b), 2u);
  EXPECT_EQ(StateImage(c), 1u);

  // The dialog's handling: on NM_CLICK, hit-test the message position; on the
  // state icon post 0x830C to itself, whose handler reads the state.
  UINT stateAtClick = 0;
  UINT stateAtToggle = 0;
  HTREEITEM clicked = nullptr;
  bool keepBox = false;
  answer_ = [&](const Notice& n) -> LRESULT {
    if (n.code != NM_CLICK) return 0;
    DWORD pos = GetMessagePos();
    TVHITTESTINFO hti{};
    hti.pt = POINT{static_cast<SHORT>(LOWORD(pos)), static_cast<SHORT>(HIWORD(pos))};
    ScreenToClient(tree_, &hti.pt);
    SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hti));
    if (hti.flags & TVHT_ONITEMSTATEICON) {
      clicked = hti.hItem;
      stateAtClick = StateImage(hti.hItem);
      PostMessageW(dlg_, kToggleMessage, 0, reinterpret_cast<LPARAM>(hti.hItem));
    }
    return keepBox ? 1 : 0;
  };
  auto hook = TheHook();
  TheHook() = [&, hook](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
    if (hwnd == dlg_ && msg == kToggleMessage) {
      stateAtToggle = StateImage(reinterpret_cast<HTREEITEM>(l));
      return 0;
    }
    return hook(hwnd, msg, w, l);
  };
  auto tapBox = [&](HTREEITEM item) {
    RECT label = ItemRect(item, true);
    int rowH = label.bottom - label.top;
    AutoTapWindow(tree_, label.left - rowH / 2, (label.top + label.bottom) / 2);
  };
  struct Case {
    HTREEITEM item;
    bool keep;
    UINT before, after;
  };
  const Case cases[] = {{a, false, 1, 2}, {b, false, 2, 1}, {a, false, 2, 1}, {c, true, 1, 1}};
  for (const Case& k : cases) {
    keepBox = k.keep;
    clicked = nullptr;
    tapBox(k.item);
    EXPECT_EQ(clicked, k.item);
    EXPECT_EQ(stateAtClick, k.before);
    EXPECT_EQ(stateAtToggle, k.after);
    EXPECT_EQ(StateImage(k.item), k.after);
  }
  // A tap on the label selects (by mouse) and leaves the box alone.
  notices_.clear();
  RECT label = ItemRect(b, true);
  AutoTapWindow(tree_, label.left + 2, label.top + 2);
  EXPECT_EQ(StateImage(b), 1u);
  EXPECT_EQ(Next(TVGN_CARET), b);
  // Space flips the selected item's box.
  SendMessageW(tree_, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(StateImage(b), 2u);
  // Without the style there is no state icon to hit.
  SetWindowLongW(tree_, GWL_STYLE, GetWindowLongW(tree_, GWL_STYLE) & ~static_cast<LONG>(TVS_CHECKBOXES));
  TVHITTESTINFO hti{};
  hti.pt = POINT{label.left + 2, (label.top + label.bottom) / 2};
  SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hti));
  EXPECT_EQ(hti.hItem, b);
  EXPECT_FALSE(hti.flags & TVHT_ONITEMSTATEICON);
}

TEST_F(TreeViewTest, DeletingASubtreeNotifiesEachItemAndMovesTheSelection) {
  HTREEITEM p = Add(TVI_ROOT, TVI_LAST, u"Parent", 1);
  HTREEITEM k1 = Add(p, TVI_LAST, u"Kid 1", 11);
  HTREEITEM g = Add(k1, TVI_LAST, u"Grandkid", 111);
  HTREEITEM k2 = Add(p, TVI_LAST, u"Kid 2", 12);
  HTREEITEM q = Add(TVI_ROOT, TVI_LAST, u"Next", 2);
  ASSERT_TRUE(SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(g)));
  notices_.clear();
  ASSERT_TRUE(SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(p)));
  EXPECT_EQ(SendMessageW(tree_, TVM_GETCOUNT, 0, 0), 1);
  std::vector<LPARAM> deleted;
  for (const Notice& n : notices_)
    if (n.code == TVN_DELETEITEMW) deleted.push_back(n.oldParam);
  EXPECT_EQ(deleted, (std::vector<LPARAM>{12, 111, 11, 1}));  // children before their parent
  // The selection was inside: it moves to the next sibling of the deleted item.
  EXPECT_EQ(Next(TVGN_CARET), q);
  ASSERT_FALSE(notices_.empty());
  EXPECT_EQ(notices_.back().code, TVN_SELCHANGEDW);
  EXPECT_EQ(notices_.back().action, TVC_UNKNOWN);
  // Deleted handles are refused.
  for (HTREEITEM h : {p, k1, g, k2}) {
    EXPECT_EQ(Text(h), u"<none>");
    EXPECT_FALSE(SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(h)));
    EXPECT_EQ(Next(TVGN_NEXT, h), nullptr);
  }
  // A new item never takes an old handle.
  HTREEITEM fresh = Add(TVI_ROOT, TVI_LAST, u"Fresh", 3);
  for (HTREEITEM h : {p, k1, g, k2}) EXPECT_NE(fresh, h);
  // TVI_ROOT empties the tree.
  ASSERT_TRUE(SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)));
  EXPECT_EQ(SendMessageW(tree_, TVM_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(Next(TVGN_ROOT), nullptr);
  EXPECT_EQ(Next(TVGN_CARET), nullptr);
}

TEST_F(TreeViewTest, ExpandingVisibilityAndScrolling) {
  HTREEITEM a = Add(TVI_ROOT, TVI_LAST, u"A", 1);
  HTREEITEM a1 = Add(a, TVI_LAST, u"a1", 11);
  HTREEITEM a2 = Add(a, TVI_LAST, u"a2", 12);
  HTREEITEM b = Add(TVI_ROOT, TVI_LAST, u"B", 2);
  EXPECT_EQ(VisibleTexts(), (std::vector<std::u16string>{u"A", u"B"}));
  notices_.clear();
  ASSERT_TRUE(SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a)));
  EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW}));
  EXPECT_EQ(notices_[0].action, TVE_EXPAND);
  EXPECT_EQ(notices_[0].newItem, a);
  EXPECT_EQ(VisibleTexts(), (std::vector<std::u16string>{u"A", u"a1", u"a2", u"B"}));
  EXPECT_EQ(SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(a), TVIS_EXPANDED), static_cast<LRESULT>(TVIS_EXPANDED));
  // Collapsing with the selection inside moves it to the collapsed item.
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a2));
  SendMessageW(tree_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(a));
  EXPECT_EQ(Next(TVGN_CARET), a);
  EXPECT_EQ(VisibleTexts(), (std::vector<std::u16string>{u"A", u"B"}));
  // The parent may refuse an expansion.
  answer_ = [](const Notice& n) -> LRESULT { return n.code == TVN_ITEMEXPANDINGW ? 1 : 0; };
  EXPECT_FALSE(SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a)));
  EXPECT_EQ(SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(a), TVIS_EXPANDED), 0);
  answer_ = nullptr;

  // Many items in a short window: ENSUREVISIBLE opens the parents and scrolls.
  std::vector<HTREEITEM> many;
  for (int i = 0; i < 40; ++i) many.push_back(Add(b, TVI_LAST, u"row", 100 + i));
  HTREEITEM last = many.back();
  ASSERT_TRUE(SendMessageW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(last)));
  EXPECT_EQ(SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(b), TVIS_EXPANDED), static_cast<LRESULT>(TVIS_EXPANDED));
  HTREEITEM first = Next(TVGN_FIRSTVISIBLE);
  EXPECT_NE(first, a);
  int rows = static_cast<int>(SendMessageW(tree_, TVM_GETVISIBLECOUNT, 0, 0));
  ASSERT_GT(rows, 2);
  int shown = 0;
  bool lastShown = false;
  for (HTREEITEM h = first; h && shown < rows; h = Next(TVGN_NEXTVISIBLE, h), ++shown) lastShown |= h == last;
  EXPECT_TRUE(lastShown);
  EXPECT_EQ(Next(TVGN_LASTVISIBLE), last);
  RECT r = ItemRect(last, false);
  RECT client;
  GetClientRect(tree_, &client);
  EXPECT_GE(r.top, 0);
  EXPECT_LE(r.bottom, client.bottom);
  // Items scrolled away have no rectangle.
  RECT hidden{};
  std::memcpy(&hidden, &a, sizeof(a));
  EXPECT_FALSE(SendMessageW(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&hidden)));
  (void)a1;
}

TEST_F(TreeViewTest, SelectionCarriesItsActionCode) {
  HTREEITEM a = Add(TVI_ROOT, TVI_LAST, u"First", 1);
  HTREEITEM b = Add(TVI_ROOT, TVI_LAST, u"Second", 2);
  HTREEITEM c = Add(TVI_ROOT, TVI_LAST, u"Third", 3);
  struct Case {
    const char* name;
    std::function<void()> act;
    HTREEITEM expected;
    UINT action;
  };
  const Case cases[] = {
      {"message", [&] { SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a)); }, a, TVC_UNKNOWN},
      {"stylus",
       [&] {
         RECT r = ItemRect(c, true);
         AutoTapWindow(tree_, r.left + 2, r.top + 2);
       },
       c, TVC_BYMOUSE},
      {"key up", [&] { SendMessageW(tree_, WM_KEYDOWN, VK_UP, 0); }, b, TVC_BYKEYBOARD},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    HTREEITEM before = Next(TVGN_CARET);
    notices_.clear();
    k.act();
    EXPECT_EQ(Next(TVGN_CARET), k.expected);
    std::vector<Notice> sel;
    for (const Notice& n : notices_)
      if (n.code == TVN_SELCHANGINGW || n.code == TVN_SELCHANGEDW) sel.push_back(n);
    ASSERT_EQ(sel.size(), 2u);
    EXPECT_EQ(sel[0].code, TVN_SELCHANGINGW);
    EXPECT_EQ(sel[1].code, TVN_SELCHANGEDW);
    for (const Notice& n : sel) {
      EXPECT_EQ(n.action, k.action);
      EXPECT_EQ(n.oldItem, before);
      EXPECT_EQ(n.newItem, k.expected);
    }
    EXPECT_EQ(SendMessageW(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(k.expected), TVIS_SELECTED),
              static_cast<LRESULT>(TVIS_SELECTED));
  }
  // A refused change keeps the old selection and sends no SELCHANGED.
  answer_ = [](const Notice& n) -> LRESULT { return n.code == TVN_SELCHANGINGW ? 1 : 0; };
  notices_.clear();
  EXPECT_FALSE(SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(c)));
  EXPECT_EQ(Next(TVGN_CARET), b);
  EXPECT_EQ(Codes(), std::vector<UINT>{TVN_SELCHANGINGW});
}

TEST_F(TreeViewTest, LabelEditingNotifiesAndKeepsOrDropsTheText) {
  SetWindowLongW(tree_, GWL_STYLE, GetWindowLongW(tree_, GWL_STYLE) | static_cast<LONG>(TVS_EDITLABELS));
  HTREEITEM a = Add(TVI_ROOT, TVI_LAST, u"Old name", 7);
  struct Case {
    const char* name;
    UINT key;  // VK_RETURN or VK_ESCAPE
    LRESULT accept;
    bool textNull;
    const char16_t* result;
  };
  const Case cases[] = {
      {"accepted", VK_RETURN, TRUE, false, u"New name"},
      {"refused by the parent", VK_RETURN, FALSE, false, u"New name"},
      {"cancelled", VK_ESCAPE, TRUE, true, u"New name"},
  };
  // "refused" keeps the text the first case set; "cancelled" too.
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    notices_.clear();
    answer_ = [&](const Notice& n) -> LRESULT { return n.code == TVN_ENDLABELEDITW ? k.accept : 0; };
    auto edit = reinterpret_cast<HWND>(SendMessageW(tree_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(a)));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(SendMessageW(tree_, TVM_GETEDITCONTROL, 0, 0), reinterpret_cast<LRESULT>(edit));
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(AutoGetWindowText(edit), Text(a));
    SetWindowTextW(edit, k.key == VK_ESCAPE ? u"Thrown away" : (k.accept ? u"New name" : u"Not taken"));
    SendMessageW(edit, WM_KEYDOWN, k.key, 0);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(SendMessageW(tree_, TVM_GETEDITCONTROL, 0, 0), 0);
    ASSERT_EQ(Codes(), (std::vector<UINT>{TVN_BEGINLABELEDITW, TVN_ENDLABELEDITW}));
    EXPECT_EQ(notices_[1].newItem, a);
    EXPECT_EQ(notices_[1].newParam, 7);
    EXPECT_EQ(notices_[1].textNull, k.textNull);
    EXPECT_EQ(Text(a), k.result);
  }
  // The edit's own EN_* commands never reach the dialog.
  EXPECT_TRUE(TheLog().Of(WM_COMMAND, dlg_).empty());
  // The parent may refuse to start.
  answer_ = [](const Notice& n) -> LRESULT { return n.code == TVN_BEGINLABELEDITW ? 1 : 0; };
  EXPECT_EQ(SendMessageW(tree_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(a)), 0);
  answer_ = nullptr;
  // A tap on the selected item's label starts editing; losing the focus ends it, kept.
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a));
  RECT r = ItemRect(a, true);
  notices_.clear();
  AutoTapWindow(tree_, r.left + 2, r.top + 2);
  auto edit = reinterpret_cast<HWND>(SendMessageW(tree_, TVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, u"Tapped");
  answer_ = [](const Notice& n) -> LRESULT { return n.code == TVN_ENDLABELEDITW ? 1 : 0; };
  SetFocus(dlg_);
  EXPECT_EQ(Text(a), u"Tapped");
  EXPECT_EQ(SendMessageW(tree_, TVM_GETEDITCONTROL, 0, 0), 0);
  // Deleting the item being edited cancels the edit.
  edit = reinterpret_cast<HWND>(SendMessageW(tree_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(a)));
  ASSERT_NE(edit, nullptr);
  notices_.clear();
  SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(a));
  EXPECT_FALSE(IsWindow(edit));
  ASSERT_GE(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].code, TVN_ENDLABELEDITW);
  EXPECT_TRUE(notices_[0].textNull);
}

}  // namespace
