// The dictionary order lists and selections over writer-built dictionaries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "tests/engine_data/dict_fixture.h"

using namespace dictfix;

namespace {

constexpr uint32_t kCreator = 0x53525653;

DictInfo Dict(uint32_t id, uint32_t language = kLanguageChinese, uint32_t trans = kLanguageEnglish,
              uint32_t flags = 0) {
  DictInfo d;
  d.id = id;
  d.language = language;
  d.transLanguage = trans;
  d.flags = flags;
  d.menuName = u"Dict " + std::u16string(1, static_cast<char16_t>(u'A' + id % 26));
  d.icon = u"D" + std::u16string(1, static_cast<char16_t>(u'0' + id % 10));
  return d;
}

// Ids of a list, in order.
std::vector<uint32_t> ListIds(DictEngine* e, uint32_t list) {
  std::vector<uint32_t> ids;
  DictOrderList* l = e->orderLists[list];
  for (uint16_t i = 0; i < l->count; ++i) ids.push_back(l->items[i].saved.dictId);
  return ids;
}

// A "Dicts" record of the given (id, language, options) parts.
MemHandle* SavedRecord(const std::vector<std::tuple<uint32_t, uint32_t, uint32_t>>& parts, uint32_t extra = 0) {
  MemHandle* h = NewMemHandle(static_cast<uint32_t>(parts.size()) * kDictOrderPartSize + extra);
  auto* p = static_cast<uint8_t*>(LockMemHandle(h));
  for (const auto& [id, language, options] : parts) {
    DictOrderSaved s{};
    s.creator = kCreator;
    s.dictId = id;
    s.language = language;
    s.savedPosition = static_cast<int32_t>(id * 10);
    s.savedEntry = static_cast<int32_t>(id * 100);
    s.options = options;
    std::memcpy(s.iconText, u"SAV", 6);
    s.iconTextColor = 0x123456;
    EncodeDictOrderSaved(&s, p);
    p += kDictOrderPartSize;
  }
  UnlockMemHandle(h);
  return h;
}

class DictOrder : public ::testing::Test {
 protected:
  void TearDown() override {
    if (engine_) DestroyAndFree(engine_);
  }
  DictEngine* Create(MemHandle* dicts = nullptr) {
    EngineParams p = QuietParams();
    p.dictsRecord = dicts;
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }
  // Destroys the engine and returns its "Dicts" record.
  MemHandle* Destroy() {
    MemHandle* dicts = nullptr;
    DestroyAndFree(engine_, nullptr, &dicts);
    engine_ = nullptr;
    return dicts;
  }
  DataFiles files_;
  DictEngine* engine_ = nullptr;
};

TEST_F(DictOrder, WithoutARecordEachListIsInComparisonOrder) {
  files_.AddDict(Dict(1, kLanguageChinese, kLanguageChinese), 50);        // same languages: after mixed ones
  files_.AddDict(Dict(2, kLanguageChinese, kLanguageEnglish, kDictFlagCharDict), 90);  // character dictionary: last
  files_.AddDict(Dict(3), 10);
  files_.AddDict(Dict(4, kLanguageChinese, kLanguageEnglish, kDictFlagSortLast), 80);
  files_.AddDict(Dict(5), 30);                                             // more entries: before 3
  files_.AddDict(Dict(6, kLanguageChinese, kLanguageEnglish, kDictFlagNoOrderList), 99);  // in no list
  files_.AddDict(Dict(7, 5, kLanguageEnglish), 5);                         // language of no list
  files_.AddDict(Dict(8, kLanguageEnglish, kLanguageChinese), 4);
  files_.AddDict(Dict(9, kLanguageEnglish, kLanguageChinese), 6);
  DictEngine* e = Create();
  ASSERT_EQ(GetDictListCount(e), 2);
  EXPECT_EQ(GetDictListLanguage(e, 0), kLanguageChinese);
  EXPECT_EQ(GetDictListLanguage(e, 1), kLanguageEnglish);
  EXPECT_EQ(GetDictListLanguage(e, 2), 65534);
  EXPECT_EQ(GetDictListLength(e, 2), 1);
  EXPECT_EQ(ListIds(e, 0), (std::vector<uint32_t>{5, 3, 4, 1, 2}));
  EXPECT_EQ(ListIds(e, 1), (std::vector<uint32_t>{9, 8}));

  // A new dictionary's saved part comes from its header.
  const DictOrderRecord& first = e->orderLists[0]->items[0];
  EXPECT_EQ(first.slot, 4u);
  EXPECT_EQ(first.saved.savedPosition, -1);
  EXPECT_EQ(first.saved.savedEntry, -1);
  EXPECT_EQ(first.saved.options, kDictOptionMenu | kDictOptionSearch | kDictOptionReader | kDictOptionToolbar);
  EXPECT_EQ(std::u16string(first.saved.iconText), u"D5");
  EXPECT_EQ(std::u16string(first.saved.name), u"Dict F");
  const DictOrderRecord& chars = e->orderLists[0]->items[4];
  EXPECT_EQ(chars.saved.options, kDictOptionMenu | kDictOptionSearch | kDictOptionReader | kDictOptionFallback);
}

TEST_F(DictOrder, SavedOrderKeptAndDictionariesAddedOrDropped) {
  files_.AddDict(Dict(1), 10);
  files_.AddDict(Dict(2), 20);
  files_.AddDict(Dict(3), 30);  // new: appended
  files_.AddDict(Dict(4), 40);  // new: appended before 3 (more entries)
  files_.AddDict(Dict(5, kLanguageEnglish, kLanguageChinese), 5);
  MemHandle* saved = SavedRecord({
      {2, kLanguageChinese, 0x1 | 0xF000},  // the load clears bits 12-15
      {99, kLanguageChinese, 0x1},          // no longer installed
      {1, kLanguageChinese, 0x4},
      {2, kLanguageChinese, 0x8},           // a second record of dictionary 2
      {5, 7, 0x1},                          // a language of no list
  });
  DictEngine* e = Create(saved);
  FreeMemHandle(saved);
  EXPECT_EQ(ListIds(e, 0), (std::vector<uint32_t>{2, 1, 4, 3}));
  EXPECT_EQ(ListIds(e, 1), (std::vector<uint32_t>{5}));  // as new, with defaults
  const DictOrderSaved& kept = e->orderLists[0]->items[0].saved;
  EXPECT_EQ(kept.options, 0x1u);
  EXPECT_EQ(kept.savedPosition, 20);
  EXPECT_EQ(kept.savedEntry, 200);
  EXPECT_EQ(std::u16string(kept.iconText), u"SAV");
  EXPECT_EQ(e->orderLists[1]->items[0].saved.savedPosition, -1);

  // The next record no longer holds the dropped ones.
  MemHandle* next = Destroy();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(GetMemHandleSize(next), 5 * kDictOrderPartSize);
  FreeMemHandle(next);
}

TEST_F(DictOrder, ARecordTailShorterThanAPartIsIgnored) {
  files_.AddDict(Dict(1), 10);
  files_.AddDict(Dict(2), 20);
  MemHandle* saved = SavedRecord({{1, kLanguageChinese, 0x1}, {2, kLanguageChinese, 0x1}}, 34);  // 250 bytes
  DictEngine* e = Create(saved);
  FreeMemHandle(saved);
  EXPECT_EQ(ListIds(e, 0), (std::vector<uint32_t>{1, 2}));
}

TEST_F(DictOrder, SaveAndReloadKeepsTheUsersOrderAndItems) {
  for (uint32_t id = 1; id <= 4; ++id) files_.AddDict(Dict(id), 10 * id);
  DictEngine* e = Create();
  ASSERT_EQ(ListIds(e, 0), (std::vector<uint32_t>{4, 3, 2, 1}));
  EXPECT_EQ(MoveDictListItemDown(e, 0, 0), 0);
  EXPECT_EQ(MoveDictListItemDown(e, 0, 3), 1);  // the last one
  EXPECT_EQ(MoveDictListItemDown(e, 0, 9), 1);
  DictListItemView view{};
  std::memcpy(view.iconText, u"abc", 6);
  view.iconTextColor = 0x010203;
  view.iconFillColor = 0x040506;
  view.options = 0x1F | 0x40;  // only bits 0-4 are the user's
  ASSERT_EQ(SetDictListItem(e, 0, 1, &view), 0);
  ASSERT_EQ(ListIds(e, 0), (std::vector<uint32_t>{3, 4, 2, 1}));

  MemHandle* dicts = Destroy();
  ASSERT_NE(dicts, nullptr);
  e = Create(dicts);
  FreeMemHandle(dicts);
  EXPECT_EQ(ListIds(e, 0), (std::vector<uint32_t>{3, 4, 2, 1}));
  DictListItemView back{};
  ASSERT_EQ(GetDictListItem(e, 0, 1, &back), 0);
  EXPECT_EQ(std::u16string(back.iconText), u"ABC");
  EXPECT_EQ(back.iconTextColor, 0x010203u);
  EXPECT_EQ(back.iconFillColor, 0x040506u);
  EXPECT_EQ(back.options, 0x1Fu);
  EXPECT_EQ(std::u16string(back.name), u"Dict E");
  EXPECT_EQ(GetDictListItem(e, 0, 4, &back), 1);
  EXPECT_EQ(GetDictListItem(e, 0, 0, nullptr), 1);

  // Reset brings the header's defaults back and keeps the name.
  ASSERT_EQ(ResetDictListItem(e, 0, 1), 0);
  ASSERT_EQ(GetDictListItem(e, 0, 1, &back), 0);
  EXPECT_EQ(std::u16string(back.iconText), u"D4");
  EXPECT_EQ(back.iconTextColor, 0xFFFFFFu);
  EXPECT_EQ(back.iconFillColor, DictInfo{}.iconColor);
  EXPECT_EQ(back.options, kDictOptionMenu | kDictOptionSearch | kDictOptionReader | kDictOptionToolbar);
  EXPECT_EQ(RemoveDictListPlaceholder(e, 0, 1), 1);  // an installed dictionary stays
}

TEST_F(DictOrder, ItemTexts) {
  db::DataFileSpec desc;
  DictInfo d = Dict(1);
  d.shortName = u"Tiny";
  desc.longName = u"A tiny dictionary";
  desc.notice = u"(c) nobody";
  desc.tables.push_back(EntryTable(d, 1234));
  files_.Add(desc);
  DictEngine* e = Create();
  WCHAR buf[40];
  EXPECT_EQ(GetDictListItemText(e, 0, 0, 1, buf, 40), 0);
  EXPECT_EQ(std::u16string(buf), u"Tiny");
  EXPECT_EQ(GetDictListItemText(e, 0, 0, 3, buf, 40), 0);
  EXPECT_EQ(std::u16string(buf), u"A tiny dictionary");
  EXPECT_EQ(GetDictListItemText(e, 0, 0, 4, buf, 6), 0);
  EXPECT_EQ(std::u16string(buf), u"(c) n");
  EXPECT_EQ(GetDictListItemText(e, 0, 0, 5, buf, 40), 1);  // built-in: no creation time
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(GetDictListItemText(e, 0, 0, 6, buf, 40), 0);
  EXPECT_EQ(std::u16string(buf), u"1234");
  EXPECT_EQ(GetDictListItemText(e, 0, 0, 6, buf, 19), 1);  // too small for any count
  EXPECT_EQ(GetDictListItemText(e, 0, 1, 1, buf, 40), 1);

  // The user-dictionary questions of a built-in dictionary.
  EXPECT_EQ(GetDictListItemState(e, 0, 0), 0);
  EXPECT_EQ(GetDictListItemState(e, 0, 1), 1);
  EXPECT_EQ(IsDictListItemEditable(e, 0, 0), 0);
  EXPECT_EQ(IsDictListItemOpen(e, 0, 0), 0);
  EXPECT_EQ(IsDictListItemDict(e, 0, 0), 1);
  EXPECT_EQ(SetDictListItemText(e, 0, 0, 1, u"New"), 1);
  uint32_t creator = 5, id = 6, first = 0, last = 0, count = 0;
  EXPECT_EQ(GetDictListItemIds(e, 0, 0, &creator, &id), 1);
  EXPECT_EQ(creator, 5u);
  EXPECT_EQ(GetDictListItemImportRange(e, 0, 0, &first, &last, &count), 1);
  EXPECT_EQ(UndoDictListItemImport(e, 0, 0), 1);
  EXPECT_EQ(SetDictListItemEditLock(e, 0, 0, 1, nullptr), 1);
  EXPECT_EQ(IndexDictListItem(e, 0, 0, nullptr), 1);
  EXPECT_EQ(GetDictListItemText(e, 0, 0, 1, buf, 40), 0);
  EXPECT_EQ(std::u16string(buf), u"Tiny");
}

TEST_F(DictOrder, SavedTextsThatFillTheirFieldsAreReadTerminated) {
  files_.AddDict(Dict(1), 10);
  MemHandle* saved = SavedRecord({{1, kLanguageChinese, 0x1}});
  auto* part = static_cast<uint8_t*>(saved->data);
  for (int i = 0; i < 4; ++i) part[28 + 2 * i] = 'X';    // icon text without a terminator
  for (int i = 0; i < 32; ++i) part[44 + 2 * i] = 'N';   // so is the name
  DictEngine* e = Create(saved);
  FreeMemHandle(saved);
  const DictOrderSaved& s = e->orderLists[0]->items[0].saved;
  EXPECT_EQ(std::u16string(s.iconText), u"XXX");
  EXPECT_EQ(std::u16string(s.name), std::u16string(31, u'N'));
  DictListItemView view;
  ASSERT_EQ(GetDictListItem(e, 0, 0, &view), 0);
  EXPECT_EQ(std::u16string(view.name), std::u16string(31, u'N'));
}

class DictSelectionTest : public DictOrder {
 protected:
  void SetUp() override {
    for (uint32_t id = 1; id <= 4; ++id) files_.AddDict(Dict(id), 100 - id);  // list order 1 2 3 4
    files_.AddDict(Dict(9, kLanguageEnglish, kLanguageChinese), 5);
    Create();
    ASSERT_EQ(ListIds(engine_, 0), (std::vector<uint32_t>{1, 2, 3, 4}));
  }
  static std::vector<uint32_t> Ids(const DictIdPair* pairs, int32_t n) {
    std::vector<uint32_t> ids;
    for (int32_t i = 0; i < n; ++i) ids.push_back(pairs[i].dictId);
    return ids;
  }
  static std::vector<uint32_t> Chosen(DictSelection* s) { return Ids(s->chosen, s->chosenCount); }
  static std::vector<uint32_t> Others(DictSelection* s) { return Ids(s->others, s->otherCount); }
  static void Free(DictSelection* s) {
    int32_t n = 0;
    LocalFree(FreeDictSelection(s, &n));
  }
};

TEST_F(DictSelectionTest, ChoosesTheNamedDictionariesEachOnce) {
  DictIdPair pairs[] = {
      {kCreator, 3}, {kCreator, 0xFFFFFFFE}, {kCreator, 1}, {kCreator, 3}, {kCreator, 9}, {kCreator, 77}};
  DictSelection* s = NewDictSelection(engine_, kLanguageChinese, pairs, 6);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Chosen(s), (std::vector<uint32_t>{3, 1}));  // 9 is English, 77 is not installed
  EXPECT_EQ(Others(s), (std::vector<uint32_t>{2, 4}));
  WCHAR name[16];
  EXPECT_EQ(GetDictSelectionName(s, 0, 0, name, 16), 0);
  EXPECT_EQ(std::u16string(name), u"Dict D");
  EXPECT_EQ(GetDictSelectionName(s, 1, 2, name, 16), 1);
  int32_t n = 0;
  DictIdPair* chosen = FreeDictSelection(s, &n);
  EXPECT_EQ(Ids(chosen, n), (std::vector<uint32_t>{3, 1}));
  LocalFree(chosen);

