#include "engine/user_dict.h"

#include <sqlite3.h>

#include <cstring>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/sql_db.h"
#include "engine/sql_properties.h"
#include "engine/sql_query.h"
#include "engine/sql_text.h"
#include "engine/string_utils.h"
#include "engine/system_services.h"
#include "engine/user_dict_entries.h"
#include "engine/user_dict_import.h"
#include "engine/utf8.h"
#include "platform/engine_lock.h"
#include "platform/files.h"
#include "platform/heap.h"

const SqlColumnDef kUserDictEntryColumns[kUdEntryColumnCount] = {
    {"uid", kSqlInteger, 0, 1, 0, 1, 0, 0, 0},     {"created", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
    {"modified", kSqlInteger, 0, 0, 0, 0, 0, 0, 0}, {"length", kSqlInteger, 0, 0, 0, 0, 0, 0, 0},
    {"word", kSqlText, 0, 0, 0, 0, 0, 0, 1},        {"altword", kSqlText, 0, 0, 0, 0, 0, 0, 1},
    {"pron", kSqlText, 0, 0, 0, 0, 0, 0, 1},        {"defn", kSqlText, 0, 0, 0, 0, 0, 0, 0},
    {"sortkey", kSqlText, 1, 0, 1, 0, 0, 0, 0},
};

const char* const kUserDictPropertyNames[kUdPropertyCount] = {
    "FormatString",  "FormatVersion",     "FileGenerator",     "FilePlatform", "FileCreated",
    "FileCreator",   "FileID",            "DictIconName",      "DictMenuName", "DictShortName",
    "DictName",      "DictCopyright",     "DictIconFillColor", "DictIconTextColor", "DictLang",
    "TransLang",     "EditLock",          "SortMethod",        "NoSortKey",    "EntryCount",
};

namespace {

constexpr uint32_t kNameCharsMax = 32;

SqlPropertyList* NewUserDictPropertyList() {
  return SqlNewPropertyList(kUdPropertyCount, kUserDictPropertyNames, kUdPropertyCount);
}

const SqlPropertyEntry* Property(const DictSlot* slot, uint32_t index) {
  if (!slot || !slot->properties || index >= slot->properties->count) return nullptr;
  const SqlPropertyEntry* e = &slot->properties->entries[index];
  return e->hasValue ? e : nullptr;
}

int32_t NumberProperty(const DictSlot* slot, uint32_t index, int32_t missing) {
  const SqlPropertyEntry* e = Property(slot, index);
  if (!e) return missing;
  return e->isText ? WideToInt(e->text) : e->value;
}

const WCHAR* TextProperty(const DictSlot* slot, uint32_t index) {
  const SqlPropertyEntry* e = Property(slot, index);
  return e && e->isText ? e->text : nullptr;
}

bool WideEqualsAscii(const WCHAR* w, const char* a) {
  if (!w) return false;
  uint32_t i = 0;
  for (; a[i]; ++i)
    if (w[i] != static_cast<unsigned char>(a[i])) return false;
  return w[i] == 0;
}

int PropertyIndexByName(const char* name) {
  if (!name) return -1;
  for (uint32_t i = 0; i < kUdPropertyCount; ++i)
    if (std::strcmp(kUserDictPropertyNames[i], name) == 0) return static_cast<int>(i);
  return -1;
}

void LanguageName(uint32_t language, WCHAR* out) {
  const char* name = language == kLanguageChinese ? "Chinese" : language == kLanguageEnglish ? "English" : "";
  uint32_t i = 0;
  for (; name[i]; ++i) out[i] = static_cast<WCHAR>(name[i]);
  out[i] = 0;
}

// A copy of at most max units (a pair is not split).
void CopyCapped(WCHAR* dst, const WCHAR* src, uint32_t max) {
  uint32_t i = 0;
  for (; src && src[i] && i < max; ++i) dst[i] = src[i];
  if (i > 0 && i == max && dst[i - 1] >= 0xD800 && dst[i - 1] <= 0xDBFF) --i;
  dst[i] = 0;
}

void FillText(WCHAR* buf, uint32_t n, const WCHAR* text) {
  if (!buf || n == 0) return;
  WideStrCopyN(buf, text ? text : u"", n);
}

bool FileExists(const char* utf8Path) {
  WCHAR* wide = WideDupFromUtf8(utf8Path, 0);
  if (!wide) return false;
  const bool exists = GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES;
  LocalFree(wide);
  return exists;
}

// A FileID that no open dictionary and no saved order record of that
// creator holds yet (dictionaries made within one two-second interval
// would otherwise share one).
bool FileIdTaken(DictEngine* engine, uint32_t id) {
  for (uint16_t s = 0; s < engine->slotCount; ++s)
    if (GetDictCreator(engine, s) == kUserDictCreator && static_cast<uint32_t>(GetDictId(engine, s)) == id)
      return true;
  for (uint32_t l = 0; l < 2; ++l) {
    const DictOrderList* list = engine->orderLists[l];
    for (uint32_t i = 0; list && i < list->count; ++i)
      if (list->items[i].saved.creator == kUserDictCreator && list->items[i].saved.dictId == id) return true;
  }
  return false;
}

// Characters that may not stand in a file name: separators, reserved
// characters and controls become '_'.
void AppendSafeFileName(char* out, uint32_t size, const WCHAR* name) {
  uint32_t len = static_cast<uint32_t>(std::strlen(out));
  WCHAR cleaned[kNameCharsMax + 1];
  CopyCapped(cleaned, name, kNameCharsMax);
  for (WCHAR* p = cleaned; *p; ++p) {
    const WCHAR c = *p;
    if (c < 0x20 || c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
        c == u'>' || c == u'|')
      *p = u'_';
  }
  // No name made of dots (".", "..") and no trailing dots or blanks.
  uint32_t n = WideStrLen(cleaned);
  while (n > 0 && (cleaned[n - 1] == u'.' || cleaned[n - 1] == u' ')) cleaned[--n] = 0;
  if (len < size) WideToUtf8(cleaned, out + len, size - len, 0, nullptr, false);
}

bool HasUsableStem(const WCHAR* name) {
  for (const WCHAR* p = name; p && *p; ++p)
    if (*p != u' ' && *p != u'.') return true;
  return false;
}

}  // namespace

void ReportUserDictProgress(UserDictProgress* progress, uint32_t done) {
  if (progress && progress->callback) progress->callback(progress->context, 1, done);
}

DictSlot* GetUserDictSlot(DictEngine* engine, uint16_t slot) {
  if (!engine || slot >= engine->slotCount) return nullptr;
  DictSlot* s = engine->slots[slot];
  return s && s->kind == kDictKindUser && s->db ? s : nullptr;
}

int SaveUserDictProperties(DictSlot* slot) {
  if (!slot || !slot->db || !slot->properties) return SQLITE_MISUSE;
  const int rc = SqlSavePropertySet(slot->db, kUserDictPropertiesTable, 0, slot->properties);
  if (rc == SQLITE_OK)
    for (uint32_t i = 0; i < slot->properties->count; ++i) slot->properties->entries[i].changed = 0;
  return rc;
}

int StoreUserDictNumber(DictSlot* slot, uint32_t property, int32_t value) {
  if (!slot || !slot->properties) return SQLITE_MISUSE;
  if (SqlSetPropertyInt(slot->properties, property, value) != 0) return SQLITE_NOMEM;
  return SaveUserDictProperties(slot);
}

int CreateUserDictFileNamed(DictEngine* engine, uint32_t language, uint32_t transLanguage, const WCHAR* name) {
  if (!engine || (language != kLanguageChinese && language != kLanguageEnglish)) return 1;
  if (transLanguage == 65535) transLanguage = language == kLanguageChinese ? kLanguageEnglish : kLanguageChinese;
  const bool chinese = language == kLanguageChinese;
  WCHAR menu[kNameCharsMax + 1];
  WCHAR shortName[kNameCharsMax + 1];
  WCHAR fullName[kUserDictFullNameMax + 1];
  uint32_t idOffset = 0;
  char path[kSqlPathMax];
  std::strncpy(path, engine->userFolder, sizeof path - 1);
  path[sizeof path - 1] = 0;
  bool named = false;
  if (name && HasUsableStem(name)) {
    CopyCapped(menu, name, kNameCharsMax);
    CopyCapped(shortName, name, kNameCharsMax);
    CopyCapped(fullName, name, kNameCharsMax);
    AppendSafeFileName(path, sizeof path, name);
    const uint32_t len = static_cast<uint32_t>(std::strlen(path));
    std::strncat(path, engine->userExtension, sizeof path - len - 1);
    named = HasUsableStem(menu) && !FileExists(path);
  }
  if (!named) {
    if (!(name && HasUsableStem(name))) {
      CopyCapped(menu, chinese ? u"User C-E" : u"User E-C", kNameCharsMax);
      CopyCapped(shortName, chinese ? u"User Dictionary C-E" : u"User Dictionary E-C", kNameCharsMax);
      CopyCapped(fullName,
                 chinese ? u"Sorvi User-Created Chinese-English Dictionary"
                         : u"Sorvi User-Created English-Chinese Dictionary",
                 kUserDictFullNameMax);
      idOffset = chinese ? 0 : 1;
    }
    // The default stem and the time; a later second when that file exists.
    uint32_t now = GetUtcSeconds();
    for (int tries = 0; tries < 64; ++tries, ++now) {
      std::strncpy(path, engine->userFolder, sizeof path - 1);
      path[sizeof path - 1] = 0;
      char hex[9];
      FormatHex8(hex, now);
      hex[8] = 0;
      std::strncat(path, chinese ? "SorviCUser" : "SorviEUser", sizeof path - std::strlen(path) - 1);
      std::strncat(path, hex, sizeof path - std::strlen(path) - 1);
      std::strncat(path, engine->userExtension, sizeof path - std::strlen(path) - 1);
      if (!FileExists(path)) break;
    }
  }
  if (CreateUserDictFile(engine, path, fullName, shortName, menu, language, transLanguage, idOffset) != 0) return 1;
  RebuildDictOrderLists(engine);
  return 0;
}

int CreateUserDictFile(DictEngine* engine, const char* utf8Path, const WCHAR* fullName, const WCHAR* shortName,
                       const WCHAR* menuName, uint32_t language, uint32_t transLanguage, uint32_t idOffset) {
  if (!engine || !utf8Path || !CanCreateUserData(engine)) return -1;
  if (engine->userDbCount >= kMaxUserDatabases || engine->slotCount >= kMaxDictSlots) return -1;
  EngineLockGuard lock;
  SqlDb* db = SqlOpen(utf8Path);
  if (!db) return -1;
  // Only a database that holds nothing yet; a probe that fails is no
  // licence to write a schema.
  if (SqlIsEmptyDatabase(db) != 1) {
    SqlClose(db);
    return -1;
  }
  SqlPropertyList* list = NewUserDictPropertyList();
  int rc = list ? SqlBegin(db) : SQLITE_NOMEM;
  if (rc == SQLITE_OK) rc = SqlCreatePropertyTable(db, kUserDictPropertiesTable);
  if (rc == SQLITE_OK) {
    const uint32_t now = GetUtcSeconds();
    uint32_t id = ((now >> 1) | 0x80000000u) + idOffset;
    while (FileIdTaken(engine, id)) ++id;
    WCHAR platform[kPlatformNameSize];
    GetPlatformName(platform);
    WCHAR lang[8];
    WCHAR trans[8];
    LanguageName(language, lang);
    LanguageName(transLanguage, trans);
    WCHAR format[40];
    WideFromNarrowN(format, kUserDictFormatString, 40);
    WCHAR menu[kNameCharsMax + 1], shortCopy[kNameCharsMax + 1], full[kUserDictFullNameMax + 1];
    CopyCapped(menu, menuName, kNameCharsMax);
    CopyCapped(shortCopy, shortName, kNameCharsMax);
    CopyCapped(full, fullName, kUserDictFullNameMax);
    int bad = 0;
    bad |= SqlSetPropertyText(list, kUdpFormatString, format);
    bad |= SqlSetPropertyInt(list, kUdpFormatVersion, kUserDictFormatVersion);
    bad |= SqlSetPropertyText(list, kUdpFileGenerator, u"Sorvi Engine 2.0");
    bad |= SqlSetPropertyText(list, kUdpFilePlatform, platform);
    bad |= SqlSetPropertyInt(list, kUdpFileCreated, static_cast<int32_t>(now));
    bad |= SqlSetPropertyInt(list, kUdpFileCreator, static_cast<int32_t>(kUserDictCreator));
    bad |= SqlSetPropertyInt(list, kUdpFileId, static_cast<int32_t>(id));
    bad |= SqlSetPropertyText(list, kUdpDictIconName, u"USR");
    bad |= SqlSetPropertyText(list, kUdpDictMenuName, menu);
    bad |= SqlSetPropertyText(list, kUdpDictShortName, shortCopy);
    bad |= SqlSetPropertyText(list, kUdpDictName, full);
    bad |= SqlSetPropertyInt(list, kUdpDictCopyright, 0);
    bad |= SqlSetPropertyInt(list, kUdpDictIconFillColor, static_cast<int32_t>(kUserDictDefaultFill));
    bad |= SqlSetPropertyInt(list, kUdpDictIconTextColor, static_cast<int32_t>(kUserDictDefaultText));
    bad |= SqlSetPropertyText(list, kUdpDictLang, lang);
    bad |= SqlSetPropertyText(list, kUdpTransLang, trans);
    bad |= SqlSetPropertyInt(list, kUdpEditLock, 0);
    bad |= SqlSetPropertyInt(list, kUdpSortMethod, 0);
    bad |= SqlSetPropertyInt(list, kUdpNoSortKey, 0);
    bad |= SqlSetPropertyInt(list, kUdpEntryCount, 0);
    rc = bad ? SQLITE_NOMEM : SqlSavePropertySet(db, kUserDictPropertiesTable, 0, list);
  }
  if (rc == SQLITE_OK) rc = SqlCreateTable(db, kUserDictEntriesTable, kUserDictEntryColumns, kUdEntryColumnCount);
  if (rc == SQLITE_OK) rc = language == kLanguageChinese ? CreatePosdexTables(db, 0) : CreateAlphadexTable(db, 0);
  SqlFreePropertyList(list);
  if (rc == SQLITE_OK) {
    rc = SqlCommit(db);
  } else if (SqlTransactionDepth(db) > 0) {
    SqlRollback(db);
  }
  if (rc != SQLITE_OK) {
    SqlClose(db);
    return -1;
  }
  engine->userDbs[engine->userDbCount++] = db;
  if (OpenUserDict(engine, db) != 0) {
    // The file is made but could not be loaded: the engine still closes it.
    return -1;
  }
  return 0;
}

int IsUserDictDatabase(SqlDb* db, int entriesMustHaveRows) {
  const int props = SqlTableExists(db, kUserDictPropertiesTable, 1);
  if (props != 1) return props;
  return SqlTableExists(db, kUserDictEntriesTable, entriesMustHaveRows ? 1 : 0);
}

int OpenUserDict(DictEngine* engine, SqlDb* db) {
  if (!engine || !db || engine->slotCount >= kMaxDictSlots) return 1;
  EngineLockGuard lock;
  if (IsUserDictDatabase(db, 0) != 1) return 1;
  auto* slot = static_cast<DictSlot*>(LocalAlloc(LPTR, sizeof(DictSlot)));
  if (!slot) return 1;
  slot->kind = kDictKindUser;
  slot->properties = NewUserDictPropertyList();
  bool accepted = slot->properties && SqlLoadPropertySet(db, kUserDictPropertiesTable, 0, slot->properties) == 0;
  accepted = accepted && WideEqualsAscii(TextProperty(slot, kUdpFormatString), kUserDictFormatString) &&
             Property(slot, kUdpFormatVersion) && NumberProperty(slot, kUdpFormatVersion, 0) == kUserDictFormatVersion;
  if (!accepted) {
    SqlFreePropertyList(slot->properties);
    LocalFree(slot);
    return 1;
  }
  slot->db = db;
  slot->cachedLine = -1;
  slot->cachedUid = -1;
  slot->importId = -1;
  slot->editLock = static_cast<uint32_t>(NumberProperty(slot, kUdpEditLock, 0));
  if (SqlTableExists(db, kUserDictLineIndexTable, 0) == 1) {
    if (slot->editLock == 0) {
      SqlDropTable(db, kUserDictLineIndexTable);
    } else {
      slot->lineIndex = 1;
    }
  }
  if (UserDictHeadwordLanguage(slot) == kLanguageChinese) {
    char hz[32], py[32];
    PosdexTableName(0, 0, hz);
    PosdexTableName(0, 1, py);
    slot->indexed = SqlTableExists(db, hz, 0) == 1 && SqlTableExists(db, py, 0) == 1;
  } else {
    slot->indexed = SqlTableExists(db, kUserDictAlphadexTable, 0) == 1;
  }
  if (!Property(slot, kUdpEntryCount)) {
    const int64_t n = SqlCount(db, kUserDictEntriesTable, nullptr);
    slot->entryCount = n > 0 ? static_cast<int32_t>(n) : 0;
    StoreUserDictNumber(slot, kUdpEntryCount, slot->entryCount);
  } else {
    slot->entryCount = NumberProperty(slot, kUdpEntryCount, 0);
  }
  slot->sortMethod = static_cast<uint32_t>(NumberProperty(slot, kUdpSortMethod, 0));
  slot->noSortKey = static_cast<uint32_t>(NumberProperty(slot, kUdpNoSortKey, 0));
  if (slot->noSortKey && slot->sortMethod == 0) slot->sortMethod = 1;
  slot->fileCreated = static_cast<uint32_t>(NumberProperty(slot, kUdpFileCreated, 0));
  if (AddDictSlot(engine, slot) != 0) {
    SqlFreePropertyList(slot->properties);
    LocalFree(slot);
    return 1;
  }
  return 0;
}

void FreeUserDictSlot(DictSlot* slot) {
  if (!slot) return;
  ForgetUserDictImport(slot);
  SqlFreePropertyList(slot->properties);
  slot->properties = nullptr;
}

int BuildUserDictSearchIndex(DictEngine* engine, uint16_t slot, UserDictProgress* progress) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s || IsUserDictLocked(s) || s->indexed || IsUserDictImportRunningElsewhere(s)) return 1;
  EngineLockGuard lock;
  const int rc = UserDictHeadwordLanguage(s) == kLanguageChinese ? BuildPosdexTables(engine, slot, progress)
                                                                 : BuildAlphadexTable(engine, slot, progress);
  if (rc != 0) return rc;
  // Older files kept plain column indexes that the search tables replace.
  SqlDropColumnIndex(s->db, kUserDictEntriesTable, kUserDictEntryColumns, kUdWord);
  SqlDropColumnIndex(s->db, kUserDictEntriesTable, kUserDictEntryColumns, kUdAltWord);
  SqlDropColumnIndex(s->db, kUserDictEntriesTable, kUserDictEntryColumns, kUdPron);
  s->indexed = 1;
  return 0;
}

