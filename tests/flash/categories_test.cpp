#include <cstring>
// Categories: the naming, depth and loop rules, the array order, deleting,
// merging and splitting with their transactions, paths and tree rows.
#include <string>
#include <vector>

#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/profile_settings.h"
#include "flash_fixture.h"
#include "platform/heap.h"
#include "tests/support/utf16_print.h"

namespace {

const WCHAR* W(const char16_t* s) { return reinterpret_cast<const WCHAR*>(s); }

class CategoryTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    ASSERT_NE(Open(), nullptr);
  }
  int32_t Make(const char16_t* name, int32_t parent = kCategoryRoot) {
    return CreateCategory(store, W(name), kCategoryNone, parent, kCategoryNone);
  }
  int32_t NewCard(int n) {
    const std::u16string hw = u"w" + std::u16string(1, static_cast<char16_t>(u'a' + n % 26)) +
                              std::u16string(1, static_cast<char16_t>(u'a' + n / 26));
    CardEditRecord r{};
    r.scorefile = -1;
    r.headword = W(hw.c_str());
    r.duplicateMode = kDuplicateAllow;
    return SaveCard(store, &r, -1);
  }
  std::string Count(const std::string& sql) { return Query(kDefaultKvb, "SELECT count(*) FROM " + sql); }
  std::u16string Name(int32_t id) {
    WCHAR buffer[kCategoryNameMax];
    uint32_t length = kCategoryNameMax;
    if (GetCategoryDisplayName(store, id, buffer, &length) != 0) return u"?";
    return buffer;
  }
};

TEST_F(CategoryTest, NameDepthAndLoopRules) {
  const int32_t top = Make(u"abc");
  const int32_t mid = Make(u"Mid", top);
  const int32_t low = Make(u"Low", mid);
  ASSERT_GT(top, 0);
  ASSERT_GT(mid, 0);
  ASSERT_GT(low, 0);
  struct Case {
    const char16_t* name;
    int32_t parent;
    bool allowed;
    int32_t refusal;
  } cases[] = {
      {u"All", kCategoryRoot, false, kCategoryNameInvalid},            // reserved under the root
      {u"Uncategorized", kCategoryRoot, false, kCategoryNameInvalid},  // reserved under the root
      {u"All", top, true, 0},                                          // allowed below it
      {u"Uncategorized", mid, true, 0},
      {u"a/b", kCategoryRoot, false, kCategoryNameInvalid},  // "/" nowhere
      {u"a/b", top, false, kCategoryNameInvalid},
      {u"a_c", kCategoryRoot, false, kCategoryNameInvalid},  // "_" matches any character of "abc"
      {u"Deep", low, false, kCategoryRuleBroken},            // a level-2 category has no children
  };
  for (const Case& c : cases) {
    const int32_t id = Make(c.name, c.parent);
    SCOPED_TRACE(Utf8Of(c.name));
    if (c.allowed) EXPECT_GT(id, 0);
    else
      EXPECT_EQ(id, c.refusal);
  }
  // Moves: a category with grandchildren goes under no category; nothing
  // goes under its own child.
  const int32_t other = Make(u"Other");
  EXPECT_EQ(ReparentCategory(store, top, other), 9);
  EXPECT_EQ(ReparentCategory(store, mid, low), 9);
  EXPECT_EQ(ReparentCategory(store, other, top), 0);
  EXPECT_EQ(GetCategoryDepth(store, other), 1);
  EXPECT_EQ(GetCategoryDepth(store, low), 2);
  EXPECT_EQ(RenameCategory(store, other, u"Mid"), 10);
}

