// The reader's window over its source: which bytes each move reads, the
// text it decodes from them, and positions that map to bytes and back.
#include <gtest/gtest.h>

#include "tests/app/reader_fixture.h"

namespace {

using readerfix::Read;
using readerfix::Source;

class ReaderWindow : public readerfix::ReaderTest {
 protected:
  void SetUp() override {
    ReaderTest::SetUp();
    BuildEngine(false);
  }
  // The document's window start after a move to `start` + 4,096 from byte
  // 0 (a far move: the window restarts 4,096 bytes before the target).
  void StartAt(int32_t start) {
    if (start > 0) MoveReaderWindow(doc_, start + 4096, 0, 0, 0, nullptr);
    ASSERT_EQ(doc_->windowStart, start);
  }
};

TEST_F(ReaderWindow, MovesReadOnlyWhatTheWindowLacks) {
  struct Case {
    int32_t start;
    int64_t target;
    std::vector<Read> reads;
    int32_t newStart;
  };
  const Case cases[] = {
      {0, 500, {}, 0},                        // inside: the first margin is no margin at byte 0
      {8192, 11192, {}, 8192},                // inside the safe zone
      {8192, 8692, {{4096, 4096}}, 4096},     // the lower margin: half a window back
      {8192, 6500, {{4096, 4096}}, 4096},     // less than 2,048 bytes before the window
      {8192, 16084, {{16384, 4096}}, 12288},  // the upper margin: half a window on
      {8192, 17384, {{16384, 4096}}, 12288},  // less than 2,048 bytes beyond it
      {8192, 3000, {{0, 8192}}, 0},           // far: restarts, at 0 when that is near the start
      {0, 60000, {{55296, 8192}}, 55296},     // far: 4,096 before the target's kilobyte
      {0, 99999, {{95232, 4768}}, 95232},     // the document's end
  };
  const std::u16string text = readerfix::MixedText(50000);
  for (const Case& c : cases) {
    for (uint32_t encoding : {kReaderUtf16Le, kReaderUtf16Be}) {
      Source source;
      source.bytes = encoding == kReaderUtf16Le ? readerfix::Utf16Le(text) : readerfix::Utf16Be(text);
      ASSERT_EQ(source.bytes.size(), 100000u);
      Open(&source, encoding, nullptr, kReaderSourceMemory);
      StartAt(c.start);
      source.reads.clear();
      int moved = -1;
      ASSERT_EQ(MoveReaderWindow(doc_, c.target, 0, 0, 0, &moved), 0);
      EXPECT_EQ(source.reads, c.reads) << c.start << " -> " << c.target;
      EXPECT_EQ(moved, c.reads.empty() ? 0 : 1);
      EXPECT_EQ(doc_->windowStart, c.newStart) << c.start << " -> " << c.target;
      const int32_t units = std::min<int32_t>(4096, (100000 - c.newStart) / 2);
      EXPECT_EQ(doc_->textLength, units);
      EXPECT_EQ(std::u16string(doc_->text, doc_->textLength), text.substr(c.newStart / 2, units))
          << "encoding " << encoding << ", " << c.start << " -> " << c.target;
      EXPECT_EQ(GetReaderAbsolutePosition(doc_), c.target & ~int64_t{1});
      Close();
    }
  }
}

TEST_F(ReaderWindow, MovesNotifyTheTextOnlyWhenTheWindowChanged) {
  Source source;
  source.bytes = readerfix::Utf16Le(readerfix::MixedText(50000));
  Open(&source, kReaderUtf16Le, nullptr, kReaderSourceMemory);
  constexpr uint32_t kAlways = kReaderUpdateSections | kReaderUpdatePercentage;
  constexpr uint32_t kNewText = kReaderUpdateText | kReaderUpdateSelection;
  struct Case {
    const char* what;
    int64_t target;
    int scroll;
    uint32_t flags;
  };
  const Case cases[] = {
      {"a scroll inside the window", 600, 1, kAlways},
      {"a jump inside the window keeps the position visible", 900, 0, kAlways | kReaderUpdateKeepVisible},
      {"a far jump", 60000, 0, kAlways | kNewText | kReaderUpdateKeepVisible},
      {"a scroll that refills", 70000, 1, kAlways | kNewText},
      {"a scroll that reaches the end", 99999, 1, kAlways | kNewText | kReaderUpdateKeepVisible},
  };
  for (const Case& c : cases) {
    updates_.clear();
    MoveReaderWindow(doc_, c.target, 0, c.scroll, 0, nullptr);
    ASSERT_EQ(updates_.size(), 1u) << c.what;
    EXPECT_EQ(updates_[0].flags, c.flags) << c.what;
  }
}

TEST_F(ReaderWindow, AKeptSelectionSurvivesOnlyWhileItsStartStaysInTheWindow) {
  Source source;
  source.bytes = readerfix::Utf16Le(readerfix::MixedText(50000));
  Open(&source, kReaderUtf16Le, nullptr, kReaderSourceMemory);
  StartAt(8192);
  // Chars 1,000-1,003 of the window: bytes 10,192-10,200.
  doc_->selectionStart = 1000;
  doc_->selectionEnd = 1003;
  MoveReaderWindow(doc_, 8692, 0, 0, 1, nullptr);  // window now from 4,096
  ASSERT_EQ(doc_->windowStart, 4096);
  EXPECT_EQ(doc_->selectionStart, 3048);
  EXPECT_EQ(doc_->selectionEnd, 3051);
  MoveReaderWindow(doc_, 60000, 0, 0, 1, nullptr);
  EXPECT_EQ(doc_->selectionStart, 0);
  EXPECT_EQ(doc_->selectionEnd, 0);
}

// UTF-8 whose 4,096-byte boundaries fall inside 3- and 4-byte characters:
// every window starts at a character, and every character maps to its byte
// and back.
TEST_F(ReaderWindow, Utf8WindowsStartAtACharacterAndPositionsRoundTrip) {
  // "中" is 3 bytes, U+20000 4 bytes, "a" 1: 4,096 = 8 x 512 falls in
  // different places of the 8-byte pattern each kilobyte.
  std::string text;
  std::vector<uint32_t> unitByte;  // the byte of each UTF-16 unit's character
  std::u16string units;
  while (text.size() < 100000) {
    unitByte.push_back(static_cast<uint32_t>(text.size()));
    units.push_back(u'中');
    text += "中";
    unitByte.push_back(static_cast<uint32_t>(text.size()));
    unitByte.push_back(static_cast<uint32_t>(text.size()));
    units += u"\U00020000";
    text += "\xF0\xA0\x80\x80";
    if (text.size() % 5 == 0) {
      unitByte.push_back(static_cast<uint32_t>(text.size()));
      units.push_back(u'a');
      text += "a";
    }
  }
  Source source;
  source.bytes = readerfix::Utf8(text);
  Open(&source, kReaderUtf8, nullptr, kReaderSourceMemory);
  int inside3 = 0, inside4 = 0;
  for (int64_t target = 0; target < static_cast<int64_t>(text.size()); target += 4096 + 1024) {
    MoveReaderWindow(doc_, target, 0, 0, 0, nullptr);
    const uint32_t s = static_cast<uint32_t>(doc_->windowStart);
    // The first character of the window.
    const size_t first = std::lower_bound(unitByte.begin(), unitByte.end(), s) - unitByte.begin();
    ASSERT_LT(first, units.size());
    EXPECT_EQ(static_cast<uint32_t>(doc_->skippedBytes), unitByte[first] - s) << s;
    if (doc_->skippedBytes) (text[unitByte[first] - 1] == '\x80' && units[first - 1] >= 0xDC00 ? inside4 : inside3)++;
    ASSERT_GT(doc_->textLength, 0);
    EXPECT_TRUE(std::u16string(doc_->text, doc_->textLength) == units.substr(first, doc_->textLength)) << s;
    // Each character of the safe zone: to its byte and back.
    for (int32_t i = 0; i < doc_->textLength; i += 3) {
      const uint32_t byte = unitByte[first + i];
      if (byte < s + 1024 && s != 0) continue;
      if (byte >= s + static_cast<uint32_t>(doc_->windowBytes) - 1024) break;
      ASSERT_EQ(MoveReaderWindow(doc_, i, 1, 1, 0, nullptr), 0);
      ASSERT_EQ(doc_->windowStart, static_cast<int32_t>(s));
      const bool low = units[first + i] >= 0xDC00 && units[first + i] <= 0xDFFF;
      EXPECT_EQ(doc_->positionChar, low ? i - 1 : i) << s << " char " << i;
      EXPECT_EQ(GetReaderAbsolutePosition(doc_), byte) << s << " char " << i;
    }
  }
  EXPECT_GT(inside3, 0);
  EXPECT_GT(inside4, 0);
}

TEST_F(ReaderWindow, InvalidUtf8DecodesByteByByteAndStillRoundTrips) {
  Source source;
  source.bytes = {'a', 0xFF, 0xE4, 0xB8, 'b', 0xC0, 0xAF, 0xED, 0xA0, 0x80, 0xE4, 0xB8, 0xAD};
  Open(&source, kReaderUtf8, nullptr, kReaderSourceMemory);
  EXPECT_EQ(std::u16string(doc_->text, doc_->textLength), u"a\uFFFD\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD中");
  for (int32_t i = 0; i < doc_->textLength; ++i) {
    MoveReaderWindow(doc_, i, 1, 1, 0, nullptr);
    EXPECT_EQ(doc_->positionChar, i);
    MoveReaderWindow(doc_, GetReaderAbsolutePosition(doc_), 0, 1, 0, nullptr);
    EXPECT_EQ(doc_->positionChar, i);
  }
}

TEST_F(ReaderWindow, EmptyAndOddLengthSources) {
  Source empty;
  Open(&empty, kReaderUtf16Le, nullptr, kReaderSourceMemory);
  EXPECT_EQ(doc_->textLength, 0);
  EXPECT_EQ(doc_->text[0], 0);
  EXPECT_EQ(empty.bytesRead, 0u);
  EXPECT_EQ(CanPageForward(doc_), 0);
  WCHAR percent[12];
  FormatReaderPercent(doc_, percent);
  EXPECT_EQ(std::u16string(percent), u"0.00%");
  EXPECT_EQ(ReaderTapLookup(doc_, 0, 0, 0), 1);
  EXPECT_EQ(ReaderCursorKey(doc_, kReaderKeyRight, 0, 0, 10), 1);
  Close();

  Source odd;
  odd.bytes = {0x2D, 0x4E, 0xFD, 0x56, 0x41};  // 中国 and half a unit
  for (uint32_t encoding : {kReaderUtf16Le, kReaderUtf16Be}) {
    Open(&odd, encoding, nullptr, kReaderSourceMemory);
    EXPECT_EQ(doc_->textLength, 2);
    EXPECT_EQ(doc_->text[2], 0);
    MoveReaderWindow(doc_, 4, 0, 0, 0, nullptr);  // the odd byte: no character, the end
    EXPECT_EQ(doc_->positionChar, 2);
    EXPECT_EQ(GetReaderAbsolutePosition(doc_), 4u);
    Close();
  }
}

}  // namespace
