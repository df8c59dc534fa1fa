// Cards: saving with the duplicate check, finding by texts, deleting, and
// the category assignments.
#include <string>
#include <vector>

#include "engine/engine_host.h"
#include "engine/mem_handle.h"
#include "engine/user_dict_entries.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/profile_lists.h"
#include "flash_fixture.h"
#include "platform/heap.h"
#include "resources/resources.h"
#include "tests/support/utf16_print.h"

namespace {

class FlashCardTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    RegisterSorviResources();  // the pinyin tables of the key forms
    ASSERT_NE(Open(), nullptr);
  }
  CardEditRecord Custom(const char16_t* hw, const char16_t* pron, uint32_t mode = kDuplicateAllow) {
    CardEditRecord r{};
    r.scorefile = -1;
    r.language = kCardLanguageChinese;
    r.headword = reinterpret_cast<const WCHAR*>(hw);
    r.pronunciation = reinterpret_cast<const WCHAR*>(pron);
    r.duplicateMode = mode;
    return r;
  }
  std::string Card(int32_t id, const std::string& column) {
    return Query(kDefaultKvb, "SELECT " + column + " FROM sorvi_flash_cards WHERE id = " + std::to_string(id));
  }
  std::string CategoriesOf(int32_t card) {
    return Query(kDefaultKvb,
                 "SELECT ifnull(group_concat(cat, ','), '') FROM (SELECT cat FROM "
                 "sorvi_flash_categoryassigns WHERE card = " +
                     std::to_string(card) + " ORDER BY cat)");
  }
  int32_t Category(const char16_t* name, int32_t parent = kCategoryRoot) {
    return CreateCategory(store, reinterpret_cast<const WCHAR*>(name), kCategoryNone, parent, kCategoryNone);
  }
};

TEST_F(FlashCardTest, SavesACustomChineseCardInKeyForm) {
  CardEditRecord r = Custom(u"你好", u"ni3 hao3");
  const int32_t id = SaveCard(store, &r, -1);
  ASSERT_GT(id, 0);
  EXPECT_EQ(Card(id, "hw"), "你@好");
  // The engine's own pronunciation key of the typed text.
  MemHandle* key = MakePronunciationKey(engine, reinterpret_cast<const WCHAR*>(u"ni3 hao3"), kCardLanguageChinese);
  ASSERT_NE(key, nullptr);
  const std::u16string expected(reinterpret_cast<const char16_t*>(key->data));
  FreeMemHandle(key);
  EXPECT_EQ(Card(id, "pron"), Utf8Of(expected));
  EXPECT_NE(Card(id, "pron").find("ni3"), std::string::npos);
  EXPECT_EQ(Card(id, "wordlength"), "2");
  EXPECT_EQ(Card(id, "lang"), "4096");
  EXPECT_EQ(Card(id, "althw"), "<null>");
  EXPECT_EQ(Card(id, "dictcreator || ',' || dictid || ',' || dictentry"), "-1,-1,-1");
  EXPECT_EQ(Card(id, "created"), Card(id, "modified"));
  EXPECT_EQ(Card(id, "created"), "1796904000");  // the test clock
  EXPECT_EQ(r.usedExisting, 0u);
}

TEST_F(FlashCardTest, RefusesACardWithoutTexts) {
  CardEditRecord r = Custom(u"", nullptr);
  EXPECT_EQ(SaveCard(store, &r, -1), -1);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sorvi_flash_cards"), "0");
  CardEditRecord fine = Custom(u"好", nullptr);
  EXPECT_EQ(SaveCard(nullptr, &fine, -1), -1);
}