TEST_F(CategoryTest, UpDownSwapsSortValuesAndClosingWritesThem) {
  const int32_t a = Make(u"A");
  const int32_t b = Make(u"B");
  EXPECT_EQ(GetChildCategory(store, kCategoryRoot, 0), a);
  EXPECT_EQ(MoveCategoryUpDown(store, a, 1), 1);  // nothing above
  EXPECT_EQ(MoveCategoryUpDown(store, b, 1), 0);
  EXPECT_EQ(GetChildCategory(store, kCategoryRoot, 0), b);
  EXPECT_EQ(GetCategoryRecord(store, b)->sort, 1);
  EXPECT_EQ(GetCategoryRecord(store, a)->sort, 2);
  EXPECT_EQ(RenameCategory(store, a, u"Renamed"), 0);
  // Memory only until the store closes.
  EXPECT_EQ(Query(kDefaultKvb, "SELECT name FROM sorvi_flash_categories WHERE id = " + std::to_string(a)), "A");
  Destroy();
  EXPECT_EQ(Query(kDefaultKvb, "SELECT name || sort FROM sorvi_flash_categories WHERE id = " + std::to_string(a)),
            "Renamed2");
  EXPECT_EQ(Query(kDefaultKvb, "SELECT sort FROM sorvi_flash_categories WHERE id = " + std::to_string(b)), "1");
}

