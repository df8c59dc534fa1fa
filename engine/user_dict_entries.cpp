#include "engine/user_dict_entries.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/engine_time.h"
#include "engine/latin_fold.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/sql_db.h"
#include "engine/sql_properties.h"
#include "engine/sql_query.h"
#include "engine/string_utils.h"
#include "engine/text_buffer.h"
#include "engine/text_encoding.h"
#include "engine/user_dict.h"
#include "engine/user_dict_import.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

const SqlColumnDef kPosdexColumns[3] = {
    {"syllable", kSqlText, 0, 0, 0, 0, 0, 0, 1},
    {"uid", kSqlInteger, 0, 0, 1, 0, 0, 0, 0},
    {"length", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
};

const SqlColumnDef kAlphadexColumns[2] = {
    {"word", kSqlText, 0, 0, 0, 0, 0, 0, 1},
    {"uid", kSqlInteger, 0, 0, 1, 0, 0, 0, 0},
};

namespace {

constexpr uint32_t kPronParseMax = 256;
constexpr uint32_t kSyllableTextMax = 9;

bool IsCjk(WCHAR c) { return c >= 0x3400 && c <= 0xD7FF; }
bool IsHighSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsAsciiLetter(WCHAR c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsKeyMark(WCHAR c) { return c == u'@' || c == u'*' || c == u'$' || c == 0x00B7; }
bool IsSyllableCode(WCHAR c) { return c >= kSyllableFirst && c <= kSyllableLastArea; }
bool Present(const WCHAR* s) { return s && s[0]; }
WCHAR Lower(WCHAR c) { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + 32) : c; }

bool HasToneMarkedVowel(const WCHAR* s) {
  static constexpr WCHAR kVowels[] = {0x00C0, 0x00C1, 0x00C8, 0x00C9, 0x00D9, 0x00DA, 0x00E0, 0x00E1, 0x00E8,
                                      0x00E9, 0x00EC, 0x00ED, 0x00F2, 0x00F3, 0x00F9, 0x00FA, 0x0100, 0x0101,
                                      0x0112, 0x0113, 0x011B, 0x012B, 0x0144, 0x0148, 0x014C, 0x014D, 0x016B,
                                      0x01CE, 0x01D0, 0x01D2, 0x01D4, 0x01D6, 0x01D8, 0x01DA, 0x01DC, 0x01F9};
  for (; s && *s; ++s)
    for (WCHAR v : kVowels)
      if (*s == v) return true;
  return false;
}

// Characters of a key: Chinese characters (a surrogate pair once) and
// syllable codes; bracketed parts are skipped and a '/' takes one off.
uint32_t CountKeyCharacters(const WCHAR* s) {
  uint32_t n = 0;
  WCHAR close = 0;
  for (; s && *s; ++s) {
    const WCHAR c = *s;
    if (close) {
      if (c == close) close = 0;
      continue;
    }
    if (c == u'(') close = u')';
    else if (c == 0xFF08) close = 0xFF09;
    else if (c == u'[') close = u']';
    else if (c == u'/' && n > 0) --n;
    else if (IsCjk(c) || IsSyllableCode(c) || IsHighSurrogate(c)) ++n;
  }
  return n;
}

// The pronunciation as syllable codes with the key marks removed.
void PronSyllables(DictEngine* engine, const WCHAR* pron, uint32_t flags, WCHAR* out, uint32_t size) {
  out[0] = 0;
  if (!Present(pron)) return;
  WCHAR* converted = HasToneMarkedVowel(pron) ? ConvertPinyinToneMarks(pron, nullptr) : nullptr;
  ParsePinyinQuery(engine, converted ? converted : pron, out, nullptr, size, flags);
  if (converted) LocalFree(converted);
  StripKeyMarks(out);
}

WCHAR* AllocWide(uint32_t units) { return static_cast<WCHAR*>(LocalAlloc(LPTR, (units + 1) * sizeof(WCHAR))); }

SqlTerm IntTerm(uint32_t column, int32_t value) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.value = value;
  return t;
}

SqlTerm WideTerm(uint32_t column, const WCHAR* text) {
  SqlTerm t{};
  t.column = static_cast<int16_t>(column);
  t.wtext = text;
  t.isNull = text == nullptr;
  return t;
}

SqlQuery EntryQuery(const SqlTerm* where, uint32_t whereCount, const SqlTerm* select, uint32_t selectCount) {
  SqlQuery q{};
  q.table = kUserDictEntriesTable;
  q.columns = kUserDictEntryColumns;
  q.columnCount = kUdEntryColumnCount;
  q.where = where;
  q.whereCount = whereCount;
  q.select = select;
  q.selectCount = selectCount;
  return q;
}

// Rows the last statement on the connection changed; the caller holds the
// engine lock from that statement on.
int RowsChanged(SqlDb* db) { return sqlite3_changes(db->conn); }

// Refusals shared by every edit: 1 when the slot is locked or an import
// into it runs on another thread.
bool EditsRefused(const DictSlot* s) { return IsUserDictLocked(s) || IsUserDictImportRunningElsewhere(s); }

int DeleteIndexRows(SqlDb* db, const char* table, const SqlColumnDef* columns, int32_t uid) {
  const SqlTerm where = IntTerm(1, uid);
  return SqlDelete(db, table, columns, &where, 1);
}

// The slot's counters as they were before a change, put back when the
// change is rolled back.
struct SlotSnapshot {
  int32_t entryCount;
  int32_t importId;
  SqlPropertyEntry countProperty;
};

SlotSnapshot TakeSnapshot(const DictSlot* s) {
  SlotSnapshot snap{};
  snap.entryCount = s->entryCount;
  snap.importId = s->importId;
  if (s->properties) snap.countProperty = s->properties->entries[kUdpEntryCount];
  return snap;
}

void RestoreSnapshot(DictSlot* s, const SlotSnapshot& snap) {
  s->entryCount = snap.entryCount;
  s->importId = snap.importId;
  if (s->properties) s->properties->entries[kUdpEntryCount] = snap.countProperty;
}

int StoreEntryCount(DictSlot* s, int32_t count) {
  s->entryCount = count;
  return StoreUserDictNumber(s, kUdpEntryCount, count);
}

// A change that runs inside a caller's transaction is committed only as a
// savepoint: when the caller rolls back later, the file loses it but the
// slot would keep its count. After such a rollback the count is read back
// from the file, the import id of a log row that went with it is dropped
// and the cached word-list position is forgotten.
void ReloadSlotAfterRollback(SqlDb* db, void* context, int64_t importIdBefore) {
  auto* engine = static_cast<DictEngine*>(context);
  DictSlot* s = nullptr;
  for (uint16_t i = 0; i < engine->slotCount && !s; ++i)
    if (engine->slots[i] && engine->slots[i]->kind == kDictKindUser && engine->slots[i]->db == db)
      s = engine->slots[i];
  if (!s || !s->properties) return;
  ClearUserDictLineCache(s);
  if (s->importing) s->importId = static_cast<int32_t>(importIdBefore);
  SqlPropertyList* stored = SqlNewPropertyList(kUdPropertyCount, kUserDictPropertyNames, kUdPropertyCount);
  if (!stored) return;
  int64_t count = -1;
  if (SqlLoadPropertySet(db, kUserDictPropertiesTable, 0, stored) == SQLITE_OK &&
      stored->entries[kUdpEntryCount].hasValue)
    count = stored->entries[kUdpEntryCount].value;
  SqlFreePropertyList(stored);
  if (count < 0) count = SqlCount(db, kUserDictEntriesTable, nullptr);
  if (count < 0) return;
  s->entryCount = static_cast<int32_t>(count);
  SqlPropertyEntry& e = s->properties->entries[kUdpEntryCount];
  e.value = s->entryCount;
  e.hasValue = 1;
  e.changed = 0;
}

// Opens the transaction of one change and has the slot follow a later
// rollback of a caller's transaction around it.
int BeginSlotChange(DictEngine* engine, DictSlot* s) {
  int rc = SqlBegin(s->db);
  if (rc != SQLITE_OK) return rc;
  rc = SqlOnRollback(s->db, ReloadSlotAfterRollback, engine, s->importId);
  if (rc != SQLITE_OK) SqlRollback(s->db);
  return rc;
}

// Ends a transaction: commit when rc is 0, else roll back (rc stays).
int FinishTransaction(SqlDb* db, int rc) {
  if (rc == SQLITE_OK) return SqlCommit(db);
  SqlRollback(db);
  return rc;
}

}  // namespace

