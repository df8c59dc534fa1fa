#include "flash/categories.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/preferences.h"
#include "engine/sql_db.h"
#include "engine/sql_query.h"
#include "flash/cards.h"
#include "flash/chunked_array.h"
#include "flash/flash_sql.h"
#include "flash/profile_settings.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// The array grows this many records at a time.
constexpr int32_t kCategoryGrowth = 32;
// Parent chains are at most three steps long; a damaged file may hold a
// loop, so every walk stops there.
constexpr int32_t kMaxChainSteps = 3;
// A split makes at most this many parts.
constexpr int32_t kMaxSplitParts = 200;

SqlTerm Int(uint32_t column, int32_t value, uint32_t connector = kSqlAnd) {
  return FlashIntTerm(column, value, connector);
}

FlashCategoryRecord* Records(FlashcardStore* store) {
  return static_cast<FlashCategoryRecord*>(store->categories.records);
}

int32_t IndexOf(FlashcardStore* store, int32_t id) {
  FlashCategoryRecord* r = Records(store);
  for (int32_t i = 0; i < store->categories.count; ++i)
    if (r[i].id == id) return i;
  return -1;
}

size_t NameLength(const WCHAR* s) {
  size_t n = 0;
  while (s && s[n]) ++n;
  return n;
}

void CopyName(WCHAR* to, const WCHAR* from) {
  size_t n = std::min<size_t>(NameLength(from), kCategoryNameMax - 1);
  std::memcpy(to, from, n * sizeof(WCHAR));
  to[n] = 0;
}

// "_" in either name matches any one character.
bool NamesMatch(const WCHAR* a, const WCHAR* b) {
  size_t i = 0;
  for (; a[i] && b[i]; ++i)
    if (a[i] != b[i] && a[i] != u'_' && b[i] != u'_') return false;
  return a[i] == 0 && b[i] == 0;
}

bool Equal(const WCHAR* a, const char16_t* b) { return std::u16string(reinterpret_cast<const char16_t*>(a)) == b; }

int EnsureCapacity(FlashcardStore* store, int32_t count) {
  const size_t need = static_cast<size_t>((count + kCategoryGrowth - 1) / kCategoryGrowth * kCategoryGrowth);
  const size_t have =
      store->categories.records ? LocalSize(store->categories.records) / sizeof(FlashCategoryRecord) : 0;
  if (need <= have && store->categories.records) return 0;
  void* block = LocalAlloc(LPTR, std::max<size_t>(need, kCategoryGrowth) * sizeof(FlashCategoryRecord));
  if (!block) return 1;
  if (store->categories.records) {
    std::memcpy(block, store->categories.records, store->categories.count * sizeof(FlashCategoryRecord));
    LocalFree(store->categories.records);
  }
  store->categories.records = block;
  return 0;
}

void InsertAt(FlashcardStore* store, int32_t index, const FlashCategoryRecord& record) {
  FlashCategoryRecord* r = Records(store);
  std::memmove(r + index + 1, r + index, (store->categories.count - index) * sizeof(FlashCategoryRecord));
  r[index] = record;
  ++store->categories.count;
}

void RemoveAt(FlashcardStore* store, int32_t index) {
  FlashCategoryRecord* r = Records(store);
  std::memmove(r + index, r + index + 1, (store->categories.count - index - 1) * sizeof(FlashCategoryRecord));
  --store->categories.count;
}

// After a rollback the array follows the file again.
void ReloadAfterRollback(SqlDb*, void* context, int64_t) { UnloadCategories(static_cast<FlashcardStore*>(context)); }

int Register(FlashcardStore* store) { return SqlOnRollback(store->database, ReloadAfterRollback, store, 0); }

// Ends a change: commit, or roll back after a failure.
int Finish(FlashcardStore* store, int rc) {
  if (rc != SQLITE_OK) {
    SqlRollback(store->database);
    return rc;
  }
  rc = SqlCommit(store->database);
  if (rc != SQLITE_OK && SqlTransactionDepth(store->database) > 0) SqlRollback(store->database);
  return rc;
}

// The move rule: may `q` (-1: only the parent is tested) sit under `p`?
bool CanMoveUnder(FlashcardStore* store, int32_t q, int32_t p) {
  if (q == p) return false;
  if (p == kCategoryRoot) return true;
  const int32_t level = GetCategoryDepth(store, p);
  if (level < 0 || level >= kCategoryMaxLevel) return false;
  if (q == kCategoryNone) return true;
  // p inside q's subtree makes a loop.
  int32_t walk = p;
  for (int32_t step = 0; step < kMaxChainSteps && walk >= 0; ++step) {
    if (walk == q) return false;
    walk = GetCategoryParent(store, walk);
  }
  int32_t first = 0, end = 0;
  if (GetChildRange(store, q, &first, &end) > 0) {
    if (level >= 1) return false;
    for (int32_t i = first; i < end; ++i) {
      int32_t a = 0, b = 0;
      if (GetChildRange(store, Records(store)[i].id, &a, &b) > 0) return false;
    }
  }
  return true;
}

