// The engine object over writer-built data files: creation, preferences,
// destruction and the records it hands back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/engine_host.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/record_cache.h"
#include "engine/stream_file.h"
#include "resources/resources.h"
#include "tests/engine_data/dict_fixture.h"
#include "tests/support/fake_engine_host.h"

using namespace dictfix;

namespace {

constexpr uint32_t kCreator = DictInfo{}.creator;

DictInfo Dict(uint32_t id, uint32_t language = kLanguageChinese, uint32_t flags = 0) {
  DictInfo d;
  d.id = id;
  d.language = language;
  d.transLanguage = language == kLanguageChinese ? kLanguageEnglish : kLanguageChinese;
  d.flags = flags;
  return d;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.openCalls = 0;
    host_.closeCalls = 0;
    host_.lastArg = nullptr;
    host_.giveStore = false;
  }
  void TearDown() override {
    if (engine_) DestroyAndFree(engine_);
  }
  // With the fake host unless the parameters name another (or none, with
  // withHost false).
  DictEngine* Create(const EngineParams& params, bool withHost = true) {
    EngineParams p = params;
    if (withHost && !p.host) p.host = &host_.host;
    engine_ = CreateEngine(files_.files().data(), static_cast<uint32_t>(files_.files().size()), &p);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }
  DictEngine* Create() { return Create(QuietParams()); }
  // Destroys the engine, returning its "Engine" record.
  MemHandle* Destroy() {
    MemHandle* record = nullptr;
    DestroyAndFree(engine_, &record);
    engine_ = nullptr;
    return record;
  }
  DataFiles files_;
  FakeEngineHost host_;
  DictEngine* engine_ = nullptr;
};

TEST_F(Engine, WithoutAnEngineRecordTheDefaultsHold) {
  files_.AddDict(Dict(8, kLanguageEnglish), 3);
  files_.AddDict(Dict(3), 10);
  files_.AddDict(Dict(5), 30);  // more entries: first in the Chinese list
  DictEngine* e = Create();
  EXPECT_EQ(GetPref(e, 130), 500);
  EXPECT_EQ(GetPref(e, 120), 64);
  EXPECT_EQ(GetPref(e, 39), 4096);
  EXPECT_EQ(GetPref(e, 40), static_cast<int32_t>(kCreator));
  EXPECT_EQ(GetPref(e, 41), 5);
  EXPECT_EQ(GetPref(e, 46), static_cast<int32_t>(kCreator));
  EXPECT_EQ(GetPref(e, 44), 5);
  EXPECT_EQ(GetPref(e, 45), -1);
  EXPECT_EQ(GetPref(e, 42), static_cast<int32_t>(kCreator));
  EXPECT_EQ(GetPref(e, 43), 8);
  EXPECT_EQ(LookupPrefPair(e, 7, 40), 15);
  EXPECT_EQ(GetPref(e, 256), 0);
  SetPref(e, 256, 7);
  EXPECT_EQ(GetPref(e, 256), 0);
}

TEST_F(Engine, ASavedRecordIsKeptAndAForeignOneGivesTheDefaults) {
  files_.AddDict(Dict(3), 10);
  DictEngine* e = Create();
  SetPref(e, 41, 777);  // the user's current dictionary, whatever it is
  SetPref(e, 200, 9);
  SetPrefArrayItem(e, 12, 2, 5);
  SetPrefString(e, 19, u"kept");
  MemHandle* record = Destroy();
  ASSERT_NE(record, nullptr);

  EngineParams p = QuietParams();
  p.engineRecord = record;
  e = Create(p);
  EXPECT_EQ(GetPref(e, 41), 777);  // a saved record is not reset to the order lists
  EXPECT_EQ(GetPref(e, 200), 9);
  EXPECT_EQ(GetPrefArrayItem(e, 12, 2), 5);
  EXPECT_EQ(std::u16string(GetPrefString(e, 19)), u"kept");
  EXPECT_EQ(GetMemHandleLockCount(record), 0);  // read and given back
  DestroyAndFree(engine_);
  engine_ = nullptr;

  // Truncated, or of another version: the defaults, with the current
  // dictionaries taken from the lists.
  for (int variant = 0; variant < 2; ++variant) {
    MemHandle* bad = NewMemHandleFromCopy(record->data, variant == 0 ? 1100 : GetMemHandleSize(record));
    if (variant == 1) static_cast<uint8_t*>(bad->data)[0] = 2;
    p.engineRecord = bad;
    e = Create(p);
    EXPECT_EQ(GetPref(e, 200), 0) << variant;
    EXPECT_EQ(GetPref(e, 130), 500) << variant;
    EXPECT_EQ(GetPref(e, 41), 3) << variant;
    DestroyAndFree(engine_);
    engine_ = nullptr;
    FreeMemHandle(bad);
  }
  FreeMemHandle(record);
}