uint32_t UserDictHeadwordLanguage(const DictSlot* slot) {
  return GetUserDictLanguage(slot, 0) == kLanguageChinese ? kLanguageChinese : kLanguageEnglish;
}

int IsUserDictLocked(const DictSlot* slot) { return slot && slot->editLock != 0 ? 1 : 0; }

WCHAR* MakeHeadwordKey(const WCHAR* text, uint32_t language) {
  if (!text) return nullptr;
  while (*text == u' ') ++text;
  if (!*text) return nullptr;
  WCHAR* out = AllocWide(2 * WideStrLen(text) + 1);
  if (!out) return nullptr;
  uint32_t n = 0;
  for (const WCHAR* p = text; *p; ++p) {
    const WCHAR c = *p;
    if (IsKeyMark(c)) continue;
    const bool keyChar = language == kLanguageChinese && (IsCjk(c) || IsAsciiLetter(c) || IsHighSurrogate(c));
    if (keyChar && n > 0) out[n++] = u'@';
    out[n++] = c;
    if (IsHighSurrogate(c) && IsLowSurrogate(p[1])) out[n++] = *++p;
  }
  out[n] = 0;
  if (n == 0) {
    LocalFree(out);
    return nullptr;
  }
  return out;
}

MemHandle* MakePronunciationKey(DictEngine* engine, const WCHAR* text, uint32_t language) {
  if (language != kLanguageChinese || !text) return nullptr;
  while (*text == u' ') ++text;
  if (!*text) return nullptr;
  WCHAR codes[kPronParseMax];
  PronSyllables(engine, text, kParseDefiniteTone | kParseCapitalWords | kParseKeepSeparators, codes, kPronParseMax);
  if (!codes[0]) return nullptr;
  TextBuffer tb{};
  TextBufInit(&tb);
  FormatSyllableText(engine, kSyllablePinyin | kSyllableAtSigns | 0x100 | kSyllableToneDigits, codes, &tb);
  const uint32_t length = tb.length;
  TextBufFinish(&tb);
  if (length == 0) {
    FreeMemHandle(tb.handle);
    return nullptr;
  }
  return tb.handle;
}

