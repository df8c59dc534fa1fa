// Small statement helpers shared by the flashcard modules: the integer
// condition term they all build, and the one-column integer select that
// cards, categories and assignments are read through.
//
// Both go through the engine's statement builder like every other statement
// of the store. SelectFlashInts returns 0, or 1 when there is no database or
// the statement does not compile.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/sql_text.h"

struct SqlDb;

// "column = value", joined to the term after it by connector.
SqlTerm FlashIntTerm(uint32_t column, int32_t value, uint32_t connector = kSqlAnd);

// Appends to out the integer selectColumn of every row of table whose
// whereColumn equals value, in the order SQLite steps them. Takes the
// engine lock for the statement's life.
int SelectFlashInts(SqlDb* db, const char* table, const SqlColumnDef* columns, uint32_t columnCount,
                    uint32_t whereColumn, int32_t value, uint32_t selectColumn, std::vector<int32_t>* out);
