// Profile settings: the round trip of all 171, the cache's dirty rules and
// the integer lists.
#include <vector>

#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash_fixture.h"
#include "platform/heap.h"
#include "tests/support/utf16_print.h"

namespace {

class SettingsTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    ASSERT_NE(Open(), nullptr);
  }
};

std::vector<int32_t> Values(const int32_t* values, uint32_t n) { return std::vector<int32_t>(values, values + n); }

}  // namespace

TEST(ProfilePresets, TablesHaveTheirSizesAndDifferences) {
  const PresetSettingRow* rows[3];
  EXPECT_EQ(GetPresetRows(0, &rows[0]), 122u);
  EXPECT_EQ(GetPresetRows(1, &rows[1]), 121u);
  EXPECT_EQ(GetPresetRows(2, &rows[2]), 121u);
  EXPECT_STREQ(kProfileSettingKeys[161], "pro_scorereplongerimescale");
  auto value = [&](int preset, uint32_t id) {
    const PresetSettingRow* r = rows[preset];
    for (uint32_t i = 0; i < 122; ++i)
      if (r[i].id == id) return r[i].value;
    return INT32_MIN;
  };
  EXPECT_EQ(value(1, 46), -1);
  EXPECT_EQ(value(2, 98), 9);
  EXPECT_EQ(value(1, 150), 110);
  EXPECT_EQ(value(2, 75), INT32_MIN);
  EXPECT_EQ(value(0, 154), -12);
  for (uint32_t id = 0; id < kProfileSettingCount; ++id)
    EXPECT_EQ(IsTextProfileSetting(id) != 0, (id >= 34 && id <= 45) || id == 47 || id == 63 || id == 86 || id == 163)
        << id;
}

// Every setting written with a value of its own survives a save and a
// reload, in place (a row not placed would read as absent and be refilled
// from the preset).
TEST_F(SettingsTest, AllSettingsRoundTrip) {
  std::vector<std::u16string> texts(kProfileSettingCount);
  for (uint32_t id = 0; id < kProfileSettingCount; ++id) {
    ProfileSettingValue v{};
    if (IsTextProfileSetting(id)) {
      texts[id] = u"" + std::u16string(1, u'1' + id % 9) + u"," + std::u16string(1, u'0' + id % 10) + u",";
      v.text = texts[id].c_str();
    } else {
      v.value = id % 7 == 0 ? 0 : static_cast<int32_t>(id) * 1000 - 5000;  // 0 is stored as NULL
    }
    ASSERT_EQ(SetProfileSetting(store, id, &v), 0) << id;
  }
  ASSERT_EQ(SaveCurrentProfileSettings(store), 0);
  UnloadProfileSettingsCache(store);
  for (uint32_t id = 0; id < kProfileSettingCount; ++id) {
    SCOPED_TRACE(kProfileSettingKeys[id]);
    ProfileSettingValue v{};
    ASSERT_EQ(GetProfileSetting(store, id, &v), 0);
    EXPECT_EQ(store->settings[id].dirty, 0u);
    if (IsTextProfileSetting(id)) {
      ASSERT_NE(v.text, nullptr);
      EXPECT_EQ(std::u16string(v.text), texts[id]);
      LocalFree(const_cast<WCHAR*>(v.text));
    } else {
      EXPECT_EQ(v.text, nullptr);
      EXPECT_EQ(v.value, id % 7 == 0 ? 0 : static_cast<int32_t>(id) * 1000 - 5000);
    }
  }
}

TEST_F(SettingsTest, CacheRules) {
  ProfileSettingValue v{};
  EXPECT_EQ(GetProfileSetting(store, kProfileSettingCount, &v), 1);
  EXPECT_EQ(SetProfileSetting(store, kProfileSettingCount, &v), 1);
  // An equal value leaves the setting clean.
  ASSERT_EQ(GetProfileSetting(store, kSetCardCount, &v), 0);
  EXPECT_EQ(v.value, 100);
  EXPECT_EQ(SetProfileSetting(store, kSetCardCount, &v), 0);
  EXPECT_EQ(store->settings[kSetCardCount].dirty, 0u);
  const ProfileSettingValue text{0, u"100,200,400,800,1600,3200,6400,12800,"};
  EXPECT_EQ(SetProfileSetting(store, 34, &text), 0);
  EXPECT_EQ(store->settings[34].dirty, 0u);
  v.value = 50;
  EXPECT_EQ(SetProfileSetting(store, kSetCardCount, &v), 0);
  EXPECT_EQ(store->settings[kSetCardCount].dirty, 1u);
  // A setting without value and without preset reads as absent: 1, (0, none).
  ASSERT_EQ(store->settings[kSetButtonWhichCat].present, 0u);
  v = ProfileSettingValue{5, u"x"};
  EXPECT_EQ(GetProfileSetting(store, kSetButtonWhichCat, &v), 1);
  EXPECT_EQ(v.value, 0);
  EXPECT_EQ(v.text, nullptr);
  // Unsaved changes are lost when another profile is selected.
  ASSERT_EQ(SelectFlashProfile(store, GetProfileIdByIndex(store, 1)), 0);
  ASSERT_EQ(SelectFlashProfile(store, GetProfileIdByIndex(store, 0)), 0);
  ASSERT_EQ(GetProfileSetting(store, kSetCardCount, &v), 0);
  EXPECT_EQ(v.value, 100);
  EXPECT_EQ(SaveCurrentProfileSettings(store), 0);
  UnloadProfileSettingsCache(store);
  EXPECT_EQ(SaveCurrentProfileSettings(store), 1);
}