void StripKeyMarks(WCHAR* text) {
  if (!text) return;
  WCHAR* out = text;
  for (WCHAR* p = text; *p; ++p)
    if (!IsKeyMark(*p)) *out++ = *p;
  *out = 0;
}

const WCHAR* NextPinyinSyllable(DictEngine* engine, const WCHAR* text, WCHAR* out) {
  out[0] = 0;
  if (!text) return nullptr;
  while (*text && !IsAsciiLetter(*text) && !(*text >= u'0' && *text <= u'5')) ++text;
  if (!*text || !engine) return nullptr;
  const EngineBuiltinTable& table = engine->pinyinSpelling;
  // The longest spelling that the text begins with; failing that, the
  // longest beginning the text shares with any spelling.
  uint32_t whole = 0;
  uint32_t shared = 0;
  for (uint32_t r = 0; table.data && r < table.count; ++r) {
    const uint8_t* row = table.data + 6 * r;
    uint32_t k = 0;
    while (k < 6 && row[k] >= 'a' && row[k] <= 'z' && Lower(text[k]) == row[k]) ++k;
    const bool complete = k == 6 || !(row[k] >= 'a' && row[k] <= 'z');
    if (complete && k > whole) whole = k;
    if (k > shared) shared = k;
  }
  uint32_t n = whole ? whole : shared;
  if (n == 0) return nullptr;
  for (uint32_t k = 0; k < n; ++k) out[k] = text[k];
  if (text[n] >= u'0' && text[n] <= u'5') {
    out[n] = text[n];
    ++n;
  }
  out[n] = 0;
  return text[n] ? text + n : nullptr;
}

uint32_t ComputeUserEntryLength(DictEngine* engine, uint32_t language, const WCHAR* word, const WCHAR* altword,
                                const WCHAR* pron) {
  if (language != kLanguageChinese) return Present(word) ? FoldedKeyLength(word, false) : 0;
  if (Present(word)) return CountKeyCharacters(word);
  if (Present(altword)) return CountKeyCharacters(altword);
  if (!Present(pron)) return 0;
  WCHAR codes[kPronParseMax];
  PronSyllables(engine, pron, kParseDefiniteTone | kParseLettersOnly | kParseWholeSyllables, codes, kPronParseMax);
  return CountKeyCharacters(codes);
}

int UserDictSortKeyExists(SqlDb* db, const WCHAR* key, int32_t excludeUid) {
  SqlTerm where[2] = {WideTerm(kUdSortKey, key), IntTerm(kUdUid, excludeUid)};
  where[1].op = kSqlOpNotEqual;
  const SqlQuery q = EntryQuery(where, excludeUid >= 0 ? 2 : 1, nullptr, 0);
  const int64_t n = SqlCount(db, kUserDictEntriesTable, &q);
  return n < 0 ? kSqlProbeFailed : n > 0 ? 1 : 0;
}

