#include "flash/cards.h"

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/text_buffer.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "flash/card_content.h"
#include "flash/card_scores.h"
#include "flash/categories.h"
#include "flash/flash_sql.h"
#include "flash/profile_lists.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// Longest entry text a card takes from a dictionary (headword, reading).
constexpr uint32_t kEntryPartMax = 512;
// Normalised pronunciations compared by the duplicate check.
constexpr uint32_t kPronCompareMax = 256;

SqlTerm Int(uint32_t column, int32_t value, uint32_t connector = kSqlAnd) {
  return FlashIntTerm(column, value, connector);
}
SqlTerm Text(uint32_t column, const std::u16string* text, uint32_t connector = kSqlAnd) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.connector = connector;
  if (!text || text->empty()) t.isNull = 1;
  else
    t.wtext = reinterpret_cast<const WCHAR*>(text->c_str());
  return t;
}

std::u16string Str(const WCHAR* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// The key form of a headword; empty for an empty or unconvertible text.
std::u16string HeadwordKey(const std::u16string& text, uint32_t language) {
  if (text.empty()) return {};
  WCHAR* key = MakeHeadwordKey(reinterpret_cast<const WCHAR*>(text.c_str()), language);
  std::u16string out = Str(key);
  if (key) LocalFree(key);
  return out;
}
std::u16string PronunciationKey(DictEngine* engine, const std::u16string& text, uint32_t language) {
  if (text.empty()) return {};
  MemHandle* h = MakePronunciationKey(engine, reinterpret_cast<const WCHAR*>(text.c_str()), language);
  if (!h) return {};
  std::u16string out = Str(static_cast<const WCHAR*>(LockMemHandle(h)));
  UnlockMemHandle(h);
  FreeMemHandle(h);
  return out;
}

// A dictionary's reading marks do not belong in a card: superscript
// digits, parenthesised parts and "/" with the character after it.
std::u16string CleanBuiltinText(const std::u16string& text) {
  std::u16string out;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'(' || c == 0xFF08) {
      ++depth;
      continue;
    }
    if ((c == u')' || c == 0xFF09) && depth > 0) {
      --depth;
      continue;
    }
    if (depth > 0) continue;
    if ((c >= 0x2070 && c <= 0x2079) || c == 0x00B2 || c == 0x00B3 || c == 0x00B9) continue;
    if (c == u'/') {
      ++i;  // the mark and the character it names
      continue;
    }
    out.push_back(c);
  }
  return out;
}

std::u16string FetchPart(DictEngine* engine, uint16_t slot, uint32_t entry, int pronunciation) {
  WCHAR buffer[kEntryPartMax] = {};
  if (FetchEntryPart(engine, slot, entry, buffer, kEntryPartMax, pronunciation, 0) != 0) return {};
  buffer[kEntryPartMax - 1] = 0;
  return Str(buffer);
}

// The text after headword and reading (field classes 2-5) that a card of a
// text-lending dictionary keeps as its definition.
constexpr uint32_t kDefinitionClasses = 0x3C;
constexpr uint32_t kCardDefinitionMax = 4096;
std::u16string GetEntryCardDefinition(DictEngine* engine, uint16_t slot, uint32_t entry) {
  std::u16string buffer(kCardDefinitionMax, u'\0');
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = kFetchClassMask;
  request.suppressStyles = 0xFFFFFFFFu;
  request.classMask = kDefinitionClasses;
  TextBuffer tb{reinterpret_cast<WCHAR*>(buffer.data()), kCardDefinitionMax, nullptr, 0};
  if (FetchDictEntryText(engine, &request, &tb) != 0) return {};
  buffer[kCardDefinitionMax - 1] = 0;
  return Str(reinterpret_cast<const WCHAR*>(buffer.c_str()));
}

bool IsSyllableCode(char16_t c) { return c >= 0xE000 && c <= 0xE9EF; }

