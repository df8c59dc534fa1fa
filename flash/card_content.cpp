#include "flash/card_content.h"

#include <cstring>
#include <string>

#include "engine/dict_set.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "flash/cards.h"
#include "flash/session.h"
#include "flash/store.h"
#include "platform/engine_lock.h"

namespace {

// FormatEntryText's flags: the one-line form and the second display mode,
// which puts the entry's other headword form first.
constexpr uint32_t kEntryOneLine = 0x2;
constexpr uint32_t kEntrySecondMode = 0x1000000;

int Put(MemHandle* handle, const std::u16string& text) {
  const uint32_t bytes = static_cast<uint32_t>((text.size() + 1) * sizeof(WCHAR));
  if (GetMemHandleSize(handle) < bytes && ResizeMemHandle(handle, bytes) != 0) return 1;
  std::memcpy(handle->data, text.c_str(), bytes);
  return 0;
}

struct CardTexts {
  std::u16string field[4];  // headword, alternative headword, pronunciation, stored definition
};

int ReadTexts(FlashcardStore* store, int32_t card, CardTexts* t) {
  MemHandle* h = NewMemHandle(2);
  if (!h) return 1;
  for (uint32_t f = kCardFieldHeadword; f <= kCardFieldDefinition; ++f) {
    if (GetCardStoredText(store, card, f, h) != 0) {
      FreeMemHandle(h);
      return 1;
    }
    t->field[f] = static_cast<const char16_t*>(h->data);
  }
  FreeMemHandle(h);
  return 0;
}

// The card's own lines under the field bits.
std::u16string OwnText(const CardTexts& t, uint32_t fields) {
  const char16_t separator = (fields & kContentOneLine) ? u' ' : u'\n';
  std::u16string out;
  auto line = [&](const std::u16string& s) {
    if (s.empty()) return;
    if (!out.empty()) out += separator;
    out += s;
  };
  if (fields & kContentHeadword) {
    const std::u16string& hw = t.field[kCardFieldHeadword];
    const std::u16string& alt = t.field[kCardFieldAltHeadword];
    const bool altFirst = (fields & kContentAltFirst) && !alt.empty();
    std::u16string head = altFirst ? alt : hw;
    const std::u16string& other = altFirst ? hw : alt;
    if (!other.empty() && other != head) head += u" [" + other + u"]";
    line(head);
  }
  if (fields & kContentPronunciation) line(t.field[kCardFieldPronunciation]);
  if (fields & kContentDefinition) line(t.field[kCardFieldDefinition]);
  return out;
}

// The linked entry's rendering, or false when the card has no link that
// can be read (the dictionary is closed or the entry is gone).
bool LinkedText(FlashcardStore* store, int32_t card, uint32_t fields, MemHandle* handle, std::u16string* out) {
  uint16_t slot = kNoCardSlot;
  int32_t entry = -1;
  if (ResolveCardEntry(store, card, &slot, &entry) != 0 || entry < 0) return false;
  if (fields & kContentDefinitionOnly) {
    EngineLockGuard lock;
    *out = GetLinkedEntryDefinition(store->engine, slot, static_cast<uint32_t>(entry));
    return true;
  }
  uint32_t flags = 0;
  if (fields & kContentOneLine) flags |= kEntryOneLine;
  if (fields & kContentAltFirst) flags |= kEntrySecondMode;
  EngineLockGuard lock;
  if (FormatEntryText(store->engine, handle, slot, static_cast<uint32_t>(entry), 0, flags) != 0) return false;
  *out = static_cast<const char16_t*>(handle->data);
  return true;
}

}  // namespace

int BuildCardContent(FlashSession* session, CardContentRecord* content) {
  if (!content || !content->text) return 1;
  FlashcardStore* store = session ? session->store : content->store;
  if (!store) return 1;
  CardTexts t;
  if (ReadTexts(store, content->card, &t) != 0) return 1;
  const uint32_t fields = content->fields;
  const bool wantsLink =
      (fields & kContentLinkedEntry) && !((fields & kContentStoredFirst) && !t.field[kCardFieldDefinition].empty());
  if (!wantsLink) return Put(content->text, OwnText(t, fields));
  std::u16string linked;
  if (LinkedText(store, content->card, fields, content->text, &linked)) return Put(content->text, linked);
  // An unlinked card simply shows its fields; a link that leads nowhere
  // says so before them.
  std::u16string own = OwnText(t, fields);
  if (!IsCardUnlinked(store, content->card) && !(fields & kContentNoNote))
    own = std::u16string(kMissingLinkNote) + (own.empty() ? u"" : u"\n") + own;
  return Put(content->text, own);
}

int CardAltHeadwordFirst(FlashcardStore* store) {
  return store && store->engine && GetPref(store->engine, kPrefDisplayMode) ? 1 : 0;
}

int GetCardDisplayText(FlashcardStore* store, int32_t card, MemHandle* handle) {
  CardContentRecord content{};
  content.store = store;
  content.card = card;
  content.fields = kCardListMask | (CardAltHeadwordFirst(store) ? kContentAltFirst : 0u);
  content.text = handle;
  return BuildCardContent(nullptr, &content);
}

int SelectCardCharset(const FlashSession* session) {
  if (!session) return 0;
  if (session->display.forceCharset) return session->display.charset ? 1 : 0;
  return CardAltHeadwordFirst(session->store);
}

int PrepareCurrentCardContent(FlashSession* session, MemHandle* handle, int whole) {
  if (!session || !handle) return 1;
  const int32_t card = GetSessionCurrentCardId(session);
  if (card <= 0) return 1;
  uint32_t fields = kContentLinkedEntry;
  if (whole) {
    fields |= kContentHeadword | kContentPronunciation | kContentDefinition;
  } else if (session->currentFieldSet >= 0 && session->currentFieldSet < session->fieldSetCount) {
    // The definition field of the set brings the linked entry; headword
    // and pronunciation fields are drawn by the window from the card.
    const SessionFieldSet& set = session->fieldSets[session->currentFieldSet];
    fields = 0;
    for (int32_t i = 0; i < set.displayCount && i < 5; ++i)
      if (set.display[i] == kFieldDefinition) fields = kContentLinkedEntry | kContentDefinition;
  }
  if (SelectCardCharset(session)) fields |= kContentAltFirst;
  CardContentRecord content{};
  content.store = session->store;
  content.card = card;
  content.fields = fields;
  content.text = handle;
  return BuildCardContent(session, &content);
}
