#include "flash/exchange_export.h"

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/search.h"
#include "engine/search_results.h"
#include "engine/sql_query.h"
#include "engine/system_services.h"
#include "engine/text_buffer.h"
#include "engine/text_encoding.h"
#include "engine/user_dict.h"
#include "flash/card_scores.h"
#include "flash/card_search.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/exchange_xml.h"
#include "flash/flash_sql.h"
#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// A category path as written: three names of 39 units and their joins.
constexpr uint32_t kPathMax = 400;
// References of one card: its own and those of its altdictrefs text.
constexpr uint32_t kDictRefMax = 32;
// Slack behind the block for the terminator EncodeWideText always writes.
constexpr uint32_t kBlockSlack = 2;
constexpr uint16_t kAt = u'@';

// One card row or user-dictionary entry, as WriteCardRecord writes it.
struct ExportItem {
  bool isEntry = false;
  int32_t id = -1;
  uint32_t language = 0;
  std::u16string hw, althw, pron, defn, altRefs;
  int32_t creator = -1, dictId = -1, entryKey = -1;
  int32_t created = 0, modified = 0;
};

struct DictRef {
  int32_t creator, dictId, entry;
};

struct ExportContext {
  DictEngine* engine = nullptr;
  FlashcardStore* store = nullptr;
  ExportSettingsRecord settings{};         // the copy the export works from
  ExportSettingsRecord* caller = nullptr;  // handed to the callbacks
  uint16_t userDictSlot = 65535;
  uint32_t languageFilter = kExportAnyLanguage;
  uint32_t layoutLanguage = kExportChineseEnglish;
  uint32_t encoding = kExportUtf8;
  uint8_t* block = nullptr;
  uint32_t fill = 0;
  std::vector<uint32_t> remapSlots;
  uint32_t written = 0;
  TextBuffer text{};
  bool categoriesAvailable = false;
};

std::u16string Str(const WCHAR* text) { return text ? std::u16string(text) : std::u16string(); }
const WCHAR* W(const std::u16string& s) { return s.empty() ? nullptr : s.c_str(); }

std::u16string WithoutAt(const std::u16string& s) {
  std::u16string out;
  for (char16_t c : s)
    if (c != kAt) out.push_back(c);
  return out;
}

int Append(ExportContext* c, const std::u16string& s) {
  return s.empty() ? 0 : TextBufAppendWide(&c->text, s.c_str(), static_cast<uint32_t>(s.size()));
}
int AppendAscii(ExportContext* c, const char* s) {
  return TextBufAppendUtf8(&c->text, s, static_cast<uint32_t>(std::strlen(s)));
}

int Write(ExportContext* c, const uint8_t* bytes, uint32_t length) {
  if (length == 0 || !c->settings.run.write) return 0;
  return c->settings.run.write(c->caller, bytes, length);
}

// Encodes the text buffer into the block (or, when it alone fills a
// block, into an allocation of its own), handing the full block over
// first. The text buffer is emptied. The write callback's result, or 1
// when the text cannot be encoded.
int FlushExportBuffer(ExportContext* c) {
  const uint32_t units = c->text.length;
  if (units == 0) return 0;
  c->text.length = 0;
  const WCHAR* text = c->text.data;
  // The code pages are read from the engine's data files: encoding holds
  // the engine lock, handing blocks over does not.
  uint32_t size = 0;
  {
    EngineLockGuard lock;
    size = GetEncodedTextSize(c->engine, c->encoding, text, units);
  }
  if (c->fill + static_cast<uint64_t>(size) >= kExportBlockSize) {
    const int rc = Write(c, c->block, c->fill);
    c->fill = 0;
    if (rc != 0) return rc;
  }
  uint32_t done = 0;
  if (size >= kExportBlockSize) {
    auto* temp = static_cast<uint8_t*>(MemAlloc(size + kBlockSlack));
    if (!temp) return 1;
    int rc = 0;
    {
      EngineLockGuard lock;
      rc = EncodeWideText(c->engine, c->encoding, text, reinterpret_cast<char*>(temp), size + kBlockSlack, units * 2,
                          &done);
    }
    if (rc == 0) rc = Write(c, temp, done);
    LocalFree(temp);
    return rc;
  }
  EngineLockGuard lock;
  if (EncodeWideText(c->engine, c->encoding, text, reinterpret_cast<char*>(c->block + c->fill),
                     kExportBlockSize + kBlockSlack - c->fill, units * 2, &done) != 0)
    return 1;
  c->fill += done;
  return 0;
}