int WriteRecord(FlashcardStore* store, const FlashCategoryRecord& r) {
  const SqlTerm where = Int(kCategoryId, r.id);
  SqlTerm set[5] = {Int(kCategoryName, 0), Int(kCategoryParent, r.parent), Int(kCategorySort, r.sort),
                    Int(kCategoryHidden, r.hidden), Int(kCategoryModified, FlashNow())};
  set[0].wtext = r.name;
  return SqlUpdate(store->database, kFlashCategoriesTable, kFlashCategoryColumns, &where, 1, set, 5);
}

void Collect(FlashcardStore* store, int32_t id, std::vector<int32_t>* out, int depth) {
  if (depth > kMaxChainSteps) return;
  if (std::find(out->begin(), out->end(), id) == out->end()) out->push_back(id);
  if (id < 0) return;
  int32_t first = 0, end = 0;
  GetChildRange(store, id, &first, &end);
  std::vector<int32_t> children;
  for (int32_t i = first; i < end; ++i) children.push_back(Records(store)[i].id);
  for (int32_t child : children) Collect(store, child, out, depth + 1);
}

// Deletes `id` and its descendants inside the caller's transaction,
// moving their assignments to `receiver` (-1 none).
int DeleteTree(FlashcardStore* store, int32_t id, int32_t receiver, int depth) {
  if (depth > kMaxChainSteps) return SQLITE_OK;
  int32_t first = 0, end = 0;
  GetChildRange(store, id, &first, &end);
  std::vector<int32_t> children;
  for (int32_t i = first; i < end; ++i) children.push_back(Records(store)[i].id);
  int rc = SQLITE_OK;
  for (size_t i = 0; rc == SQLITE_OK && i < children.size(); ++i)
    rc = DeleteTree(store, children[i], receiver, depth + 1);
  if (rc != SQLITE_OK) return rc;
  rc = TouchCategoryCards(store, id);
  SqlDb* db = store->database;
  if (rc == SQLITE_OK && receiver >= 0) {
    // Cards already in the receiver keep that one assignment.
    const SqlTerm inReceiver = Int(kAssignCat, receiver);
    const SqlTerm selectCard = Int(kAssignCard, 0);
    SqlQuery sub{};
    sub.table = kFlashCategoryAssignsTable;
    sub.columns = kFlashAssignColumns;
    sub.columnCount = kAssignColumnCount;
    sub.where = &inReceiver;
    sub.whereCount = 1;
    sub.select = &selectCard;
    sub.selectCount = 1;
    std::vector<int32_t> already;
    if (sqlite3_stmt* s = SqlPrepareSelect(db, &sub)) {
      while (SqlStep(s) == SQLITE_ROW) already.push_back(SqlColumnInt(s, 0));
      SqlFinalize(s);
    } else {
      rc = SQLITE_ERROR;
    }
    if (rc == SQLITE_OK) {
      SqlTerm where[2] = {Int(kAssignCat, id), Int(kAssignCard, 0)};
      where[1].op = kSqlOpNotIn;
      where[1].list = already.data();
      where[1].listCount = static_cast<uint32_t>(already.size());
      const SqlTerm set = Int(kAssignCat, receiver);
      rc = SqlUpdate(db, kFlashCategoryAssignsTable, kFlashAssignColumns, where, 2, &set, 1);
    }
  }
  if (rc == SQLITE_OK) {
    const SqlTerm where = Int(kAssignCat, id);
    rc = SqlDelete(db, kFlashCategoryAssignsTable, kFlashAssignColumns, &where, 1);
  }
  if (rc == SQLITE_OK) {
    const SqlTerm where = Int(kCategoryId, id);
    rc = SqlDelete(db, kFlashCategoriesTable, kFlashCategoryColumns, &where, 1);
  }
  if (rc == SQLITE_OK) rc = Register(store);
  if (rc == SQLITE_OK) {
    const int32_t index = IndexOf(store, id);
    if (index >= 0) RemoveAt(store, index);
  }
  return rc;
}

const char16_t* PseudoName(int32_t id) {
  switch (id) {
    case kCategoryNone:
      return u"None";
    case kCategoryRoot:
      return u"Flashcards";
    case kCategoryUncategorized:
      return u"Uncategorized";
    default:
      return nullptr;
  }
}

}  // namespace