TEST_F(CategoryTest, DisplayNamesPathsAndTreeRows) {
  const int32_t top = Make(u"Top");
  const int32_t mid = Make(u"a/b", top);  // refused: "/" in a name
  EXPECT_EQ(mid, kCategoryNameInvalid);
  const int32_t child = Make(u"Child", top);
  const int32_t second = Make(u"Second");
  OnStore("UPDATE sorvi_flash_categories SET name = 'x/y' WHERE id = " + std::to_string(child));
  UnloadCategories(store);
  WCHAR path[64];
  ASSERT_EQ(GetCategoryPath(store, child, path, 64), 0);
  EXPECT_EQ(std::u16string(path), u"Top/x\\y");

  EXPECT_EQ(Name(kCategoryNone), u"None");
  EXPECT_EQ(Name(kCategoryRoot), u"Flashcards");
  EXPECT_EQ(Name(kCategoryUncategorized), u"Uncategorized");
  WCHAR small[4] = {1, 1, 1, 1};
  uint32_t length = 4;
  EXPECT_EQ(GetCategoryDisplayName(store, kCategoryUncategorized, small, &length), 0);
  EXPECT_EQ(std::u16string(small), u"Unc");
  EXPECT_EQ(length, 3u);
  length = 4;
  EXPECT_EQ(GetCategoryDisplayName(store, 9999, small, &length), 1);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(small[0], 0);

  int32_t n = 0;
  const CategoryTreeRow* rows = GetCategoryTreeRows(store, &n, 0);
  ASSERT_EQ(n, 4);
  const int32_t expected[4][3] = {{top, -2, 0}, {child, top, 1}, {second, -2, 0}, {-3, -2, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(rows[i].id, expected[i][0]) << i;
    EXPECT_EQ(rows[i].parent, expected[i][1]) << i;
    EXPECT_EQ(rows[i].level, expected[i][2]) << i;
  }
}

TEST_F(CategoryTest, ALoopInTheFileEndsEveryWalk) {
  OnStore("INSERT INTO sorvi_flash_categories (id, name, parent, sort) VALUES (1, 'A', 2, 1), (2, 'B', 1, 1)");
  UnloadCategories(store);
  EXPECT_EQ(GetCategoryDepth(store, 1), -1);
  EXPECT_EQ(CategoryExists(store, 2), 0);
  WCHAR path[64];
  EXPECT_EQ(GetCategoryPath(store, 1, path, 64), 0);
  uint32_t count = 0;
  const int32_t one = 1;
  int32_t* all = ExpandCategoryIds(store, &one, 1, &count);
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(count, 2u);
  LocalFree(all);
}

TEST_F(CategoryTest, DeleteAndMergeRefusePseudoIdsAndKeepOneAssignment) {
  const int32_t parent = Make(u"Parent");
  const int32_t child = Make(u"Child", parent);
  const int32_t grandchild = Make(u"Grandchild", child);
  const int32_t both = NewCard(0), onlyChild = NewCard(1), deep = NewCard(2);
  ASSERT_GT(AssignCard(store, both, parent), 0);
  ASSERT_GT(AssignCard(store, both, child), 0);
  ASSERT_GT(AssignCard(store, onlyChild, child), 0);
  ASSERT_GT(AssignCard(store, deep, grandchild), 0);
  for (int32_t pseudo : {-1, -2, -3, -4, -5}) {
    EXPECT_EQ(DeleteCategory(store, pseudo), 1) << pseudo;
    EXPECT_EQ(MergeSubcategories(store, pseudo), 1) << pseudo;
  }
  EXPECT_EQ(Count("sorvi_flash_categories"), "3");
  EXPECT_EQ(MergeSubcategories(store, parent), 0);
  EXPECT_EQ(Count("sorvi_flash_categories"), "1");
  EXPECT_EQ(GetCategoryCount(store), 1);
  EXPECT_EQ(Count("sorvi_flash_categoryassigns WHERE card = " + std::to_string(both)), "1");
  EXPECT_EQ(Count("sorvi_flash_categoryassigns WHERE cat = " + std::to_string(parent)), "3");
  // A failing delete leaves file and memory as they were.
  OnStore("CREATE TRIGGER no_delete BEFORE DELETE ON sorvi_flash_categories BEGIN SELECT RAISE(ABORT, 'no'); END");
  EXPECT_NE(DeleteCategory(store, parent), 0);
  EXPECT_EQ(Count("sorvi_flash_categoryassigns"), "3");
  EXPECT_EQ(GetCategoryCount(store), 1);
  OnStore("DROP TRIGGER no_delete");
  EXPECT_EQ(DeleteCategory(store, parent), 0);
  EXPECT_EQ(Count("sorvi_flash_categoryassigns"), "0");
  EXPECT_EQ(GetCategoryCount(store), 0);
}

TEST_F(CategoryTest, SplitDealsCardsInTurn) {
  const int32_t cat = Make(u"Big");
  std::vector<int32_t> cards;
  for (int i = 0; i < 10; ++i) {
    cards.push_back(NewCard(i));
    ASSERT_GT(AssignCard(store, cards.back(), cat), 0);
  }
  int32_t* parts = SplitCategory(store, cat, 3);
  ASSERT_NE(parts, nullptr);
  const int sizes[4] = {3, 3, 2, 2};
  for (int k = 0; k < 4; ++k) {
    ASSERT_GT(parts[k], 0);
    EXPECT_EQ(Name(parts[k]), u"Part " + std::u16string(1, static_cast<char16_t>(u'1' + k)));
    EXPECT_EQ(GetCategoryParent(store, parts[k]), cat);
    EXPECT_EQ(CountCategoryCards(store, parts[k]), sizes[k]);
    // Dealt in turn: card i goes to part i mod 4.
    EXPECT_EQ(Count("sorvi_flash_categoryassigns WHERE card = " + std::to_string(cards[k]) +
                    " AND cat = " + std::to_string(parts[k])),
              "1");
  }
  EXPECT_EQ(parts[4], 0);
  LocalFree(parts);
  EXPECT_EQ(CountCategoryCards(store, cat), 0);

  const int32_t small = Make(u"Small");
  for (int i = 10; i < 13; ++i) AssignCard(store, NewCard(i), small);
  EXPECT_EQ(SplitCategory(store, small, 3), nullptr);
  EXPECT_EQ(SplitCategory(store, small, 1), nullptr);
}

TEST_F(CategoryTest, AFailedSplitLeavesFileAndArrayAsBefore) {
  const int32_t cat = Make(u"Big");
  for (int i = 0; i < 10; ++i) ASSERT_GT(AssignCard(store, NewCard(i), cat), 0);
  // Dealing fails at the fifth card, after every part was made.
  OnStore(
      "CREATE TABLE moved (n INTEGER); CREATE TRIGGER fail_deal BEFORE UPDATE ON sorvi_flash_categoryassigns "
      "BEGIN INSERT INTO moved VALUES (1); SELECT RAISE(ABORT, 'no') WHERE (SELECT count(*) FROM moved) > 4; "
      "END");
  EXPECT_EQ(SplitCategory(store, cat, 3), nullptr);
  EXPECT_EQ(Count("sorvi_flash_categories"), "1");
  EXPECT_EQ(GetCategoryCount(store), 1);
  EXPECT_EQ(CountCategoryCards(store, cat), 10);
  int32_t n = 0;
  GetCategoryTreeRows(store, &n, 0);
  EXPECT_EQ(n, 2);
  // A new category takes an id the file hands out, not a phantom's.
  const int32_t next = Make(u"Next");
  EXPECT_GT(next, 0);
  EXPECT_EQ(GetCategoryCount(store), 2);
}

}  // namespace

