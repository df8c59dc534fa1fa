// The word under a tap or a cursor, the word commands, card adding, the
// percentage and jumps, and the position kept across closing.
#include <gtest/gtest.h>

#include "engine/audio_index.h"
#include "engine/mem_handle.h"
#include "engine/search_results.h"
#include "tests/app/reader_fixture.h"

namespace {

using readerfix::Source;

class ReaderLookup : public readerfix::ReaderTest {
 protected:
  void SetUp() override {
    ReaderTest::SetUp();
    BuildEngine();
  }
};

TEST_F(ReaderLookup, TheLongestWordAtATapWithOneCharOfContext) {
  struct Case {
    const char* what;
    std::u16string text;
    int32_t top, p;
    int result;
    std::u16string selected, word;
    uint32_t wordStart, wordEnd;
  };
  const Case cases[] = {
      {"a four-char word shows no context", u"我们中国人民", 0, 2, 0, u"中国人民", u"中国人民", 0, 4},
      {"a three-char word after a CJK char shows it", u"我们中国人好", 0, 2, 0, u"中国人", u"们中国人好", 1, 4},
      {"not at the first char of the page", u"我们中国人好", 2, 2, 0, u"中国人", u"中国人好", 0, 3},
      {"a Latin letter starts no run", u"A中国", 0, 0, 1, u"", u"", 0, 0},
      {"nor does CJK punctuation", u"，中国", 0, 0, 1, u"", u"", 0, 0},
  };
  for (const Case& c : cases) {
    OpenText(c.text);
    MoveReaderWindow(doc_, c.top, 1, 0, 0, nullptr);
    ASSERT_EQ(doc_->positionChar, c.top);
    EXPECT_EQ(ReaderTapLookup(doc_, c.p, c.p, 0), c.result) << c.what;
    EXPECT_EQ(Selected(), c.selected) << c.what;
    uint32_t s = 9, e = 9;
    EXPECT_EQ(Word(&s, &e), c.word) << c.what;
    EXPECT_EQ(s, c.wordStart) << c.what;
    EXPECT_EQ(e, c.wordEnd) << c.what;
    if (c.result == 0) {
      EXPECT_EQ(doc_->currentSlot, 0u) << c.what;
    }
    Close();
  }
}

TEST_F(ReaderLookup, APlainTapFallsBackToTheWordBeforeIt) {
  OpenText(u"中国好");
  EXPECT_EQ(ReaderTapLookup(doc_, 1, 1, 0), 0);  // 国: no word of two starts there
  EXPECT_EQ(Selected(), u"中国");
  updates_.clear();
  EXPECT_EQ(ReaderTapLookup(doc_, 2, 2, 0), 0);  // 好 alone
  EXPECT_EQ(Selected(), u"好");
  uint32_t s = 0, e = 0;
  EXPECT_EQ(Word(&s, &e), u"国好");  // one char of context
  // A tap in the word field: its chars map back through the context.
  EXPECT_EQ(ReaderTapLookup(doc_, 0, 0, 1), 0);  // 国 of the word field
  EXPECT_EQ(Selected(), u"中国");
  ASSERT_FALSE(updates_.empty());
  EXPECT_TRUE(updates_.back().flags & kReaderUpdateDefinition);
  EXPECT_TRUE(updates_.back().flags & kReaderUpdateWord);
}

TEST_F(ReaderLookup, ADraggedRangeReadsAtMost31Chars) {
  std::u16string text = u"中国人民";
  while (text.size() < 40) text += u"好";
  OpenText(text + u"。");
  EXPECT_EQ(ReaderTapLookup(doc_, 0, 40, 0), 0);
  EXPECT_EQ(Selected(), u"中国人民");
  uint32_t s = 0, e = 0;
  const std::u16string word = Word(&s, &e);
  EXPECT_EQ(word.size(), 31u);  // terminated within its 32 units
  EXPECT_EQ(e, 4u);
  // Extending never asks for more than the word text holds.
  doc_->selectionStart = 0;
  doc_->selectionEnd = 35;
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderExtend, -1), 0);  // 36 chars asked: falls to the next char
  EXPECT_LE(doc_->selectionEnd - doc_->selectionStart, 31);
  EXPECT_LE(Word().size(), 31u);
}