TEST_F(FlashCardTest, DuplicateModesDecideWhatASecondSaveDoes) {
  const int32_t cat = Category(u"Lesson");
  ASSERT_GT(cat, 0);
  struct Case {
    uint32_t mode;
    bool sameCard;      // the first card's id comes back
    bool found;         // "duplicate found"
    const char* filed;  // categories of the first card afterwards
  } cases[] = {
      {kDuplicateSkip, true, true, ""},     // skip: nothing filed anywhere
      {kDuplicateMerge, true, true, "C"},   // merge: the categories go to the first card
      {kDuplicateAllow, false, false, ""},  // allow: a second card
  };
  for (const Case& c : cases) {
    OnStore("DELETE FROM sorvi_flash_cards; DELETE FROM sorvi_flash_categoryassigns;");
    CardEditRecord first = Custom(u"你好", u"ni3 hao3", kDuplicateAllow);
    const int32_t a = SaveCard(store, &first, -1);
    ASSERT_GT(a, 0);
    CardEditRecord again = Custom(u"你好", u"ni3hao3", c.mode);
    again.categories = &cat;
    again.categoryCount = 1;
    const int32_t b = SaveCard(store, &again, -1);
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(b == a, c.sameCard);
    EXPECT_EQ(again.usedExisting, c.found ? 1u : 0u);
    const std::string expected = c.filed[0] ? std::to_string(cat) : "";
    EXPECT_EQ(CategoriesOf(a), expected);
    if (!c.sameCard) {
      EXPECT_EQ(CategoriesOf(b), std::to_string(cat));
    }
  }
}

TEST_F(FlashCardTest, ScoreRowsOnlyForNewCards) {
  ASSERT_GT(CreateScorefile(store, u"Second", -1), 0);
  CardEditRecord r = Custom(u"书", u"shu1");
  r.scorefile = -2;
  r.initialScore = 70;
  r.initialDifficulty = 40;
  const int32_t id = SaveCard(store, &r, -1);
  ASSERT_GT(id, 0);
  for (int32_t i = 0; i < GetScorefileCount(store); ++i) {
    const std::string table = "sorvi_flash_scores_" + std::to_string(GetScorefileIdByIndex(store, i));
    EXPECT_EQ(Query(kDefaultKvb, "SELECT score || ',' || difficulty FROM " + table), "70,40") << table;
  }
  // An update never writes score rows, even with a scorefile named.
  OnStore("DELETE FROM sorvi_flash_scores_1");
  CardEditRecord update = Custom(u"书本", u"shu1 ben3");
  update.scorefile = 1;
  EXPECT_EQ(SaveCard(store, &update, id), id);
  EXPECT_EQ(Card(id, "hw"), "书@本");
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sorvi_flash_scores_1"), "0");

  // Deleting removes the card from every score table.
  EXPECT_EQ(DeleteCard(store, id), 0);
  EXPECT_EQ(Card(id, "id"), "<none>");
  for (int32_t i = 0; i < GetScorefileCount(store); ++i)
    EXPECT_EQ(Query(kDefaultKvb,
                    "SELECT count(*) FROM sorvi_flash_scores_" + std::to_string(GetScorefileIdByIndex(store, i))),
              "0");
}

TEST_F(FlashCardTest, DeleteCardReportsAFailureAndKeepsEverything) {
  const int32_t cat = Category(u"Kept");
  CardEditRecord r = Custom(u"书", u"shu1");
  r.scorefile = 1;
  r.categories = &cat;
  r.categoryCount = 1;
  const int32_t id = SaveCard(store, &r, -1);
  ASSERT_GT(id, 0);
  OnStore("CREATE TRIGGER no_delete BEFORE DELETE ON sorvi_flash_cards BEGIN SELECT RAISE(ABORT, 'no'); END");
  EXPECT_NE(DeleteCard(store, id), 0);
  EXPECT_EQ(CategoriesOf(id), std::to_string(cat));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sorvi_flash_scores_1"), "1");
}