namespace {

TEST_F(CategoryTest, ChoiceListsByModeAndPreference) {
  const int32_t a = Make(u"A");
  const int32_t a1 = Make(u"A1", a);
  const int32_t b = Make(u"B");
  const int32_t card = NewCard(0);
  const int32_t filed = NewCard(1);
  ASSERT_GT(AssignCard(store, filed, a1), 0);
  struct Case {
    int32_t mode;
    int32_t card;
    std::vector<int32_t> all;  // preference 205 off: the tree
    std::vector<int32_t> top;  // on: the top level
  } cases[] = {
      {2, card, {-2, a, a1, b}, {-2, a, b}},
      {3, card, {a, a1, b, -2}, {a, b, -2}},
      {4, card, {-3, a, a1, b}, {-3, a, b}},
      {5, card, {a, a1, b, -3}, {a, b, -3}},
      {6, card, {-5, a, a1, b}, {-5, a, b}},  // no categories yet
      {6, filed, {-4, a1, -5, a, b}, {-4, a1, -5, a, b}},
      {7, card, {-1, a, a1, b}, {-1, a, b}},
      {1, card, {a, a1, b}, {a, b}},
  };
  for (int top = 0; top < 2; ++top) {
    SetPref(engine, kPrefTopCategoriesOnly, top);
    for (const Case& c : cases) {
      int32_t n = 0;
      int32_t* ids = nullptr;
      ASSERT_EQ(ListCategoryChoices(store, c.mode, c.card, &n, &ids), 0);
      EXPECT_EQ(std::vector<int32_t>(ids, ids + n), top ? c.top : c.all) << "mode " << c.mode << " top " << top;
      LocalFree(ids);
    }
  }
}

TEST_F(CategoryTest, ProfileCategorySettingFollowsDeletion) {
  const int32_t first = Make(u"First");
  const int32_t gone = Make(u"Gone");
  ProfileSettingValue v{};
  v.value = gone;
  ASSERT_EQ(SetProfileSetting(store, kSetButtonWhichCat, &v), 0);
  EXPECT_EQ(ResetProfileCategorySetting(store, kSetButtonWhichCat), 1);
  ASSERT_EQ(DeleteCategory(store, gone), 0);
  EXPECT_EQ(ResetProfileCategorySetting(store, kSetButtonWhichCat), 0);
  ProfileSettingValue now{};
  ASSERT_EQ(GetProfileSetting(store, kSetButtonWhichCat, &now), 0);
  EXPECT_EQ(now.value, first);
}

TEST_F(CategoryTest, MoveNextToATargetRenumbersTheSiblings) {
  const int32_t a = Make(u"A"), b = Make(u"B"), c = Make(u"C");
  EXPECT_EQ(MoveCategory(store, c, a, 1), 0);
  EXPECT_EQ(GetChildCategory(store, kCategoryRoot, 0), c);
  EXPECT_EQ(GetChildCategory(store, kCategoryRoot, 1), a);
  EXPECT_EQ(GetChildCategory(store, kCategoryRoot, 2), b);
  EXPECT_LT(GetCategoryRecord(store, c)->sort, GetCategoryRecord(store, a)->sort);
  EXPECT_LT(GetCategoryRecord(store, a)->sort, GetCategoryRecord(store, b)->sort);
  const int32_t child = Make(u"Child", a);
  EXPECT_EQ(MoveCategoryAfter(store, a, child), 9);  // under its own child
}

TEST_F(CategoryTest, PaneAssignmentAndToggle) {
  const int32_t cat = Make(u"Pane");
  const int32_t card = NewCard(0);
  ChunkedArray* pane = CreateChunkedArray(2, 128, 512, 0);
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(AssignCardToCategory(store, card, cat, pane), 0);
  EXPECT_EQ(IsCardInCategory(store, card, cat), 1);
  EXPECT_EQ(IsCardInCategory(store, card, kCategoryUncategorized), 0);
  EXPECT_EQ(GetChunkedArrayItem(pane, 0), card);
  EXPECT_EQ(std::to_string(GetChunkedArrayWeight(pane, 0)),
            Query(kDefaultKvb, "SELECT id FROM sorvi_flash_categoryassigns WHERE card = " + std::to_string(card)));
  EXPECT_EQ(AssignCardToCategory(store, card, kCategoryUncategorized, pane), 0);
  EXPECT_EQ(IsCardInCategory(store, card, kCategoryUncategorized), 1);
  EXPECT_EQ(ToggleCardCategory(store, card, cat), 0);
  EXPECT_EQ(IsCardInCategory(store, card, cat), 1);
  EXPECT_EQ(ToggleCardCategory(store, card, cat), 0);
  EXPECT_EQ(IsCardInCategory(store, card, cat), 0);
  FreeChunkedArray(pane);
}

TEST_F(CategoryTest, ListLabelsIndentByLevelAndNamePseudoIds) {
  const int32_t top = Make(u"Top");
  const int32_t mid = Make(u"Mid", top);
  const int32_t low = Make(u"Low", mid);
  struct Case {
    int32_t id;
    uint32_t length;
    const char16_t* label;  // null: refused
  } cases[] = {
      {kCategoryNone, 40, u"None"},
      {kCategoryRoot, 40, u"All"},  // the root's list label, not its display name
      {kCategoryUncategorized, 40, u"Uncategorized"},
      {kCategoryCurrentHeader, 40, u"Current Cats:"},
      {kCategoryAvailableHeader, 40, u"Avail Cats:"},
      {top, 40, u"Top"},
      {mid, 40, u" Mid"},
      {low, 40, u"  Low"},
      {low, 4, u"  L"},  // cut to the buffer, terminated
      {999, 40, nullptr},
      {-6, 40, nullptr},
  };
  for (const Case& c : cases) {
    WCHAR buffer[40];
    buffer[0] = u'x';
    const int rc = FormatCategoryListLabel(store, c.id, buffer, c.length);
    EXPECT_EQ(rc, c.label ? 0 : 1) << c.id;
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer)), c.label ? c.label : u"") << c.id;
  }
}