WCHAR* MakeUserDictSortKey(DictEngine* engine, SqlDb* db, uint32_t language, const WCHAR* word, const WCHAR* altword,
                           const WCHAR* pron, int32_t excludeUid) {
  WCHAR* key = nullptr;
  uint32_t length = 0;
  if (language != kLanguageChinese) {
    if (!Present(word)) return nullptr;
    key = AllocWide(kFoldKeyMaxUnits + 24);
    if (!key) return nullptr;
    length = FoldToKeyCopy(key, kFoldKeyMaxUnits + 1, word, false);
  } else {
    const WCHAR* head = Present(word) ? word : Present(altword) ? altword : nullptr;
    if (!Present(pron)) {
      if (!head) return nullptr;
      const uint32_t n = 2 * WideStrLen(head) + 1;
      key = AllocWide(n + 24);
      if (!key) return nullptr;
      FoldTextN(key, head, n);
      for (WCHAR* p = key; *p; ++p) *p = Lower(*p);
      length = WideStrLen(key);
    } else {
      const uint32_t pronLength = WideStrLen(pron);
      const uint32_t capacity = head ? 2 * pronLength + WideStrLen(head) : 4 * pronLength;
      key = AllocWide(capacity + 24);
      if (!key) return nullptr;
      const WCHAR* h = head;
      const WCHAR* rest = pron;
      WCHAR syllable[kSyllableTextMax];
      while (rest && length < capacity) {
        const WCHAR* next = NextPinyinSyllable(engine, rest, syllable);
        if (!syllable[0]) break;
        for (const WCHAR* p = syllable; *p && length < capacity; ++p) {
          WCHAR c = Lower(*p);
          if (c >= 0x21 && c <= 0x7E) c = static_cast<WCHAR>(c + 0xFEE0);
          key[length++] = c;
        }
        while (h && *h && !IsCjk(*h)) ++h;
        if (length < capacity) key[length++] = (h && *h) ? *h++ : WCHAR{0x223C};
        rest = next;
      }
      key[length] = 0;
    }
  }
  if (length == 0) {
    LocalFree(key);
    return nullptr;
  }
  // A key another entry holds gets the time behind it, then the next
  // second, until one is free.
  int taken = UserDictSortKeyExists(db, key, excludeUid);
  for (uint32_t t = GetUtcSeconds(); taken != 0; ++t) {
    if (taken == kSqlProbeFailed) {
      LocalFree(key);
      return nullptr;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%u", t);
    uint32_t k = 0;
    for (; digits[k]; ++k) key[length + k] = static_cast<WCHAR>(digits[k]);
    key[length + k] = 0;
    taken = UserDictSortKeyExists(db, key, excludeUid);
  }
  return key;
}

void PosdexTableName(uint32_t n, uint32_t kind, char* out) {
  std::snprintf(out, 32, "%s%u", kind == 0 ? "sorvi_dict_posdex_hz_" : "sorvi_dict_posdex_py_", n + 1);
}

int CreatePosdexTables(SqlDb* db, int rebuild) {
  for (uint32_t n = 0; n < kPosdexTables; ++n) {
    for (uint32_t kind = 0; kind < 2; ++kind) {
      char name[32];
      PosdexTableName(n, kind, name);
      const int exists = SqlTableExists(db, name, 0);
      if (exists == kSqlProbeFailed) return SQLITE_ERROR;
      if (exists == 1) {
        if (!rebuild) continue;
        const int rc = SqlDropTable(db, name);
        if (rc != SQLITE_OK) return rc;
      }
      const uint32_t columns = n == 0 ? 3 : 2;
      int rc = SqlCreateTable(db, name, kPosdexColumns, columns);
      static const uint32_t kAll[3] = {0, 1, 2};
      if (rc == SQLITE_OK)
        rc = SqlCreateIndex(db, name, n == 0 ? "syllable_uid_length" : "syllable_uid", kPosdexColumns, kAll, columns);
      if (rc != SQLITE_OK) return rc;
    }
  }
  return SQLITE_OK;
}

int CreateAlphadexTable(SqlDb* db, int rebuild) {
  const int exists = SqlTableExists(db, kUserDictAlphadexTable, 0);
  if (exists == kSqlProbeFailed) return SQLITE_ERROR;
  if (exists == 1) {
    if (!rebuild) return SQLITE_OK;
    const int rc = SqlDropTable(db, kUserDictAlphadexTable);
    if (rc != SQLITE_OK) return rc;
  }
  static const uint32_t kBoth[2] = {0, 1};
  int rc = SqlCreateTable(db, kUserDictAlphadexTable, kAlphadexColumns, 2);
  if (rc == SQLITE_OK) rc = SqlCreateIndex(db, kUserDictAlphadexTable, "word_uid", kAlphadexColumns, kBoth, 2);
  return rc;
}

int WritePosdexRows(DictEngine* engine, SqlDb* db, int32_t uid, const WCHAR* word, const WCHAR* altword,
                    const WCHAR* syllables, uint32_t length) {
  // A character outside the basic plane is one place, kept as its pair, so
  // that the characters after it keep their places.
  WCHAR lists[3][kPosdexTables][2] = {};
  const WCHAR* sources[3] = {word, altword, syllables};
  for (int l = 0; l < 3; ++l) {
    uint32_t k = 0;
    for (const WCHAR* p = sources[l]; p && *p && k < kPosdexTables; ++p) {
      if (l < 2 && IsHighSurrogate(p[0]) && IsLowSurrogate(p[1])) {
        lists[l][k][0] = p[0];
        lists[l][k++][1] = *++p;
      } else if (l < 2 ? IsCjk(*p) : IsSyllableCode(*p)) {
        lists[l][k++][0] = *p;
      }
    }
  }
  for (uint32_t k = 0; k < kPosdexTables; ++k)
    if (lists[1][k][0] == lists[0][k][0] && lists[1][k][1] == lists[0][k][1]) lists[1][k][0] = 0;
  for (int l = 0; l < 3; ++l) {
    for (uint32_t n = 0; n < kPosdexTables; ++n) {
      const WCHAR* c = lists[l][n];
      if (!c[0]) continue;
      WCHAR text[kSyllableTextMax] = {};
      if (l < 2) {
        text[0] = c[0];
        text[1] = c[1];
      } else {
        TextBuffer tb{text, kSyllableTextMax, nullptr, 0};
        FormatSyllableCode(engine, kSyllablePinyin | kSyllableAtSigns | 0x100 | kSyllableToneDigits, c[0], &tb);
        TextBufFinish(&tb);
      }
      char name[32];
      PosdexTableName(n, l < 2 ? 0 : 1, name);
      SqlTerm terms[3] = {WideTerm(0, text), IntTerm(1, uid), IntTerm(2, static_cast<int32_t>(length))};
      const int rc = SqlInsert(db, name, kPosdexColumns, terms, n == 0 ? 3 : 2, nullptr, 0);
      if (rc != SQLITE_OK) return rc;
    }
  }
  return SQLITE_OK;
}

int DeletePosdexRows(SqlDb* db, int32_t uid, int checked) {
  for (uint32_t n = 0; n < kPosdexTables; ++n) {
    for (uint32_t kind = 0; kind < 2; ++kind) {
      char name[32];
      PosdexTableName(n, kind, name);
      const int rc = DeleteIndexRows(db, name, kPosdexColumns, uid);
      if (checked && rc != SQLITE_OK) return rc;
    }
  }
  return SQLITE_OK;
}

int WriteAlphadexRow(SqlDb* db, int32_t uid, const WCHAR* word) {
  WCHAR key[kFoldKeyMaxUnits + 1];
  FoldToKeyCopy(key, kFoldKeyMaxUnits + 1, word, false);
  SqlTerm terms[2] = {WideTerm(0, key), IntTerm(1, uid)};
  return SqlInsert(db, kUserDictAlphadexTable, kAlphadexColumns, terms, 2, nullptr, 0);
}

int BuildPosdexTables(DictEngine* engine, uint16_t slot, UserDictProgress* progress) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  SqlDb* db = s->db;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  rc = CreatePosdexTables(db, 1);
  if (rc == SQLITE_OK) {
    SqlTerm select[5] = {IntTerm(kUdUid, 0), IntTerm(kUdWord, 0), IntTerm(kUdAltWord, 0), IntTerm(kUdPron, 0),
                         IntTerm(kUdLength, 0)};
    const SqlQuery q = EntryQuery(nullptr, 0, select, 5);
    sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
    if (!stmt) rc = SQLITE_ERROR;
    uint32_t done = 0;
    int step = SQLITE_DONE;
    while (stmt && rc == SQLITE_OK && SqlIsRow(step = SqlStep(stmt))) {
      const int32_t uid = SqlColumnInt(stmt, 0);
      WCHAR* word = WideStrDup(SqlColumnText16(stmt, 1));
      WCHAR* alt = WideStrDup(SqlColumnText16(stmt, 2));
      WCHAR* pron = WideStrDup(SqlColumnText16(stmt, 3));
      const uint32_t length = static_cast<uint32_t>(SqlColumnInt(stmt, 4));
      StripKeyMarks(word);
      StripKeyMarks(alt);
      if (word && alt && std::memcmp(word, alt, (WideStrLen(word) + 1) * sizeof(WCHAR)) == 0) {
        LocalFree(alt);
        alt = nullptr;
      }
      WCHAR codes[kPronParseMax];
      PronSyllables(engine, pron, kParseDefiniteTone | kParseKeepSeparators, codes, kPronParseMax);
      rc = WritePosdexRows(engine, db, uid, word, alt, codes, length);
      if (word) LocalFree(word);
      if (alt) LocalFree(alt);
      if (pron) LocalFree(pron);
      ReportUserDictProgress(progress, done++);
    }
    if (rc == SQLITE_OK && step != SQLITE_DONE) rc = step;
    if (stmt) SqlFinalize(stmt);
  }
  return FinishTransaction(db, rc);
}