void AppendBytes(ExportContext* c, const uint8_t* bytes, uint32_t n) {
  std::memcpy(c->block + c->fill, bytes, n);
  c->fill += n;
}

void FreeExportContext(ExportContext* c) {
  if (c->text.handle) {
    TextBufFinish(&c->text);
    FreeMemHandle(c->text.handle);
  }
  if (c->block) LocalFree(c->block);
  // The category array stays loaded: between items the lock is free and
  // the user may have edited categories, which unloading would drop.
  delete c;
}

// --- What one card holds besides its row --------------------------------

// The card's own reference, then those of its altdictrefs text, 32 at most.
std::vector<DictRef> CardRefs(const ExportItem& item) {
  std::vector<DictRef> refs;
  if (item.creator != -1 && item.dictId != 0 && item.dictId != -1)
    refs.push_back({item.creator, item.dictId, item.entryKey});
  uint32_t groups = 0;
  if (int32_t* list = ParseIntList(W(item.altRefs), 3, 0, &groups)) {
    for (uint32_t i = 0; i < groups && refs.size() < kDictRefMax; ++i)
      refs.push_back({list[3 * i], list[3 * i + 1], list[3 * i + 2]});
    LocalFree(list);
  }
  if (refs.size() > kDictRefMax) refs.resize(kDictRefMax);
  return refs;
}

std::u16string TakeText(WCHAR* text) {
  std::u16string out = Str(text);
  if (text) LocalFree(text);
  return out;
}

// Step 2 of writing a card: a definition from the dictionaries, first
// through the card's references, then (remap) by a headword search.
std::u16string DictionaryDefinition(ExportContext* c, const ExportItem& item) {
  DictEngine* engine = c->engine;
  const uint16_t dictCount = GetDictCount(engine);
  for (const DictRef& r : CardRefs(item)) {
    const uint16_t slot = FindDictSlot(engine, static_cast<uint32_t>(r.creator), static_cast<uint32_t>(r.dictId));
    if (slot >= dictCount) continue;
    const int32_t entry = MapDictEntryId(engine, slot, r.entry);
    if (entry < 0) continue;
    std::u16string defn = TakeText(GetEntryDefinitionText(c->store, slot, static_cast<uint32_t>(entry)));
    if (!defn.empty()) return defn;
  }
  if (!c->settings.remap || c->remapSlots.empty()) return {};
  const std::u16string hw = WithoutAt(item.hw), althw = WithoutAt(item.althw), pron = WithoutAt(item.pron);
  SearchResultList* list =
      FindEntriesByHeadword(engine, c->remapSlots.data(), static_cast<uint32_t>(c->remapSlots.size()), W(hw), W(althw),
                            W(pron), item.language, 65535, 0, 1, 1, 0);
  std::u16string defn;
  if (list && list->count > 0) {
    const uint16_t slot = static_cast<uint16_t>(list->items[0].first & 0xFFF);
    int32_t entry = static_cast<int32_t>(list->items[0].entry);
    if (GetDictKind(engine, slot) == kDictKindUser) entry = MapDictEntryId(engine, slot, entry);
    if (entry >= 0) defn = TakeText(GetEntryDefinitionText(c->store, slot, static_cast<uint32_t>(entry)));
  }
  FreeResultList(list);
  return defn;
}

// --- XML ------------------------------------------------------------------

XmlAttrValue Int(uint32_t index, int32_t value) { return {index, nullptr, nullptr, value}; }
XmlAttrValue Utf8(uint32_t index, const char* text) { return {index, text, nullptr, 0}; }
XmlAttrValue Wide(uint32_t index, const WCHAR* text) { return {index, nullptr, text, 0}; }

int WriteXmlDictRefs(ExportContext* c, const ExportItem& item) {
  int rc = 0;
  for (const DictRef& r : CardRefs(item)) {
    if (r.creator == -1 || r.dictId == -1 || r.entry == -1) continue;
    char id[kXmlDictIdTextSize];
    FormatXmlDictId(r.dictId, id);
    XmlAttrValue v[3];
    uint32_t n = 0;
    if (r.creator != 0) v[n++] = Int(kXmlDictRefCreator, r.creator);
    v[n++] = Utf8(kXmlDictRefId, id);
    v[n++] = Int(kXmlDictRefEntry, r.entry);
    rc |= WriteXmlElement(&c->text, kXmlEmptyTag, kXmlDictRef, v, n);
  }
  return rc;
}

