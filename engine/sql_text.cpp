#include "engine/sql_text.h"

#include <sqlite3.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "engine/mem_handle.h"
#include "engine/sql_db.h"
#include "engine/utf8.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

constexpr uint32_t kGrowBytes = 64;
// The block holds this much beyond its capacity, so the terminator always fits.
constexpr uint32_t kBlockSlack = 4;

bool IsLikeEscape(char c) { return c == '%' || c == '_' || c == '\\'; }

// Copies n bytes doubling every "'" and, for patterns, escaping the LIKE
// metacharacters with "\". Room for every added byte is reserved first.
void AppendBody(SqlText* t, const char* s, uint32_t n, bool likeEscape) {
  uint32_t extra = 0;
  for (uint32_t i = 0; i < n; ++i)
    if (s[i] == '\'' || (likeEscape && IsLikeEscape(s[i]))) ++extra;
  if (SqlTextReserve(t, n + extra)) return;
  char* out = t->data + t->length;
  for (uint32_t i = 0; i < n; ++i) {
    if (s[i] == '\'') *out++ = '\'';
    else if (likeEscape && IsLikeEscape(s[i])) *out++ = '\\';
    *out++ = s[i];
  }
  t->length += n + extra;
  t->data[t->length] = 0;
}

void AppendWideBody(SqlText* t, const WCHAR* w, bool likeEscape) {
  if (likeEscape) {
    char* u = Utf8DupFromWide(w, 0, false);
    if (!u) {
      t->failed = 1;
      return;
    }
    AppendBody(t, u, static_cast<uint32_t>(std::strlen(u)), true);
    LocalFree(u);
    return;
  }
  // Straight into the block: surrogate pairs become 4-byte UTF-8.
  const uint32_t n = Utf8Length(w, 0, true);
  if (SqlTextReserve(t, n)) return;
  uint32_t written = 0;
  WideToUtf8(w, t->data + t->length, n + 1, 0, &written, true);
  t->length += written;
  t->data[t->length] = 0;
}

const char* OperatorText(uint32_t op, bool nullValue) {
  static constexpr const char* kText[] = {" == ",   " != ",   " > ",    " >= ",      " < ",
                                          " <= ",   " LIKE ", " LIKE ", " LIKE ",    " LIKE ",
                                          " NOT LIKE ", " GLOB ", " IN ", " NOT IN ", " LIKE "};
  if (nullValue && op == kSqlOpEqual) return " IS ";
  if (nullValue && op == kSqlOpNotEqual) return " IS NOT ";
  return op < sizeof kText / sizeof kText[0] ? kText[op] : "";
}

uint32_t ColumnType(const SqlColumnDef* columns, int column) {
  return column >= 0 && columns ? columns[column].type : kSqlInteger;
}

// Sixteen or more equalities on one column, OR-ed, none opening a group
// after the first: written as one IN list.
bool IsInList(const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count) {
  if (count < 16 || terms[0].column < 0) return false;
  const uint32_t type = ColumnType(columns, terms[0].column);
  for (uint32_t i = 0; i < count; ++i) {
    const SqlTerm& t = terms[i];
    if (t.column != terms[0].column || t.op != kSqlOpEqual) return false;
    if (i > 0 && t.openParen) return false;
    if (i + 1 < count && t.connector != kSqlOr) return false;
    // NULL never matches inside IN; such a list is written term by term.
    if (SqlValueIsNull(type, &t)) return false;
  }
  return true;
}

}  // namespace

WCHAR* SqlLikeEscapeDup(const WCHAR* text) {
  if (!text) return nullptr;
  uint32_t n = 0, extra = 0;
  for (; text[n]; ++n)
    if (text[n] < 0x80 && IsLikeEscape(static_cast<char>(text[n]))) ++extra;
  auto* out = static_cast<WCHAR*>(LocalAlloc(LPTR, (n + extra + 1) * sizeof(WCHAR)));
  if (!out) return nullptr;
  WCHAR* w = out;
  for (uint32_t i = 0; i < n; ++i) {
    if (text[i] < 0x80 && IsLikeEscape(static_cast<char>(text[i]))) *w++ = u'\\';
    *w++ = text[i];
  }
  return out;
}