int BuildAlphadexTable(DictEngine* engine, uint16_t slot, UserDictProgress* progress) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  SqlDb* db = s->db;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return rc;
  rc = CreateAlphadexTable(db, 1);
  if (rc == SQLITE_OK) {
    SqlTerm select[2] = {IntTerm(kUdUid, 0), IntTerm(kUdWord, 0)};
    SqlTerm order = IntTerm(kUdUid, 0);
    SqlQuery q = EntryQuery(nullptr, 0, select, 2);
    q.order = &order;
    q.orderCount = 1;
    sqlite3_stmt* stmt = SqlPrepareSelect(db, &q);
    if (!stmt) rc = SQLITE_ERROR;
    uint32_t done = 0;
    int step = SQLITE_DONE;
    while (stmt && rc == SQLITE_OK && SqlIsRow(step = SqlStep(stmt))) {
      const int32_t uid = SqlColumnInt(stmt, 0);
      WCHAR* word = WideStrDup(SqlColumnText16(stmt, 1));
      StripKeyMarks(word);
      if (Present(word)) {
        const auto length = static_cast<int32_t>(FoldedKeyLength(word, false));
        rc = WriteAlphadexRow(db, uid, word);
        WCHAR* key = rc == SQLITE_OK ? MakeUserDictSortKey(engine, db, kLanguageEnglish, word, nullptr, nullptr, uid)
                                     : nullptr;
        if (rc == SQLITE_OK) {
          const SqlTerm where = IntTerm(kUdUid, uid);
          SqlTerm set[2] = {IntTerm(kUdLength, length), WideTerm(kUdSortKey, key)};
          if (s->noSortKey) set[1].isNull = 1;
          rc = SqlUpdate(db, kUserDictEntriesTable, kUserDictEntryColumns, &where, 1, set, 2);
        }
        if (key) LocalFree(key);
      }
      if (word) LocalFree(word);
      ReportUserDictProgress(progress, done++);
    }
    if (rc == SQLITE_OK && step != SQLITE_DONE) rc = step;
    if (stmt) SqlFinalize(stmt);
  }
  return FinishTransaction(db, rc);
}