sqlite3_stmt* SelectUserDictEntriesForExport(DictEngine* engine, uint16_t slot) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return nullptr;
  EngineLockGuard lock;
  SqlTerm select[7] = {};
  const uint32_t columns[6] = {kUdWord, kUdAltWord, kUdPron, kUdDefn, kUdCreated, kUdModified};
  for (int i = 0; i < 6; ++i) select[i].column = static_cast<int16_t>(columns[i]);
  select[6].column = -1;
  select[6].value = static_cast<int32_t>(UserDictHeadwordLanguage(s));
  SqlTerm order[2] = {};
  order[0].column = static_cast<int16_t>(GetUserDictSortColumn(s));
  order[1].column = kUdUid;
  SqlQuery q{};
  q.table = kUserDictEntriesTable;
  q.columns = kUserDictEntryColumns;
  q.columnCount = kUdEntryColumnCount;
  q.select = select;
  q.selectCount = 7;
  q.order = order;
  q.orderCount = order[0].column == kUdUid ? 1 : 2;
  sqlite3_stmt* stmt = SqlPrepareSelect(s->db, &q);
  if (stmt && !SqlIsRow(SqlStep(stmt))) {
    SqlFinalize(stmt);
    return nullptr;
  }
  return stmt;
}

int IsDictSlotOpen(DictEngine* engine, uint16_t slot) { return GetUserDictSlot(engine, slot) ? 1 : 0; }

