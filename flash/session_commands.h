// Session services the commands of the test window share with scoring and
// building: taking a card out of a running session and the candidate pools
// of multiple-choice answers.
#pragma once

#include <cstdint>

struct FlashSession;

// 1 for the card being shown (nothing changes); else 0 after every trace
// of the card is gone: its order entries with their undo rows and flags,
// and its record in the card list (for Frequency adjust its delay-ring
// entry if it has one, else its weighted record).
int RemoveCardFromSession(FlashSession* session, int32_t card);

// The candidates of multiple-choice answers by "pro_choicesfrom" (0 the
// session's language, 1 its own categories, 2 "pro_choicescustomcats"),
// split by word length into the session's pools, each shuffled. 0, or 1
// when a pool or the query could not be had (the pools may then be
// partial).
int BuildChoicePools(FlashSession* session);
