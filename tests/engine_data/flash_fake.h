// Counters of the test flashcard services (flash_fake.cpp).
#pragma once

#include <vector>

#include "engine/flash_services.h"

namespace flashfake {
extern int openCalls;
extern int closeCalls;
extern void* lastArg;
extern bool giveStore;  // open hands out a store

// SaveCard: what it was given last, and what it answers.
extern int saveCalls;
extern CardEditRecord lastCard;
extern std::vector<int32_t> lastCategories;
extern int32_t lastCardId;
extern bool saveFails;     // answer -1 even with a store
extern bool cardExisted;   // report an existing card used
extern bool cardFiled;     // report the card filed
void ResetCards();
}  // namespace flashfake