int IsUserDictIndexed(DictEngine* engine, uint16_t slot) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  return s && s->indexed ? 1 : 0;
}

uint32_t GetUserDictEditLock(DictEngine* engine, uint16_t slot) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  return s ? (s->editLock & 0xFF) : 0;
}

int32_t GetUserDictEntryCount(DictEngine* engine, uint16_t slot) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  return s ? s->entryCount : 0;
}

uint32_t GetUserDictLanguage(const DictSlot* slot, int which) {
  const WCHAR* text = TextProperty(slot, which == 0 ? kUdpDictLang : kUdpTransLang);
  if (!text) return 65535;
  WCHAR name[21];
  CopyCapped(name, text, 20);
  if (WideEqualsAscii(name, "Chinese")) return kLanguageChinese;
  if (WideEqualsAscii(name, "English")) return kLanguageEnglish;
  return 65535;
}

uint32_t GetUserDictId(const DictSlot* slot) { return static_cast<uint32_t>(NumberProperty(slot, kUdpFileId, 0)); }
uint32_t GetUserDictCreator(const DictSlot* slot) {
  return static_cast<uint32_t>(NumberProperty(slot, kUdpFileCreator, 0));
}

uint32_t GetUserDictCreatedTime(DictEngine* engine, uint16_t slot) {
  if (!engine || slot >= engine->slotCount) return 0;
  return engine->slots[slot]->kind == kDictKindUser ? engine->slots[slot]->fileCreated : 0;
}