int WriteXmlCatAssigns(ExportContext* c, int32_t card) {
  int32_t* ids = nullptr;
  int32_t count = 0;
  if (GetCardCategoryIds(c->store, card, &ids, &count) != 0 || !ids) return 0;
  int rc = 0;
  for (int32_t i = 0; i < count; ++i) {
    WCHAR path[kPathMax] = {};
    if (GetCategoryPath(c->store, ids[i], path, kPathMax) != 0) continue;
    const XmlAttrValue v = Wide(kXmlCatAssignCategory, path);
    rc |= WriteXmlElement(&c->text, kXmlEmptyTag, kXmlCatAssign, &v, 1);
  }
  LocalFree(ids);
  return rc;
}

int WriteXmlScores(ExportContext* c, int32_t card) {
  int rc = 0;
  const int32_t n = GetScorefileCount(c->store);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t scorefile = GetScorefileIdByIndex(c->store, i);
    CardScoreRecord s;
    if (ReadCardScore(c->store, scorefile, card, &s, 1) != 0) continue;
    WCHAR name[kFlashNameMax] = {};
    uint32_t length = kFlashNameMax;
    if (GetScorefileName(c->store, scorefile, name, &length) != 0) continue;
    char history[kScoreHistoryMax + 1] = {};
    for (uint32_t h = 0; h < kScoreHistoryMax && s.history[h]; ++h)
      history[h] = static_cast<char>('0' + (s.history[h] > 9 ? 9 : s.history[h]));
    XmlAttrValue v[12] = {
        Wide(kXmlScoreFile, name),
        Int(kXmlScoreScore, s.score),
        Int(kXmlScoreDifficulty, s.difficulty),
        Utf8(kXmlScoreHistory, history),
        Int(kXmlScoreCorrect, s.correct),
        Int(kXmlScoreIncorrect, s.incorrect),
        Int(kXmlScoreReviewed, s.reviewed),
        Int(kXmlScoreSinceLast, s.sinceLastChange),
        Int(kXmlScoreFirstReviewed, s.firstReviewedTime),
        Int(kXmlScoreLastReviewed, s.lastReviewedTime),
    };
    uint32_t count = 10;
    if (s.priority >= kPriorityHigh && s.priority <= kPriorityVeryLow)
      v[count++] = Utf8(kXmlScorePriority, XmlPriorityName(s.priority));
    if (s.poolMark == kPoolForceAdd || s.poolMark == kPoolExclude)
      v[count++] = Utf8(kXmlScoreForcePool, XmlForcePoolName(s.poolMark));
    rc |= WriteXmlElement(&c->text, kXmlEmptyTag, kXmlScoreInfo, v, count);
  }
  return rc;
}

int WriteXmlCard(ExportContext* c, const ExportItem& item) {
  TextBuffer* tb = &c->text;
  XmlAttrValue card[3] = {Utf8(kXmlCardLanguage, XmlLanguageName(item.language)), Int(kXmlCardCreated, item.created),
                          Int(kXmlCardModified, item.modified)};
  int rc = WriteXmlElement(tb, kXmlStartTag, kXmlCard, card, c->settings.dates ? 3 : 1);
  rc |= WriteXmlElement(tb, kXmlStartTag, kXmlEntry, nullptr, 0);
  const XmlAttrValue sc = Utf8(kXmlHeadwordCharset, "sc");
  const XmlAttrValue tc = Utf8(kXmlHeadwordCharset, "tc");
  if (!item.hw.empty()) rc |= WriteXmlTextElement(tb, kXmlHeadword, &sc, item.althw.empty() ? 0 : 1, W(item.hw), kAt);
  if (!item.althw.empty()) rc |= WriteXmlTextElement(tb, kXmlHeadword, &tc, 1, W(item.althw), kAt);
  if (!item.pron.empty()) {
    const XmlAttrValue pron[2] = {Utf8(kXmlPronType, "hypy"), Utf8(kXmlPronTones, "numbers")};
    rc |= WriteXmlTextElement(tb, kXmlPron, pron, 2, W(item.pron), kAt);
  }
  if (!item.defn.empty()) rc |= WriteXmlTextElement(tb, kXmlDefn, nullptr, 0, W(item.defn), 0);
  rc |= WriteXmlElement(tb, kXmlEndTag, kXmlEntry, nullptr, 0);
  if (!item.isEntry) {
    rc |= WriteXmlDictRefs(c, item);
    rc |= WriteXmlCatAssigns(c, item.id);
    if (c->settings.statistics) rc |= WriteXmlScores(c, item.id);
  }
  rc |= WriteXmlElement(tb, kXmlEndTag, kXmlCard, nullptr, 0);
  return rc ? 1 : 0;
}