int32_t AddUserDictEntry(DictEngine* engine, uint16_t slot, const WCHAR* word, const WCHAR* altword,
                         const WCHAR* pron, const WCHAR* defn) {
  return SaveUserDictEntry(engine, slot, -1, word, altword, pron, defn);
}

int32_t SaveUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, const WCHAR* word, const WCHAR* altword,
                          const WCHAR* pron, const WCHAR* defn) {
  if (!CanCreateUserData(engine)) return -1;
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s || EditsRefused(s)) return -1;
  EngineLockGuard lock;
  SqlDb* db = s->db;
  const uint32_t language = UserDictHeadwordLanguage(s);
  const bool chinese = language == kLanguageChinese;
  const bool update = uid >= 0;
  WCHAR* wordKey = MakeHeadwordKey(word, language);
  WCHAR* altKey = chinese ? MakeHeadwordKey(altword, language) : nullptr;
  MemHandle* pronHandle = chinese ? MakePronunciationKey(engine, pron, language) : nullptr;
  const WCHAR* pronKey = pronHandle ? static_cast<const WCHAR*>(pronHandle->data) : nullptr;
  const bool valid = chinese ? (Present(wordKey) || Present(altKey) || Present(pronKey)) : Present(wordKey);
  int32_t result = -1;
  WCHAR* sortKey = nullptr;
  if (valid) {
    const uint32_t length = ComputeUserEntryLength(engine, language, word, altword, pron);
    bool keyFailed = false;
    if (!s->noSortKey) {
      sortKey = MakeUserDictSortKey(engine, db, language, word, chinese ? altword : nullptr,
                                    chinese ? pron : nullptr, uid);
      // No base key is no failure (a NULL key is allowed); a failed probe is.
      WCHAR* base = chinese ? nullptr : MakeHeadwordKey(word, language);
      keyFailed = !sortKey && base && FoldedKeyLength(base, false) > 0;
      if (base) LocalFree(base);
    }
    const uint32_t now = GetUtcSeconds();
    SqlTerm terms[9];
    uint32_t count = 0;
    if (!update) terms[count++] = IntTerm(kUdCreated, static_cast<int32_t>(now));
    terms[count++] = IntTerm(kUdModified, static_cast<int32_t>(now));
    terms[count++] = IntTerm(kUdLength, static_cast<int32_t>(length));
    const WCHAR* values[4] = {wordKey, altKey, pronKey, Present(defn) ? defn : nullptr};
    const uint32_t columns[4] = {kUdWord, kUdAltWord, kUdPron, kUdDefn};
    for (int i = 0; i < 4; ++i)
      if (values[i] || update) terms[count++] = WideTerm(columns[i], values[i]);
    if (!s->noSortKey && (sortKey || update)) terms[count++] = WideTerm(kUdSortKey, sortKey);

    const SlotSnapshot snap = TakeSnapshot(s);
    int rc = keyFailed ? SQLITE_ERROR : BeginSlotChange(engine, s);
    int32_t saved = uid;
    if (rc == SQLITE_OK) {
      if (update) {
        const SqlTerm where = IntTerm(kUdUid, uid);
        rc = SqlUpdate(db, kUserDictEntriesTable, kUserDictEntryColumns, &where, 1, terms, count);
        if (rc == SQLITE_OK && RowsChanged(db) != 1) rc = SQLITE_NOTFOUND;
      } else {
        int64_t rowId = -1;
        rc = SqlInsert(db, kUserDictEntriesTable, kUserDictEntryColumns, terms, count, &rowId, 0);
        saved = static_cast<int32_t>(rowId);
      }
      if (rc == SQLITE_OK && s->indexed) {
        if (chinese) {
          WCHAR codes[kPronParseMax];
          PronSyllables(engine, pron, kParseDefiniteTone, codes, kPronParseMax);
          if (update) rc = DeletePosdexRows(db, saved, 1);
          if (rc == SQLITE_OK) rc = WritePosdexRows(engine, db, saved, word, altword, codes, length);
        } else {
          if (update) rc = DeleteIndexRows(db, kUserDictAlphadexTable, kAlphadexColumns, saved);
          if (rc == SQLITE_OK) rc = WriteAlphadexRow(db, saved, word);
        }
      }
      if (rc == SQLITE_OK && !update) rc = StoreEntryCount(s, s->entryCount + 1);
      if (rc == SQLITE_OK) rc = LogUserDictImportEntry(s, saved);
      rc = FinishTransaction(db, rc);
    }
    if (rc == SQLITE_OK) {
      ClearUserDictLineCache(s);
      result = saved;
    } else {
      RestoreSnapshot(s, snap);
    }
  }
  if (wordKey) LocalFree(wordKey);
  if (altKey) LocalFree(altKey);
  if (sortKey) LocalFree(sortKey);
  FreeMemHandle(pronHandle);
  return result;
}

int TouchUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, const WCHAR* defn) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return -1;
  if (EditsRefused(s)) return kUserDictLocked;
  EngineLockGuard lock;
  const SqlTerm where = IntTerm(kUdUid, uid);
  SqlTerm set[2] = {IntTerm(kUdModified, static_cast<int32_t>(GetUtcSeconds())), WideTerm(kUdDefn, defn)};
  const int rc = SqlUpdate(s->db, kUserDictEntriesTable, kUserDictEntryColumns, &where, 1, set, defn ? 2 : 1);
  return rc == SQLITE_OK && RowsChanged(s->db) == 1 ? 0 : 1;
}

int DeleteUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return -1;
  if (EditsRefused(s)) return kUserDictLocked;
  EngineLockGuard lock;
  SqlDb* db = s->db;
  const SlotSnapshot snap = TakeSnapshot(s);
  int rc = BeginSlotChange(engine, s);
  if (rc != SQLITE_OK) return rc;
  const SqlTerm where = IntTerm(kUdUid, uid);
  rc = SqlDelete(db, kUserDictEntriesTable, kUserDictEntryColumns, &where, 1);
  const bool found = rc == SQLITE_OK && RowsChanged(db) > 0;
  if (rc == SQLITE_OK && !found) {
    SqlRollback(db);
    return kUserDictNoEntry;
  }
  if (rc == SQLITE_OK && s->entryCount > 0) rc = StoreEntryCount(s, s->entryCount - 1);
  // Index rows go whether or not the search tables are marked present;
  // only their failures in an indexed dictionary count.
  if (rc == SQLITE_OK) {
    if (UserDictHeadwordLanguage(s) == kLanguageChinese) {
      rc = DeletePosdexRows(db, uid, s->indexed);
    } else {
      const int r = DeleteIndexRows(db, kUserDictAlphadexTable, kAlphadexColumns, uid);
      if (s->indexed) rc = r;
    }
  }
  rc = FinishTransaction(db, rc);
  if (rc != SQLITE_OK) {
    RestoreSnapshot(s, snap);
    return rc;
  }
  ClearUserDictLineCache(s);
  return 0;
}