uint32_t GetUserDictIconFillColor(const DictSlot* slot) {
  return static_cast<uint32_t>(NumberProperty(slot, kUdpDictIconFillColor, 0));
}

int CopyUserDictIconName(const DictSlot* slot, WCHAR* buf, uint32_t n) {
  const WCHAR* text = TextProperty(slot, kUdpDictIconName);
  if (!buf || n == 0) return text ? 0 : 1;
  if (!text) {
    buf[0] = 0;
    return 1;
  }
  WideStrCopyRawN(buf, text, n);
  return 0;
}

int CopyUserDictName(const DictSlot* slot, WCHAR* buf, uint32_t n, int which) {
  const WCHAR* text = TextProperty(slot, which == 0 ? kUdpDictShortName : kUdpDictMenuName);
  FillText(buf, n, text);
  return text ? 0 : 1;
}

const WCHAR* GetUserDictText(DictEngine* engine, uint16_t slot, int which) {
  static const uint32_t kWhich[4] = {kUdpDictShortName, kUdpDictMenuName, kUdpDictName, kUdpDictCopyright};
  if (which < 0 || which > 3) return nullptr;
  DictSlot* s = GetUserDictSlot(engine, slot);
  return s ? TextProperty(s, kWhich[which]) : nullptr;
}