TEST_F(CategoryTest, WriteCategoryStoresTheRecord) {
  const int32_t a = Make(u"Alpha");
  const int32_t b = Make(u"Beta");
  FlashCategoryRecord r = *GetCategoryRecord(store, a);
  std::memcpy(r.name, u"Gamma", sizeof(u"Gamma"));
  r.parent = b;
  r.sort = 7;
  r.hidden = 1;
  ASSERT_EQ(WriteCategory(store, &r), 0);
  EXPECT_EQ(Query(kDefaultKvb,
                  "SELECT name || ',' || parent || ',' || sort || ',' || hidden FROM "
                  "sorvi_flash_categories WHERE id = " +
                      std::to_string(a)),
            "Gamma," + std::to_string(b) + ",7,1");
}

TEST_F(CategoryTest, CreatingAfterASiblingPlacesTheNewCategoryBehindIt) {
  const int32_t a = Make(u"A");
  const int32_t b = Make(u"B");
  const int32_t c = Make(u"C");
  // Parent -1 takes the parent of "after"; the new one sits between A and B.
  const int32_t n = CreateCategory(store, W(u"N"), kCategoryNone, kCategoryNone, a);
  ASSERT_GT(n, 0);
  std::vector<int32_t> order;
  for (int32_t k = 0; GetChildCategory(store, kCategoryRoot, k) != -1; ++k)
    order.push_back(GetChildCategory(store, kCategoryRoot, k));
  EXPECT_EQ(order, (std::vector<int32_t>{a, n, b, c}));
  // The order survives a reload from the file.
  ASSERT_EQ(FlushDirtyCategories(store, 1), 0);
  ASSERT_EQ(LoadCategories(store), 0);
  order.clear();
  for (int32_t k = 0; GetChildCategory(store, kCategoryRoot, k) != -1; ++k)
    order.push_back(GetChildCategory(store, kCategoryRoot, k));
  EXPECT_EQ(order, (std::vector<int32_t>{a, n, b, c}));
  // An "after" under another parent does not move the new category.
  const int32_t child = Make(u"Child", a);
  const int32_t m = CreateCategory(store, W(u"M"), kCategoryNone, kCategoryRoot, child);
  ASSERT_GT(m, 0);
  EXPECT_EQ(GetChildCategory(store, kCategoryRoot, 4), m);
}

}  // namespace
