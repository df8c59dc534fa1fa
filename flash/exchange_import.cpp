#include "flash/exchange_import.h"

#include "flash/card_content.h"

#include <sqlite3.h>

// The UTF-16 build of Expat (libexpatw): names, attribute values and
// character data arrive as UTF-16 units, as the engine keeps text. This is
// the one module that includes it; XML_Char is then unsigned short.
#define XML_UNICODE
#include <expat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/mem_handle.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "engine/sql_schema.h"
#include "engine/text_encoding.h"
#include "engine/user_dict.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_import.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/exchange_xml.h"
#include "flash/flash_sql.h"
#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

constexpr uint16_t kNoSlot = 65535;
constexpr uint32_t kAnyLanguage = 0xFFFF;
// Names of categories and scorefiles as records and renames hold them.
// A longer name written in full would no longer be found under its cut
// form, so every later card would try to create it again and fail.
constexpr uint32_t kListNameMax = 39;
// Category levels below the root; deeper paths fold into the third.
constexpr int32_t kCategoryLevels = 3;

// First and last id added, per kind, as the log row keeps them.
enum : uint32_t { kRangeCards, kRangeProfiles, kRangeScorefiles, kRangeCategories, kRangeAssigns, kRangeCount };
struct IdRange {
  int32_t first = -1;
  int32_t last = -1;
  void Add(int32_t id) {
    if (first < 0) first = id;
    last = id;
  }
};

// Per-card limits of the XML reader: later elements are ignored.
constexpr uint32_t kDictRefMax = 32;
constexpr uint32_t kScoreInfoMax = 16;
constexpr uint32_t kCatAssignMax = 64;
// XML blocks per committed chunk.
constexpr uint32_t kXmlBlocksPerChunk = 16;

struct XmlDictRef {
  int32_t creator, dictId, entry;
};
struct XmlScore {
  int32_t scorefile;
  CardScoreRecord record;
};

// One card as read from the file.
struct ImportCard {
  std::u16string hw, althw, pron, defn;
  uint32_t language = kAnyLanguage;  // XML: 0xFFFF until its attribute is seen
  int32_t created = 0;
  uint32_t toneType = 0;  // 0 not given, 1 numbers, 2 marks
  std::vector<XmlDictRef> dictrefs;
  std::vector<XmlScore> scores;
  std::vector<int32_t> catassigns;
  bool fromXml = false;
};

std::u16string Str(const WCHAR* text) { return text ? std::u16string(text) : std::u16string(); }
const WCHAR* W(const std::u16string& s) { return s.empty() ? nullptr : s.c_str(); }
std::u16string TakeText(WCHAR* text) {
  std::u16string out = Str(text);
  if (text) LocalFree(text);
  return out;
}

// Pinyin with its tones as marks, as digits behind the syllable. Superscript
// tone digits (the form the first-generation converter writes) are tones
// too: the mark conversion would otherwise drop them and give every
// syllable tone 5, and readings that differ only in tone would merge.
std::u16string TonesAsDigits(std::u16string pron) {
  for (char16_t& u : pron) {
    if (u == 0x00B9) u = u'1';
    else if (u == 0x00B2 || u == 0x00B3)
      u = static_cast<char16_t>(u'2' + (u - 0x00B2));
    else if (u >= 0x2074 && u <= 0x2075)
      u = static_cast<char16_t>(u'4' + (u - 0x2074));
  }
  return TakeText(ConvertPinyinToneMarks(pron.c_str(), nullptr));
}

}  // namespace

struct FlashImport {
  DictEngine* engine = nullptr;
  FlashcardStore* store = nullptr;
  ImportSettingsRecord settings{};
  uint16_t userDictSlot = kNoSlot;  // target 2
  std::vector<char16_t> line;       // text: decoded units not yet parsed
  uint32_t lineCapacity = 0;
  bool firstBlock = true;
  bool relaxedJournal = false;
  bool cancel = false;
  std::vector<uint32_t> searchList;
  int64_t logRow = -1;
  bool logRowCommitted = false;  // the row outlives a rollback of the open chunk
  IdRange ranges[kRangeCount];
  int32_t defaultScorefile = -1;
  int32_t textCategory = -1;
  uint32_t count = 0;
  uint16_t chineseTarget = kNoSlot;
  uint16_t englishTarget = kNoSlot;
  ImportCard card;
  // XML only.
  XML_Parser parser = nullptr;
  uint32_t xmlBlocks = 0;
  uint32_t seen = 0;      // container bits of the open elements
  int textTarget = -1;    // which field of the card receives text, -1 none
  int32_t cardCount = 0;  // cards made in this import, for the score rule
};