int SetUserDictText(DictEngine* engine, uint16_t slot, int which, const WCHAR* text) {
  static const uint32_t kWhich[4] = {kUdpDictShortName, kUdpDictMenuName, kUdpDictName, kUdpDictCopyright};
  static const uint32_t kMax[4] = {kUserDictNameMax, kUserDictNameMax, kUserDictFullNameMax, 1024};
  if (which < 0 || which > 3) return 1;
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  WCHAR* copy = static_cast<WCHAR*>(LocalAlloc(LPTR, (kMax[which] + 1) * sizeof(WCHAR)));
  if (!copy) return 1;
  CopyCapped(copy, text, kMax[which]);
  const int bad = SqlSetPropertyText(s->properties, kWhich[which], copy);
  LocalFree(copy);
  return bad == 0 && SaveUserDictProperties(s) == SQLITE_OK ? 0 : 1;
}

int SetUserDictIcon(DictEngine* engine, uint16_t slot, const WCHAR* iconText, uint32_t textColor, uint32_t fillColor) {
  DictSlot* s = GetUserDictSlot(engine, slot);
  if (!s) return 1;
  EngineLockGuard lock;
  if (!iconText || !iconText[0]) {
    iconText = u"USR";
    textColor = kUserDictDefaultText;
    fillColor = kUserDictDefaultFill;
  }
  int bad = SqlSetPropertyText(s->properties, kUdpDictIconName, iconText);
  bad |= SqlSetPropertyInt(s->properties, kUdpDictIconTextColor, static_cast<int32_t>(textColor));
  bad |= SqlSetPropertyInt(s->properties, kUdpDictIconFillColor, static_cast<int32_t>(fillColor));
  return bad == 0 && SaveUserDictProperties(s) == SQLITE_OK ? 0 : 1;
}