int LoadCategories(FlashcardStore* store) {
  if (!store || !store->database) return 1;
  if (store->categories.loaded) return 0;
  EngineLockGuard lock;
  store->categories.count = 0;
  if (EnsureCapacity(store, kCategoryGrowth) != 0) return 1;
  const SqlTerm select[5] = {Int(kCategoryId, 0), Int(kCategoryName, 0), Int(kCategoryParent, 0), Int(kCategorySort, 0),
                             Int(kCategoryHidden, 0)};
  const SqlTerm order[2] = {Int(kCategoryParent, 0), Int(kCategorySort, 0)};
  SqlQuery q{};
  q.table = kFlashCategoriesTable;
  q.columns = kFlashCategoryColumns;
  q.columnCount = kCategoryColumnCount;
  q.select = select;
  q.selectCount = 5;
  q.order = order;
  q.orderCount = 2;
  if (sqlite3_stmt* s = SqlPrepareSelect(store->database, &q)) {
    while (SqlStep(s) == SQLITE_ROW) {
      FlashCategoryRecord r{};
      r.id = SqlColumnInt(s, 0);
      CopyName(r.name, SqlColumnText16(s, 1));
      r.parent = SqlColumnInt(s, 2);
      r.sort = SqlColumnInt(s, 3);
      r.hidden = static_cast<uint8_t>(SqlColumnInt(s, 4));
      if (r.parent == r.id) continue;
      if (EnsureCapacity(store, store->categories.count + 1) != 0) {
        SqlFinalize(s);
        UnloadCategories(store);
        return 1;
      }
      Records(store)[store->categories.count++] = r;
    }
    SqlFinalize(s);
  }
  store->categories.loaded = 1;
  return 0;
}

int FlushDirtyCategories(FlashcardStore* store, int freeArray) {
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  int rc = SQLITE_OK;
  bool any = false;
  for (int32_t i = 0; i < store->categories.count; ++i) any = any || Records(store)[i].dirty;
  if (any) {
    rc = SqlBegin(store->database);
    for (int32_t i = 0; rc == SQLITE_OK && i < store->categories.count; ++i)
      if (Records(store)[i].dirty) rc = WriteRecord(store, Records(store)[i]);
    if (rc == SQLITE_OK) rc = SqlCommit(store->database);
    else if (SqlTransactionDepth(store->database) > 0)
      SqlRollback(store->database);
    if (rc == SQLITE_OK)
      for (int32_t i = 0; i < store->categories.count; ++i) Records(store)[i].dirty = 0;
  }
  if (freeArray) UnloadCategories(store);
  return rc;
}

void UnloadCategories(FlashcardStore* store) {
  if (!store) return;
  if (store->categories.records) LocalFree(store->categories.records);
  store->categories.records = nullptr;
  store->categories.count = 0;
  store->categories.loaded = 0;
  ClearCategoryTreeRows(store);
}

int32_t GetCategoryCount(FlashcardStore* store) {
  return store && LoadCategories(store) == 0 ? store->categories.count : 0;
}

const FlashCategoryRecord* GetCategoryRecord(FlashcardStore* store, int32_t id) {
  if (!store || LoadCategories(store) != 0) return nullptr;
  const int32_t i = IndexOf(store, id);
  return i < 0 ? nullptr : &Records(store)[i];
}

int32_t FindCategoryByName(FlashcardStore* store, const WCHAR* name, int32_t parent, int largest) {
  if (!store || !name || LoadCategories(store) != 0) return -1;
  int32_t found = -1;
  for (int32_t i = 0; i < store->categories.count; ++i) {
    const FlashCategoryRecord& r = Records(store)[i];
    if (r.parent != parent || !NamesMatch(r.name, name)) continue;
    if (!largest) return r.id;
    found = std::max(found, r.id);
  }
  return found;
}

int IsValidCategoryName(FlashcardStore* store, const WCHAR* name, int32_t parent) {
  if (!name || !*name) return 0;
  for (const WCHAR* p = name; *p; ++p)
    if (*p == u'/') return 0;
  if (parent == kCategoryRoot && (Equal(name, u"Uncategorized") || Equal(name, u"All"))) return 0;
  return FindCategoryByName(store, name, parent, 0) < 0 ? 1 : 0;
}

int32_t GetCategoryParent(FlashcardStore* store, int32_t id) {
  const FlashCategoryRecord* r = GetCategoryRecord(store, id);
  return r ? r->parent : -1;
}

int32_t GetCategoryDepth(FlashcardStore* store, int32_t id) {
  int32_t walk = GetCategoryParent(store, id);
  if (walk == -1) return -1;
  for (int32_t level = 0; level <= kCategoryMaxLevel; ++level) {
    if (walk == kCategoryRoot) return level;
    walk = GetCategoryParent(store, walk);
    if (walk == -1) return -1;
  }
  return -1;
}

