// An engine host for tests: a flashcard store that records what the engine
// asks of it and answers as the test sets, and font-slot calls that are
// counted. Give `host` to EngineParams; the object must outlive the engine.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine_host.h"

struct FakeEngineHost {
  FakeEngineHost();
  FakeEngineHost(const FakeEngineHost&) = delete;
  FakeEngineHost& operator=(const FakeEngineHost&) = delete;

  EngineHost host{};

  // Store: opening hands out a store only while giveStore is set.
  bool giveStore = false;
  int openCalls = 0;
  int closeCalls = 0;
  void* lastArg = nullptr;

  // SaveCard: what it was given last, and what it answers (card id 1, or -1
  // when told to fail).
  int saveCalls = 0;
  CardEditRecord lastCard{};
  std::vector<int32_t> lastCategories;
  int32_t lastCardId = 0;
  bool saveFails = false;
  bool cardExisted = false;  // report an existing card used
  bool cardFiled = false;    // report the card filed

  // Index upgrade and relinking of user entries' cards.
  bool indexCurrent = true;
  std::vector<int32_t> relinked;  // uids, in call order

  // Font slots.
  int addFontCalls = 0;
  uint32_t lastFontCount = 0;
  int freeFontCalls = 0;
  int renderModeCalls = 0;

  void ResetCards();
};
