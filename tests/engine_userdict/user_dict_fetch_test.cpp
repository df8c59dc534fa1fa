// The engine's entry fetch and word length reach user dictionaries.
#include "engine/entry_fetch.h"
#include "engine/entry_formatter.h"
#include "engine/text_buffer.h"
#include "tests/engine_userdict/userdict_fixture.h"

namespace {

TEST_F(UserDictTest, FetchAndWordLengthReachUserEntries) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const int32_t uid = AddUserDictEntry(engine, zh, u"你好吗", nullptr, u"ni3hao3ma5", u"how are you");
  ASSERT_GT(uid, 0);

  EntryFetchRequest request{};
  request.slot = zh;
  request.entry = static_cast<uint32_t>(uid);
  request.options = kFetchRawFields | kFetchOneLine;
  TextBuffer tb{};
  EXPECT_EQ(FetchDictEntryText(engine, &request, &tb), 0);
  ASSERT_NE(tb.data, nullptr);
  EXPECT_EQ(std::u16string(tb.data, tb.length), u"你好吗 nǐhǎoma how are you");
  FreeMemHandle(tb.handle);

  EXPECT_EQ(GetEntryWordLength(engine, zh, static_cast<uint32_t>(uid)), 3);

  // A uid that is not there: no text, "no such entry".
  request.entry = static_cast<uint32_t>(uid + 50);
  TextBuffer missing{};
  EXPECT_EQ(FetchDictEntryText(engine, &request, &missing), kUserDictNoEntry);
  EXPECT_EQ(missing.length, 0u);
  FreeMemHandle(missing.handle);
}

}  // namespace