TEST_F(Engine, FilesThatDoNotOpenLeaveNoGap) {
  files_.AddDict(Dict(1), 2);
  db::DataFileSpec desc;
  desc.tables.push_back(EntryTable(Dict(2), 2));
  db::ByteVec bytes;
  db::DataFileLayout layout;
  std::string error;
  ASSERT_EQ(db::BuildDataFile(desc, &bytes, &layout, &error), 0) << error;
  bytes[layout.recordOffsets[0]] = 'X';  // not the data-file magic
  files_.AddBytes(bytes);
  files_.AddDict(Dict(3), 2);
  DictEngine* e = Create();
  ASSERT_EQ(e->readerCount, 2);
  ASSERT_EQ(GetDictCount(e), 2);
  EXPECT_EQ(GetDictId(e, 0), 1);
  EXPECT_EQ(GetDictId(e, 1), 3);
  EXPECT_EQ(e->readers[2], nullptr);
}

TEST_F(Engine, DestroyHandsBackTheEngineAndDictsRecords) {
  files_.AddDict(Dict(1), 2);
  files_.AddDict(Dict(2, kLanguageEnglish), 2);
  DictEngine* e = Create();
  SetPref(e, 150, 12345);
  MemHandle* dictsNow = nullptr;
  MemHandle* engineNow = SaveEngineBlobs(e, &dictsNow);
  ASSERT_NE(engineNow, nullptr);
  ASSERT_NE(dictsNow, nullptr);

  EngineSaveBlock* block = DestroyEngine(e);
  engine_ = nullptr;
  ASSERT_NE(block, nullptr);
  ASSERT_NE(block->engineRecord, nullptr);
  ASSERT_NE(block->dictsRecord, nullptr);
  EXPECT_EQ(block->unused, nullptr);
  EXPECT_EQ(GetMemHandleSize(block->dictsRecord), 2 * kDictOrderPartSize);
  // What SaveEngineBlobs gave while the engine lived is what it gives at the end.
  ASSERT_EQ(GetMemHandleSize(block->engineRecord), GetMemHandleSize(engineNow));
  EXPECT_EQ(0, std::memcmp(block->engineRecord->data, engineNow->data, GetMemHandleSize(engineNow)));
  EXPECT_EQ(0, std::memcmp(block->dictsRecord->data, dictsNow->data, GetMemHandleSize(dictsNow)));
  PreferenceBlock* back = ReadEngineBlob(static_cast<const uint8_t*>(block->engineRecord->data),
                                         GetMemHandleSize(block->engineRecord));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->values[150], 12345);
  FreePreferenceBlock(back);
  FreeMemHandle(engineNow);
  FreeMemHandle(dictsNow);
  FreeMemHandle(block->engineRecord);
  FreeMemHandle(block->dictsRecord);
  LocalFree(block);
}

TEST_F(Engine, WithoutDictionariesTheDictsRecordIsNull) {
  DictEngine* e = Create();
  EXPECT_EQ(GetDictCount(e), 0);
  EXPECT_EQ(GetDictListCount(e), 2);
  EXPECT_EQ(GetPref(e, 40), -1);
  MemHandle* dicts = reinterpret_cast<MemHandle*>(1);
  MemHandle* record = nullptr;
  DestroyAndFree(engine_, &record, &dicts);
  engine_ = nullptr;
  EXPECT_EQ(dicts, nullptr);
  EXPECT_NE(record, nullptr);
  FreeMemHandle(record);
}