// The second headword form of the entry; empty when the fetch fails.
std::u16string FetchSecondForm(DictEngine* engine, uint16_t slot, uint32_t entry) {
  WCHAR buffer[kEntryPartMax] = {};
  EntryFetchRequest request{};
  request.slot = slot;
  request.entry = entry;
  request.options = kFetchOneLine | kFetchClassMask | kFetchSecondFormFirst;
  request.suppressStyles = 0xFFFFFFFFu;
  request.classMask = 0x1;
  TextBuffer tb{buffer, kEntryPartMax, nullptr, 0};
  if (FetchDictEntryText(engine, &request, &tb) != 0) return {};
  buffer[kEntryPartMax - 1] = 0;
  return Str(buffer);
}

// The texts a card takes from (slot, entry): the headword, and for a
// Chinese dictionary the second form and the readable syllables. A
// character dictionary lists every reading: the card keeps the first. A
// built-in dictionary's reading marks are cleaned away; a user's own texts
// are kept as typed.
void EntryTexts(DictEngine* engine, uint16_t slot, uint32_t entry, std::u16string* hw, std::u16string* althw,
                std::u16string* pron) {
  *hw = FetchPart(engine, slot, entry, 0);
  althw->clear();
  pron->clear();
  if (GetDictLanguage(engine, slot) == kCardLanguageChinese) {
    *althw = FetchSecondForm(engine, slot, entry);
    *pron = FetchPart(engine, slot, entry, 1);
  }
  if (GetDictFlags(engine, slot) & kDictFlagCharDict) {
    for (size_t i = 0; i < pron->size(); ++i)
      if (IsSyllableCode((*pron)[i]) || (i > 0 && (*pron)[i] == u' ')) {
        pron->resize(IsSyllableCode((*pron)[i]) ? i + 1 : i);
        break;
      }
  }
  if (GetDictKind(engine, slot) != kDictKindUser) {
    *hw = CleanBuiltinText(*hw);
    *althw = CleanBuiltinText(*althw);
    *pron = CleanBuiltinText(*pron);
  }
}

// The pinyin of a stored key normalised for comparison ("ni3hao3" and
// "ni3@hao3" compare equal).
std::u16string NormalisedPron(DictEngine* engine, const WCHAR* pron) {
  WCHAR low[kPronCompareMax] = {};
  ParsePinyinQuery(engine, pron, low, nullptr, kPronCompareMax,
                   kParseDefiniteTone | kParseLettersOnly | kParseWholeSyllables);
  return Str(low);
}

int32_t Inserted(int64_t id) { return id > 0 && id <= INT32_MAX ? static_cast<int32_t>(id) : -1; }

// The texts and reference of a card before they are written.
struct CardTexts {
  uint32_t language = 0;
  std::u16string hw, althw, pron, defn;
  int32_t creator = -1, dictId = -1, entryKey = -1;
  int32_t wordLength = 0;
};

