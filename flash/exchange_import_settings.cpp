#include "flash/exchange_import_settings.h"

#include <cstring>

#include "flash/cards.h"

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

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

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
  Put32(out + kOffTarget, s->target);
  Put32(out + kOffEncoding, s->encoding);
  Put32(out + kOffFormat, s->format);
  Put32(out + kOffLanguage, s->language);
  Put32(out + kOffMissing, s->missing);
  Put32(out + kOffAmbiguous, s->ambiguous);
  Put32(out + kOffDictRowCount, s->dictRowCount);
  Put32(out + kOffDuplicates, s->duplicates);
  Put32(out + kOffDefinitionSource, s->definitionSource);
  Put32(out + kOffStoreDefinitions, s->storeDefinitions ? 1 : 0);
  Put32(out + kOffUnsafeMode, s->unsafeMode ? 1 : 0);
  Put32(out + kOffDictCreator, s->dictCreator);
  Put32(out + kOffDictId, s->dictId);
  bool ended = false;
  for (uint32_t i = 0; i < kImportPathMax; ++i) {
    const WCHAR u = ended || i == kImportPathMax - 1 ? 0 : s->filePath[i];
    ended = ended || u == 0;
    out[kOffFilePath + 2 * i] = static_cast<uint8_t>(u);
    out[kOffFilePath + 2 * i + 1] = static_cast<uint8_t>(u >> 8);
  }
  // The callback, its data and the row pointer (kOffCallback,
  // kOffCallbackData, kOffDictRows) stay 0 in the image.
}

void EncodeImportDictRows(const ImportSettingsRecord* s, uint8_t* out) {
  for (uint32_t i = 0; s->run.rows && i < s->dictRowCount; ++i) {
    Put32(out + kImportDictRowSize * i, s->run.rows[i].creator);
    Put32(out + kImportDictRowSize * i + 4, s->run.rows[i].dictId);
  }
}

int DecodeImportSettings(const uint8_t* bytes, uint32_t size, ImportSettingsRecord* s, ImportDictRow* rows,
                         uint32_t rowCapacity) {
  InitImportSettings(s);
  if (!bytes || size < kImportSettingsSize) return 1;
  auto pick = [](uint32_t stored, bool valid, uint32_t fallback) { return valid ? stored : fallback; };
  uint32_t v = Get32(bytes + kOffTarget);
  s->target = pick(v, ValidTarget(v), s->target);
  v = Get32(bytes + kOffEncoding);
  s->encoding = pick(v, ValidEncoding(v), s->encoding);
  v = Get32(bytes + kOffFormat);
  s->format = pick(v, ValidFormat(v), s->format);
  v = Get32(bytes + kOffLanguage);
  s->language = pick(v, ValidLanguage(v), s->language);
  v = Get32(bytes + kOffMissing);
  s->missing = pick(v, ValidMissing(v), s->missing);
  v = Get32(bytes + kOffAmbiguous);
  s->ambiguous = pick(v, ValidAmbiguous(v), s->ambiguous);
  v = Get32(bytes + kOffDuplicates);
  s->duplicates = pick(v, ValidDuplicates(v), s->duplicates);
  v = Get32(bytes + kOffDefinitionSource);
  s->definitionSource = pick(v, ValidDefinitionSource(v), s->definitionSource);
  s->storeDefinitions = Get32(bytes + kOffStoreDefinitions) ? 1 : 0;
  s->unsafeMode = Get32(bytes + kOffUnsafeMode) ? 1 : 0;
  s->dictCreator = Get32(bytes + kOffDictCreator);
  s->dictId = Get32(bytes + kOffDictId);
  bool ended = false;
  for (uint32_t i = 0; i < kImportPathMax; ++i) {
    const auto u = static_cast<WCHAR>(bytes[kOffFilePath + 2 * i] | (bytes[kOffFilePath + 2 * i + 1] << 8));
    ended = ended || u == 0 || i == kImportPathMax - 1;
    s->filePath[i] = ended ? 0 : u;
  }
  uint32_t count = Get32(bytes + kOffDictRowCount);
  const uint32_t present = (size - kImportSettingsSize) / kImportDictRowSize;
  if (count > present) count = present;
  if (count > kImportDictRowMax) count = kImportDictRowMax;
  if (!rows || count > rowCapacity) count = rows ? rowCapacity : 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = bytes + kImportSettingsSize + kImportDictRowSize * i;
    rows[i] = {Get32(p), Get32(p + 4)};
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