void SqlTextBegin(SqlDb* db, SqlText* t) {
  *t = SqlText{};
  // Held until SqlTextEnd: composing, running and reading one statement on
  // a shared handle is one step for other threads.
  if (db) engine_lock::Acquire();
  if (db && db->scratch && !db->scratchInUse) {
    db->scratchInUse = 1;
    t->handle = db->scratch;
    t->capacity = db->scratchCapacity;
    t->borrowed = 1;
  } else {
    t->handle = NewMemHandle(kSqlScratchStart + 1);
    if (!t->handle) {
      t->failed = 1;
      return;
    }
    t->capacity = kSqlScratchStart;
  }
  t->data = static_cast<char*>(LockMemHandle(t->handle));
  t->data[0] = 0;
}

int SqlTextReserve(SqlText* t, uint32_t n) {
  if (t->failed || !t->handle) {
    t->failed = 1;
    return 1;
  }
  if (t->length + n <= t->capacity) return 0;
  const uint32_t grow = n > kGrowBytes ? n : kGrowBytes;
  const uint64_t capacity = static_cast<uint64_t>(t->capacity) + grow;
  if (capacity + kBlockSlack > UINT32_MAX ||
      ResizeMemHandle(t->handle, static_cast<uint32_t>(capacity + kBlockSlack))) {
    t->failed = 1;
    return 1;
  }
  t->capacity = static_cast<uint32_t>(capacity);
  t->data = static_cast<char*>(t->handle->data);
  return 0;
}

void SqlTextAppendN(SqlText* t, const char* s, uint32_t n) {
  if (!s || SqlTextReserve(t, n)) return;
  std::memcpy(t->data + t->length, s, n);
  t->length += n;
  t->data[t->length] = 0;
}

void SqlTextAppend(SqlText* t, const char* s) {
  if (s) SqlTextAppendN(t, s, static_cast<uint32_t>(std::strlen(s)));
}

void SqlTextAppendInt(SqlText* t, int64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%" PRId64, value);
  SqlTextAppend(t, buf);
}

void SqlTextAppendQuoted(SqlText* t, const char* s) {
  if (s) AppendBody(t, s, static_cast<uint32_t>(std::strlen(s)), false);
}

void SqlTextAppendLiteral(SqlText* t, const char* s) {
  SqlTextAppend(t, "'");
  SqlTextAppendQuoted(t, s);
  SqlTextAppend(t, "'");
}

void SqlTextEnd(SqlDb* db, SqlText* t) {
  if (t->handle) {
    UnlockMemHandle(t->handle);
    if (t->borrowed && db) {
      db->scratchCapacity = t->capacity;
      if (t->capacity > kSqlScratchKeep && ResizeMemHandle(t->handle, kSqlScratchKeep + kBlockSlack) == 0)
        db->scratchCapacity = kSqlScratchKeep;
      db->scratchInUse = 0;
    } else if (!t->borrowed) {
      FreeMemHandle(t->handle);
    }
  }
  *t = SqlText{};
  if (db) engine_lock::Release();
}

int SqlTextExec(SqlDb* db, SqlText* t) {
  int rc = SQLITE_MISUSE;
  if (db && !t->failed) {
    EngineLockGuard lock;
    rc = SqlChangeRefusedHere(db, t->data) ? SQLITE_BUSY : sqlite3_exec(db->conn, t->data, nullptr, nullptr, nullptr);
  } else if (db) {
    rc = SQLITE_NOMEM;
  }
  SqlTextEnd(db, t);
  return rc;
}

