#include "resources/resources.h"

#include "platform/resources.h"
#include "resources/syllables.h"

namespace {

void RegisterTable(LPCWSTR type, int id, std::span<const unsigned char> bytes) {
  RegisterResource(type, static_cast<WORD>(id), bytes.data(), static_cast<DWORD>(bytes.size()));
}

}  // namespace

void RegisterSorviResources() {
  RegisterTable(u"ASTR", kPinyinSpellingTableId, PinyinSpellingTableBytes());
  RegisterTable(u"USTR", kZhuyinSpellingTableId, ZhuyinSpellingTableBytes());
  RegisterTable(u"USTR", kZhuyinIndexTableId, ZhuyinIndexTableBytes());
  RegisterTable(u"USTR", kPinyinFinalsTableId, PinyinFinalsTableBytes());
}