// --- Text -----------------------------------------------------------------

int WriteTextLine(ExportContext* c, const ExportItem& item) {
  const std::u16string hw = WithoutAt(item.hw), althw = WithoutAt(item.althw), pron = WithoutAt(item.pron);
  std::u16string line;
  switch (c->settings.charset) {
    case kExportCharsetSimp:
      line = hw.empty() ? althw : hw;
      break;
    case kExportCharsetTrad:
      line = althw.empty() ? hw : althw;
      break;
    default:
      if (hw.empty()) line = althw;
      else
        line = althw.empty() ? hw : hw + u"[" + althw + u"]";
  }
  std::u16string defn;
  for (char16_t ch : item.defn) {
    if (ch == u'\t') continue;
    defn.push_back(ch == u'\r' || ch == u'\n' ? u' ' : ch);
  }
  // A TAB ends the headword whenever anything follows it: without it a
  // pronunciation would run into the headword and read back as part of it.
  if (!pron.empty() || !defn.empty()) line.push_back(u'\t');
  line += pron;
  if (c->layoutLanguage == kExportChineseEnglish) {
    if (!defn.empty()) line.push_back(u'\t');
  } else if (!pron.empty() && !defn.empty()) {
    line.push_back(u' ');
  }
  line += defn;
  line += u"\r\n";
  return Append(c, line);
}

// --- Items ----------------------------------------------------------------

std::u16string Column16(sqlite3_stmt* row, int column) { return Str(SqlColumnText16(row, column)); }

// Writes one card row (the 13 columns of the cards table in table order)
// or, with entryFlag, one user-dictionary row (word, alternative word,
// pronunciation, definition, created, modified, language). 0 also when
// the language filter leaves it out; 1 when it could not be written.
int WriteCardRecord(ExportContext* c, sqlite3_stmt* row, int entryFlag) {
  ExportItem item;
  item.isEntry = entryFlag != 0;
  if (entryFlag) {
    item.hw = Column16(row, 0);
    item.althw = Column16(row, 1);
    item.pron = Column16(row, 2);
    item.defn = Column16(row, 3);
    item.created = SqlColumnInt(row, 4);
    item.modified = SqlColumnInt(row, 5);
    item.language = static_cast<uint32_t>(SqlColumnInt(row, 6));
  } else {
    item.id = SqlColumnInt(row, kCardId);
    item.language = static_cast<uint32_t>(SqlColumnInt(row, kCardLang));
    item.hw = Column16(row, kCardHw);
    item.althw = Column16(row, kCardAltHw);
    item.pron = Column16(row, kCardPron);
    item.defn = Column16(row, kCardDefn);
    item.creator = SqlColumnIsNull(row, kCardDictCreator) ? -1 : SqlColumnInt(row, kCardDictCreator);
    item.dictId = SqlColumnIsNull(row, kCardDictId) ? -1 : SqlColumnInt(row, kCardDictId);
    item.entryKey = SqlColumnIsNull(row, kCardDictEntry) ? -1 : SqlColumnInt(row, kCardDictEntry);
    item.altRefs = Column16(row, kCardAltDictRefs);
    item.created = SqlColumnInt(row, kCardCreated);
    item.modified = SqlColumnInt(row, kCardModified);
  }
  if (c->languageFilter != kExportAnyLanguage && item.language != c->languageFilter) return 0;
  if (!c->settings.cardDefinitions) item.defn.clear();
  if (item.defn.empty() && c->settings.dictDefinitions && !entryFlag) item.defn = DictionaryDefinition(c, item);
  ++c->written;
  return c->settings.format == kExportFormatXml ? WriteXmlCard(c, item) : WriteTextLine(c, item);
}