int32_t GetChildRange(FlashcardStore* store, int32_t parent, int32_t* first, int32_t* end) {
  if (first) *first = 0;
  if (end) *end = 0;
  if (!store || LoadCategories(store) != 0) return 0;
  if (parent == -1) parent = kCategoryRoot;
  const FlashCategoryRecord* r = Records(store);
  const int32_t n = store->categories.count;
  const FlashCategoryRecord* lo =
      std::lower_bound(r, r + n, parent, [](const FlashCategoryRecord& a, int32_t p) { return a.parent < p; });
  const FlashCategoryRecord* hi =
      std::upper_bound(lo, r + n, parent, [](int32_t p, const FlashCategoryRecord& a) { return p < a.parent; });
  if (first) *first = static_cast<int32_t>(lo - r);
  if (end) *end = static_cast<int32_t>(hi - r);
  return static_cast<int32_t>(hi - lo);
}

int32_t GetChildCategory(FlashcardStore* store, int32_t parent, int32_t n) {
  int32_t first = 0;
  if (n < 0 || GetChildRange(store, parent < 0 ? kCategoryRoot : parent, &first, nullptr) <= n) return -1;
  return Records(store)[first + n].id;
}

int CategoryExists(FlashcardStore* store, int32_t id) { return id >= 0 && GetCategoryDepth(store, id) >= 0 ? 1 : 0; }

int GetCategoryDisplayName(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t* length) {
  if (!length) return 1;
  const uint32_t size = *length;
  *length = 0;
  if (buffer && size) buffer[0] = 0;
  std::u16string name;
  if (const char16_t* pseudo = PseudoName(id)) {
    name = pseudo;
  } else if (const FlashCategoryRecord* r = store ? GetCategoryRecord(store, id) : nullptr) {
    name = reinterpret_cast<const char16_t*>(r->name);
  } else {
    return 1;
  }
  if (!buffer || !size) return 0;
  const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(name.size()), size - 1);
  std::memcpy(buffer, name.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
  *length = n;
  return 0;
}

int FormatCategoryListLabel(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t length) {
  if (!buffer || !length) return 1;
  buffer[0] = 0;
  static constexpr const char16_t* kPseudoLabels[] = {u"None", u"All", u"Uncategorized", u"Current Cats:",
                                                      u"Avail Cats:"};
  std::u16string label;
  if (id < 0 && id >= kCategoryAvailableHeader) {
    label = kPseudoLabels[-id - 1];
  } else {
    EngineLockGuard lock;
    const FlashCategoryRecord* r = store ? GetCategoryRecord(store, id) : nullptr;
    const int32_t level = r ? GetCategoryDepth(store, id) : -1;
    if (level < 0) return 1;
    label.assign(static_cast<size_t>(level), u' ');
    label += reinterpret_cast<const char16_t*>(r->name);
  }
  const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(label.size()), length - 1);
  std::memcpy(buffer, label.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
  return 0;
}

int WriteCategory(FlashcardStore* store, const FlashCategoryRecord* record) {
  if (!store || !store->database || !record) return SQLITE_MISUSE;
  EngineLockGuard lock;
  return WriteRecord(store, *record);
}

int GetCategoryPath(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t length) {
  if (!buffer || !length) return 1;
  buffer[0] = 0;
  std::vector<const FlashCategoryRecord*> chain;
  for (int32_t walk = id, step = 0; walk >= 0 && step < kMaxChainSteps; ++step) {
    const FlashCategoryRecord* r = GetCategoryRecord(store, walk);
    if (!r) break;
    chain.push_back(r);
    walk = r->parent;
  }
  if (chain.empty()) return 1;
  std::u16string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path.push_back(u'/');
    for (const WCHAR* p = (*it)->name; *p; ++p) path.push_back(*p == u'/' ? u'\\' : *p);
  }
  const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(path.size()), length - 1);
  std::memcpy(buffer, path.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
  return 0;
}

