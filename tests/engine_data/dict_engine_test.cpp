// The engine object over writer-built data files: creation, preferences,
// destruction and the records it hands back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_order.h"
#include "engine/dict_set.h"
#include "engine/mem_handle.h"
#include "engine/preferences.h"
#include "engine/record_cache.h"
#include "engine/stream_file.h"
#include "resources/resources.h"
#include "tests/engine_data/dict_fixture.h"
#include "tests/engine_data/flash_fake.h"

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
    flashfake::openCalls = 0;
    flashfake::closeCalls = 0;
    flashfake::lastArg = nullptr;
    flashfake::giveStore = false;
  }
  void TearDown() override {
    if (engine_) DestroyAndFree(engine_);
  }
  DictEngine* Create(const EngineParams& p) {
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
    flashfake::giveStore = true;
    EngineParams p = QuietParams();
    p.dataOnly = c.dataOnly;
    p.smallCache = c.small;
    p.smallestCache = c.smallest;
    p.noFlashcards = c.noFlashcards;
    p.flashcardArg = &arg;
    DictEngine* e = Create(p);
    EXPECT_EQ(GetRecordCacheCapacity(e->cache), c.cacheCapacity);
    EXPECT_EQ(flashfake::openCalls, c.flashOpens);
    EXPECT_EQ(GetFlashcardStore(e) != nullptr, c.flashOpens == 1);
    if (c.flashOpens) {
      EXPECT_EQ(flashfake::lastArg, &arg);
    }
    EXPECT_EQ(GetDictCount(e), 1);  // the data is there in every mode
    DestroyAndFree(engine_);
    engine_ = nullptr;
    EXPECT_EQ(flashfake::closeCalls, c.flashOpens);
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