sqlite3_stmt* SelectCards(ExportContext* c, const int32_t* card) {
  SqlTerm select[kCardColumnCount] = {};
  for (uint32_t i = 0; i < kCardColumnCount; ++i) select[i].column = static_cast<int16_t>(i);
  const SqlTerm where = card ? FlashIntTerm(kCardId, *card) : SqlTerm{};
  SqlTerm order{};
  order.column = kCardId;
  SqlQuery q{};
  q.table = kFlashCardsTable;
  q.columns = kFlashCardColumns;
  q.columnCount = kCardColumnCount;
  q.where = card ? &where : nullptr;
  q.whereCount = card ? 1 : 0;
  q.select = select;
  q.selectCount = kCardColumnCount;
  q.order = &order;
  q.orderCount = 1;
  return SqlPrepareSelect(c->store->database, &q);
}

// kExportCardVanished when the card no longer exists.
int WriteCardById(ExportContext* c, int32_t card) {
  EngineLockGuard lock;
  sqlite3_stmt* row = SelectCards(c, &card);
  if (!row) return 1;
  const int step = SqlStep(row);
  int rc = kExportCardVanished;
  if (step == SQLITE_ROW) rc = WriteCardRecord(c, row, 0);
  else if (step != SQLITE_DONE)
    rc = 1;
  SqlFinalize(row);
  return rc;
}

// After each item: flush, then report.
int ItemDone(ExportContext* c, uint32_t total) {
  const int rc = FlushExportBuffer(c);
  if (rc != 0) return rc;
  if (c->settings.run.progress) c->settings.run.progress(c->caller, c->written, total);
  return 0;
}

int WriteCardList(ExportContext* c, const ChunkedArray* list, uint32_t total) {
  if (!list) return 0;
  for (int32_t i = 0; i < list->count; ++i) {
    const int rc = WriteCardById(c, GetChunkedArrayItem(list, i));
    if (rc == kExportCardVanished) continue;
    if (rc != 0) return rc;
    if (const int done = ItemDone(c, total); done != 0) return done;
  }
  return 0;
}

// Steps a statement positioned on its first row (or not yet stepped when
// `stepFirst`), writing each row. 0 when the rows ended.
int WriteRows(ExportContext* c, sqlite3_stmt* rows, int entryFlag, bool stepFirst) {
  int step = SQLITE_ROW;
  for (bool first = true;; first = false) {
    {
      EngineLockGuard lock;
      if (!first || stepFirst) step = SqlStep(rows);
      if (step != SQLITE_ROW) break;
      if (WriteCardRecord(c, rows, entryFlag) != 0) return 1;
    }
    if (const int rc = ItemDone(c, 0); rc != 0) return rc;
  }
  return step == SQLITE_DONE ? 0 : 1;
}

int WriteAllCards(ExportContext* c) {
  sqlite3_stmt* rows = nullptr;
  {
    EngineLockGuard lock;
    rows = SelectCards(c, nullptr);
  }
  if (!rows) return 1;
  const int rc = WriteRows(c, rows, 0, true);
  EngineLockGuard lock;
  SqlFinalize(rows);
  return rc;
}

// Every category below parent, depth first, in the order of the tree.
void AppendTree(FlashcardStore* store, int32_t parent, int depth, std::vector<int32_t>* out) {
  if (depth > kCategoryMaxLevel) return;
  const int32_t n = GetChildRange(store, parent, nullptr, nullptr);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t id = GetChildCategory(store, parent, i);
    if (id <= 0) continue;
    out->push_back(id);
    AppendTree(store, id, depth + 1, out);
  }
}

std::vector<int32_t> CategoryTree(ExportContext* c) {
  std::vector<int32_t> ids;
  EngineLockGuard lock;
  AppendTree(c->store, kCategoryRoot, 0, &ids);
  return ids;
}