int32_t CreateCategory(FlashcardStore* store, const WCHAR* name, int32_t source, int32_t parent, int32_t after) {
  if (!store || !store->database || !name || LoadCategories(store) != 0) return -1;
  EngineLockGuard lock;
  FlushDirtyCategories(store, 0);
  if (parent == -1)
    parent = after >= 0 && GetCategoryRecord(store, after) ? GetCategoryParent(store, after) : kCategoryRoot;
  if (!IsValidCategoryName(store, name, parent)) return kCategoryNameInvalid;
  if (!CanMoveUnder(store, source >= 0 ? source : kCategoryNone, parent)) return kCategoryRuleBroken;
  int32_t first = 0, end = 0;
  int32_t sort = 1;
  if (GetChildRange(store, parent, &first, &end) > 0) {
    const int32_t last = Records(store)[end - 1].sort;
    if (last < 1) return -1;
    sort = last + 1;
  }
  if (EnsureCapacity(store, store->categories.count + 1) != 0) return -1;
  SqlDb* db = store->database;
  if (SqlBegin(db) != SQLITE_OK) return -1;
  const int32_t now = FlashNow();
  SqlTerm values[5] = {Int(kCategoryName, 0), Int(kCategoryParent, parent), Int(kCategorySort, sort),
                       Int(kCategoryCreated, now), Int(kCategoryModified, now)};
  values[0].wtext = name;
  int64_t rowId = 0;
  int rc = SqlInsert(db, kFlashCategoriesTable, kFlashCategoryColumns, values, 5, &rowId, 0);
  const int32_t id = rc == SQLITE_OK && rowId > 0 && rowId <= INT32_MAX ? static_cast<int32_t>(rowId) : -1;
  if (rc == SQLITE_OK && id < 0) rc = SQLITE_ERROR;
  if (rc == SQLITE_OK && source >= 0 && CountCategoryCards(store, source) > 0) {
    const SqlTerm where = Int(kAssignCat, source);
    SqlTerm select[2] = {Int(kAssignCard, 0), Int(-1, id)};
    SqlQuery q{};
    q.table = kFlashCategoryAssignsTable;
    q.columns = kFlashAssignColumns;
    q.columnCount = kAssignColumnCount;
    q.where = &where;
    q.whereCount = 1;
    q.select = select;
    q.selectCount = 2;
    const SqlTerm columns[2] = {Int(kAssignCard, 0), Int(kAssignCat, 0)};
    rc = SqlInsertSelect(db, kFlashCategoryAssignsTable, kFlashAssignColumns, columns, 2, &q, -1);
    if (rc == SQLITE_OK) rc = TouchCategoryCards(store, source);
  }
  if (rc == SQLITE_OK) rc = Register(store);
  if (rc != SQLITE_OK) {
    Finish(store, rc);
    return -1;
  }
  FlashCategoryRecord record{};
  CopyName(record.name, name);
  record.id = id;
  record.parent = parent;
  record.sort = sort;
  GetChildRange(store, parent, &first, &end);
  // An empty run starts where the parent's children would be.
  InsertAt(store, end, record);
  ClearCategoryTreeRows(store);
  if (Finish(store, SQLITE_OK) != SQLITE_OK) return -1;
  // Placed behind "after" when it is a sibling; a failed move leaves the
  // category last among its siblings, which is still a valid place.
  if (after >= 0 && after != id && GetCategoryRecord(store, after) && GetCategoryParent(store, after) == parent)
    MoveCategoryAfter(store, id, after);
  return id;
}

int RenameCategory(FlashcardStore* store, int32_t id, const WCHAR* name) {
  if (!store || LoadCategories(store) != 0) return 1;
  const int32_t index = IndexOf(store, id);
  if (index < 0) return 1;
  FlashCategoryRecord& r = Records(store)[index];
  if (!IsValidCategoryName(store, name, r.parent)) return 10;
  CopyName(r.name, name);
  r.dirty = 1;
  ClearCategoryTreeRows(store);
  return 0;
}

int MoveCategoryUpDown(FlashcardStore* store, int32_t id, int up) {
  if (!store || LoadCategories(store) != 0) return 1;
  const int32_t index = IndexOf(store, id);
  if (index < 0) return 1;
  FlashCategoryRecord* r = Records(store);
  const int32_t other = up ? index - 1 : index + 1;
  if (other < 0 || other >= store->categories.count || r[other].parent != r[index].parent) return 1;
  std::swap(r[index], r[other]);
  std::swap(r[index].sort, r[other].sort);
  r[index].dirty = r[other].dirty = 1;
  ClearCategoryTreeRows(store);
  return 0;
}

int ReparentCategory(FlashcardStore* store, int32_t id, int32_t parent) {
  if (!store || LoadCategories(store) != 0) return 1;
  if (IndexOf(store, id) < 0) return 1;
  if (parent == -1 || parent == id) parent = kCategoryRoot;
  if (!CanMoveUnder(store, id, parent)) return 9;
  FlashCategoryRecord record = Records(store)[IndexOf(store, id)];
  if (record.parent != parent && !IsValidCategoryName(store, record.name, parent)) return 10;
  RemoveAt(store, IndexOf(store, id));
  int32_t first = 0, end = 0;
  GetChildRange(store, parent, &first, &end);
  record.parent = parent;
  record.sort = end > first ? Records(store)[end - 1].sort + 1 : 1;
  record.dirty = 1;
  InsertAt(store, end, record);
  ClearCategoryTreeRows(store);
  return 0;
}

int DeleteCategory(FlashcardStore* store, int32_t id) {
  if (!store || !store->database) return 1;
  if (LoadCategories(store) != 0) return 65535;
  // Pseudo ids would reach the root's children: refused.
  if (id < 0 || IndexOf(store, id) < 0) return 1;
  EngineLockGuard lock;
  int rc = SqlBegin(store->database);
  if (rc != SQLITE_OK) return rc;
  rc = Finish(store, DeleteTree(store, id, kCategoryNone, 0));
  ClearCategoryTreeRows(store);
  return rc;
}