  // Nothing valid named: every item of the list, in list order.
  DictIdPair none[] = {{kCreator, 77}, {kCreator, 9}};
  s = NewDictSelection(engine_, kLanguageChinese, none, 2);
  EXPECT_EQ(Chosen(s), (std::vector<uint32_t>{1, 2, 3, 4}));
  EXPECT_TRUE(Others(s).empty());
  Free(s);

  // No list of that language.
  s = NewDictSelection(engine_, 65535, pairs, 6);
  EXPECT_TRUE(Chosen(s).empty());
  EXPECT_TRUE(Others(s).empty());
  Free(s);
}

TEST_F(DictSelectionTest, Moves) {
  DictIdPair pairs[] = {{kCreator, 1}, {kCreator, 2}, {kCreator, 3}};
  DictSelection* s = NewDictSelection(engine_, kLanguageChinese, pairs, 3);
  ASSERT_EQ(Chosen(s), (std::vector<uint32_t>{1, 2, 3}));
  ASSERT_EQ(Others(s), (std::vector<uint32_t>{4}));
  struct Step {
    int op;
    int32_t index;
    std::vector<uint32_t> chosen, others;
    int32_t indexAfter;
  };
  const Step steps[] = {
      {0, 2, {1, 3, 2}, {4}, 1},     // up
      {0, 0, {1, 3, 2}, {4}, 0},     // the first cannot go up
      {1, 0, {3, 1, 2}, {4}, 1},     // down
      {1, 2, {3, 1, 2}, {4}, 2},     // the last cannot go down
      {2, 0, {3, 1, 2, 4}, {}, -1},  // other -> chosen; the index leaves the emptied array
      {3, 3, {3, 1, 2}, {4}, 2},     // the last chosen -> others: index on the new last
      {3, 0, {1, 2}, {4, 3}, 0},
      {2, 5, {1, 2}, {4, 3}, 5},     // out of range
      {-1, 0, {1, 2}, {4, 3}, 0},    // no such op
      {7, 0, {1, 2}, {4, 3}, 0},
  };
  for (const Step& step : steps) {
    int32_t index = step.index;
    MoveDictSelectionItem(s, step.op, &index);
    EXPECT_EQ(Chosen(s), step.chosen) << "op " << step.op << " at " << step.index;
    EXPECT_EQ(Others(s), step.others) << "op " << step.op << " at " << step.index;
    EXPECT_EQ(index, step.indexAfter) << "op " << step.op << " at " << step.index;
  }
  Free(s);
}

TEST_F(DictOrder, AddedDictionariesJoinTheLists) {
  files_.AddDict(Dict(1), 10);
  files_.AddDict(Dict(2), 20);
  DictEngine* e = Create();
  ASSERT_EQ(ListIds(e, 0), (std::vector<uint32_t>{2, 1}));
  ASSERT_EQ(MoveDictListItemDown(e, 0, 0), 0);  // the user's order: 1 2

  DbFile* more[] = {files_.AddDict(Dict(3), 30), files_.AddDict(Dict(4), 40)};
  EXPECT_EQ(AddDictionaries(e, more, 2), 0);
  EXPECT_EQ(e->readerCount, 4);
  EXPECT_EQ(GetDictCount(e), 4);
  EXPECT_EQ(ListIds(e, 0), (std::vector<uint32_t>{1, 2, 4, 3}));
}

}  // namespace
