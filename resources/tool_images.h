// The bitmaps of the two tool image lists the main window builds (and the
// flashcard screens share): the large list holds one picture per tool image
// index, the small list four marks. Each list comes in three sizes, picked by
// the program's icon size (16, 22 or 32 pixels).
//
// Every id names a PNG of resources/bitmaps drawn by tools/make-icons, with
// pure green (0x00FF00) wherever nothing is drawn: the lists are built with
// a mask of that colour.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Entries of one large table: tool image indexes 0..104.
inline constexpr int kToolImageCount = 105;
// Entries of one small table.
inline constexpr int kSmallImageCount = 4;

// The bitmap ids of the large list for `iconSize`, index by index; null for
// a size other than 16, 22 and 32. The first three of each size are fixed
// by the program's layout records; the rest are ours, in a block of their
// own per size (index i at 8000 + i, 8200 + i or 8400 + i) so that none
// meets another bitmap resource.
const UINT* ToolBitmapIds(uint32_t iconSize);
// The small list's ids for `iconSize` (8, 10 and 16-pixel marks for icon
// sizes 16, 22 and 32); null for other sizes.
const UINT* SmallBitmapIds(uint32_t iconSize);
// Pixel size of the small list's marks for `iconSize`; 0 for other sizes.
int SmallImageSize(uint32_t iconSize);