TEST_F(ReaderLookup, WordCommandsMoveShrinkAndExtend) {
  OpenText(u"好中国好");
  ASSERT_EQ(LookupWordAt(doc_, 1, 4, 1), 0);
  EXPECT_EQ(Selected(), u"中国");
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderNextChar, -1), 1);  // 国 starts no word: nothing changes
  EXPECT_EQ(Selected(), u"中国");
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderPreviousChar, -1), 0);
  EXPECT_EQ(Selected(), u"好");
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderNextChar, -1), 0);
  EXPECT_EQ(Selected(), u"中国");
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderShrink, -1), 0);  // loses its last char
  EXPECT_EQ(Selected(), u"中");
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderShrink, -1), 0);  // one char: the one before
  EXPECT_EQ(Selected(), u"好");
  // Extend: 好中 is no word and nothing lies before, so the next char's word.
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderExtend, -1), 0);
  EXPECT_EQ(Selected(), u"中国");
  // 中国好 is no word, nor 好中国好: the word after the selection.
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderExtend, -1), 0);
  EXPECT_EQ(Selected(), u"好");
  EXPECT_EQ(doc_->selectionStart, 3);
  Close();
  // Extend from one char before: 国 -> 中国人.
  OpenText(u"中国人");
  doc_->selectionStart = 1;
  doc_->selectionEnd = 2;
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderExtend, -1), 0);
  EXPECT_EQ(Selected(), u"中国人");
}

TEST_F(ReaderLookup, TheNextDictionaryAndTheNeighbouringResults) {
  OpenText(u"中国");
  ASSERT_EQ(LookupWordAt(doc_, 0, 4, 1), 0);
  EXPECT_EQ(doc_->currentSlot, 0u);
  updates_.clear();
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderNextDictionary, -1), 0);
  EXPECT_EQ(doc_->currentSlot, 1u);
  EXPECT_EQ(doc_->currentEntry, 0u);
  ASSERT_FALSE(updates_.empty());
  EXPECT_TRUE(updates_.back().flags & kReaderUpdateDefinition);
  WCHAR icon[4];
  GetReaderDictIcon(doc_, icon, nullptr);
  EXPECT_EQ(std::u16string(icon), u"SE");
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderNextDictionary, -1), 0);
  EXPECT_EQ(doc_->currentSlot, 0u);
  // One result: neither neighbour exists.
  EXPECT_EQ(HasNextResult(doc_), 0);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderNextResult, -1), 1);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderPreviousResult, -1), 1);
}

TEST_F(ReaderLookup, PreviousAndNextResultWalkTheList) {
  OpenText(u"好");
  ASSERT_EQ(LookupWordAt(doc_, 0, 4, 1), 0);
  ASSERT_EQ(GetResultListCount(doc_->results), 2u);
  const uint32_t first = doc_->currentEntry;
  EXPECT_EQ(HasPreviousResult(doc_), 0);
  EXPECT_EQ(HasNextResult(doc_), 1);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderNextResult, -1), 0);
  EXPECT_NE(doc_->currentEntry, first);
  EXPECT_EQ(doc_->resultIndex, 1);
  EXPECT_EQ(HasNextResult(doc_), 0);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderNextResult, -1), 1);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderPreviousResult, -1), 0);
  EXPECT_EQ(doc_->currentEntry, first);
}

TEST_F(ReaderLookup, ArrowKeysMoveAOneCharCursorAndLookUpOnKeyUp) {
  OpenText(u"我们，中国人民");
  doc_->request.hardwarePageScroll = 1;
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyDown, 0, 3, 7), 1);  // pages instead: nothing selected
  EXPECT_EQ(Selected(), u"");
  doc_->request.hardwarePageScroll = 0;
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyDown, 0, 1, 7), 0);
  EXPECT_EQ(Selected(), u"们");
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyRight, 0, 0, 7), 0);
  EXPECT_EQ(Selected(), u"，");
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyRight, 1, 0, 7), 0);  // forward to 中, then the lookup
  EXPECT_EQ(Selected(), u"中国人民");
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyRight, 0, 0, 7), 0);  // to the end of the longer selection
  EXPECT_EQ(doc_->selectionStart, 7 - 1 + 0);                     // no move past the end
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyLeft, 0, 0, 7), 0);
  EXPECT_EQ(Selected(), u"人");
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyEnter, 0, 0, 7), 0);  // looks up the selection: 人民
  EXPECT_EQ(Selected(), u"人民");
}

