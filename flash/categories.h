// Categories: a tree of at most three levels under an invisible root (-2),
// kept in memory as one array sorted by (parent, sort) so that the children
// of a parent are one contiguous run. Edits change the array and mark
// records dirty; FlushDirtyCategories writes them back in one transaction
// (at the latest when the store closes). Structural changes drop the cached
// tree rows. Changes that span statements run in one nesting transaction;
// when it ends rolled back the array reloads from the file.
//
// Results: 0 success, 1 failure unless stated. Creation returns the new id,
// -10 for an invalid name, -9 when the depth or loop rule is broken, -1 on
// failure; rename and move return 10 and 9 for the same rules.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct FlashcardStore;

inline constexpr uint32_t kCategoryNameMax = 40;  // units with the terminator
// Pseudo ids, never stored.
enum : int32_t {
  kCategoryNone = -1,
  kCategoryRoot = -2,  // "All"
  kCategoryUncategorized = -3,
  kCategoryCurrentHeader = -4,
  kCategoryAvailableHeader = -5,
};
// Deepest level: a category at level 2 has no children.
inline constexpr int32_t kCategoryMaxLevel = 2;
inline constexpr int32_t kCategoryNameInvalid = -10;
inline constexpr int32_t kCategoryRuleBroken = -9;

struct FlashCategoryRecord {
  WCHAR name[kCategoryNameMax];
  int32_t id;
  int32_t parent;
  int32_t sort;
  uint8_t hidden;
  uint8_t dirty;
};

struct CategoryTreeRow {
  int32_t id;
  int32_t parent;
  int32_t level;
  uint32_t word1;
  uint32_t word2;  // the views keep a checked flag in bit 0
};

// Loads the array once. 0; 1 when memory runs out (left unloaded).
int LoadCategories(FlashcardStore* store);
// Writes every dirty record in one transaction; with freeArray the array
// is freed and marked unloaded. 0, or the SQLite code (records stay dirty).
int FlushDirtyCategories(FlashcardStore* store, int freeArray);
// Frees the array and the tree rows without writing.
void UnloadCategories(FlashcardStore* store);

int32_t GetCategoryCount(FlashcardStore* store);
const FlashCategoryRecord* GetCategoryRecord(FlashcardStore* store, int32_t id);
// First child of the parent whose name matches ("_" in either matches any
// character); with largest the largest such id; -1 when none.
int32_t FindCategoryByName(FlashcardStore* store, const WCHAR* name, int32_t parent, int largest);
int IsValidCategoryName(FlashcardStore* store, const WCHAR* name, int32_t parent);
int32_t GetCategoryParent(FlashcardStore* store, int32_t id);  // -1 unknown
// Level 0..2; -1 unknown, for the root, or deeper (a damaged parent chain).
int32_t GetCategoryDepth(FlashcardStore* store, int32_t id);
// Number of children; the run [*first, *end) in the array.
int32_t GetChildRange(FlashcardStore* store, int32_t parent, int32_t* first, int32_t* end);
int32_t GetChildCategory(FlashcardStore* store, int32_t parent, int32_t n);
// 1 when the id is a category whose chain reaches the root within three
// steps.
int CategoryExists(FlashcardStore* store, int32_t id);
// 0 with the name (pseudo names for -1, -2, -3), cut to *length - 1 units
// and terminated; *length gets the units written. 1 and length 0 for an
// unknown id.
int GetCategoryDisplayName(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t* length);
// The label of a choice list: "None", "All", "Uncategorized", "Current
// Cats:", "Avail Cats:" for the pseudo ids, else the name behind one blank
// per level; cut to length - 1 units and terminated. 0; 1 (empty) for an
// unknown id.
int FormatCategoryListLabel(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t length);
// Writes the record's name, parent, sort and hidden flag to its row and
// stamps "modified". 0 or the SQLite code.
int WriteCategory(FlashcardStore* store, const FlashCategoryRecord* record);
// "A/B/C" from the top level down; "/" inside a name is written "\". 0; 1
// for an unknown id.
int GetCategoryPath(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t length);

int32_t CreateCategory(FlashcardStore* store, const WCHAR* name, int32_t source, int32_t parent, int32_t after);
int RenameCategory(FlashcardStore* store, int32_t id, const WCHAR* name);
int MoveCategoryUpDown(FlashcardStore* store, int32_t id, int up);
int ReparentCategory(FlashcardStore* store, int32_t id, int32_t parent);
// 0; 1 for ids that are not categories (nothing changed); the SQLite code
// of a failure (rolled back, the array reloaded).
int DeleteCategory(FlashcardStore* store, int32_t id);
int MergeSubcategories(FlashcardStore* store, int32_t id);
// The new ids ending with 0 (LocalFree), or null.
int32_t* SplitCategory(FlashcardStore* store, int32_t id, int32_t perPart);

// The rows in tree order ending with {-3, -2, 0}; the store's own unless
// copy (then LocalFree it). Null on failure.
CategoryTreeRow* GetCategoryTreeRows(FlashcardStore* store, int32_t* count, int copy);
void ClearCategoryTreeRows(FlashcardStore* store);
// The ids with all their subcategories, each once (LocalFree); pseudo ids
// are kept. Null when memory runs out.
int32_t* ExpandCategoryIds(FlashcardStore* store, const int32_t* ids, uint32_t count, uint32_t* outCount);

struct ChunkedArray;

// A move next to `target` (before or after it), taking the target's parent.
// 0; 9 when the rule is broken or the target's parent is the category
// itself; 10 name clash; 1 for an unknown id.
int MoveCategory(FlashcardStore* store, int32_t id, int32_t target, int before);
int MoveCategoryAfter(FlashcardStore* store, int32_t id, int32_t target);
// The ids a combo box or menu offers (modes 2-7 add the pseudo entries);
// a new array (LocalFree). 0; 1 when memory runs out.
int ListCategoryChoices(FlashcardStore* store, int32_t mode, int32_t card, int32_t* count, int32_t** ids);
// For -3: whether the card has no category; else whether it is filed there
// (a failed count counts as yes).
int IsCardInCategory(FlashcardStore* store, int32_t card, int32_t category);
// Files the card (a real category) and appends {card, assignment id} to
// the pane's list; -3 removes every assignment and appends {card, 0}. 0; 1.
int AssignCardToCategory(FlashcardStore* store, int32_t card, int32_t category, ChunkedArray* pane);
int ToggleCardCategory(FlashcardStore* store, int32_t card, int32_t category);
// The card's categories that exist, in a new array (LocalFree; null for
// none). 0; 1 on failure.
int GetCardCategoryIds(FlashcardStore* store, int32_t card, int32_t** ids, int32_t* count);
// 1 when the profile setting names an existing category; otherwise it is
// set to the first top-level category (0).
int ResetProfileCategorySetting(FlashcardStore* store, uint32_t setting);