int WriteByCategory(ExportContext* c, bool chosen) {
  std::vector<int32_t> ids;
  if (!chosen) {
    ids.push_back(kCategoryUncategorized);
    const std::vector<int32_t> tree = CategoryTree(c);
    ids.insert(ids.end(), tree.begin(), tree.end());
  } else {
    uint32_t n = 0;
    int32_t* expanded = nullptr;
    {
      EngineLockGuard lock;
      expanded = ExpandCategoryIds(c->store, c->settings.run.categoryIds, c->settings.run.categoryCount, &n);
    }
    if (!expanded) return 1;
    bool uncategorized = false;
    for (uint32_t i = 0; i < n; ++i) uncategorized = uncategorized || expanded[i] == kCategoryUncategorized;
    if (uncategorized) ids.push_back(kCategoryUncategorized);
    for (uint32_t i = 0; i < n; ++i)
      if (expanded[i] > 0) ids.push_back(expanded[i]);
    LocalFree(expanded);
  }
  for (const int32_t id : ids) {
    ChunkedArray* cards = nullptr;
    WCHAR path[kPathMax] = {};
    bool pathOk = true;
    {
      EngineLockGuard lock;
      cards = ListCategoryCards(c->store, id);
      if (id != kCategoryUncategorized) pathOk = GetCategoryPath(c->store, id, path, kPathMax) == 0;
    }
    if (!cards) return 1;
    int rc = 0;
    if (cards->count > 0 && pathOk) {
      if (id != kCategoryUncategorized) {
        rc = AppendAscii(c, "// ");
        rc |= TextBufAppendWide(&c->text, path, 0);
        rc |= AppendAscii(c, "\r\n");
        rc = rc ? 1 : FlushExportBuffer(c);
      }
      if (rc == 0) rc = WriteCardList(c, cards, 0);
    }
    FreeChunkedArray(cards);
    if (rc != 0) return rc;
  }
  return 0;
}

int WriteUserDictEntries(ExportContext* c) {
  sqlite3_stmt* rows = nullptr;
  {
    EngineLockGuard lock;
    rows = SelectUserDictEntriesForExport(c->engine, c->userDictSlot);
  }
  if (!rows) return 0;  // no entries
  const int rc = WriteRows(c, rows, 1, false);
  EngineLockGuard lock;
  SqlFinalize(rows);
  return rc;
}

// --- Set-up ---------------------------------------------------------------

void CollectRemapSlots(ExportContext* c) {
  const uint16_t count = GetDictCount(c->engine);
  for (DictOrderList* list : c->engine->orderLists) {
    if (!list) continue;
    for (uint16_t i = 0; i < list->count; ++i) {
      const uint32_t slot = list->items[i].slot;
      if (slot >= count) continue;
      bool seen = false;
      for (uint32_t s : c->remapSlots) seen = seen || s == slot;
      if (!seen) c->remapSlots.push_back(slot);
    }
  }
}

int WriteXmlHead(ExportContext* c) {
  int rc = AppendAscii(c, kXmlDeclaration);
  WCHAR platform[kPlatformNameSize] = {};
  GetPlatformName(platform);
  XmlAttrValue root[5];
  uint32_t n = 0;
  root[n++] = Int(kXmlRootFormatVersion, kXmlFormatVersion);
  if (c->settings.documentName[0]) root[n++] = Wide(kXmlRootName, c->settings.documentName);
  root[n++] = Utf8(kXmlRootGenerator, kExportGenerator);
  root[n++] = Wide(kXmlRootPlatform, platform);
  root[n++] = Int(kXmlRootCreated, FlashNow());
  rc |= WriteXmlElement(&c->text, kXmlStartTag, kXmlSorviFlash, root, n);
  if (c->settings.target == kExportTargetCards && c->settings.scope == kExportScopeAll && c->categoriesAvailable) {
    rc |= WriteXmlElement(&c->text, kXmlStartTag, kXmlCategories, nullptr, 0);
    for (const int32_t id : CategoryTree(c)) {
      WCHAR path[kPathMax] = {};
      {
        EngineLockGuard lock;
        if (GetCategoryPath(c->store, id, path, kPathMax) != 0) continue;
      }
      const XmlAttrValue v = Wide(kXmlCategoryName, path);
      rc |= WriteXmlElement(&c->text, kXmlEmptyTag, kXmlCategory, &v, 1);
    }
    rc |= WriteXmlElement(&c->text, kXmlEndTag, kXmlCategories, nullptr, 0);
  }
  rc |= WriteXmlElement(&c->text, kXmlStartTag, kXmlCards, nullptr, 0);
  return rc ? 1 : FlushExportBuffer(c);
}

