#include "resources/resources.h"

#include "platform/resources.h"
#include "resources/bitmap_data.h"
#include "resources/menus.h"
#include "resources/syllables.h"

namespace {

void RegisterTable(LPCWSTR type, int id, std::span<const unsigned char> bytes) {
  RegisterResource(type, static_cast<WORD>(id), bytes.data(), static_cast<DWORD>(bytes.size()));
}

}  // namespace

void RegisterSorviResources() {
  // The main window's title and class: a second start finds the first by them.
  RegisterStringResource(1, u"Sorvi");
  RegisterStringResource(2, u"SORVIENGINE");
  RegisterTable(u"ASTR", kPinyinSpellingTableId, PinyinSpellingTableBytes());
  RegisterTable(u"USTR", kZhuyinSpellingTableId, ZhuyinSpellingTableBytes());
  RegisterTable(u"USTR", kZhuyinIndexTableId, ZhuyinIndexTableBytes());
  RegisterTable(u"USTR", kPinyinFinalsTableId, PinyinFinalsTableBytes());
  RegisterMenuResources();
  for (const BitmapResource& b : SorviBitmapResources())
    RegisterResource(RT_BITMAP, b.id, b.data, static_cast<DWORD>(b.size));
}