TEST_F(ReaderLookup, CardCommandsCallTheHostAndReport) {
  OpenText(u"中国");
  ASSERT_EQ(LookupWordAt(doc_, 0, 4, 1), 0);
  SetPref(engine_, kPrefDefaultCategory, 7);
  SetPref(engine_, kPrefCardMode, 0);
  SetPref(engine_, kPrefReportCards, 1);

  // A new card.
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCard, -1), kCardReportAdded);
  EXPECT_EQ(host_.saveCalls, 1);
  EXPECT_EQ(host_.lastCard.dictSlot, 0u);
  EXPECT_EQ(host_.lastCard.entry, doc_->currentEntry);
  EXPECT_EQ(host_.lastCard.duplicateMode, 0u);
  EXPECT_EQ(host_.lastCategories, std::vector<int32_t>{7});
  EXPECT_EQ(host_.lastCardId, -1);
  ASSERT_FALSE(updates_.empty());
  EXPECT_EQ(updates_.back().flags, kReaderUpdateCardResult);
  EXPECT_EQ(updates_.back().cardCode, kCardReportAdded);

  // An existing card under mode 4 asks, carrying the category; the answers
  // save with modes 3 and 1.
  host_.cardExisted = true;
  SetPref(engine_, kPrefCardMode, 4);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCard, 12), kCardReportAskDuplicate);
  EXPECT_EQ(updates_.back().category, 12);
  EXPECT_EQ(host_.lastCard.duplicateMode, 4u);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCardAlways, 12), kCardReportExisting);
  EXPECT_EQ(host_.lastCard.duplicateMode, 3u);
  host_.cardFiled = true;
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCardReuse, 12), kCardReportExistingFiled);
  EXPECT_EQ(host_.lastCard.duplicateMode, 1u);

  // Not reported without preference 202; a failed save always is.
  SetPref(engine_, kPrefReportCards, 0);
  updates_.clear();
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCard, -1), kCardReportNone);
  EXPECT_TRUE(updates_.empty());
  host_.saveFails = true;
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCard, -1), kCardReportFailed);
  EXPECT_EQ(host_.saveCalls, 6);
}

class ReaderLookupNoCards : public readerfix::ReaderTest {
 protected:
  void SetUp() override {
    ReaderTest::SetUp();
    secondFlags_ = 0x100;
    BuildEngine();
  }
};

TEST_F(ReaderLookupNoCards, ADictionaryWhoseEntriesCannotBeCardsSavesNothing) {
  OpenText(u"中国");
  ASSERT_EQ(LookupWordAt(doc_, 0, 4, 1), 0);
  ASSERT_EQ(ReaderWordCommand(doc_, kReaderNextDictionary, -1), 0);
  ASSERT_EQ(doc_->currentSlot, 1u);
  SetPref(engine_, kPrefReportCards, 1);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCard, -1), kCardReportNotAllowed);
  EXPECT_EQ(host_.saveCalls, 0);
  ASSERT_EQ(ReaderWordCommand(doc_, kReaderNextDictionary, -1), 0);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCard, -1), kCardReportAdded);
  EXPECT_EQ(host_.saveCalls, 1);
}

TEST_F(ReaderLookup, TheCurrentEntrysClipsUnderEitherFileSet) {
  OpenText(u"中国");
  MemHandle* clips[kMaxSyllableClips];
  uint32_t sizes[kMaxSyllableClips] = {};
  for (MemHandle*& h : clips) h = NewMemHandle(0);
  EXPECT_EQ(CollectReaderAudioClips(doc_, clips, sizes), 1);  // no entry yet
  ASSERT_EQ(LookupWordAt(doc_, 0, 4, 1), 0);
  // Set A fixed; set B fixed, which has no group of its own: the engine
  // answers from the group there is.
  for (int32_t pref : {4, 3}) {
    SetPref(engine_, kPrefAudioFileSet, pref);
    std::fill(std::begin(sizes), std::end(sizes), 0u);
    EXPECT_EQ(CollectReaderAudioClips(doc_, clips, sizes), 0) << pref;
    ASSERT_EQ(sizes[0], 2u) << pref;
    EXPECT_EQ(std::memcmp(LockMemHandle(clips[0]), "zg", 2), 0);
    UnlockMemHandle(clips[0]);
  }
  for (MemHandle* h : clips) FreeMemHandle(h);
}