TEST_F(FlashCardTest, FindCardsByTextsMatchesItsConditionShapes) {
  // Stored: 1 hw only; 2 hw + different althw; 3 pron only.
  OnStore(
      "INSERT INTO sorvi_flash_cards (id, hw, althw, pron) VALUES (1, 'a@b', NULL, 'ni3@hao3'),"
      "(2, 'c@d', 'e@f', NULL), (3, NULL, NULL, 'ma1'), (4, 'a@b', NULL, 'ni3@hao3')");
  auto find = [&](const char16_t* hw, const char16_t* alt, const char16_t* pron, int32_t card = -1) {
    return FindCardsByTexts(store, reinterpret_cast<const WCHAR*>(hw), reinterpret_cast<const WCHAR*>(alt),
                            reinterpret_cast<const WCHAR*>(pron), card, 0, nullptr, nullptr);
  };
  EXPECT_EQ(find(u"a@b", nullptr, nullptr), 1);      // hw alone
  EXPECT_EQ(find(u"a@b", u"a@b", nullptr), 1);       // equal althw matches a NULL one
  EXPECT_EQ(find(u"c@d", u"e@f", nullptr), 2);       // both given
  EXPECT_EQ(find(u"c@d", u"x", nullptr), -1);        // althw differs
  EXPECT_EQ(find(nullptr, u"e@f", nullptr), -1);     // althw alone needs hw equal or NULL
  EXPECT_EQ(find(nullptr, nullptr, u"ma1"), 3);      // pron alone
  EXPECT_EQ(find(u"a@b", nullptr, u"ni3hao3"), 1);   // pron compared normalised
  EXPECT_EQ(find(u"a@b", nullptr, u"ni3hao2"), -1);  // a different tone
  EXPECT_EQ(find(u"a@b", nullptr, nullptr, 4), 4);   // the given card is preferred
  int32_t ids[4] = {};
  uint32_t n = 4;
  EXPECT_EQ(
      FindCardsByTexts(store, reinterpret_cast<const WCHAR*>(u"a@b"), nullptr, nullptr, 1, kFindSkipGivenCard, ids, &n),
      4);
  EXPECT_EQ(n, 1u);
}

TEST_F(FlashCardTest, UpdateCardCategoriesMakesTheListEqual) {
  int32_t c[10] = {};
  for (int i = 0; i < 10; ++i) c[i] = Category((u"c" + std::u16string(1, static_cast<char16_t>(u'0' + i))).c_str());
  CardEditRecord r = Custom(u"书", u"shu1");
  const int32_t card = SaveCard(store, &r, -1);
  const int32_t old[3] = {c[2], c[5], c[9]};
  for (int32_t id : old) ASSERT_GT(AssignCard(store, card, id), 0);
  const int32_t keep =
      std::stoi(Query(kDefaultKvb, "SELECT id FROM sorvi_flash_categoryassigns WHERE cat = " + std::to_string(c[5])));
  const int32_t now[2] = {c[5], c[7]};
  EXPECT_EQ(UpdateCardCategories(store, card, old, 3, now, 2), 0);
  EXPECT_EQ(CategoriesOf(card), std::to_string(c[5]) + "," + std::to_string(c[7]));
  EXPECT_EQ(Query(kDefaultKvb, "SELECT id FROM sorvi_flash_categoryassigns WHERE cat = " + std::to_string(c[5])),
            std::to_string(keep));
  // A second assignment to the same category is refused.
  EXPECT_EQ(AssignCard(store, card, c[7]), -1);
}

TEST_F(FlashCardTest, TheHostTableReachesTheRealStore) {
  CardEditRecord r = Custom(u"书", u"shu1");
  const int32_t id = HostSaveCard(engine, &r, -1);
  EXPECT_GT(id, 0);
  EXPECT_EQ(Card(id, "hw"), "书");
  const int32_t cat = Category(u"Lesson 1");
  WCHAR name[8];
  uint32_t length = 8;
  EXPECT_EQ(HostGetCategoryDisplayName(engine, cat, name, &length), 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name)), u"Lesson ");
  EXPECT_EQ(length, 7u);
  // Without a store every card call fails.
  Open({}, nullptr, true);
  CardEditRecord again = Custom(u"书", u"shu1");
  EXPECT_EQ(HostSaveCard(engine, &again, -1), -1);
}

}  // namespace