TEST(IntLists, ParseAndFormat) {
  struct Case {
    const char16_t* text;
    uint32_t group;
    int flagged;
    std::vector<int32_t> values;
    uint32_t count;
  };
  const int32_t checked = static_cast<int32_t>(kIntListFlagChecked);
  const int32_t listed = static_cast<int32_t>(kIntListFlagListed);
  const Case cases[] = {
      {u"100,200,400,800,1600,3200,6400,12800,", 1, 0, {100, 200, 400, 800, 1600, 3200, 6400, 12800}, 8},
      {u"-5,0,7,", 1, 0, {-5, 0, 7}, 3},
      // Flags set the top bits.
      {u"+5,~7,+9,", 1, 1, {5 | checked, 7 | listed, 9 | checked}, 3},
      // Groups: short groups are padded with zeros.
      {u"1:2:3,4:5,", 3, 0, {1, 2, 3, 4, 5, 0}, 2},
      // Malformed texts stay inside the array: no final ",", extra ":",
      // empty values, overlong digits.
      {u"1,2", 1, 0, {1, 2}, 2},
      {u"1:2:3:4:5,6,", 2, 0, {1, 2, 6, 0}, 2},
      {u"1:2:3:4:5", 1, 0, {1}, 1},
      {u",,", 1, 0, {0, 0}, 2},
      {u"123456789012345678901234567890,", 1, 0, {static_cast<int32_t>(0xEB1F0AD2u)}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8Of(c.text));
    uint32_t count = 99;
    int32_t* values = ParseIntList(c.text, c.group, c.flagged, &count);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(Values(values, count * c.group), c.values);
    LocalFree(values);
  }
  uint32_t count = 9;
  EXPECT_EQ(ParseIntList(u"", 1, 0, &count), nullptr);
  EXPECT_EQ(count, 0u);
  const int32_t grouped[] = {1, -2, 3, 4, 0, 0};
  WCHAR* text = FormatIntList(grouped, 2, 3, 0);
  EXPECT_EQ(std::u16string(text), u"1:-2:3,4:0:0,");
  LocalFree(text);
  const int32_t flags[] = {5 | checked, 7 | listed};
  text = FormatIntList(flags, 2, 1, 1);
  EXPECT_EQ(std::u16string(text), u"+5,~7,");
  LocalFree(text);
}

TEST_F(SettingsTest, ScoreBandsAndCategorySelection) {
  int32_t *starts = nullptr, *shows = nullptr, *asks = nullptr;
  EXPECT_EQ(ReadScoreFilterSettings(store, 2, &starts, &shows, &asks), 8);
  EXPECT_EQ(Values(starts, 8), (std::vector<int32_t>{100, 200, 400, 800, 1600, 3200, 6400, 12800}));
  EXPECT_EQ(Values(asks, 8), std::vector<int32_t>(8, 7));
  LocalFree(starts);
  LocalFree(shows);
  LocalFree(asks);
  EXPECT_EQ(ReadScoreFilterSettings(store, 4, &starts, nullptr, nullptr), 0);  // stroke order has no bands
  EXPECT_EQ(starts, nullptr);
  // Eleven bands are too many.
  std::vector<int32_t> eleven(11, 3);
  ASSERT_EQ(WriteScoreFilterSettings(store, 0, eleven.data(), eleven.data(), nullptr, 11), 0);
  EXPECT_EQ(ReadScoreFilterSettings(store, 0, &starts, &shows, nullptr), 0);
  EXPECT_EQ(starts, nullptr);
  // The shortest list gives the count.
  const int32_t three[] = {1, 2, 3};
  ASSERT_EQ(WriteScoreFilterSettings(store, 0, nullptr, three, nullptr, 3), 0);
  EXPECT_EQ(ReadScoreFilterSettings(store, 0, &starts, &shows, nullptr), 3);
  EXPECT_EQ(Values(shows, 3), (std::vector<int32_t>{1, 2, 3}));
  LocalFree(starts);
  LocalFree(shows);

  const ProfileSettingValue selection{0, u"+5,~7,+9,"};
  ASSERT_EQ(SetProfileSetting(store, kSetLimitCategories, &selection), 0);
  int32_t* ids = nullptr;
  uint32_t total = 0, checkedCount = 0;
  ASSERT_EQ(ReadCategorySelection(store, &ids, &total, &checkedCount), 0);
  EXPECT_EQ(Values(ids, total), (std::vector<int32_t>{5, 9, 7}));
  EXPECT_EQ(checkedCount, 2u);
  ASSERT_EQ(WriteCategorySelection(store, ids, total, checkedCount), 0);
  LocalFree(ids);
  EXPECT_EQ(std::u16string(store->settings[kSetLimitCategories].text), u"+5,+9,~7,");
}