TEST_F(ReaderLookup, NoChineseDictionaryStartsWithNoSlot) {
  // The engine of this fixture has dictionaries; the slot starts empty all
  // the same, and the icon is empty until a lookup finds something.
  OpenText(u"中国");
  EXPECT_EQ(doc_->currentSlot, kNoDictSlot);
  WCHAR icon[4] = {u'x'};
  GetReaderDictIcon(doc_, icon, nullptr);
  EXPECT_EQ(icon[0], 0);
  EXPECT_EQ(ReaderWordCommand(doc_, kReaderAddCard, -1), kCardReportFailed);
  EXPECT_EQ(host_.saveCalls, 0);
}

TEST_F(ReaderLookup, PercentNeverPassesOneHundred) {
  struct Case {
    uint32_t length, position;
    std::u16string text;
  };
  const Case cases[] = {
      {0, 0, u"0.00%"},
      {1000000, 500, u"0.05%"},
      {200000, 100000, u"50.00%"},
      {250099, 250098, u"100.00%"},      // the middle formula gives 100.03
      {31457280, 31457279, u"100.00%"},  // the coarsest gives 100.02
      {100, 7, u"7.00%"},
  };
  for (const Case& c : cases) {
    WCHAR out[12];
    FormatPercentText(c.position, c.length, out);
    EXPECT_EQ(std::u16string(out), c.text) << c.length << " at " << c.position;
  }
}

// A source that makes its bytes up: 'a' everywhere, any length.
uint32_t Synthetic(void*, void* buffer, uint32_t, uint32_t count) {
  std::memset(buffer, 'a', count);
  return count;
}

TEST_F(ReaderLookup, JumpsByPercentAndByCharacter) {
  ReaderSettings r = Request(kReaderSourceMemory, kReaderUtf16Le);
  doc_ = OpenReaderDocument(engine_, &r, u"M", readerfix::Record, Synthetic, nullptr, nullptr, 250099, 0);
  ASSERT_NE(doc_, nullptr);
  GoToPercentOrOffset(doc_, 100, 1);  // "End"
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 250098u);
  WCHAR out[12];
  FormatReaderPercent(doc_, out);
  EXPECT_EQ(std::u16string(out), u"100.00%");
  GoToPercentOrOffset(doc_, 10, 0);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 20u);
  GoToPercentOrOffset(doc_, 4000000000u, 0);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 250098u);
  Close();
  // 30 MB: the percentage of a large document in 64 bits.
  doc_ = OpenReaderDocument(engine_, &r, u"M", readerfix::Record, Synthetic, nullptr, nullptr, 31457280, 0);
  GoToPercentOrOffset(doc_, 50, 1);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 15728600u);  // length / 100 x 50
  GoToPercentOrOffset(doc_, 4000000000u, 1);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 31457278u);
}

TEST_F(ReaderLookup, ClosingKeepsThePositionForTheNextOpening) {
  Source source;
  source.bytes = readerfix::Utf16Le(readerfix::MixedText(50000));
  Open(&source, kReaderUtf16Le, u"a.txt");
  GoToPercentOrOffset(doc_, 30001, 0);
  EXPECT_EQ(AddBookmark(doc_, u"This name is far longer than twenty-nine characters"), 0);
  Close();
  // The same file name from another folder is the same document.
  Open(&source, kReaderUtf16Le, u"a.txt");
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 60002u);
  ASSERT_EQ(GetBookmarkCount(doc_), 1);
  WCHAR name[40];
  GetBookmarkName(doc_, 0, name, 40);
  EXPECT_EQ(std::u16string(name), u"This name is far longer than ");
  EXPECT_EQ(std::u16string(name).size(), 29u);
  Close();
  // A memory text starts at byte 0 and leaves nothing behind.
  Open(&source, kReaderUtf16Le, nullptr, kReaderSourceMemory);
  GoToPercentOrOffset(doc_, 500, 0);
  Close();
  Open(&source, kReaderUtf16Le, nullptr, kReaderSourceMemory);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 0u);
}

}  // namespace