int MergeSubcategories(FlashcardStore* store, int32_t id) {
  if (!store || !store->database || LoadCategories(store) != 0) return 1;
  if (id < 0 || IndexOf(store, id) < 0) return 1;
  EngineLockGuard lock;
  int rc = SqlBegin(store->database);
  if (rc != SQLITE_OK) return rc;
  int32_t first = 0, end = 0;
  GetChildRange(store, id, &first, &end);
  std::vector<int32_t> children;
  for (int32_t i = first; i < end; ++i) children.push_back(Records(store)[i].id);
  for (size_t i = 0; rc == SQLITE_OK && i < children.size(); ++i) rc = DeleteTree(store, children[i], id, 1);
  rc = Finish(store, rc);
  ClearCategoryTreeRows(store);
  return rc;
}

int32_t* SplitCategory(FlashcardStore* store, int32_t id, int32_t perPart) {
  if (!store || !store->database || perPart < 2 || LoadCategories(store) != 0) return nullptr;
  const int32_t level = GetCategoryDepth(store, id);
  if (level < 0 || level > 1) return nullptr;
  const int64_t cards = CountCategoryCards(store, id);
  if (cards <= perPart) return nullptr;
  const int32_t parts = static_cast<int32_t>((cards + perPart - 1) / perPart);
  if (parts > kMaxSplitParts) return nullptr;
  auto* ids = static_cast<int32_t*>(LocalAlloc(LPTR, (parts + 1) * sizeof(int32_t)));
  if (!ids) return nullptr;
  EngineLockGuard lock;
  SqlDb* db = store->database;
  // The whole split is one transaction: parts made and cards dealt, or
  // nothing (the array follows a rollback).
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) {
    LocalFree(ids);
    return nullptr;
  }
  rc = Register(store);
  for (int32_t k = 0; rc == SQLITE_OK && k < parts; ++k) {
    const std::u16string name = u"Part " + [](int32_t n) {
      std::u16string s;
      for (char c : std::to_string(n)) s.push_back(static_cast<char16_t>(c));
      return s;
    }(k + 1);
    ids[k] = CreateCategory(store, reinterpret_cast<const WCHAR*>(name.c_str()), kCategoryNone, id, kCategoryNone);
    if (ids[k] < 0) rc = SQLITE_ERROR;
  }
  std::vector<std::pair<int32_t, int32_t>> rows;  // assignment id, card
  if (rc == SQLITE_OK) {
    const SqlTerm where = Int(kAssignCat, id);
    const SqlTerm select[2] = {Int(kAssignId, 0), Int(kAssignCard, 0)};
    const SqlTerm order = Int(kAssignId, 0);
    SqlQuery q{};
    q.table = kFlashCategoryAssignsTable;
    q.columns = kFlashAssignColumns;
    q.columnCount = kAssignColumnCount;
    q.where = &where;
    q.whereCount = 1;
    q.select = select;
    q.selectCount = 2;
    q.order = &order;
    q.orderCount = 1;
    if (sqlite3_stmt* s = SqlPrepareSelect(db, &q)) {
      while (SqlStep(s) == SQLITE_ROW) rows.emplace_back(SqlColumnInt(s, 0), SqlColumnInt(s, 1));
      SqlFinalize(s);
    } else {
      rc = SQLITE_ERROR;
    }
  }
  for (size_t i = 0; rc == SQLITE_OK && i < rows.size(); ++i) {
    const SqlTerm where[2] = {Int(kAssignId, rows[i].first), Int(kAssignCat, id)};
    const SqlTerm set = Int(kAssignCat, ids[i % parts]);
    rc = SqlUpdate(db, kFlashCategoryAssignsTable, kFlashAssignColumns, where, 2, &set, 1);
    if (rc == SQLITE_OK) rc = TouchCard(store, rows[i].second);
  }
  rc = Finish(store, rc);
  ClearCategoryTreeRows(store);
  if (rc != SQLITE_OK) {
    LocalFree(ids);
    return nullptr;
  }
  ids[parts] = 0;
  return ids;
}