// Step 2/3 of saving: the texts from the entry or from the record. 0, or
// -1 when the card cannot be made.
int GatherTexts(FlashcardStore* store, const CardEditRecord* r, CardTexts* t) {
  DictEngine* engine = store->engine;
  if (r->linked) {
    const uint16_t slot = static_cast<uint16_t>(r->dictSlot);
    if (slot >= GetDictCount(engine)) return -1;
    const uint32_t flags = GetDictFlags(engine, slot);
    if (flags & kDictFlagNoCards) return -1;
    t->language =
        GetDictLanguage(engine, slot) == kCardLanguageChinese ? static_cast<uint32_t>(kCardLanguageChinese) : 0u;
    EntryTexts(engine, slot, r->entry, &t->hw, &t->althw, &t->pron);
    if (t->hw.empty() && t->althw.empty() && t->pron.empty()) return -1;
    if (t->language == kCardLanguageChinese) t->wordLength = GetEntryWordLength(engine, slot, r->entry);
    if (flags & kDictFlagLendsText) {
      t->defn = GetEntryCardDefinition(engine, slot, r->entry);
      if (t->defn.empty()) return -1;
    } else {
      t->creator = static_cast<int32_t>(GetDictCreator(engine, slot));
      t->dictId = GetDictId(engine, slot);
      t->entryKey = static_cast<int32_t>(GetDictEntryKey(engine, slot, r->entry));
    }
    return 0;
  }
  t->language = r->language == kCardLanguageChinese ? static_cast<uint32_t>(kCardLanguageChinese) : 0u;
  t->hw = Str(r->headword);
  t->althw = Str(r->altHeadword);
  t->pron = Str(r->pronunciation);
  t->defn = Str(r->definition);
  if (t->hw.empty() && t->althw.empty() && t->pron.empty()) return -1;
  if (t->language == kCardLanguageChinese) {
    const std::u16string& counted = t->hw.empty() ? t->althw : t->hw;
    const uint32_t n = counted.empty() ? 0 : CountKeyChars(reinterpret_cast<const WCHAR*>(counted.c_str()), 0);
    t->wordLength = n ? static_cast<int32_t>(n) : 1;
  }
  return 0;
}

int WriteScoreRows(FlashcardStore* store, const CardEditRecord* r, int32_t card) {
  CardScoreRecord score;
  InitCardScoreRecord(&score);
  score.score = r->initialScore;
  score.difficulty = r->initialDifficulty;
  if (r->scorefile != -2) return WriteCardScore(store, r->scorefile, card, &score);
  const int32_t n = GetScorefileCount(store);
  for (int32_t i = 0; i < n; ++i) {
    CardScoreRecord copy = score;
    const int rc = WriteCardScore(store, GetScorefileIdByIndex(store, i), card, &copy);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

int32_t SaveInTransaction(FlashcardStore* store, CardEditRecord* r, int32_t cardId) {
  CardTexts t;
  if (GatherTexts(store, r, &t) != 0) return -1;
  const std::u16string hw = HeadwordKey(t.hw, t.language);
  const std::u16string althw = HeadwordKey(t.althw, t.language);
  const std::u16string pron =
      t.language == kCardLanguageChinese ? PronunciationKey(store->engine, t.pron, t.language) : t.pron;
  if (hw.empty() && althw.empty() && pron.empty()) return -1;

  int32_t card = cardId;
  bool duplicate = false;
  if (r->duplicateMode == kDuplicateSkip || r->duplicateMode == kDuplicateMerge ||
      r->duplicateMode == kDuplicatePrompt) {
    const int32_t hit = FindCardsByTexts(store, hw.empty() ? nullptr : reinterpret_cast<const WCHAR*>(hw.c_str()),
                                         althw.empty() ? nullptr : reinterpret_cast<const WCHAR*>(althw.c_str()),
                                         pron.empty() ? nullptr : reinterpret_cast<const WCHAR*>(pron.c_str()), cardId,
                                         0, nullptr, nullptr);
    if (hit >= 0 && hit != cardId) {
      duplicate = true;
      r->usedExisting = 1;
      card = hit;
    }
  }
  SqlDb* db = store->database;
  const int32_t now = FlashNow();
  if (!duplicate) {
    SqlTerm set[kCardColumnCount];
    uint32_t n = 0;
    set[n++] = Int(kCardLang, static_cast<int32_t>(t.language));
    set[n++] = Text(kCardHw, &hw);
    set[n++] = Text(kCardAltHw, &althw);
    set[n++] = Text(kCardPron, &pron);
    set[n++] = Text(kCardDefn, &t.defn);
    set[n++] = Int(kCardDictCreator, t.creator);
    set[n++] = Int(kCardDictId, t.dictId);
    set[n++] = Int(kCardDictEntry, t.entryKey);
    set[n++] = Int(kCardWordLength, t.wordLength);
    set[n++] = Int(kCardModified, now);
    if (cardId >= 0) {
      const SqlTerm where = Int(kCardId, cardId);
      if (SqlUpdate(db, kFlashCardsTable, kFlashCardColumns, &where, 1, set, n) != SQLITE_OK) return -1;
    } else {
      set[n++] = Int(kCardCreated, now);
      int64_t id = 0;
      if (SqlInsert(db, kFlashCardsTable, kFlashCardColumns, set, n, &id, 0) != SQLITE_OK) return -1;
      card = Inserted(id);
      if (card < 0) return -1;
    }
  }
  if (!duplicate || r->duplicateMode == kDuplicateMerge) {
    for (uint32_t i = 0; r->categories && i < r->categoryCount; ++i) {
      if (r->categories[i] < 0) continue;
      if (AddCardsToCategory(store, &card, 1, 1, r->categories[i]) == 0) r->filed = 1;
    }
  }
  if (cardId < 0 && !duplicate && r->scorefile != -1 && WriteScoreRows(store, r, card) != SQLITE_OK) return -1;
  return card;
}

int Delete(SqlDb* db, const char* table, const SqlColumnDef* columns, const SqlTerm* where, uint32_t n) {
  return SqlDelete(db, table, columns, where, n);
}

}  // namespace

int32_t SaveCard(FlashcardStore* store, CardEditRecord* record, int32_t cardId) {
  if (!store || !store->database || !record) return -1;
  EngineLockGuard lock;
  record->usedExisting = 0;
  record->filed = 0;
  SqlDb* db = store->database;
  if (SqlBegin(db) != SQLITE_OK) return -1;
  const int32_t card = SaveInTransaction(store, record, cardId);
  if (card < 0) {
    SqlRollback(db);
    record->usedExisting = 0;
    record->filed = 0;
    return -1;
  }
  if (SqlCommit(db) != SQLITE_OK) {
    if (SqlTransactionDepth(db) > 0) SqlRollback(db);
    record->usedExisting = 0;
    record->filed = 0;
    return -1;
  }
  return card;
}

int DeleteCard(FlashcardStore* store, int32_t card) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  const SqlTerm byCard = Int(kAssignCard, card);
  rc = Delete(db, kFlashCategoryAssignsTable, kFlashAssignColumns, &byCard, 1);
  const int32_t n = GetScorefileCount(store);
  for (int32_t i = 0; rc == SQLITE_OK && i < n; ++i)
    rc = DeleteCardScores(store, &card, 1, 0, GetScorefileIdByIndex(store, i), nullptr, nullptr);
  const SqlTerm byId = Int(kCardId, card);
  if (rc == SQLITE_OK) rc = Delete(db, kFlashCardsTable, kFlashCardColumns, &byId, 1);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  return SqlCommit(db);
}

