#include "flash/exchange_export_settings.h"

#include <cstring>

#include "flash/settings_image.h"

namespace {

// Offsets of the stored image.
enum : uint32_t {
  kOffTarget = 0,
  kOffEncoding = 4,
  kOffFormat = 8,
  kOffLanguage = 12,
  kOffWriteCallback = 16,
  kOffProgressCallback = 20,
  kOffCharset = 28,
  kOffScope = 32,
  kOffResultList = 36,
  kOffCategoryIds = 40,
  kOffCategoryCount = 44,
  kOffStatistics = 49,
  kOffCategories = 50,
  kOffCardDefinitions = 51,
  kOffDictDefinitions = 52,
  kOffRemap = 53,
  kOffDates = 54,
  kOffDictCreator = 56,
  kOffDictId = 60,
  kOffFilePath = 68,
  kOffDocumentName = 580,
  kOffFileHandle = 1092,
};
static_assert(kOffDocumentName == kOffFilePath + 2 * kExportTextMax);
static_assert(kOffFileHandle == kOffDocumentName + 2 * kExportTextMax);
static_assert(kOffFileHandle + 4 == kExportSettingsSize);

constexpr char16_t kDefaultPath[] = u"\\My Documents\\flash.txt";

bool ValidEncoding(uint32_t v) { return v >= kExportGb2312 && v <= kExportUtf16Be; }
bool ValidFormat(uint32_t v) { return v == kExportFormatText || v == kExportFormatXml; }
bool ValidLanguage(uint32_t v) { return v == kExportChineseEnglish || v == kExportEnglishChinese; }
bool ValidTarget(uint32_t v) { return v == kExportTargetCards || v == kExportTargetUserDict; }

}  // namespace

void InitExportSettings(ExportSettingsRecord* s) {
  std::memset(s, 0, sizeof(*s));
  s->target = kExportTargetCards;
  s->encoding = kExportUtf8;
  s->format = kExportFormatXml;
  s->language = kExportChineseEnglish;
  s->charset = kExportCharsetBoth;
  s->scope = kExportScopeAll;
  s->statistics = 1;
  s->categories = 1;
  s->cardDefinitions = 1;
  s->dates = 1;
  std::memcpy(s->filePath, kDefaultPath, sizeof(kDefaultPath));
}

void EncodeExportSettings(const ExportSettingsRecord* s, uint8_t out[kExportSettingsSize]) {
  std::memset(out, 0, kExportSettingsSize);
  PutImageWord(out + kOffTarget, s->target);
  PutImageWord(out + kOffEncoding, s->encoding);
  PutImageWord(out + kOffFormat, s->format);
  PutImageWord(out + kOffLanguage, s->language);
  PutImageWord(out + kOffCharset, s->charset);
  PutImageWord(out + kOffScope, s->scope);
  out[kOffStatistics] = s->statistics ? 1 : 0;
  out[kOffCategories] = s->categories ? 1 : 0;
  out[kOffCardDefinitions] = s->cardDefinitions ? 1 : 0;
  out[kOffDictDefinitions] = s->dictDefinitions ? 1 : 0;
  out[kOffRemap] = s->remap ? 1 : 0;
  out[kOffDates] = s->dates ? 1 : 0;
  PutImageWord(out + kOffDictCreator, s->dictCreator);
  PutImageWord(out + kOffDictId, s->dictId);
  PutImageText(out + kOffFilePath, s->filePath, kExportTextMax);
  PutImageText(out + kOffDocumentName, s->documentName, kExportTextMax);
  // Callbacks, lists and the handle (kOffWriteCallback, kOffResultList
  // ...) stay 0 in the image.
}

int DecodeExportSettings(const uint8_t* bytes, uint32_t size, ExportSettingsRecord* s) {
  InitExportSettings(s);
  if (!bytes || size < kExportSettingsSize) return 1;
  auto pick = [](uint32_t stored, bool valid, uint32_t fallback) { return valid ? stored : fallback; };
  const uint32_t target = GetImageWord(bytes + kOffTarget);
  s->target = pick(target, ValidTarget(target), s->target);
  const uint32_t encoding = GetImageWord(bytes + kOffEncoding);
  s->encoding = pick(encoding, ValidEncoding(encoding), s->encoding);
  const uint32_t format = GetImageWord(bytes + kOffFormat);
  s->format = pick(format, ValidFormat(format), s->format);
  const uint32_t language = GetImageWord(bytes + kOffLanguage);
  s->language = pick(language, ValidLanguage(language), s->language);
  const uint32_t charset = GetImageWord(bytes + kOffCharset);
  s->charset = pick(charset, charset <= kExportCharsetTrad, s->charset);
  const uint32_t scope = GetImageWord(bytes + kOffScope);
  s->scope = pick(scope, scope <= kExportScopeResults, s->scope);
  s->statistics = bytes[kOffStatistics] ? 1 : 0;
  s->categories = bytes[kOffCategories] ? 1 : 0;
  s->cardDefinitions = bytes[kOffCardDefinitions] ? 1 : 0;
  s->dictDefinitions = bytes[kOffDictDefinitions] ? 1 : 0;
  s->remap = bytes[kOffRemap] ? 1 : 0;
  s->dates = bytes[kOffDates] ? 1 : 0;
  s->dictCreator = GetImageWord(bytes + kOffDictCreator);
  s->dictId = GetImageWord(bytes + kOffDictId);
  GetImageText(bytes + kOffFilePath, s->filePath, kExportTextMax);
  GetImageText(bytes + kOffDocumentName, s->documentName, kExportTextMax);
  return 0;
}

int AreExportSettingsValid(const ExportSettingsRecord* s) {
  return s && ValidTarget(s->target) && ValidEncoding(s->encoding) && ValidFormat(s->format) &&
                 ValidLanguage(s->language) && s->charset <= kExportCharsetTrad && s->scope <= kExportScopeResults
             ? 1
             : 0;
}