uint16_t FindDictByLanguages(DictEngine* engine, uint32_t language, uint32_t transLanguage) {
  if (!engine || engine->slotCount == 0) return kNoDictSlot;
  uint16_t best = kNoDictSlot;
  uint32_t bestTime = 0;
  for (uint16_t i = 0; i < engine->slotCount; ++i) {
    const DictSlot* s = GetUserDictSlot(engine, i);
    if (!s || IsUserDictLocked(s)) continue;
    if (language != 65535 && GetDictLanguage(engine, i) != language) continue;
    if (transLanguage != 65535 && GetDictTransLanguage(engine, i) != transLanguage) continue;
    if (best == kNoDictSlot || s->fileCreated > bestTime) {
      best = i;
      bestTime = s->fileCreated;
    }
  }
  return best;
}

int GetUserDictNumberByName(const DictSlot* slot, const char* name, uint32_t* value) {
  const int index = PropertyIndexByName(name);
  if (index < 0 || !Property(slot, static_cast<uint32_t>(index))) return 1;
  if (value) *value = static_cast<uint32_t>(NumberProperty(slot, static_cast<uint32_t>(index), 0));
  return 0;
}

int GetUserDictTextByName(const DictSlot* slot, const char* name, WCHAR* buf, uint32_t n) {
  const int index = PropertyIndexByName(name);
  const WCHAR* text = index < 0 ? nullptr : TextProperty(slot, static_cast<uint32_t>(index));
  FillText(buf, n, text);
  return text ? 0 : 1;
}