int32_t FindCardsByTexts(FlashcardStore* store, const WCHAR* hw, const WCHAR* althw, const WCHAR* pron, int32_t card,
                         uint32_t flags, int32_t* ids, uint32_t* capacity) {
  const uint32_t max = ids && capacity ? *capacity : 0;
  if (ids && capacity) *capacity = 0;
  if (!store || !store->database) return -1;
  if (hw && !*hw) hw = nullptr;
  if (althw && !*althw) althw = nullptr;
  if (pron && !*pron) pron = nullptr;
  if (!hw && !althw && !pron) return -1;
  if (hw && althw && Str(hw) == Str(althw)) althw = nullptr;
  EngineLockGuard lock;
  const std::u16string h = Str(hw), a = Str(althw), p = Str(pron);
  SqlTerm where[6];
  uint32_t n = 0;
  auto equal = [](uint32_t column, const std::u16string* v, uint32_t connector) { return Text(column, v, connector); };
  auto isNull = [](uint32_t column, uint32_t connector) {
    SqlTerm t{};
    t.column = static_cast<int16_t>(column);
    t.isNull = 1;
    t.connector = connector;
    return t;
  };
  if (hw && althw) {
    where[n++] = equal(kCardHw, &h, kSqlAnd);
    // Searched by the headword: many cards can share one alternative, and a
    // walk of all of them for every question made an import of such cards
    // quadratic.
    where[n] = equal(kCardAltHw, &a, kSqlAnd);
    where[n++].unindexed = 1;
  } else if (hw) {
    where[n++] = equal(kCardHw, &h, kSqlAndOpen);
    where[n++] = equal(kCardAltHw, &h, kSqlOr);
    where[n++] = isNull(kCardAltHw, kSqlAnd);
  } else if (althw) {
    where[n] = equal(kCardHw, &a, kSqlOr);
    where[n++].openParen = 1;
    where[n++] = isNull(kCardHw, kSqlCloseAnd);
    where[n++] = equal(kCardAltHw, &a, kSqlAnd);
  } else {
    where[n++] = equal(kCardPron, &p, kSqlAnd);
    where[n++] = isNull(kCardHw, kSqlAnd);
    where[n++] = isNull(kCardAltHw, kSqlAnd);
  }
  // The pronunciation of a headword match is compared row by row.
  const bool comparePron = (hw || althw) && pron;
  const std::u16string wanted = comparePron ? NormalisedPron(store->engine, pron) : std::u16string();
  const SqlTerm select[2] = {Int(kCardId, 0), Int(kCardPron, 0)};
  SqlQuery q{};
  q.table = kFlashCardsTable;
  q.columns = kFlashCardColumns;
  q.columnCount = kCardColumnCount;
  q.where = where;
  q.whereCount = n;
  q.select = select;
  q.selectCount = 2;
  sqlite3_stmt* stmt = SqlPrepareSelect(store->database, &q);
  if (!stmt) return -1;
  int32_t first = -1;
  uint32_t found = 0;
  while (SqlStep(stmt) == SQLITE_ROW) {
    const int32_t id = SqlColumnInt(stmt, 0);
    if ((flags & kFindSkipGivenCard) && id == card) continue;
    if (comparePron) {
      const WCHAR* stored = SqlColumnText16(stmt, 1);
      if (!stored || !*stored || NormalisedPron(store->engine, stored) != wanted) continue;
    }
    if (ids) {
      if (found < max) ids[found++] = id;
    }
    if (first < 0 || id == card) first = id;
    if (!ids && (id == card || card < 0)) break;
    if (ids && found >= max && (first == card || card < 0)) break;
  }
  SqlFinalize(stmt);
  if (ids && capacity) *capacity = found;
  return first;
}