TEST_F(Engine, ModeSwitches) {
  files_.AddDict(Dict(1), 2);
  int arg = 0;
  struct Case {
    uint8_t dataOnly, small, smallest, noFlashcards;
    uint32_t cacheCapacity;
    int flashOpens;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 128, 1}, {1, 0, 0, 0, 64, 0}, {0, 1, 0, 0, 64, 1},
      {0, 0, 1, 0, 32, 1},  {0, 1, 1, 1, 64, 0},  {1, 0, 1, 0, 64, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    host_.giveStore = true;
    EngineParams p = QuietParams();
    p.dataOnly = c.dataOnly;
    p.smallCache = c.small;
    p.smallestCache = c.smallest;
    p.noFlashcards = c.noFlashcards;
    p.flashcardArg = &arg;
    DictEngine* e = Create(p);
    EXPECT_EQ(GetRecordCacheCapacity(e->cache), c.cacheCapacity);
    EXPECT_EQ(host_.openCalls, c.flashOpens);
    EXPECT_EQ(GetFlashcardStore(e) != nullptr, c.flashOpens == 1);
    if (c.flashOpens) {
      EXPECT_EQ(host_.lastArg, &arg);
    }
    EXPECT_EQ(GetDictCount(e), 1);  // the data is there in every mode
    DestroyAndFree(engine_);
    engine_ = nullptr;
    EXPECT_EQ(host_.closeCalls, c.flashOpens);
  }
}

TEST_F(Engine, ParametersKeptAndBounded) {
  std::string folder(300, 'f');
  EngineParams p = QuietParams();
  p.userFolder = folder.c_str();
  p.userExtension = ".sorviuserdb";
  p.scaleNumerator = 4;
  p.scaleDenominator = 3;
  RegisterSorviResources();
  DictEngine* e = Create(p);
  EXPECT_EQ(std::string(e->userFolder), std::string(255, 'f'));
  EXPECT_EQ(std::string(e->userExtension), ".sorviu");
  EXPECT_EQ(e->scaled, 1);
  EXPECT_EQ(e->scaleNumerator, 4u);
  EXPECT_EQ(e->pinyinSpelling.count, 450u);
  EXPECT_EQ(e->zhuyinSpelling.count, 450u);
  EXPECT_EQ(e->zhuyinIndex.count, 422u);
  ASSERT_NE(e->toneVowels, nullptr);
  EXPECT_EQ(e->toneVowels[0], u'ā');
}

TEST_F(Engine, ResetPreferencesRebuildsTheListsWithoutTheirSavedOrder) {
  files_.AddDict(Dict(1), 10);
  files_.AddDict(Dict(2), 20);
  DictEngine* e = Create();
  ASSERT_EQ(MoveDictListItemDown(e, 0, 0), 0);
  ASSERT_EQ(e->orderLists[0]->items[0].saved.dictId, 1u);
  SetPref(e, 41, 1);
  SetPref(e, 130, 80);
  EXPECT_EQ(ResetPreferences(e), 0);
  EXPECT_EQ(GetPref(e, 130), 500);
  EXPECT_EQ(e->orderLists[0]->items[0].saved.dictId, 2u);
  // The current dictionary is the list's first as it stood before the reset.
  EXPECT_EQ(GetPref(e, 41), 1);
}

TEST_F(Engine, TheReaderPositionStoreIsClosedWithTheEngine) {
  DictEngine* e = Create();
  CloseReaderPositionStore(e);  // none: nothing happens
  e->readerPositionStore = OpenAppStreamFile(kStreamReaderBookmarks, 1, 0);
  ASSERT_NE(e->readerPositionStore, nullptr);
  CloseReaderPositionStore(e);
  EXPECT_EQ(e->readerPositionStore, nullptr);
  // Left open, the engine closes it on the way out (the sanitizer build
  // reports it otherwise).
  e->readerPositionStore = OpenAppStreamFile(kStreamReaderBookmarks, 0, 1);
  ASSERT_NE(e->readerPositionStore, nullptr);
}

TEST_F(Engine, CapabilitiesAndCharsetMode) {
  files_.AddDict(Dict(1), 2);
  DictEngine* e = Create();
  EXPECT_EQ(QueryEngineCapability(e, 5, 0), 0);
  EXPECT_EQ(QueryEngineCapability(e, 1, 0), 0);  // no radical table
  EXPECT_EQ(QueryEngineCapability(e, 3, 0), 0);
  EXPECT_EQ(QueryEngineCapability(e, 4, 0), 0);
  EXPECT_EQ(QueryEngineCapability(e, 99, 0), 0);
  EXPECT_EQ(CanCreateUserData(e), 1);
  DbFile* chars[] = {files_.AddDict(Dict(2, kLanguageChinese, kDictFlagCharDict), 2)};
  AddDictionaries(e, chars, 1);
  EXPECT_EQ(QueryEngineCapability(e, 5, 0), 1);

  const std::pair<int32_t, uint32_t> modes[] = {{0, 0xF003}, {1, 0x1001}, {2, 0x1002}, {3, 0x3001}, {4, 0}, {-1, 0}};
  for (const auto& [pref, code] : modes) {
    SetPref(e, 91, pref);
    EXPECT_EQ(GetCharsetModeCode(e), code) << pref;
  }
}

}  // namespace

