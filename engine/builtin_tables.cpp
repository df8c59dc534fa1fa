#include "engine/builtin_tables.h"

#include <iterator>
#include <string>

#include "platform/resources.h"

namespace {

MemHandle* LoadResourceTable(LPCWSTR type, WORD id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  return WrapMemHandle(data, SizeofResource(module, found), 1, 1);
}

// Rows of the tone-vowel table: the base letter as the tone-letter table
// names it, then the letter with tones 1 to 4.
struct ToneRow {
  char16_t base;
  char16_t toned[4];
};
constexpr ToneRow kToneRows[10] = {
    {u'a', {u'\u0101', u'\u00E1', u'\u01CE', u'\u00E0'}},
    {u'e', {u'\u0113', u'\u00E9', u'\u011B', u'\u00E8'}},
    {u'i', {u'\u012B', u'\u00ED', u'\u01D0', u'\u00EC'}},
    {u'o', {u'\u014D', u'\u00F3', u'\u01D2', u'\u00F2'}},
    {u'u', {u'\u016B', u'\u00FA', u'\u01D4', u'\u00F9'}},
    {u'v', {u'\u01D6', u'\u01D8', u'\u01DA', u'\u01DC'}},
    {u'A', {u'\u0100', u'\u00C1', u'\u01CD', u'\u00C0'}},
    {u'E', {u'\u0112', u'\u00C9', u'\u011A', u'\u00C8'}},
    {u'O', {u'\u014C', u'\u00D3', u'\u01D1', u'\u00D2'}},
    // n with tone 1 has no mark of its own.
    {u'n', {u'n', u'\u0144', u'\u0148', u'\u01F9'}},
};

const char16_t* const kMessages[] = {
    u"No matches (exact or approximate) were found for the search query entered.",
    (u"Sorry, the dictionary associated with this entry no longer appears to be available. (you may also see this "
     u"error message after you upgrade to a new version of a dictionary)"),
    u"This entry appears to have been deleted from the dictionary.",
    u"\nNo dictionary entries found. Character reference info:\n",
    u"\n(no definition is available for this entry)",
};
constexpr int kFirstMessage = 3;

}  // namespace

MemHandle* LoadPinyinSpellingTable() { return LoadResourceTable(u"ASTR", 6013); }
MemHandle* LoadZhuyinSpellingTable() { return LoadResourceTable(u"USTR", 6011); }
MemHandle* LoadZhuyinIndexTable() { return LoadResourceTable(u"USTR", 6012); }
MemHandle* LoadPinyinFinalsTable() { return LoadResourceTable(u"USTR", 6014); }

MemHandle* NewToneVowelTable() {
  MemHandle* handle = NewMemHandle(kToneVowelCount * sizeof(char16_t));
  if (!handle) return nullptr;
  auto* table = static_cast<char16_t*>(handle->data);
  table[0] = 0;
  for (int v = 0; v < 10; ++v)
    for (int t = 0; t < 4; ++t) table[1 + 4 * v + t] = kToneRows[v].toned[t];
  return handle;
}

MemHandle* NewToneLetterTable() {
  MemHandle* handle = NewMemHandle(kToneLetterTableSize);  // zero-filled
  if (!handle) return nullptr;
  auto* table = static_cast<uint8_t*>(handle->data);
  for (const ToneRow& row : kToneRows) {
    for (int t = 0; t < 4; ++t) {
      char16_t c = row.toned[t];
      if (c < kToneLetterFirst || c > kToneLetterLast) continue;
      table[4 + (c - kToneLetterFirst)] = static_cast<uint8_t>((row.base - 64) * 4 + t);
    }
  }
  return handle;
}

MemHandle* GetMessageText(int number) {
  int i = number - kFirstMessage;
  if (i < 0 || i >= static_cast<int>(std::size(kMessages))) return nullptr;
  const char16_t* text = kMessages[i];
  size_t length = std::char_traits<char16_t>::length(text);
  return NewMemHandleFromCopy(text, static_cast<uint32_t>((length + 1) * sizeof(char16_t)));
}