int TouchCard(FlashcardStore* store, int32_t card) {
  if (!store || !store->database) return SQLITE_MISUSE;
  const SqlTerm where = Int(kCardId, card);
  const SqlTerm set = Int(kCardModified, FlashNow());
  return SqlUpdate(store->database, kFlashCardsTable, kFlashCardColumns, &where, 1, &set, 1);
}

int GetCardDictRef(FlashcardStore* store, int32_t card, int32_t* creator, int32_t* dictId, int32_t* entry) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  const SqlTerm where = Int(kCardId, card);
  const SqlTerm select[3] = {Int(kCardDictCreator, 0), Int(kCardDictId, 0), Int(kCardDictEntry, 0)};
  SqlQuery q{};
  q.table = kFlashCardsTable;
  q.columns = kFlashCardColumns;
  q.columnCount = kCardColumnCount;
  q.where = &where;
  q.whereCount = 1;
  q.select = select;
  q.selectCount = 3;
  sqlite3_stmt* stmt = SqlPrepareSelect(store->database, &q);
  if (!stmt) return 1;
  const bool row = SqlStep(stmt) == SQLITE_ROW;
  if (row) {
    if (creator) *creator = SqlColumnInt(stmt, 0);
    if (dictId) *dictId = SqlColumnInt(stmt, 1);
    if (entry) *entry = SqlColumnInt(stmt, 2);
  }
  SqlFinalize(stmt);
  return row ? 0 : 1;
}