CategoryTreeRow* GetCategoryTreeRows(FlashcardStore* store, int32_t* count, int copy) {
  if (count) *count = 0;
  if (!store || LoadCategories(store) != 0) return nullptr;
  if (!store->categoryTreeRows) {
    std::vector<CategoryTreeRow> rows;
    std::vector<int32_t> order;
    for (int32_t i = 0, n = GetChildRange(store, kCategoryRoot, nullptr, nullptr); i < n; ++i) {
      const int32_t top = GetChildCategory(store, kCategoryRoot, i);
      rows.push_back({top, kCategoryRoot, 0, 0, 0});
      for (int32_t j = 0, m = GetChildRange(store, top, nullptr, nullptr); j < m; ++j) {
        const int32_t mid = GetChildCategory(store, top, j);
        rows.push_back({mid, top, 1, 0, 0});
        for (int32_t k = 0, o = GetChildRange(store, mid, nullptr, nullptr); k < o; ++k)
          rows.push_back({GetChildCategory(store, mid, k), mid, 2, 0, 0});
      }
    }
    rows.push_back({kCategoryUncategorized, kCategoryRoot, 0, 0, 0});
    auto* block = static_cast<CategoryTreeRow*>(LocalAlloc(LPTR, rows.size() * sizeof(CategoryTreeRow)));
    if (!block) return nullptr;
    std::memcpy(block, rows.data(), rows.size() * sizeof(CategoryTreeRow));
    store->categoryTreeRows = block;
    store->categoryTreeRowCount = static_cast<int32_t>(rows.size());
  }
  const int32_t n = store->categoryTreeRowCount;
  CategoryTreeRow* rows = static_cast<CategoryTreeRow*>(store->categoryTreeRows);
  if (copy) {
    auto* block = static_cast<CategoryTreeRow*>(LocalAlloc(LPTR, n * sizeof(CategoryTreeRow)));
    if (!block) return nullptr;
    std::memcpy(block, rows, n * sizeof(CategoryTreeRow));
    rows = block;
  }
  if (count) *count = n;
  return rows;
}

void ClearCategoryTreeRows(FlashcardStore* store) {
  if (!store) return;
  if (store->categoryTreeRows) LocalFree(store->categoryTreeRows);
  store->categoryTreeRows = nullptr;
  store->categoryTreeRowCount = 0;
}

int32_t* ExpandCategoryIds(FlashcardStore* store, const int32_t* ids, uint32_t count, uint32_t* outCount) {
  if (outCount) *outCount = 0;
  if (!store) return nullptr;
  std::vector<int32_t> all;
  for (uint32_t i = 0; ids && i < count; ++i) Collect(store, ids[i], &all, 0);
  auto* block = static_cast<int32_t*>(LocalAlloc(LPTR, (all.size() + 1) * sizeof(int32_t)));
  if (!block) return nullptr;
  std::memcpy(block, all.data(), all.size() * sizeof(int32_t));
  if (outCount) *outCount = static_cast<uint32_t>(all.size());
  return block;
}

int MoveCategory(FlashcardStore* store, int32_t id, int32_t target, int before) {
  if (!store || LoadCategories(store) != 0 || IndexOf(store, id) < 0) return 1;
  const int32_t targetIndex = IndexOf(store, target);
  if (targetIndex < 0 || id == target) return 1;
  FlashCategoryRecord record = Records(store)[IndexOf(store, id)];
  const int32_t parent = Records(store)[targetIndex].parent;
  const int32_t targetSort = Records(store)[targetIndex].sort;
  if (parent == id) return 9;
  if (parent != record.parent) {
    if (!CanMoveUnder(store, id, parent)) return 9;
    if (!IsValidCategoryName(store, record.name, parent)) return 10;
  }
  RemoveAt(store, IndexOf(store, id));
  int32_t at = IndexOf(store, target) + (before ? 0 : 1);
  record.parent = parent;
  InsertAt(store, at, record);
  FlashCategoryRecord* r = Records(store);
  int32_t sort = before ? targetSort : targetSort + 1;
  for (int32_t i = at; i < store->categories.count && r[i].parent == parent; ++i) {
    r[i].sort = sort++;
    r[i].dirty = 1;
  }
  ClearCategoryTreeRows(store);
  return 0;
}

int MoveCategoryAfter(FlashcardStore* store, int32_t id, int32_t target) { return MoveCategory(store, id, target, 0); }

