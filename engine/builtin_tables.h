// The built-in tables the engine keeps for its life (syllable spellings,
// zhuyin, finals, tone letters) and its fixed message texts, each handed out
// as a MemHandle. Free them with FreeTableHandle.
#pragma once

#include <cstdint>

#include "engine/mem_handle.h"

// Over the program's resources ("ASTR" 6013, "USTR" 6011, 6012, 6014; see
// resources/). The handles borrow the resource data. Null when the resource
// is not registered (RegisterSorviResources not called) or the heap is
// exhausted.
MemHandle* LoadPinyinSpellingTable();  // 450 × 6 ASCII bytes
MemHandle* LoadZhuyinSpellingTable();  // 450 × 3 UTF-16 units
MemHandle* LoadZhuyinIndexTable();     // 422 × 6 UTF-16 units
MemHandle* LoadPinyinFinalsTable();    // 31 × 3 big-endian codes + 0

// 41 WCHARs: entry 0 is 0; entry 1 + 4 × v + (t − 1) is letter v with tone t
// (t = 1..4) for the letters a, e, i, o, u, ü, A, E, O, n in that order.
inline constexpr int kToneVowelCount = 41;
MemHandle* NewToneVowelTable();
// 4 zero bytes, then one byte per code point U+00C0..U+01F9: 0 unless the
// code point is a tone-marked letter of the vowel table, else
// (base letter − 64) × 4 + (tone − 1), "v" being the base of ü.
inline constexpr uint32_t kToneLetterTableSize = 318;
inline constexpr uint32_t kToneLetterFirst = 0xC0;
inline constexpr uint32_t kToneLetterLast = 0x1F9;
MemHandle* NewToneLetterTable();

// Message texts 3..7 as a new zero-terminated UTF-16 copy; null for any
// other number.
MemHandle* GetMessageText(int number);