int IsCardUnlinked(FlashcardStore* store, int32_t card) {
  int32_t creator = -1, dictId = -1;
  if (GetCardDictRef(store, card, &creator, &dictId, nullptr) != 0) return 1;
  return dictId == 0 || dictId == -1 || creator == -1 ? 1 : 0;
}

int32_t GetCardLanguage(FlashcardStore* store, int32_t card) {
  if (!store || !store->database) return 1;
  std::vector<int32_t> lang;
  if (SelectFlashInts(store->database, kFlashCardsTable, kFlashCardColumns, kCardColumnCount, kCardId, card, kCardLang,
                      &lang) != 0 ||
      lang.empty())
    return 1;
  return lang[0];
}

namespace {

// A slot lends its entries while it is open and readable. A user
// dictionary locked for editing still counts: it stays readable. Kept in
// one place so that a narrower rule changes only here.
bool IsDictSlotFlagged(DictEngine* engine, uint16_t slot) { return engine && slot < GetDictCount(engine); }

WCHAR* NewText(const std::u16string& text) {
  if (text.empty()) return nullptr;
  auto* out = static_cast<WCHAR*>(MemAlloc((text.size() + 1) * sizeof(WCHAR)));
  if (!out) return nullptr;
  std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return out;
}

}  // namespace

int GetCardEntryTexts(FlashcardStore* store, uint16_t slot, uint32_t entry, WCHAR** hw, WCHAR** althw, WCHAR** pron) {
  for (WCHAR** out : {hw, althw, pron})
    if (out) *out = nullptr;
  if (!store || !IsDictSlotFlagged(store->engine, slot)) return 1;
  EngineLockGuard lock;
  std::u16string h, a, p;
  EntryTexts(store->engine, slot, entry, &h, &a, &p);
  if (hw) *hw = NewText(h);
  if (althw) *althw = NewText(a);
  if (pron) *pron = NewText(p);
  return 0;
}

WCHAR* GetEntryDefinitionText(FlashcardStore* store, uint16_t slot, uint32_t entry) {
  if (!store || !IsDictSlotFlagged(store->engine, slot)) return nullptr;
  EngineLockGuard lock;
  return NewText(GetEntryCardDefinition(store->engine, slot, entry));
}

int ResolveCardEntry(FlashcardStore* store, int32_t card, uint16_t* slot, int32_t* entry) {
  if (slot) *slot = kNoCardSlot;
  if (entry) *entry = -1;
  int32_t creator = -1, dictId = -1, key = -1;
  if (!store || GetCardDictRef(store, card, &creator, &dictId, &key) != 0) return 1;
  if (dictId == 0 || dictId == -1 || creator == -1) return 1;
  EngineLockGuard lock;
  const uint16_t found = FindDictSlot(store->engine, static_cast<uint32_t>(creator), static_cast<uint32_t>(dictId));
  if (found >= GetDictCount(store->engine)) return 1;
  if (slot) *slot = found;
  if (entry) *entry = MapDictEntryId(store->engine, found, key);
  return 0;
}

int IsCardLinkedToUserDict(FlashcardStore* store, int32_t card) {
  uint16_t slot = kNoCardSlot;
  if (ResolveCardEntry(store, card, &slot, nullptr) != 0) return 0;
  EngineLockGuard lock;
  return GetDictKind(store->engine, slot) == kDictKindUser ? 1 : 0;
}