namespace {

SqlDb* UserDictDb(DictEngine* engine, uint16_t slot) {
  return slot < GetDictCount(engine) && engine->slots[slot] ? engine->slots[slot]->db : nullptr;
}
bool IsWritableUserDict(DictEngine* engine, uint16_t slot) {
  return slot < GetDictCount(engine) && GetDictKind(engine, slot) == kDictKindUser && engine->slots[slot] &&
         engine->slots[slot]->editLock == 0;
}

uint32_t Ask(FlashImport* im, uint32_t kind, const void* argument, const void* list, uint32_t count,
             uint32_t defaultIndex) {
  if (!im->settings.run.callback) return kind == kImportAskAmbiguous ? defaultIndex : 0;
  // The callback's dialogs run modally: other threads may use the engine
  // meanwhile.
  EngineLockReleaser release;
  return im->settings.run.callback(kind, argument, list, count, defaultIndex, im->settings.run.data);
}

void ReportProgress(FlashImport* im) {
  if (im->settings.run.callback && Ask(im, kImportAskProgress, nullptr, nullptr, im->count, 0) == 1) im->cancel = true;
}

// The databases a chunk spans: the store's, and the user dictionaries the
// entries go to.
std::vector<SqlDb*> ChunkDatabases(FlashImport* im) {
  std::vector<SqlDb*> dbs;
  auto add = [&dbs](SqlDb* db) {
    if (!db) return;
    for (SqlDb* d : dbs)
      if (d == db) return;
    dbs.push_back(db);
  };
  if (im->settings.target == kImportTargetUserDict) {
    add(UserDictDb(im->engine, im->userDictSlot));
    return dbs;
  }
  add(im->store->database);
  if (im->chineseTarget != kNoSlot) add(UserDictDb(im->engine, im->chineseTarget));
  if (im->englishTarget != kNoSlot) add(UserDictDb(im->engine, im->englishTarget));
  return dbs;
}

void RollBackAll(const std::vector<SqlDb*>& dbs) {
  for (SqlDb* db : dbs)
    if (SqlTransactionDepth(db) > 0) SqlRollback(db);
}
int CommitAll(const std::vector<SqlDb*>& dbs) {
  int result = SQLITE_OK;
  for (SqlDb* db : dbs) {
    const int rc = SqlCommit(db);
    if (rc != SQLITE_OK) {
      if (SqlTransactionDepth(db) > 0) SqlRollback(db);
      result = rc;
    }
  }
  return result;
}
int BeginAll(const std::vector<SqlDb*>& dbs) {
  for (SqlDb* db : dbs) {
    const int rc = SqlBegin(db);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

// --- Import log -----------------------------------------------------------

int WriteImportLog(FlashImport* im) {
  if (im->settings.target != kImportTargetCards) return 0;
  SqlDb* db = im->store->database;
  SqlTerm set[kImportColumnCount];
  uint32_t n = 0;
  const int32_t now = FlashNow();
  if (im->logRow < 0) set[n++] = FlashIntTerm(1, now);
  set[n++] = FlashIntTerm(2, now);
  for (uint32_t k = 0; k < kRangeCount; ++k) {
    if (im->ranges[k].first < 0) continue;
    set[n++] = FlashIntTerm(3 + 2 * k, im->ranges[k].first);
    set[n++] = FlashIntTerm(4 + 2 * k, im->ranges[k].last);
  }
  if (im->logRow < 0) {
    if (SqlTableExists(db, kFlashImportsTable, 0) != 1) {
      const int rc = SqlCreateTable(db, kFlashImportsTable, kFlashImportColumns, kImportColumnCount);
      if (rc != SQLITE_OK) return rc;
    }
    int64_t id = 0;
    const int rc = SqlInsert(db, kFlashImportsTable, kFlashImportColumns, set, n, &id, 0);
    if (rc == SQLITE_OK) im->logRow = id;
    return rc;
  }
  const SqlTerm where = FlashIntTerm(0, static_cast<int32_t>(im->logRow));
  return SqlUpdate(db, kFlashImportsTable, kFlashImportColumns, &where, 1, set, n);
}

// A rolled-back chunk takes a log insert made in it along.
void ForgetUncommittedLog(FlashImport* im) {
  if (!im->logRowCommitted) im->logRow = -1;
}

// --- Categories and scorefiles -------------------------------------------

int32_t FindOrCreateCategoryPath(FlashImport* im, int32_t parent, int32_t level, const char16_t* path, size_t length) {
  if (level >= kCategoryLevels) return parent;
  // The segment ends at the first "/" after its first character.
  size_t end = 1;
  while (end < length && path[end] != u'/') ++end;
  if (length == 0) return -1;
  std::u16string name(path, end > kListNameMax ? kListNameMax : end);
  int32_t id = FindCategoryByName(im->store, W(name), parent, 0);
  if (id < 0) {
    id = CreateCategory(im->store, W(name), -1, parent, -1);
    if (id < 0) return -1;
    im->ranges[kRangeCategories].Add(id);
  }
  if (end + 1 < length) return FindOrCreateCategoryPath(im, id, level + 1, path + end + 1, length - end - 1);
  return id;
}

// --- Card commit ----------------------------------------------------------

std::u16string JoinedText(const ImportCard& c) {
  std::u16string out;
  for (const std::u16string* s : {&c.hw, &c.althw, &c.pron, &c.defn})
    if (!s->empty()) out += *s + u' ';
  return out;
}

std::u16string HeadwordKey(const std::u16string& text, uint32_t language) {
  if (text.empty()) return {};
  return TakeText(MakeHeadwordKey(text.c_str(), language));
}
std::u16string PronunciationKey(DictEngine* engine, const std::u16string& text, uint32_t language) {
  if (text.empty()) return {};
  if (language != kCardLanguageChinese) return text;
  MemHandle* h = MakePronunciationKey(engine, text.c_str(), language);
  if (!h) return {};
  std::u16string out = Str(static_cast<const WCHAR*>(LockMemHandle(h)));
  UnlockMemHandle(h);
  FreeMemHandle(h);
  return out;
}

SqlTerm TextTerm(uint32_t column, const std::u16string& text) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.connector = kSqlAnd;
  if (text.empty()) t.isNull = 1;
  else
    t.wtext = text.c_str();
  return t;
}

// The user dictionary that stored definitions of this language go to,
// found or made on first use; its import log is begun. kNoSlot on failure.
uint16_t DefinitionTarget(FlashImport* im, uint32_t language) {
  uint16_t* target = language == kCardLanguageChinese ? &im->chineseTarget : &im->englishTarget;
  if (*target != kNoSlot) return *target;
  uint16_t slot = FindDictByLanguages(im->engine, language, kAnyLanguage);
  if (slot == kNoSlot) {
    if (CreateUserDictFileNamed(im->engine, language, kAnyLanguage, nullptr) != 0) return kNoSlot;
    slot = FindDictByLanguages(im->engine, language, kAnyLanguage);
    if (slot == kNoSlot) return kNoSlot;
  }
  if (BeginUserDictImport(im->engine, slot) != 0) return kNoSlot;
  *target = slot;
  // The chunk spans this database from now on.
  if (SqlDb* db = UserDictDb(im->engine, slot); db && db != im->store->database) SqlBegin(db);
  return slot;
}

enum class Lookup { Taken, None, Skip, Cancel };

// Step 3 of the commit: the entry of the card. Sets *slot and *entry (the
// engine's entry id) when one is taken.
Lookup LookUpEntry(FlashImport* im, const ImportCard& c, const std::u16string& pron, uint16_t* slot, uint32_t* entry) {
  DictEngine* engine = im->engine;
  SearchResultList* list =
      FindEntriesByHeadword(engine, im->searchList.data(), static_cast<uint32_t>(im->searchList.size()), W(c.hw),
                            W(c.althw), W(pron), c.language, kAnyLanguage, 0, 0, 0, 0);
  if (!list || list->count == 0) {
    FreeResultList(list);
    return Lookup::None;
  }
  uint32_t pick = 0;
  if (list->count >= 2 && (!c.hw.empty() || !c.althw.empty())) {
    pick = PickResultByCharReading(engine, list, W(c.hw.empty() ? c.althw : c.hw));
    if (pick >= list->count) pick = 0;
  }
  if (list->count > 1) {
    if (im->settings.ambiguous == kAmbiguousSkip) {
      FreeResultList(list);
      return Lookup::Skip;
    }
    if (im->settings.ambiguous == kAmbiguousPrompt) {
      const std::u16string joined = JoinedText(c);
      const uint32_t answer = Ask(im, kImportAskAmbiguous, joined.c_str(), list, list->count, pick);
      if (answer == kAnswerCancel) {
        FreeResultList(list);
        return Lookup::Cancel;
      }
      if (answer == kAnswerSkipCard || answer == kAnswerSkipAll) {
        if (answer == kAnswerSkipAll) im->settings.ambiguous = kAmbiguousSkip;
        FreeResultList(list);
        return Lookup::Skip;
      }
      if (answer == kAnswerUseFirstAll) im->settings.ambiguous = kAmbiguousUseFirst;
      pick = answer < list->count ? answer : 0;
    }
  } else {
    pick = 0;
  }
  *slot = static_cast<uint16_t>(list->items[pick].first & kResultSlotMask);
  int32_t id = static_cast<int32_t>(list->items[pick].entry);
  if (GetDictKind(engine, *slot) == kDictKindUser) id = MapDictEntryId(engine, *slot, id);
  FreeResultList(list);
  if (id < 0) return Lookup::None;
  *entry = static_cast<uint32_t>(id);
  return Lookup::Taken;
}

// What the duplicate policy says for one stored card.
enum class Dup { Skip, Merge, Replace, Allow, Cancel };

Dup DecideDuplicate(FlashImport* im, const ImportCard& c, int32_t existing) {
  switch (im->settings.duplicates) {
    case kDuplicateSkip:
      return Dup::Skip;
    case kDuplicateMerge:
      return Dup::Merge;
    case kDuplicateReplace:
      return Dup::Replace;
    case kDuplicateAllow:
      return Dup::Allow;
    default:
      break;
  }
  const std::u16string joined = JoinedText(c);
  const std::u16string shown = TakeText(GetImportDuplicateCardText(im->store, existing));
  const ImportDuplicateQuestion question{joined.c_str(), shown.c_str()};
  switch (Ask(im, kImportAskDuplicate, &question, nullptr, 0, 0)) {
    case 0:
      return Dup::Skip;
    case 1:
      return Dup::Merge;
    case 2:
      return Dup::Replace;
    case 3:
      return Dup::Allow;
    case 4:
      im->settings.duplicates = kDuplicateSkip;
      return Dup::Skip;
    case 5:
      im->settings.duplicates = kDuplicateReplace;
      return Dup::Replace;
    case 6:
      im->settings.duplicates = kDuplicateAllow;
      return Dup::Allow;
    case 7:
      return Dup::Cancel;
    default:
      return Dup::Allow;
  }
}

// One card from either format. Sets the cancel flag on a failure or a
// cancel answer.
void CommitImportedCard(FlashImport* im) {
  DictEngine* engine = im->engine;
  FlashcardStore* store = im->store;
  ImportCard c = im->card;
  const uint32_t source = im->settings.definitionSource;
  const bool lookUp = !(source == kDefnFileOnly || (source == kDefnPreferFile && !c.defn.empty()));
  if (c.toneType != 1 && !c.pron.empty()) c.pron = TonesAsDigits(c.pron);
  if (source == kDefnDictsOnly) c.defn.clear();

  uint16_t slot = kNoSlot;
  uint32_t entry = 0;
  bool taken = false;
  // References first: one with a known entry in an open dictionary that
  // gives cards is taken; without an entry, its dictionary is searched.
  int32_t takenRef = -1;
  std::vector<uint32_t> remembered;
  if (lookUp) {
    const uint16_t dictCount = GetDictCount(engine);
    for (size_t i = 0; i < c.dictrefs.size(); ++i) {
      const XmlDictRef& r = c.dictrefs[i];
      const uint16_t s = FindDictSlot(engine, static_cast<uint32_t>(r.creator), static_cast<uint32_t>(r.dictId));
      if (s >= dictCount || (GetDictFlags(engine, s) & kDictFlagNoCards)) continue;
      if (r.entry < 0) {
        remembered.push_back(s);
        continue;
      }
      if (!HasDictEntry(engine, static_cast<uint32_t>(r.creator), static_cast<uint32_t>(r.dictId), r.entry)) continue;
      const int32_t row = MapDictEntryId(engine, s, r.entry);
      if (row < 0) continue;
      slot = s;
      entry = static_cast<uint32_t>(row);
      taken = true;
      takenRef = static_cast<int32_t>(i);
      break;
    }
  }
  std::vector<uint32_t> saved;
  if (!taken && !remembered.empty()) {
    saved.swap(im->searchList);
    im->searchList = remembered;
    uint16_t s = kNoSlot;
    uint32_t e = 0;
    const Lookup found = LookUpEntry(im, c, c.pron, &s, &e);
    im->searchList.swap(saved);
    if (found == Lookup::Taken) {
      slot = s;
      entry = e;
      taken = true;
    } else if (found == Lookup::Skip) {
      return;
    } else if (found == Lookup::Cancel) {
      im->cancel = true;
      return;
    }
  }
  if (lookUp && !taken && !im->searchList.empty()) {
    switch (LookUpEntry(im, c, c.pron, &slot, &entry)) {
      case Lookup::Taken:
        taken = true;
        break;
      case Lookup::None:
        break;
      case Lookup::Skip:
        return;
      case Lookup::Cancel:
        im->cancel = true;
        return;
    }
  }
  if (c.defn.empty() && !taken && im->settings.missing == kMissingSkip) return;

  uint32_t language = c.language;
  if (language == kAnyLanguage) {
    const uint32_t dictLanguage = taken ? GetDictLanguage(engine, slot) : kAnyLanguage;
    language = dictLanguage != kAnyLanguage ? dictLanguage : im->settings.language;
  }
  language = language == kCardLanguageChinese ? static_cast<uint32_t>(kCardLanguageChinese) : 0u;

  int32_t creator = -1, dictId = -1, entryKey = -1;
  if (taken) {
    WCHAR *hw = nullptr, *althw = nullptr, *pron = nullptr;
    if (GetCardEntryTexts(store, slot, entry, &hw, &althw, &pron) == 0) {
      if (hw) c.hw = TakeText(hw);
      if (althw) c.althw = TakeText(althw);
      if (pron) c.pron = TakeText(pron);
    }
    if (GetDictFlags(engine, slot) & kDictFlagLendsText) {
      c.defn = TakeText(GetEntryDefinitionText(store, slot, entry));
    } else {
      creator = static_cast<int32_t>(GetDictCreator(engine, slot));
      dictId = GetDictId(engine, slot);
      entryKey = static_cast<int32_t>(GetDictEntryKey(engine, slot, entry));
    }
  }

  const std::u16string& counted = !c.hw.empty() ? c.hw : !c.althw.empty() ? c.althw : c.pron;
  const int32_t wordLength = counted.empty() ? 0 : static_cast<int32_t>(CountKeyChars(counted.c_str(), 0));
  const std::u16string hwKey = HeadwordKey(c.hw, language);
  const std::u16string althwKey = HeadwordKey(c.althw, language);
  const std::u16string pronKey = PronunciationKey(engine, c.pron, language);
  if (hwKey.empty() && althwKey.empty() && pronKey.empty() && c.defn.empty()) return;

  // Duplicates.
  int32_t card = -1;
  Dup dup = Dup::Allow;
  if (im->settings.duplicates != kDuplicateAllow && (!hwKey.empty() || !althwKey.empty() || !pronKey.empty())) {
    const int32_t existing = FindCardsByTexts(store, W(hwKey), W(althwKey), W(pronKey), -1, 0, nullptr, nullptr);
    if (existing >= 0) {
      dup = DecideDuplicate(im, c, existing);
      if (dup == Dup::Cancel) {
        im->cancel = true;
        return;
      }
      if (dup == Dup::Replace && DeleteCard(store, existing) != SQLITE_OK) {
        im->cancel = true;
        return;
      }
      if (dup == Dup::Skip || dup == Dup::Merge) card = existing;
    }
  }

  if (card < 0) {
    // Definitions kept in a user dictionary, the card referring to them.
    if (im->settings.storeDefinitions && !c.defn.empty() && creator < 0) {
      const uint16_t target = DefinitionTarget(im, language);
      if (target == kNoSlot) {
        im->cancel = true;
        return;
      }
      const int32_t uid = AddUserDictEntry(engine, target, W(c.hw), W(c.althw), W(c.pron), W(c.defn));
      const int32_t row = uid >= 0 ? MapDictEntryId(engine, target, uid) : -1;
      if (row < 0) {
        im->cancel = true;
        return;
      }
      creator = static_cast<int32_t>(GetDictCreator(engine, target));
      dictId = GetDictId(engine, target);
      entryKey = static_cast<int32_t>(GetDictEntryKey(engine, target, static_cast<uint32_t>(row)));
      c.defn.clear();
    }
    const int32_t now = FlashNow();
    SqlTerm set[kCardColumnCount];
    uint32_t n = 0;
    set[n++] = FlashIntTerm(kCardWordLength, wordLength);
    set[n++] = TextTerm(kCardHw, hwKey);
    set[n++] = TextTerm(kCardAltHw, althwKey);
    set[n++] = TextTerm(kCardPron, pronKey);
    set[n++] = TextTerm(kCardDefn, c.defn);
    set[n++] = FlashIntTerm(kCardDictCreator, creator);
    set[n++] = FlashIntTerm(kCardDictId, dictId);
    set[n++] = FlashIntTerm(kCardDictEntry, entryKey);
    set[n++] = FlashIntTerm(kCardCreated, c.created ? c.created : now);
    set[n++] = FlashIntTerm(kCardModified, now);
    set[n++] = FlashIntTerm(kCardLang, static_cast<int32_t>(language));
    // The references not taken, when there were several or none was.
    std::u16string altRefs;
    if (!c.dictrefs.empty() && (c.dictrefs.size() > 1 || takenRef < 0)) {
      std::vector<int32_t> values;
      for (size_t i = 0; i < c.dictrefs.size(); ++i) {
        const XmlDictRef& r = c.dictrefs[i];
        if (static_cast<int32_t>(i) == takenRef || r.dictId == -1 || r.entry < 0) continue;
        values.insert(values.end(), {r.creator, r.dictId, r.entry});
      }
      if (!values.empty())
        altRefs = TakeText(FormatIntList(values.data(), static_cast<uint32_t>(values.size() / 3), 3, 0));
    }
    set[n++] = TextTerm(kCardAltDictRefs, altRefs);
    int64_t id = 0;
    if (SqlInsert(store->database, kFlashCardsTable, kFlashCardColumns, set, n, &id, 0) != SQLITE_OK || id <= 0 ||
        id > INT32_MAX) {
      im->cancel = true;
      return;
    }
    card = static_cast<int32_t>(id);
    im->ranges[kRangeCards].Add(card);
  }

  // Scores from the file. A card stored before this import keeps every
  // row it has; one made earlier in this import takes a newer review.
  const bool newCard = dup != Dup::Skip && dup != Dup::Merge;
  const bool madeHere = im->ranges[kRangeCards].first >= 0 && card >= im->ranges[kRangeCards].first;
  for (XmlScore score : c.scores) {
    if (score.scorefile < 0) continue;
    if (!newCard) {
      CardScoreRecord stored;
      const int rc = ReadCardScore(store, score.scorefile, card, &stored, 1);
      if (rc == 0 && !(madeHere && stored.lastReviewedTime < score.record.lastReviewedTime)) continue;
      if (rc != 0 && rc != 1) {
        im->cancel = true;
        return;
      }
    }
    if (WriteCardScore(store, score.scorefile, card, &score.record) != SQLITE_OK) {
      im->cancel = true;
      return;
    }
  }
  if (dup != Dup::Skip) {
    const std::vector<int32_t> text{im->textCategory};
    for (int32_t category : c.fromXml ? c.catassigns : text) {
      if (category < 0) continue;
      const int32_t assign = AssignCard(store, card, category);
      if (assign >= 0) im->ranges[kRangeAssigns].Add(assign);
    }
  }
  ++im->count;
  ReportProgress(im);
}

// --- XML ------------------------------------------------------------------

int32_t FindOrCreateImportScorefile(FlashImport* im, const std::u16string& full) {
  const std::u16string name = full.substr(0, kListNameMax);
  if (name.empty()) return -1;
  int32_t id = FindScorefileByName(im->store, W(name), 0);
  if (id < 0) {
    id = CreateScorefile(im->store, W(name), -1);
    if (id < 0) return -1;
    im->ranges[kRangeScorefiles].Add(id);
  }
  return id;
}

// Parser units are numbers of the same width as ours: copied, never cast.
std::u16string FromXml(const XML_Char* text, int length = -1) {
  std::u16string out;
  if (!text) return out;
  if (length < 0) {
    length = 0;
    while (text[length]) ++length;
  }
  out.resize(static_cast<size_t>(length));
  std::memcpy(out.data(), text, static_cast<size_t>(length) * sizeof(char16_t));
  return out;
}
const uint16_t* Units(const XML_Char* text) {
  static_assert(sizeof(XML_Char) == sizeof(uint16_t), "the UTF-16 build of Expat");
  return reinterpret_cast<const uint16_t*>(text);
}
int32_t ToInt(const XML_Char* text) {
  int64_t v = 0;
  bool negative = false;
  size_t i = 0;
  if (text[0] == u'-') {
    negative = true;
    i = 1;
  }
  for (; text[i] >= u'0' && text[i] <= u'9'; ++i) {
    v = v * 10 + (text[i] - u'0');
    if (v > INT32_MAX) v = INT32_MAX;
  }
  return static_cast<int32_t>(negative ? -v : v);
}

std::u16string* TargetBuffer(ImportCard& c, int target) {
  switch (target) {
    case 0:
      return &c.hw;
    case 1:
      return &c.althw;
    case 2:
      return &c.pron;
    case 3:
      return &c.defn;
    default:
      return nullptr;
  }
}

void XMLCALL ImportStartElement(void* data, const XML_Char* name, const XML_Char** atts) {
  auto* im = static_cast<FlashImport*>(data);
  uint32_t element = 0, bit = 0;
  if (LookupXmlElement(Units(name), &element, &bit) != 0) return;
  const uint32_t openBefore = im->seen;
  im->seen |= bit;
  ImportCard& c = im->card;
  auto each = [&](auto&& take) {
    for (uint32_t i = 0; atts && atts[i] && atts[i + 1]; i += 2) {
      uint32_t index = 0, required = 0;
      if (LookupXmlAttribute(element, Units(atts[i]), &index, &required) == 0) take(index, atts[i + 1]);
    }
  };
  const bool inCard = (im->seen & GetXmlElementDef(kXmlCard)->containerBit) != 0;
  switch (element) {
    case kXmlCategory: {
      if (!openBefore) break;
      bool done = false;
      each([&](uint32_t index, const XML_Char* value) {
        if (done || index != kXmlCategoryName) return;
        done = true;
        const std::u16string path = FromXml(value);
        FindOrCreateCategoryPath(im, kCategoryRoot, 0, path.c_str(), path.size());
      });
      ReportProgress(im);
      break;
    }
    case kXmlCard:
      c = ImportCard{};
      c.fromXml = true;
      each([&](uint32_t index, const XML_Char* value) {
        if (index == kXmlCardLanguage) c.language = ParseXmlLanguage(Units(value));
        else if (index == kXmlCardCreated)
          c.created = ToInt(value);
      });
      break;
    case kXmlDictRef: {
      if (!inCard || c.dictrefs.size() >= kDictRefMax) break;
      XmlDictRef r{0, -1, -1};
      each([&](uint32_t index, const XML_Char* value) {
        if (index == kXmlDictRefCreator) r.creator = ToInt(value);
        else if (index == kXmlDictRefId)
          r.dictId = ParseXmlDictId(Units(value));
        else if (index == kXmlDictRefEntry)
          r.entry = ToInt(value);
      });
      if (r.dictId != -1) c.dictrefs.push_back(r);
      break;
    }
    case kXmlScoreInfo: {
      if (!inCard || c.scores.size() >= kScoreInfoMax) break;
      XmlScore score{-1, {}};
      InitCardScoreRecord(&score.record);
      bool named = false;
      each([&](uint32_t index, const XML_Char* value) {
        CardScoreRecord& r = score.record;
        switch (index) {
          case kXmlScoreFile:
            named = true;
            score.scorefile = FindOrCreateImportScorefile(im, FromXml(value));
            break;
          case kXmlScoreScore:
            r.score = ToInt(value);
            break;
          case kXmlScoreDifficulty:
            r.difficulty = ToInt(value);
            break;
          case kXmlScoreHistory: {
            const int32_t priority = r.priority, pool = r.poolMark;
            // Only the grades reach the decoder: every other character is
            // ignored, so it neither takes the place of a grade nor reads as
            // the stored form's priority or pool letter.
            std::string grades;
            for (size_t i = 0; value[i] && grades.size() < kScoreHistoryMax; ++i) {
              const XML_Char u = value[i];
              if ((u >= u'1' && u <= u'6') || u == u'C' || u == u'c' || u == u'I' || u == u'i')
                grades.push_back(static_cast<char>(u));
            }
            DecodeScoreHistory(grades.c_str(), &r);
            // The named attributes hold pool and priority.
            r.priority = priority;
            r.poolMark = pool;
            break;
          }
          case kXmlScoreCorrect:
            r.correct = ToInt(value);
            break;
          case kXmlScoreIncorrect:
            r.incorrect = ToInt(value);
            break;
          case kXmlScoreReviewed:
            r.reviewed = ToInt(value);
            break;
          case kXmlScoreSinceLast:
            r.sinceLastChange = ToInt(value);
            break;
          case kXmlScoreFirstReviewed:
            r.firstReviewedTime = ToInt(value);
            break;
          case kXmlScoreLastReviewed:
            r.lastReviewedTime = ToInt(value);
            break;
          case kXmlScorePriority:
            r.priority = ParseXmlPriority(Units(value));
            break;
          case kXmlScoreForcePool:
            r.poolMark = ParseXmlForcePool(Units(value));
            break;
          default:
            break;
        }
      });
      if (score.record.score < 1) break;
      // The first one without a scorefile goes to the current profile's
      // scorefile; without one (-1) it is dropped like the later ones.
      if (!named) {
        const bool first =
            std::none_of(c.scores.begin(), c.scores.end(), [](const XmlScore& x) { return x.scorefile == -2; });
        if (!first || im->defaultScorefile < 0) break;
        score.scorefile = -2;  // marks the default's use; resolved below
      }
      c.scores.push_back(score);
      break;
    }
    case kXmlCatAssign:
      if (!inCard) break;
      each([&](uint32_t index, const XML_Char* value) {
        if (index != kXmlCatAssignCategory || c.catassigns.size() >= kCatAssignMax) return;
        const std::u16string path = FromXml(value);
        const int32_t id = FindOrCreateCategoryPath(im, kCategoryRoot, 0, path.c_str(), path.size());
        if (id >= 0) c.catassigns.push_back(id);
      });
      break;
    case kXmlEntry:
      im->textTarget = -1;
      c.toneType = 0;
      break;
    case kXmlHeadword: {
      if (im->textTarget >= 0) break;
      int target = 0;
      each([&](uint32_t index, const XML_Char* value) {
        if (index == kXmlHeadwordCharset &&
            (value[0] == u't' || value[0] == u'T' || value[0] == u'f' || value[0] == u'F'))
          target = 1;
      });
      im->textTarget = target;
      TargetBuffer(c, target)->clear();
      break;
    }
    case kXmlPron:
      if (im->textTarget >= 0) break;
      each([&](uint32_t index, const XML_Char* value) {
        if (index != kXmlPronTones) return;
        const std::u16string tones = FromXml(value);
        c.toneType = tones == u"numbers" ? 1 : tones == u"marks" ? 2 : 0;
      });
      im->textTarget = 2;
      c.pron.clear();
      break;
    case kXmlDefn:
      if (im->textTarget >= 0) break;
      im->textTarget = 3;
      c.defn.clear();
      break;
    default:
      break;
  }
  if (im->cancel) XML_StopParser(im->parser, XML_FALSE);
}

void XMLCALL ImportCharacterData(void* data, const XML_Char* text, int length) {
  auto* im = static_cast<FlashImport*>(data);
  if (!(im->seen & GetXmlElementDef(kXmlEntry)->containerBit) || length <= 0) return;
  std::u16string* target = TargetBuffer(im->card, im->textTarget);
  if (!target) return;
  if (target->size() + static_cast<size_t>(length) > kImportLineMax) {
    // A field beyond any line we accept: the file is not one of ours.
    im->cancel = true;
    XML_StopParser(im->parser, XML_FALSE);
    return;
  }
  for (int i = 0; i < length; ++i)
    if (text[i] != u'\n') target->push_back(static_cast<char16_t>(text[i]));
}

void XMLCALL ImportEndElement(void* data, const XML_Char* name) {
  auto* im = static_cast<FlashImport*>(data);
  uint32_t element = 0, bit = 0;
  if (LookupXmlElement(Units(name), &element, &bit) != 0) return;
  if (element == kXmlCard) {
    for (XmlScore& score : im->card.scores)
      if (score.scorefile == -2) score.scorefile = im->defaultScorefile;
    CommitImportedCard(im);
    if (im->cancel) XML_StopParser(im->parser, XML_FALSE);
  } else if ((element == kXmlHeadword && (im->textTarget == 0 || im->textTarget == 1)) ||
             (element == kXmlPron && im->textTarget == 2) || (element == kXmlDefn && im->textTarget == 3)) {
    im->textTarget = -1;
  }
  im->seen &= ~bit;
}

// 0, or 1 when the import failed (the open chunk rolled back).
int ImportXmlBlock(FlashImport* im, const uint8_t* bytes, uint32_t* length, bool final) {
  im->firstBlock = false;
  if (im->xmlBlocks == 0) {
    if (BeginAll(ChunkDatabases(im)) != SQLITE_OK) {
      RollBackAll(ChunkDatabases(im));
      return 1;
    }
  } else if (im->xmlBlocks % kXmlBlocksPerChunk == 1) {
    const std::vector<SqlDb*> chunk = ChunkDatabases(im);
    if (CommitAll(chunk) != SQLITE_OK) {
      RollBackAll(chunk);
      return 1;
    }
    im->logRowCommitted = im->logRow >= 0;
    if (BeginAll(chunk) != SQLITE_OK) {
      RollBackAll(chunk);
      return 1;
    }
  }
  XML_Status status = XML_STATUS_ERROR;
  {
    // The callback may run the UI while the parser is inside a block.
    if (im->settings.encoding == kImportUtf16Le) {
      status = XML_Parse(im->parser, reinterpret_cast<const char*>(bytes), static_cast<int>(*length), final);
    } else {
      uint32_t take = *length;
      // A length of 0 would mean "up to a 0 byte" to the decoder.
      const uint32_t size =
          take ? GetDecodedTextSize(im->engine, im->settings.encoding, reinterpret_cast<const char*>(bytes), &take) : 0;
      void* buffer = XML_GetBuffer(im->parser, static_cast<int>(size + 2));
      uint32_t used = take, written = 0;
      if (buffer &&
          (size == 0 || DecodeTextToWide(im->engine, im->settings.encoding, reinterpret_cast<const char*>(bytes),
                                         static_cast<WCHAR*>(buffer), size / 2 + 1, &used, &written) == 0)) {
        *length = size == 0 ? take : used;
        status = XML_ParseBuffer(im->parser, static_cast<int>(written), final);
      }
    }
  }
  if (status != XML_STATUS_OK || im->cancel) {
    RollBackAll(ChunkDatabases(im));
    ForgetUncommittedLog(im);
    return 1;
  }
  if (WriteImportLog(im) != SQLITE_OK) {
    RollBackAll(ChunkDatabases(im));
    ForgetUncommittedLog(im);
    return 1;
  }
  ++im->xmlBlocks;
  return 0;
}

// --- Text -----------------------------------------------------------------

bool IsLineEnd(char16_t u) { return u == u'\n' || u == u'\r'; }

// One line from `text` (units available); the units consumed, 0 for an
// empty line or, unless final, one without its terminator.
uint32_t ParseImportTextLine(FlashImport* im, const char16_t* text, uint32_t available, bool final) {
  uint32_t end = 0;
  while (end < available && !IsLineEnd(text[end]) && text[end] != 0) ++end;
  if (end == 0) return 0;
  if (end == available && !final) return 0;
  ImportCard& c = im->card;
  c = ImportCard{};
  // "//" alone is a category line too, one without a path: it changes
  // nothing (it is not a card whose headword is two slashes).
  if (end >= 2 && text[0] == u'/' && text[1] == u'/') {
    uint32_t i = 2;
    while (i < end && (text[i] == u' ' || text[i] == u'/')) ++i;
    if (i < end) {
      const int32_t id = FindOrCreateCategoryPath(im, kCategoryRoot, 0, text + i, end - i);
      if (id >= 0) im->textCategory = id;
    }
    return end;
  }
  const bool chinese = im->settings.language == kImportChineseEnglish;
  c.language = im->settings.target == kImportTargetCards ? im->settings.language : kAnyLanguage;
  uint32_t field = 0;  // 0 headword, 1 pronunciation, 2 definition
  bool inAlt = false;
  for (uint32_t i = 0; i < end; ++i) {
    const char16_t u = text[i];
    if (u == u'\t' && field < 2) {
      field = chinese ? field + 1 : 2;
      inAlt = false;
      continue;
    }
    if (field == 0 && chinese) {
      if (u == u'[') {
        inAlt = true;
        continue;
      }
      if (u == u']') continue;
      (inAlt ? c.althw : c.hw).push_back(u);
      continue;
    }
    (field == 0 ? c.hw : field == 1 ? c.pron : c.defn).push_back(u);
  }
  if (im->settings.target == kImportTargetUserDict) {
    if (!c.pron.empty()) c.pron = TakeText(ConvertPinyinToneMarks(c.pron.c_str(), nullptr));
    if (AddUserDictEntry(im->engine, im->userDictSlot, W(c.hw), W(c.althw), W(c.pron), W(c.defn)) >= 0) ++im->count;
    ReportProgress(im);
  } else {
    CommitImportedCard(im);
  }
  return end;
}

// 0, or 1 when the import failed or was cancelled (the open chunk rolled
// back).
int ImportTextBlock(FlashImport* im, const uint8_t* bytes, uint32_t* length, bool final) {
  DictEngine* engine = im->engine;
  const uint32_t encoding = im->settings.encoding;
  uint32_t take = *length;
  // A length of 0 would mean "up to a 0 byte" to the decoder.
  const uint32_t units =
      take ? GetDecodedTextSize(engine, encoding, reinterpret_cast<const char*>(bytes), &take) / 2 : 0;
  if (take == 0 && *length > 0 && units == 0 && !final) {
    *length = 0;
    return 0;  // only an incomplete character: wait for more bytes
  }
  const size_t buffered = im->line.size();
  if (buffered + units + 1 > kImportLineMax + 1) return 1;  // a line longer than any we accept
  im->line.resize(buffered + units + 1);
  uint32_t used = take, written = 0;
  if (units > 0 &&
      DecodeTextToWide(engine, encoding, reinterpret_cast<const char*>(bytes),
                       reinterpret_cast<WCHAR*>(im->line.data() + buffered), units + 1, &used, &written) != 0)
    return 1;
  im->line.resize(buffered + written / 2);
  *length = used;

  if (im->firstBlock) {
    im->firstBlock = false;
    if (im->settings.run.callback) {
      const size_t n = im->line.size() < kImportSampleMax ? im->line.size() : kImportSampleMax;
      std::u16string sample(im->line.data(), n);
      if (Ask(im, kImportAskEncoding, sample.c_str(), nullptr, 0, 0) != 0) return 1;
    }
  }

  const std::vector<SqlDb*> dbs = ChunkDatabases(im);
  if (BeginAll(dbs) != SQLITE_OK) {
    RollBackAll(dbs);
    return 1;
  }
  std::vector<SqlDb*> chunk = dbs;
  uint32_t pos = 0, lines = 0;
  const uint32_t size = static_cast<uint32_t>(im->line.size());
  const char16_t* text = im->line.data();
  for (;;) {
    while (pos < size && (IsLineEnd(text[pos]) || text[pos] == 0xFEFF || text[pos] == 0xFFFE)) ++pos;
    if (pos >= size || text[pos] == 0) break;
    const uint32_t used = ParseImportTextLine(im, text + pos, size - pos, final);
    if (im->cancel) {
      RollBackAll(ChunkDatabases(im));
      ForgetUncommittedLog(im);
      im->line.clear();
      return 1;
    }
    if (used == 0) break;
    pos += used;
    if (++lines >= kImportLinesPerChunk) {
      lines = 0;
      chunk = ChunkDatabases(im);
      if (WriteImportLog(im) != SQLITE_OK || CommitAll(chunk) != SQLITE_OK) {
        RollBackAll(chunk);
        ForgetUncommittedLog(im);
        return 1;
      }
      im->logRowCommitted = im->logRow >= 0;
      if (BeginAll(chunk) != SQLITE_OK) {
        RollBackAll(chunk);
        return 1;
      }
    }
  }
  chunk = ChunkDatabases(im);
  if (WriteImportLog(im) != SQLITE_OK || CommitAll(chunk) != SQLITE_OK) {
    RollBackAll(chunk);
    ForgetUncommittedLog(im);
    return 1;
  }
  im->logRowCommitted = im->logRow >= 0;
  im->line.erase(im->line.begin(), im->line.begin() + pos);
  // A line that cannot end within the limit fails now rather than later.
  if (im->line.size() > kImportLineMax) return 1;
  return 0;
}

}  // namespace

FlashImport* CreateFlashImport(DictEngine* engine, const ImportSettingsRecord* settings, uint32_t lineLimit) {
  if (!engine || !settings) return nullptr;
  if (settings->target != kImportTargetCards && settings->target != kImportTargetUserDict) return nullptr;
  EngineLockGuard lock;
  FlashcardStore* store = GetFlashcardStore(engine);
  if (settings->target == kImportTargetCards && (!store || !store->database)) return nullptr;
  auto* im = new FlashImport;
  im->engine = engine;
  im->store = store;
  im->settings = *settings;
  im->settings.run.rows = nullptr;  // the caller's rows are read here, not kept
  SqlDb* journalDb = nullptr;
  const uint16_t dictCount = GetDictCount(engine);
  if (settings->target == kImportTargetUserDict) {
    const uint16_t slot = FindDictSlot(engine, settings->dictCreator, settings->dictId);
    if (settings->format != kImportFormatText || slot >= dictCount || GetDictKind(engine, slot) != kDictKindUser) {
      delete im;
      return nullptr;
    }
    im->userDictSlot = slot;
    im->settings.language = GetDictLanguage(engine, slot) == kCardLanguageChinese ? kImportChineseEnglish : 0u;
    if (BeginUserDictImport(engine, slot) != 0) {
      delete im;
      return nullptr;
    }
    journalDb = UserDictDb(engine, slot);
  } else {
    journalDb = store->database;
    for (uint32_t i = 0; settings->run.rows && i < settings->dictRowCount && i < kImportDictRowMax; ++i) {
      const uint16_t slot = FindDictSlot(engine, settings->run.rows[i].creator, settings->run.rows[i].dictId);
      if (slot >= dictCount) continue;
      im->searchList.push_back(slot);
      if (!IsWritableUserDict(engine, slot)) continue;
      const uint32_t language = GetDictLanguage(engine, slot);
      if (language == kCardLanguageChinese && im->chineseTarget == kNoSlot) im->chineseTarget = slot;
      if (language == 0 && im->englishTarget == kNoSlot) im->englishTarget = slot;
    }
    if (im->searchList.empty()) {
      for (DictOrderList* list : engine->orderLists) {
        if (!list || list->language != im->settings.language) continue;
        for (uint16_t i = 0; i < list->count; ++i)
          if (list->items[i].slot < dictCount) im->searchList.push_back(list->items[i].slot);
      }
    }
    im->defaultScorefile = GetProfileScorefileId(store);
    if (im->defaultScorefile < 0) im->defaultScorefile = -1;
    // Targets found among the rows are used only with the option.
    if (!settings->storeDefinitions) im->chineseTarget = im->englishTarget = kNoSlot;
    for (uint16_t* target : {&im->chineseTarget, &im->englishTarget})
      if (*target != kNoSlot && BeginUserDictImport(engine, *target) != 0) *target = kNoSlot;
  }
  if (settings->unsafeMode && journalDb) {
    SqlSetFastJournal(journalDb);
    im->relaxedJournal = true;
  }
  if (im->settings.format == kImportFormatXml) {
    // "UTF-16" overrides any declaration: the engine decodes every other
    // encoding to UTF-16 before the parser sees it.
    static const XML_Char kUtf16[] = {'U', 'T', 'F', '-', '1', '6', 0};
    im->parser = XML_ParserCreate(kUtf16);
    if (!im->parser) {
      EndFlashImport(im, 1);
      return nullptr;
    }
    XML_SetUserData(im->parser, im);
    XML_SetElementHandler(im->parser, ImportStartElement, ImportEndElement);
    XML_SetCharacterDataHandler(im->parser, ImportCharacterData);
    im->settings.encoding = 0;
  }
  uint32_t limit = lineLimit ? lineLimit : kImportDefaultLineLimit;
  im->lineCapacity = 2 * limit;
  im->line.reserve(im->lineCapacity);
  im->card.language = im->settings.language;
  return im;
}

void EndFlashImport(FlashImport* im, int failed) {
  if (!im) return;
  EngineLockGuard lock;
  DictEngine* engine = im->engine;
  if (failed) {
    RollBackAll(ChunkDatabases(im));
  } else if (im->parser && SqlTransactionDepth(im->store->database) > 0) {
    const std::vector<SqlDb*> chunk = ChunkDatabases(im);
    if (WriteImportLog(im) != SQLITE_OK || CommitAll(chunk) != SQLITE_OK) RollBackAll(chunk);
  }
  if (im->parser) XML_ParserFree(im->parser);
  SqlDb* journalDb = nullptr;
  if (im->settings.target == kImportTargetUserDict) {
    EndUserDictImport(engine, im->userDictSlot);
    journalDb = UserDictDb(engine, im->userDictSlot);
  } else {
    if (im->chineseTarget != kNoSlot) EndUserDictImport(engine, im->chineseTarget);
    if (im->englishTarget != kNoSlot && im->englishTarget != im->chineseTarget)
      EndUserDictImport(engine, im->englishTarget);
    journalDb = im->store->database;
  }
  if (im->relaxedJournal && journalDb) SqlSetSafeJournal(journalDb);
  delete im;
}

int ImportDataBlock(FlashImport* im, const uint8_t* bytes, uint32_t* length, int final) {
  if (!im || !length || (!bytes && *length)) {
    EndFlashImport(im, 1);
    return 1;
  }
  EngineLockGuard lock;
  // The mark needs three bytes: a shorter first block waits for more (the
  // caller carries it into the next one).
  if (im->firstBlock && *length < 3 && !final) {
    *length = 0;
    return 0;
  }
  if (im->firstBlock && *length >= 3) {
    if (bytes[0] == 0xFE && bytes[1] == 0xFF) im->settings.encoding = kImportUtf16Be;
    else if (bytes[0] == 0xFF && bytes[1] == 0xFE)
      im->settings.encoding = kImportUtf16Le;
    else if ((bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) || im->settings.encoding == 0)
      im->settings.encoding = kImportUtf8;
  }
  // XML without a mark is UTF-8, whatever its declaration says.
  if (im->settings.encoding == 0) im->settings.encoding = kImportUtf8;
  const int rc =
      im->parser ? ImportXmlBlock(im, bytes, length, final != 0) : ImportTextBlock(im, bytes, length, final != 0);
  if (rc != 0 || final) EndFlashImport(im, rc != 0);
  return rc;
}

int ReadFlashImportRecord(FlashcardStore* store, int32_t* startTime, int32_t* endTime, int32_t* cardCount) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  if (SqlTableExists(store->database, kFlashImportsTable, 0) != 1) return 1;
  const SqlTerm select[4] = {FlashIntTerm(1, 0), FlashIntTerm(2, 0), FlashIntTerm(3, 0), FlashIntTerm(4, 0)};
  SqlQuery q{};
  q.table = kFlashImportsTable;
  q.columns = kFlashImportColumns;
  q.columnCount = kImportColumnCount;
  q.select = select;
  q.selectCount = 4;
  SqlTerm order = FlashIntTerm(0, 0);
  order.descending = 1;
  q.order = &order;
  q.orderCount = 1;
  q.limit = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(store->database, &q);
  if (!stmt) return 1;
  int result = 1;
  if (SqlStep(stmt) == SQLITE_ROW) {
    result = 0;
    if (startTime) *startTime = SqlColumnInt(stmt, 0);
    if (endTime) *endTime = SqlColumnInt(stmt, 1);
    const bool cards = !SqlColumnIsNull(stmt, 2) && SqlColumnInt(stmt, 2) > 0;
    if (cardCount) *cardCount = cards ? SqlColumnInt(stmt, 3) - SqlColumnInt(stmt, 2) + 1 : 0;
  }
  SqlFinalize(stmt);
  return result;
}