// The engine reaches the layers above it only through its host: each call
// arrives there, and with no host every one answers "not there" without a
// store or a font slot being made.
TEST_F(Engine, HostCallsArriveAndWithoutAHostNothingIsThere) {
  files_.AddDict(Dict(1), 2);
  const char* fonts[] = {"\\a.ttf", "\\b.ttf"};
  EngineParams p = QuietParams();
  p.noFonts = 0;
  p.noFlashcards = 0;
  p.fontFiles = fonts;
  p.fontFileCount = 2;
  host_.giveStore = true;

  DictEngine* e = Create(p);
  EXPECT_EQ(GetEngineHost(e), &host_.host);
  EXPECT_EQ(host_.openCalls, 1);
  EXPECT_NE(GetFlashcardStore(e), nullptr);
  EXPECT_EQ(host_.addFontCalls, 1);
  EXPECT_EQ(host_.lastFontCount, 2u);
  ApplyEngineFontRenderMode(e);
  EXPECT_EQ(host_.renderModeCalls, 1);

  CardEditRecord card{};
  card.linked = 1;
  card.entry = 1;
  EXPECT_EQ(HostSaveCard(e, &card, -1), 1);
  EXPECT_EQ(host_.saveCalls, 1);
  EXPECT_EQ(host_.lastCard.entry, 1u);
  host_.indexCurrent = false;
  EXPECT_EQ(HostIsFlashcardIndexCurrent(e), 0);
  EXPECT_EQ(HostRelinkCardsOfUserEntry(e, 1, 2, 42), 0);
  EXPECT_EQ(host_.relinked, std::vector<int32_t>{42});
  WCHAR name[4];
  uint32_t length = 4;
  EXPECT_EQ(HostGetCategoryDisplayName(e, -2, name, &length), 0);
  EXPECT_EQ(length, 10u);  // "Flashcards", cut to fit
  EXPECT_EQ(std::u16string(name), u"Fla");
  DestroyAndFree(engine_);
  engine_ = nullptr;
  EXPECT_EQ(host_.closeCalls, 1);
  EXPECT_EQ(host_.freeFontCalls, 1);

  // No host: the same parameters make an engine without a store or fonts.
  e = Create(p, /*withHost=*/false);
  EXPECT_EQ(GetEngineHost(e), nullptr);
  EXPECT_EQ(GetFlashcardStore(e), nullptr);
  EXPECT_EQ(e->fontSlotCount, 0);
  ApplyEngineFontRenderMode(e);
  EXPECT_EQ(HostSaveCard(e, &card, -1), -1);
  EXPECT_EQ(HostIsFlashcardIndexCurrent(e), 1);  // nothing to upgrade
  EXPECT_EQ(HostRelinkCardsOfUserEntry(e, 1, 2, 42), 0);
  length = 4;
  name[0] = u'x';
  EXPECT_EQ(HostGetCategoryDisplayName(e, -2, name, &length), 1);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(name[0], 0);
  EXPECT_EQ(host_.openCalls, 1);  // the fake was not reached again
  EXPECT_EQ(host_.saveCalls, 1);

  // A host with the flashcard members left out counts as no store.
  EngineHost fontsOnly{};
  fontsOnly.context = &host_;
  fontsOnly.addFontSlots = host_.host.addFontSlots;
  DestroyAndFree(engine_);
  p.host = &fontsOnly;
  e = Create(p);
  EXPECT_EQ(GetFlashcardStore(e), nullptr);
  EXPECT_EQ(host_.addFontCalls, 2);
  EXPECT_EQ(HostSaveCard(e, &card, -1), -1);
  // The host must outlive its engine.
  DestroyAndFree(engine_);
  engine_ = nullptr;
}