int GetCardStoredText(FlashcardStore* store, int32_t card, uint32_t field, MemHandle* handle) {
  if (!store || !store->database || !handle || field > kCardFieldDefinition) return 1;
  static constexpr uint32_t kColumns[] = {kCardHw, kCardAltHw, kCardPron, kCardDefn};
  std::u16string text;
  {
    EngineLockGuard lock;
    const SqlTerm where = Int(kCardId, card);
    const SqlTerm select = Int(kColumns[field], 0);
    SqlQuery q{};
    q.table = kFlashCardsTable;
    q.columns = kFlashCardColumns;
    q.columnCount = kCardColumnCount;
    q.where = &where;
    q.whereCount = 1;
    q.select = &select;
    q.selectCount = 1;
    sqlite3_stmt* stmt = SqlPrepareSelect(store->database, &q);
    if (!stmt) return 1;
    const bool row = SqlStep(stmt) == SQLITE_ROW;
    if (row && !SqlColumnIsNull(stmt, 0)) text = static_cast<const char16_t*>(sqlite3_column_text16(stmt, 0));
    SqlFinalize(stmt);
    if (!row) return 1;
  }
  if (field != kCardFieldDefinition && !text.empty()) {
    StripKeyMarks(reinterpret_cast<WCHAR*>(text.data()));
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
  }
  const uint32_t bytes = static_cast<uint32_t>((text.size() + 1) * sizeof(WCHAR));
  if (GetMemHandleSize(handle) < bytes && ResizeMemHandle(handle, bytes) != 0) return 1;
  std::memcpy(handle->data, text.c_str(), bytes);
  return 0;
}

std::u16string GetLinkedEntryDefinition(DictEngine* engine, uint16_t slot, uint32_t entry) {
  if (!IsDictSlotFlagged(engine, slot)) return {};
  return GetEntryCardDefinition(engine, slot, entry);
}

int GetCardFieldText(FlashcardStore* store, int32_t card, uint32_t field, MemHandle* handle) {
  if (GetCardStoredText(store, card, field, handle) != 0) return 1;
  if (field != kCardFieldDefinition || static_cast<const char16_t*>(handle->data)[0] != 0) return 0;
  // No stored definition: a linked card shows its entry's, while the
  // dictionary can be read.
  CardContentRecord content{};
  content.store = store;
  content.card = card;
  content.fields = kLinkedDefinitionMask | (CardAltHeadwordFirst(store) ? kContentAltFirst : 0u);
  content.text = handle;
  return BuildCardContent(nullptr, &content);
}

int ConvertCardToUserDictEntry(FlashcardStore* store, int32_t card) {
  if (!store || !store->database || !store->engine) return 1;
  int32_t creator = -1, dictId = -1;
  if (GetCardDictRef(store, card, &creator, &dictId, nullptr) != 0) return 1;
  if (!(dictId == 0 || dictId == -1 || creator == -1)) return 0;
  EngineLockGuard lock;
  DictEngine* engine = store->engine;
  const uint32_t language =
      GetCardLanguage(store, card) == kCardLanguageChinese ? static_cast<uint32_t>(kCardLanguageChinese) : 0u;
  constexpr uint32_t kAnyLanguage = 65535;
  uint16_t slot = FindDictByLanguages(engine, language, kAnyLanguage);
  if (slot == kNoCardSlot) {
    if (CreateUserDictFileNamed(engine, language, kAnyLanguage, nullptr) != 0) return 1;
    slot = FindDictByLanguages(engine, language, kAnyLanguage);
    if (slot == kNoCardSlot) return 1;
  }
  std::u16string texts[4];
  MemHandle* h = NewMemHandle(2);
  if (!h) return 1;
  for (uint32_t field = 0; field < 4; ++field) {
    if (GetCardFieldText(store, card, field, h) != 0) {
      FreeMemHandle(h);
      return 1;
    }
    texts[field] = static_cast<const char16_t*>(h->data);
  }
  FreeMemHandle(h);
  auto text = [](const std::u16string& t) { return t.empty() ? nullptr : reinterpret_cast<const WCHAR*>(t.c_str()); };
  const int32_t uid = AddUserDictEntry(engine, slot, text(texts[0]), text(texts[1]), text(texts[2]), text(texts[3]));
  if (uid < 0) return 1;
  const int32_t entry = MapDictEntryId(engine, slot, uid);
  if (entry < 0) return 1;
  // The card now takes its texts from the new entry.
  CardEditRecord r{};
  r.scorefile = -1;
  r.linked = 1;
  r.dictSlot = slot;
  r.entry = static_cast<uint32_t>(entry);
  r.duplicateMode = kDuplicateAllow;
  return SaveCard(store, &r, card) == card ? 0 : 1;
}

