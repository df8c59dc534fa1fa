// The committed excerpt of CC-CEDICT (cedict_excerpt.tsv beside this file,
// CC BY-SA 4.0) that the search, lookup and benchmark tests build their
// dictionaries from.
#pragma once

#ifndef SORVI_CEDICT_EXCERPT
#error "SORVI_CEDICT_EXCERPT is set by tests/support/CMakeLists.txt"
#endif

inline constexpr const char* kCedictExcerptPath = SORVI_CEDICT_EXCERPT;