void WriteByteOrderMark(ExportContext* c) {
  static constexpr uint8_t kUtf8[] = {0xEF, 0xBB, 0xBF};
  static constexpr uint8_t kLe[] = {0xFF, 0xFE};
  static constexpr uint8_t kBe[] = {0xFE, 0xFF};
  if (c->encoding == kExportUtf8) AppendBytes(c, kUtf8, 3);
  else if (c->encoding == kExportUtf16Le)
    AppendBytes(c, kLe, 2);
  else if (c->encoding == kExportUtf16Be)
    AppendBytes(c, kBe, 2);
}

int RunExport(ExportContext* c) {
  const ExportSettingsRecord& s = c->settings;
  const bool xml = s.format == kExportFormatXml;
  int rc = 0;
  if (s.target == kExportTargetUserDict) return WriteUserDictEntries(c);
  const ExportRunTime& run = s.run;
  const bool chosen = s.scope == kExportScopeCategories;
  if (s.scope == kExportScopeResults) {
    rc = WriteCardList(c, run.resultCards, run.resultCards ? static_cast<uint32_t>(run.resultCards->count) : 0);
  } else if (chosen && (xml || !s.categories)) {
    // The chosen categories' cards, each once.
    if (!run.categoryIds || run.categoryCount == 0) return 0;
    ChunkedArray* list = nullptr;
    {
      EngineLockGuard lock;
      list = ListCardsOfCategories(c->store, run.categoryIds, run.categoryCount, 1);
    }
    if (!list) return 1;
    rc = WriteCardList(c, list, static_cast<uint32_t>(list->count));
    FreeChunkedArray(list);
  } else if (!xml && c->categoriesAvailable) {
    if (chosen && (!run.categoryIds || run.categoryCount == 0)) return 0;
    rc = WriteByCategory(c, chosen);
  } else if (!chosen) {
    rc = WriteAllCards(c);
  }
  return rc;
}

}  // namespace

int ExportFlashcards(DictEngine* engine, ExportSettingsRecord* settings) {
  if (!engine || !settings || !AreExportSettingsValid(settings)) return 1;
  auto* c = new ExportContext;
  c->engine = engine;
  c->caller = settings;
  c->settings = *settings;
  ExportSettingsRecord& s = c->settings;
  {
    EngineLockGuard lock;
    c->store = GetFlashcardStore(engine);
    if (s.target == kExportTargetUserDict) {
      c->userDictSlot = FindDictSlot(engine, s.dictCreator, s.dictId);
      if (!GetUserDictSlot(engine, c->userDictSlot)) {
        FreeExportContext(c);
        return 1;
      }
      const uint32_t language = GetDictLanguage(engine, c->userDictSlot);
      if (language == kExportChineseEnglish || language == kExportEnglishChinese) s.language = language;
    } else {
      if (!c->store || !c->store->database) {
        FreeExportContext(c);
        return 1;
      }
      if (s.remap) CollectRemapSlots(c);
      c->categoriesAvailable = LoadCategories(c->store) == 0;
    }
  }
  c->block = static_cast<uint8_t*>(MemAlloc(kExportBlockSize + kBlockSlack));
  TextBufInit(&c->text);
  if (!c->block || !c->text.handle) {
    FreeExportContext(c);
    return 1;
  }
  const bool xml = s.format == kExportFormatXml;
  c->layoutLanguage = s.language;
  if (xml) {
    c->languageFilter = kExportAnyLanguage;
    c->encoding = kExportUtf8;
  } else {
    // The entries of one user dictionary share its language.
    c->languageFilter = s.target == kExportTargetUserDict ? kExportAnyLanguage : s.language;
    c->encoding = s.encoding;
  }
  int rc = 0;
  if (xml) {
    rc = WriteXmlHead(c);
  } else {
    WriteByteOrderMark(c);
  }
  if (rc == 0) rc = RunExport(c);
  if (rc == 0 && xml) {
    rc = WriteXmlElement(&c->text, kXmlEndTag, kXmlCards, nullptr, 0);
    rc |= WriteXmlElement(&c->text, kXmlEndTag, kXmlSorviFlash, nullptr, 0);
    rc = rc ? 1 : FlushExportBuffer(c);
  }
  // The last block's write counts like every other: a full disk at the
  // very end must not be reported as a finished export.
  if (rc == 0) rc = Write(c, c->block, c->fill);
  FreeExportContext(c);
  return rc;
}