sqlite3_stmt* SqlTextPrepare(SqlDb* db, SqlText* t) {
  sqlite3_stmt* stmt = nullptr;
  if (db && !t->failed && sqlite3_prepare_v2(db->conn, t->data, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
  }
  SqlTextEnd(db, t);
  return stmt;
}

int SqlValueIsNull(uint32_t columnType, const SqlTerm* term) {
  if (term->isNull) return 1;
  if (term->list && term->listCount) return 0;
  if (term->op == kSqlOpIn || term->op == kSqlOpNotIn) return 0;
  if (term->text || term->wtext) return 0;
  return columnType == kSqlText && term->value == 0;
}

void SqlAppendValue(SqlText* t, uint32_t columnType, const SqlTerm* term) {
  if (term->isNull) {
    SqlTextAppend(t, "NULL");
    return;
  }
  if ((term->list && term->listCount) || term->op == kSqlOpIn || term->op == kSqlOpNotIn) {
    // An empty list is "()": IN () matches nothing, NOT IN () everything.
    SqlTextAppend(t, "(");
    for (uint32_t i = 0; term->list && i < term->listCount; ++i) {
      if (i) SqlTextAppend(t, ",");
      SqlTextAppendInt(t, term->list[i]);
    }
    SqlTextAppend(t, ")");
    return;
  }
  const uint32_t op = term->op;
  const bool pattern = op == kSqlOpContains || op == kSqlOpBegins || op == kSqlOpEnds;
  const char* before = op == kSqlOpContains || op == kSqlOpEnds ? "%" : "";
  const char* after = op == kSqlOpContains || op == kSqlOpBegins ? "%" : "";
  if (term->text || term->wtext) {
    SqlTextAppend(t, "'");
    SqlTextAppend(t, before);
    if (term->text) AppendBody(t, term->text, static_cast<uint32_t>(std::strlen(term->text)), pattern);
    else AppendWideBody(t, term->wtext, pattern);
    SqlTextAppend(t, after);
    SqlTextAppend(t, pattern || op == kSqlOpLikeEscaped ? "' ESCAPE '\\'" : "'");
    return;
  }
  if (columnType == kSqlText) {
    if (term->value == 0) {
      SqlTextAppend(t, "NULL");
      return;
    }
    SqlTextAppend(t, "'");
    SqlTextAppend(t, before);
    SqlTextAppendInt(t, term->value);
    SqlTextAppend(t, after);
    SqlTextAppend(t, "'");
    return;
  }
  // INTEGER, and REAL and BLOB columns given a number, take it bare.
  SqlTextAppendInt(t, term->value);
}

int SqlAppendConnector(SqlText* t, uint32_t connector, int depth) {
  switch (connector) {
    case kSqlAnd: SqlTextAppend(t, " AND "); return depth;
    case kSqlOr: SqlTextAppend(t, " OR "); return depth;
    case kSqlAndOpen: SqlTextAppend(t, " AND ("); return depth + 1;
    case kSqlOrOpen: SqlTextAppend(t, " OR ("); return depth + 1;
    case kSqlCloseAnd: SqlTextAppend(t, ") AND "); return depth - 1;
    case kSqlCloseOr: SqlTextAppend(t, ") OR "); return depth - 1;
    default: return depth;
  }
}

void SqlAppendColumnRef(SqlText* t, const SqlColumnDef* columns, int column, const char* qualifier) {
  if (column < 0 || !columns) return;
  if (qualifier) {
    SqlTextAppend(t, qualifier);
    SqlTextAppend(t, ".");
    SqlTextAppend(t, columns[column].name);
  } else {
    SqlTextAppend(t, "\"");
    SqlTextAppend(t, columns[column].name);
    SqlTextAppend(t, "\"");
  }
}

void SqlAppendWhere(SqlText* t, const SqlColumnDef* columns, const SqlTerm* terms, uint32_t count,
                    const char* qualifier) {
  if (!terms || count == 0) return;
  if (IsInList(columns, terms, count)) {
    const uint32_t type = ColumnType(columns, terms[0].column);
    SqlAppendColumnRef(t, columns, terms[0].column, qualifier);
    SqlTextAppend(t, " IN (");
    for (uint32_t i = 0; i < count; ++i) {
      if (i) SqlTextAppend(t, ", ");
      SqlAppendValue(t, type, &terms[i]);
    }
    SqlTextAppend(t, ") ");
    return;
  }
  int depth = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const SqlTerm& term = terms[i];
    if (term.openParen) {
      SqlTextAppend(t, "(");
      ++depth;
    }
    const uint32_t type = ColumnType(columns, term.column);
    if (term.unindexed) SqlTextAppend(t, "+");
    SqlAppendColumnRef(t, columns, term.column, qualifier);
    SqlTextAppend(t, OperatorText(term.op, SqlValueIsNull(type, &term)));
    SqlAppendValue(t, type, &term);
    if (i + 1 < count) depth = SqlAppendConnector(t, term.connector, depth);
  }
  for (; depth > 0; --depth) SqlTextAppend(t, ")");
}
