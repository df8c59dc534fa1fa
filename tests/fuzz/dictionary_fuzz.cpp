// Feeds arbitrary bytes to the engine as the only dictionary file: the
// engine is created over it (which reads the typed tables: dictionary info,
// code pages, syllable and clip indexes, the auxiliary stroke index, the
// radical tables), the lookup session searches it in every way a user can
// type, and the first results are formatted. Nothing a file holds may make
// the engine read out of bounds, loop forever or leak.
#include <cstdint>
#include <string>

#include "engine/audio_index.h"
#include "engine/db_file.h"
#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/lookup_session.h"
#include "engine/mem_handle.h"
#include "engine/radical_table.h"
#include "engine/search_results.h"
#include "engine/stroke_index.h"
#include "engine/text_encoding.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "resources/resources.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char16_t kDevicePath[] = u"\\Program Files\\Sorvi\\fuzz.pdb";

// Queries of each search kind: characters, pinyin with and without tones,
// English, wildcards, full text, a homograph mark. Two English words (in
// the seeds' "to be fond of") check each candidate's record text as a
// stream, one more reader a damaged record must not lead astray.
const char16_t* const kQueries[] = {u"你好",  u"中",  u"nihao",   u"ni3 hao3", u"zhong1guo2",
                                    u"hello", u"h*o", u"?ao",     u"#good",    u"hao2",
                                    u"a",     u"好*", u"be fond", u"fond of",  u"#fond of"};

void FormatFirstRows(LookupSession* session) {
  const uint32_t rows = session->results ? session->results->count : 0;
  for (uint32_t i = 0; i < rows && i < 3; ++i) {
    LookupShowEntryAt(session, i);
    if (MemHandle* text = NewMemHandle(2)) {
      LookupFormatCurrentEntry(session, text, 0);
      FreeMemHandle(text);
    }
  }
}

void UseResources(DictEngine* engine) {
  // Radicals: the list of the first few and their sections.
  for (uint32_t radical = 1; radical < 4; ++radical) {
    if (BuildRadicalCharList(engine, radical, 0, radical & 1, 1) != 0) continue;
    uint32_t count = 0;
    GetRadicalListData(engine, 0, &count);
    uint16_t numbers[20];
    GetRadicalSections(engine, 0, numbers, &count);
    GetRadicalSectionStart(engine, 0);
  }
  LookupRadicalCode(engine, 0x4F60);
  // The stroke order of two characters.
  if (IsAuxIndexPresent(engine))
    for (uint32_t code : {0x4F60u, 0x597Du}) {
      uint32_t count = 0;
      if (LoadAuxIndexRecord(engine, code, 240, 240) == 0) GetAuxIndexRecord(engine, &count);
    }
  // Clips of each syllable group.
  for (uint32_t n = 0; n < GetSyllableIndexGroupCount(engine) && n < 4; ++n) {
    if (EnsureSyllableIndexGroup(engine, n) != 0) continue;
    if (MemHandle* clip = NewMemHandle(4)) {
      uint32_t size = 0;
      LookupSyllableClip(engine, n, u"hao3", u"好", clip, &size);
      FreeMemHandle(clip);
    }
  }
  // Text in each code page.
  const char bytes[] = "\xC4\xE3\xBA\xC3 \xA7\x41";
  for (uint32_t encoding : {1u, 2u}) {
    WCHAR out[16];
    uint32_t length = 0, written = 0;
    DecodeTextToWide(engine, encoding, bytes, out, 16, &length, &written);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UsePrivateDeviceRoot();
  RegisterSorviResources();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::WriteBytes(fuzz::UsePrivateDeviceRoot() + "/Program Files/Sorvi/fuzz.pdb", data, size)) return 0;
  HANDLE h =
      CreateFileW(kDevicePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int kind = 0;
  DbFile* file = OpenDbFile(h, kDevicePath, &kind);
  if (!file) return 0;
  EngineParams params{};
  params.noFonts = 1;
  params.noFlashcards = 1;
  params.smallestCache = 1;  // reads evict each other's blocks
  params.scaleNumerator = 3;
  params.scaleDenominator = 3;
  DictEngine* engine = CreateEngine(&file, 1, &params);
  if (engine) {
    UseResources(engine);
    LookupSessionParams sessionParams{};
    sessionParams.freshStart = 1;
    if (LookupSession* session = NewLookupSession(engine, &sessionParams)) {
      for (const char16_t* query : kQueries) {
        LookupSearchFor(session, query, 0);
        FormatFirstRows(session);
      }
      LookupHistoryBlobs blobs = DestroyLookupSession(session, 1);
      FreeMemHandle(blobs.recentQueries);
      FreeMemHandle(blobs.recentEntries);
    }
    FreeEngineSaveBlock(DestroyEngine(engine));
  }
  CloseDbFile(file);
  return 0;
}