int64_t CountCategoryCards(FlashcardStore* store, int32_t category) {
  if (!store || !store->database) return -1;
  const SqlTerm where = Int(kAssignCat, category);
  SqlQuery q{};
  q.table = kFlashCategoryAssignsTable;
  q.columns = kFlashAssignColumns;
  q.columnCount = kAssignColumnCount;
  q.where = &where;
  q.whereCount = 1;
  return SqlCount(store->database, kFlashCategoryAssignsTable, &q);
}

int32_t AssignCard(FlashcardStore* store, int32_t card, int32_t category) {
  if (!store || !store->database) return -1;
  EngineLockGuard lock;
  const SqlTerm values[2] = {Int(kAssignCard, card), Int(kAssignCat, category)};
  int64_t id = 0;
  const int rc = SqlInsert(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, values, 2, &id, 0);
  if (rc != SQLITE_OK) return -1;
  TouchCard(store, card);
  return Inserted(id);
}

int AddCardsToCategory(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride, int32_t category) {
  if (!store || !cards || !CategoryExists(store, category)) return 1;
  bool added = false;
  for (uint32_t i = 0; i < count; ++i)
    if (AssignCard(store, cards[i * (stride ? stride : 1)], category) >= 0) added = true;
  return added ? 0 : 1;
}

int RemoveCardsFromCategory(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride,
                            int32_t category) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  if (!cards) {
    const SqlTerm where = Int(kAssignCat, category);
    return SqlDelete(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, &where, 1);
  }
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t card = cards[i * (stride ? stride : 1)];
    const SqlTerm where[2] = {Int(kAssignCat, category), Int(kAssignCard, card)};
    const int rc = SqlDelete(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, where, 2);
    if (rc != SQLITE_OK) return rc;
    TouchCard(store, card);
  }
  return 0;
}

int UpdateCardCategories(FlashcardStore* store, int32_t card, const int32_t* oldIds, uint32_t oldCount,
                         const int32_t* newIds, uint32_t newCount) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  uint32_t i = 0, j = 0;
  auto remove = [&](int32_t category) {
    const SqlTerm where[2] = {Int(kAssignCat, category), Int(kAssignCard, card)};
    return SqlDelete(db, kFlashCategoryAssignsTable, kFlashAssignColumns, where, 2);
  };
  while (rc == SQLITE_OK && (i < oldCount || j < newCount)) {
    if (j >= newCount || (i < oldCount && oldIds[i] < newIds[j])) {
      rc = remove(oldIds[i++]);
    } else if (i < oldCount && oldIds[i] == newIds[j]) {
      ++i;
      ++j;
    } else {
      // An id that is already filed is no failure: the list was stale.
      AssignCard(store, card, newIds[j++]);
    }
  }
  if (rc == SQLITE_OK) rc = TouchCard(store, card);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  return SqlCommit(db);
}

int RemoveCardFromAllCategories(FlashcardStore* store, int32_t card) {
  if (!store || !store->database) return 1;
  const SqlTerm where = Int(kAssignCard, card);
  return SqlDelete(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, &where, 1);
}

int TouchCategoryCards(FlashcardStore* store, int32_t category) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  // "modified" of every card whose id is among the category's cards.
  std::vector<int32_t> cards;
  if (SelectFlashInts(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, kAssignColumnCount, kAssignCat,
                      category, kAssignCard, &cards) != 0)
    return 1;
  for (int32_t card : cards) {
    const int rc = TouchCard(store, card);
    if (rc != SQLITE_OK) return rc;
  }
  return 0;
}
