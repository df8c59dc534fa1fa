// Searches of the pinyin spelling table the engine keeps (450 rows of 6
// blank-padded ASCII letters in alphabetical order, "v" for ü), shared by
// the syllable parser and the query division.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;

inline constexpr uint32_t kSpellingWidth = 6;

uint32_t PinyinRowCount(const DictEngine* engine);
// Copies row r, blank-padded and 0-terminated, into row (7 bytes); false
// when r is not a row.
bool PinyinRow(const DictEngine* engine, uint32_t r, char* row);
// The first row that is not below the text over `places` places
// (PinyinWordCmpNarrow); the row count when every row is below it.
uint32_t FindPinyinRow(const DictEngine* engine, const WCHAR* text, uint32_t places);
// The last row from `from` on whose spelling begins with the first
// `letters` letters of text (`from` itself when none does).
uint32_t LastPinyinRowWithPrefix(const DictEngine* engine, const WCHAR* text, uint32_t letters, uint32_t from);