namespace {

// The ids of `table` whose `column` lies in [first, last].
std::vector<int32_t> IdsInRange(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t columnCount,
                                int32_t first, int32_t last) {
  std::vector<int32_t> ids;
  SqlTerm where[2] = {FlashIntTerm(0, first), FlashIntTerm(0, last)};
  where[0].op = kSqlOpGreaterEqual;
  where[1].op = kSqlOpLessEqual;
  const SqlTerm select = FlashIntTerm(0, 0);
  SqlQuery q{};
  q.table = table;
  q.columns = columns;
  q.columnCount = columnCount;
  q.where = where;
  q.whereCount = 2;
  q.select = &select;
  q.selectCount = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
  if (!stmt) return ids;
  while (SqlStep(stmt) == SQLITE_ROW) ids.push_back(SqlColumnInt(stmt, 0));
  SqlFinalize(stmt);
  return ids;
}

}  // namespace

int UndoLastFlashImport(FlashcardStore* store) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  if (SqlTableExists(db, kFlashImportsTable, 0) != 1) return 1;
  SqlTerm select[kImportColumnCount];
  for (uint32_t i = 0; i < kImportColumnCount; ++i) select[i] = FlashIntTerm(i, 0);
  SqlQuery q{};
  q.table = kFlashImportsTable;
  q.columns = kFlashImportColumns;
  q.columnCount = kImportColumnCount;
  q.select = select;
  q.selectCount = kImportColumnCount;
  SqlTerm order = FlashIntTerm(0, 0);
  order.descending = 1;
  q.order = &order;
  q.orderCount = 1;
  q.limit = 1;
  sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
  if (!stmt) return 1;
  int32_t row[kImportColumnCount] = {};
  bool found = false;
  if (SqlStep(stmt) == SQLITE_ROW) {
    found = true;
    for (uint32_t i = 0; i < kImportColumnCount; ++i)
      row[i] = SqlColumnIsNull(stmt, static_cast<int>(i)) ? -1 : SqlColumnInt(stmt, static_cast<int>(i));
  }
  SqlFinalize(stmt);
  if (!found) return 1;
  auto range = [&row](uint32_t kind, int32_t* first, int32_t* last) {
    *first = row[3 + 2 * kind];
    *last = row[4 + 2 * kind];
    return *first > 0 && *last >= *first;
  };
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  // Memory follows the file if anything below fails.
  rc = FlashRegisterRollback(store);
  int32_t first = 0, last = 0;
  if (rc == SQLITE_OK && range(kRangeProfiles, &first, &last))
    for (int32_t id : IdsInRange(db, kFlashProfilesTable, kFlashProfileColumns, kProfileColumnCount, first, last))
      if (rc == SQLITE_OK) rc = DeleteProfile(store, id);
  if (rc == SQLITE_OK && range(kRangeScorefiles, &first, &last))
    for (int32_t id : IdsInRange(db, kFlashScorefilesTable, kFlashScorefileColumns, kScorefileColumnCount, first, last))
      if (rc == SQLITE_OK) rc = DeleteScorefile(store, id);
  if (rc == SQLITE_OK && range(kRangeAssigns, &first, &last)) {
    SqlTerm where[2] = {FlashIntTerm(kAssignId, first), FlashIntTerm(kAssignId, last)};
    where[0].op = kSqlOpGreaterEqual;
    where[1].op = kSqlOpLessEqual;
    rc = SqlDelete(db, kFlashCategoryAssignsTable, kFlashAssignColumns, where, 2);
  }
  if (rc == SQLITE_OK && range(kRangeCategories, &first, &last)) {
    // Children before their parents, so no deletion moves a child up.
    std::vector<int32_t> ids =
        IdsInRange(db, kFlashCategoriesTable, kFlashCategoryColumns, kCategoryColumnCount, first, last);
    for (auto it = ids.rbegin(); rc == SQLITE_OK && it != ids.rend(); ++it)
      if (GetCategoryRecord(store, *it)) {
        const int r = DeleteCategory(store, *it);
        rc = r == 1 ? SQLITE_OK : r;
      }
  }
  if (rc == SQLITE_OK && range(kRangeCards, &first, &last))
    for (int32_t id : IdsInRange(db, kFlashCardsTable, kFlashCardColumns, kCardColumnCount, first, last))
      if (rc == SQLITE_OK) rc = DeleteCard(store, id);
  if (rc == SQLITE_OK) {
    const SqlTerm where = FlashIntTerm(0, row[0]);
    rc = SqlDelete(db, kFlashImportsTable, kFlashImportColumns, &where, 1);
  }
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return rc;
  }
  return SqlCommit(db);
}

WCHAR* GetImportDuplicateCardText(FlashcardStore* store, int32_t card) {
  // The existing card as the exchange shows it: headword, pronunciation and
  // definition, with no note when its link leads nowhere.
  MemHandle* h = NewMemHandle(2);
  if (!h) return nullptr;
  CardContentRecord content{};
  content.store = store;
  content.card = card;
  content.fields = kExchangeExistingMask | (CardAltHeadwordFirst(store) ? kContentAltFirst : 0u);
  content.text = h;
  std::u16string out;
  if (BuildCardContent(nullptr, &content) == 0) out = Str(static_cast<const WCHAR*>(h->data));
  FreeMemHandle(h);
  auto* copy = static_cast<WCHAR*>(MemAlloc((out.size() + 1) * sizeof(WCHAR)));
  if (copy) std::memcpy(copy, out.c_str(), (out.size() + 1) * sizeof(WCHAR));
  return copy;
}