sqlite3_stmt* SelectUserDictEntry(SqlDb* db, int32_t uid) {
  const SqlTerm where = IntTerm(kUdUid, uid);
  SqlTerm select[4] = {IntTerm(kUdWord, 0), IntTerm(kUdAltWord, 0), IntTerm(kUdPron, 0), IntTerm(kUdDefn, 0)};
  SqlQuery q = EntryQuery(&where, 1, select, 4);
  q.limit = 1;
  return SqlPrepareSelect(db, &q);
}

int HasUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 0;
  EngineLockGuard lock;
  sqlite3_stmt* stmt = SelectUserDictEntry(s->db, uid);
  if (!stmt) return -1;
  const int step = SqlStep(stmt);
  SqlFinalize(stmt);
  return SqlIsRow(step) ? 1 : step == SQLITE_DONE ? 0 : -1;
}

int ReadUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, MemHandle** word, MemHandle** altword,
                      MemHandle** pron, MemHandle** defn) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  sqlite3_stmt* stmt = SelectUserDictEntry(s->db, uid);
  if (!stmt) return 1;
  const int step = SqlStep(stmt);
  if (!SqlIsRow(step)) {
    SqlFinalize(stmt);
    return step == SQLITE_DONE ? kUserDictNoEntry : 1;
  }
  MemHandle** outs[4] = {word, altword, pron, defn};
  for (int i = 0; i < 4; ++i) {
    if (!outs[i] || SqlColumnIsNull(stmt, i)) continue;
    const WCHAR* text = SqlColumnText16(stmt, i);
    const uint32_t n = WideStrLen(text);
    MemHandle* h = NewMemHandle((n + 1) * sizeof(WCHAR));
    if (!h) continue;
    auto* data = static_cast<WCHAR*>(h->data);
    if (n) std::memcpy(data, text, n * sizeof(WCHAR));
    data[n] = 0;
    if (i < 3) StripKeyMarks(data);
    *outs[i] = h;
  }
  SqlFinalize(stmt);
  return 0;
}

uint16_t GetUserDictEntryLength(DictEngine* engine, uint16_t slot, int32_t uid) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 0;
  EngineLockGuard lock;
  const SqlTerm where = IntTerm(kUdUid, uid);
  const SqlTerm select = IntTerm(kUdLength, 0);
  const SqlQuery q = EntryQuery(&where, 1, &select, 1);
  sqlite3_stmt* stmt = SqlPrepareSelect(s->db, &q);
  if (!stmt) return 0;
  const uint16_t length = SqlIsRow(SqlStep(stmt)) ? static_cast<uint16_t>(SqlColumnInt(stmt, 0)) : 0;
  SqlFinalize(stmt);
  return length;
}

// Asks the flashcard store first (its cards are keyed by the entry's texts
// until its index upgrade) and relinks the entry's cards after the save.
int UpdateUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, const WCHAR* word, const WCHAR* altword,
                        const WCHAR* pron, const WCHAR* defn) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return -1;
  if (IsUserDictLocked(s) || IsUserDictImportRunningElsewhere(s)) return kUserDictLocked;
  EngineLockGuard lock;
  if (!HostIsFlashcardIndexCurrent(engine)) return -1;
  if (SaveUserDictEntry(engine, slot, uid, word, altword, pron, defn) < 0) return 1;
  HostRelinkCardsOfUserEntry(engine, GetUserDictCreator(s), GetUserDictId(s), uid);
  return 0;
}