int ListCategoryChoices(FlashcardStore* store, int32_t mode, int32_t card, int32_t* count, int32_t** ids) {
  if (count) *count = 0;
  if (ids) *ids = nullptr;
  if (!store || !count || !ids) return 1;
  std::vector<int32_t> cats;
  if (GetPref(store->engine, kPrefTopCategoriesOnly)) {
    for (int32_t i = 0, n = GetChildRange(store, kCategoryRoot, nullptr, nullptr); i < n; ++i)
      cats.push_back(GetChildCategory(store, kCategoryRoot, i));
  } else {
    int32_t n = 0;
    const CategoryTreeRow* rows = GetCategoryTreeRows(store, &n, 0);
    for (int32_t i = 0; rows && i < n; ++i)
      if (rows[i].id >= 0) cats.push_back(rows[i].id);
  }
  std::vector<int32_t> out;
  switch (mode) {
    case 2:
      out.push_back(kCategoryRoot);
      out.insert(out.end(), cats.begin(), cats.end());
      break;
    case 3:
      out = cats;
      out.push_back(kCategoryRoot);
      break;
    case 4:
      out.push_back(kCategoryUncategorized);
      out.insert(out.end(), cats.begin(), cats.end());
      break;
    case 5:
      out = cats;
      out.push_back(kCategoryUncategorized);
      break;
    case 6: {
      int32_t* mine = nullptr;
      int32_t mineCount = 0;
      GetCardCategoryIds(store, card, &mine, &mineCount);
      std::vector<int32_t> in(mine, mine + mineCount);
      if (mine) LocalFree(mine);
      if (!in.empty()) {
        out.push_back(kCategoryCurrentHeader);
        out.insert(out.end(), in.begin(), in.end());
      }
      out.push_back(kCategoryAvailableHeader);
      for (int32_t c : cats)
        if (std::find(in.begin(), in.end(), c) == in.end()) out.push_back(c);
      break;
    }
    case 7:
      out.push_back(kCategoryNone);
      out.insert(out.end(), cats.begin(), cats.end());
      break;
    default:
      out = cats;
  }
  if (!out.empty() && out.back() == kCategoryAvailableHeader) out.pop_back();
  auto* block = static_cast<int32_t*>(LocalAlloc(LPTR, (out.size() + 1) * sizeof(int32_t)));
  if (!block) return 1;
  std::memcpy(block, out.data(), out.size() * sizeof(int32_t));
  *ids = block;
  *count = static_cast<int32_t>(out.size());
  return 0;
}

int IsCardInCategory(FlashcardStore* store, int32_t card, int32_t category) {
  if (!store || !store->database) return 0;
  SqlTerm where[2] = {Int(kAssignCard, card), Int(kAssignCat, category)};
  SqlQuery q{};
  q.table = kFlashCategoryAssignsTable;
  q.columns = kFlashAssignColumns;
  q.columnCount = kAssignColumnCount;
  q.where = where;
  q.whereCount = category == kCategoryUncategorized ? 1 : 2;
  const int64_t n = SqlCount(store->database, kFlashCategoryAssignsTable, &q);
  if (category == kCategoryUncategorized) return n == 0 ? 1 : 0;
  return n != 0 ? 1 : 0;
}

int AssignCardToCategory(FlashcardStore* store, int32_t card, int32_t category, ChunkedArray* pane) {
  if (!store) return 1;
  if (category == kCategoryUncategorized) {
    if (RemoveCardFromAllCategories(store, card) != SQLITE_OK) return 1;
    TouchCard(store, card);
    if (pane) AppendChunkedArray(pane, static_cast<uint32_t>(card), 0);
    return 0;
  }
  if (!CategoryExists(store, category)) return 1;
  const int32_t assignment = AssignCard(store, card, category);
  if (assignment < 0) return 1;
  if (pane) {
    // The assignment id goes into word 1 of a pair list.
    if (AppendChunkedArray(pane, static_cast<uint32_t>(card), static_cast<uint32_t>(assignment)) != 0) return 1;
  }
  return 0;
}

int ToggleCardCategory(FlashcardStore* store, int32_t card, int32_t category) {
  if (!store || category < 0) return 1;
  if (IsCardInCategory(store, card, category)) return RemoveCardsFromCategory(store, &card, 1, 1, category) ? 1 : 0;
  return AssignCard(store, card, category) >= 0 ? 0 : 1;
}

int GetCardCategoryIds(FlashcardStore* store, int32_t card, int32_t** ids, int32_t* count) {
  if (count) *count = 0;
  if (ids) *ids = nullptr;
  if (!store || !store->database) return 1;
  EngineLockGuard lock;
  std::vector<int32_t> found;
  if (SelectFlashInts(store->database, kFlashCategoryAssignsTable, kFlashAssignColumns, kAssignColumnCount,
                      kAssignCard, card, kAssignCat, &found) != 0)
    return 1;
  found.erase(std::remove_if(found.begin(), found.end(), [&](int32_t c) { return !CategoryExists(store, c); }),
              found.end());
  if (count) *count = static_cast<int32_t>(found.size());
  if (ids && !found.empty()) {
    *ids = static_cast<int32_t*>(LocalAlloc(LPTR, found.size() * sizeof(int32_t)));
    if (!*ids) return 1;
    std::memcpy(*ids, found.data(), found.size() * sizeof(int32_t));
  }
  return 0;
}

int ResetProfileCategorySetting(FlashcardStore* store, uint32_t setting) {
  if (!store) return 0;
  ProfileSettingValue value{};
  if (GetProfileSetting(store, setting, &value) == 0) {
    if (value.text) LocalFree(const_cast<WCHAR*>(value.text));
    if (CategoryExists(store, value.value)) return 1;
  }
  ProfileSettingValue first{};
  first.value = GetChildCategory(store, kCategoryRoot, 0);
  SetProfileSetting(store, setting, &first);
  SaveCurrentProfileSettings(store);
  return 0;
}
