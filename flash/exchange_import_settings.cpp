#include "flash/exchange_import_settings.h"

#include <cstring>

#include "flash/cards.h"
#include "flash/settings_image.h"

namespace {

// Offsets of the stored image.
enum : uint32_t {
  kOffTarget = 0,
  kOffEncoding = 4,
  kOffFormat = 8,
  kOffLanguage = 12,
  kOffCallback = 16,
  kOffCallbackData = 20,
  kOffMissing = 24,
  kOffAmbiguous = 28,
  kOffDictRows = 32,
  kOffDictRowCount = 36,
  kOffDuplicates = 52,
  kOffDefinitionSource = 68,
  kOffStoreDefinitions = 72,
  kOffUnsafeMode = 76,
  kOffDictCreator = 80,
  kOffDictId = 84,
  kOffFilePath = 92,
};
static_assert(kOffFilePath + 2 * kImportPathMax == kImportSettingsSize);

constexpr char16_t kDefaultPath[] = u"\\My Documents\\flash.txt";

bool ValidTarget(uint32_t v) { return v == kImportTargetCards || v == kImportTargetUserDict; }
bool ValidEncoding(uint32_t v) { return v >= kImportGb2312 && v <= kImportUtf16Be; }
bool ValidFormat(uint32_t v) { return v == kImportFormatText || v == kImportFormatXml; }
bool ValidLanguage(uint32_t v) { return v == kImportChineseEnglish || v == kImportEnglishChinese; }
bool ValidMissing(uint32_t v) { return v <= kMissingSkip; }
bool ValidAmbiguous(uint32_t v) { return v <= kAmbiguousPrompt; }
bool ValidDuplicates(uint32_t v) { return v <= kDuplicatePrompt; }
bool ValidDefinitionSource(uint32_t v) { return v <= kDefnDictsOnly; }

}  // namespace

void InitImportSettings(ImportSettingsRecord* s) {
  std::memset(s, 0, sizeof(*s));
  s->target = kImportTargetCards;
  s->encoding = kImportUtf8;
  s->format = kImportFormatXml;
  s->language = kImportChineseEnglish;
  s->missing = kMissingCreateBlank;
  s->ambiguous = kAmbiguousUseFirst;
  s->duplicates = kDuplicateMerge;
  s->definitionSource = kDefnPreferFile;
  std::memcpy(s->filePath, kDefaultPath, sizeof(kDefaultPath));
}

void EncodeImportSettings(const ImportSettingsRecord* s, uint8_t out[kImportSettingsSize]) {
  std::memset(out, 0, kImportSettingsSize);
  PutImageWord(out + kOffTarget, s->target);
  PutImageWord(out + kOffEncoding, s->encoding);
  PutImageWord(out + kOffFormat, s->format);
  PutImageWord(out + kOffLanguage, s->language);
  PutImageWord(out + kOffMissing, s->missing);
  PutImageWord(out + kOffAmbiguous, s->ambiguous);
  PutImageWord(out + kOffDictRowCount, s->dictRowCount);
  PutImageWord(out + kOffDuplicates, s->duplicates);
  PutImageWord(out + kOffDefinitionSource, s->definitionSource);
  PutImageWord(out + kOffStoreDefinitions, s->storeDefinitions ? 1 : 0);
  PutImageWord(out + kOffUnsafeMode, s->unsafeMode ? 1 : 0);
  PutImageWord(out + kOffDictCreator, s->dictCreator);
  PutImageWord(out + kOffDictId, s->dictId);
  PutImageText(out + kOffFilePath, s->filePath, kImportPathMax);
  // The callback, its data and the row pointer (kOffCallback,
  // kOffCallbackData, kOffDictRows) stay 0 in the image.
}

void EncodeImportDictRows(const ImportSettingsRecord* s, uint8_t* out) {
  for (uint32_t i = 0; s->run.rows && i < s->dictRowCount; ++i) {
    PutImageWord(out + kImportDictRowSize * i, s->run.rows[i].creator);
    PutImageWord(out + kImportDictRowSize * i + 4, s->run.rows[i].dictId);
  }
}

int DecodeImportSettings(const uint8_t* bytes, uint32_t size, ImportSettingsRecord* s, ImportDictRow* rows,
                         uint32_t rowCapacity) {
  InitImportSettings(s);
  if (!bytes || size < kImportSettingsSize) return 1;
  auto pick = [](uint32_t stored, bool valid, uint32_t fallback) { return valid ? stored : fallback; };
  uint32_t v = GetImageWord(bytes + kOffTarget);
  s->target = pick(v, ValidTarget(v), s->target);
  v = GetImageWord(bytes + kOffEncoding);
  s->encoding = pick(v, ValidEncoding(v), s->encoding);
  v = GetImageWord(bytes + kOffFormat);
  s->format = pick(v, ValidFormat(v), s->format);
  v = GetImageWord(bytes + kOffLanguage);
  s->language = pick(v, ValidLanguage(v), s->language);
  v = GetImageWord(bytes + kOffMissing);
  s->missing = pick(v, ValidMissing(v), s->missing);
  v = GetImageWord(bytes + kOffAmbiguous);
  s->ambiguous = pick(v, ValidAmbiguous(v), s->ambiguous);
  v = GetImageWord(bytes + kOffDuplicates);
  s->duplicates = pick(v, ValidDuplicates(v), s->duplicates);
  v = GetImageWord(bytes + kOffDefinitionSource);
  s->definitionSource = pick(v, ValidDefinitionSource(v), s->definitionSource);
  s->storeDefinitions = GetImageWord(bytes + kOffStoreDefinitions) ? 1 : 0;
  s->unsafeMode = GetImageWord(bytes + kOffUnsafeMode) ? 1 : 0;
  s->dictCreator = GetImageWord(bytes + kOffDictCreator);
  s->dictId = GetImageWord(bytes + kOffDictId);
  GetImageText(bytes + kOffFilePath, s->filePath, kImportPathMax);
  uint32_t count = GetImageWord(bytes + kOffDictRowCount);
  const uint32_t present = (size - kImportSettingsSize) / kImportDictRowSize;
  if (count > present) count = present;
  if (count > kImportDictRowMax) count = kImportDictRowMax;
  if (!rows || count > rowCapacity) count = rows ? rowCapacity : 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = bytes + kImportSettingsSize + kImportDictRowSize * i;
    rows[i] = {GetImageWord(p), GetImageWord(p + 4)};
  }
  s->dictRowCount = count;
  s->run.rows = count ? rows : nullptr;
  return 0;
}

int AreImportSettingsValid(const ImportSettingsRecord* s) {
  return s && ValidTarget(s->target) && ValidEncoding(s->encoding) && ValidFormat(s->format) &&
                 ValidLanguage(s->language) && ValidMissing(s->missing) && ValidAmbiguous(s->ambiguous) &&
                 ValidDuplicates(s->duplicates) && ValidDefinitionSource(s->definitionSource) &&
                 s->dictRowCount <= kImportDictRowMax
             ? 1
             : 0;
}
