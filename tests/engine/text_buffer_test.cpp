#include "engine/text_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/mem_handle.h"
#include "platform/heap.h"

namespace {

// A fixed buffer over a caller's array, with guard units after it.
struct FixedBuffer {
  explicit FixedBuffer(uint32_t capacity) : storage(capacity + 4, 0xBEEF) {
    tb = TextBuffer{storage.data(), capacity, nullptr, 0};
    TextBufInit(&tb);
  }
  std::u16string Text() const { return std::u16string(storage.data()); }
  bool GuardsIntact() const {
    for (size_t i = tb.capacity; i < storage.size(); ++i)
      if (storage[i] != 0xBEEF) return false;
    return true;
  }
  std::vector<WCHAR> storage;
  TextBuffer tb;
};

std::u16string HandleText(MemHandle* h) {
  auto* p = static_cast<const WCHAR*>(LockMemHandle(h));
  std::u16string s(p);
  UnlockMemHandle(h);
  return s;
}

TEST(TextBufferFixed, KeepsRoomForItsTerminator) {
  FixedBuffer f(5);
  EXPECT_EQ(TextBufAppendWide(&f.tb, u"0123456789", 0), 0);  // truncates silently
  EXPECT_EQ(f.tb.length, 4u);
  TextBufFinish(&f.tb);
  EXPECT_EQ(f.Text(), u"0123");  // the kept room takes the terminator; no unit is lost
  EXPECT_TRUE(f.GuardsIntact());
}

TEST(TextBufferFixed, CharacterAppendReportsAFullBuffer) {
  FixedBuffer f(4);
  EXPECT_EQ(TextBufAppendChar(&f.tb, u'a'), 0);
  EXPECT_EQ(TextBufAppendChar(&f.tb, u'b'), 0);
  EXPECT_EQ(TextBufAppendChar(&f.tb, u'c'), 0);
  EXPECT_EQ(TextBufAppendChar(&f.tb, u'd'), 1);  // dropped
  EXPECT_EQ(f.tb.length, 3u);
  EXPECT_EQ(TextBufAppendChar(&f.tb, 0), 0);  // a 0 on a full buffer replaces the last unit
  EXPECT_EQ(f.storage[2], 0);
  EXPECT_EQ(TextBufAppendBytes(&f.tb, "xyz", 0, false), 0);
  EXPECT_EQ(TextBufAppendUtf8(&f.tb, "xyz", 0), 0);
  TextBufFinish(&f.tb);
  EXPECT_TRUE(f.GuardsIntact());

  FixedBuffer empty(0);
  EXPECT_EQ(TextBufAppendChar(&empty.tb, u'a'), 1);
  EXPECT_EQ(TextBufAppendWide(&empty.tb, u"abc", 0), 0);
  TextBufFinish(&empty.tb);
  EXPECT_TRUE(empty.GuardsIntact());
}

TEST(TextBufferGrowable, StartsWith128UnitsAndGrowsByAtLeast128) {
  TextBuffer tb{nullptr, 0, nullptr, 0};
  TextBufInit(&tb);
  ASSERT_NE(tb.handle, nullptr);
  EXPECT_EQ(tb.capacity, 128u);
  EXPECT_EQ(GetMemHandleSize(tb.handle), 256u);
  for (int i = 0; i < 127; ++i) ASSERT_EQ(TextBufAppendChar(&tb, static_cast<WCHAR>(u'a' + i % 26)), 0);
  EXPECT_EQ(tb.capacity, 128u);  // 127 units and the terminator fit
  ASSERT_EQ(TextBufAppendChar(&tb, u'!'), 0);
  EXPECT_EQ(tb.capacity, 256u);  // grew by 128 units for one more
  const std::u16string big(300, u'x');
  ASSERT_EQ(TextBufAppendWide(&tb, big.c_str(), 0), 0);
  EXPECT_EQ(tb.capacity, 256u + 300u);  // a bigger append grows by what it needs
  EXPECT_EQ(tb.length, 428u);
  TextBufFinish(&tb);
  EXPECT_EQ(GetMemHandleLockCount(tb.handle), 0);
  const std::u16string text = HandleText(tb.handle);
  EXPECT_EQ(text.size(), 428u);
  EXPECT_EQ(text.substr(126, 3), u"w!x");
  FreeMemHandle(tb.handle);
}

TEST(TextBufferGrowable, AFinishedTextCanBeContinued) {
  TextBuffer tb{nullptr, 0, nullptr, 0};
  TextBufInit(&tb);
  TextBufAppendWide(&tb, u"abc", 0);
  TextBufFinish(&tb);
  TextBufAlloc(&tb);
  TextBufAppendWide(&tb, u"def", 0);
  TextBufAppendChar(&tb, 0);  // a counted 0 at the end
  TextBufFinish(&tb);
  TextBufAlloc(&tb);  // drops the counted 0
  EXPECT_EQ(tb.length, 6u);
  TextBufAppendWide(&tb, u"g", 0);
  TextBufFinish(&tb);
  EXPECT_EQ(HandleText(tb.handle), u"abcdefg");

  // Init over a caller's handle that holds a finished text starts afresh.
  TextBuffer again{nullptr, 0, tb.handle, 0};
  TextBufInit(&again);
  TextBufAppendWide(&again, u"xy", 0);
  TextBufFinish(&again);
  EXPECT_EQ(HandleText(tb.handle), u"xy");
  FreeMemHandle(tb.handle);

  // A caller's empty handle receives the text.
  MemHandle* h = NewMemHandle(0);
  ASSERT_NE(h, nullptr);
  TextBuffer own{nullptr, 0, h, 0};
  TextBufInit(&own);
  TextBufAppendWide(&own, u"text", 0);
  TextBufFinish(&own);
  EXPECT_EQ(HandleText(h), u"text");
  FreeMemHandle(h);
}

TEST(TextBufferGrowable, AppendsItsOwnTextAcrossAGrowth) {
  TextBuffer tb{nullptr, 0, nullptr, 0};
  TextBufInit(&tb);
  const std::u16string text(100, u'a');
  TextBufAppendWide(&tb, text.c_str(), 0);
  TextBufAppendChar(&tb, u'<');
  // The block moves while its own text is appended: the append must not read freed memory.
  ASSERT_EQ(TextBufAppendWide(&tb, tb.data, tb.length), 0);
  ASSERT_EQ(TextBufAppendXmlEscaped(&tb, tb.data + 100, 1, false, 0), 0);
  TextBufFinish(&tb);
  EXPECT_EQ(HandleText(tb.handle), text + u"<" + text + u"<&lt;");
  FreeMemHandle(tb.handle);
}

TEST(TextBufferGrowable, AFailedGrowthNeverWritesPastTheBlock) {
  const SIZE_T blocksBefore = GetLocalHeapBlockCount();
  TextBuffer tb{nullptr, 0, nullptr, 0};
  TextBufInit(&tb);
  const std::u16string text(200, u'z');
  SetLocalHeapFailure(1, 100);
  EXPECT_EQ(TextBufAppendWide(&tb, text.c_str(), 0), 1);
  EXPECT_EQ(TextBufAppendChar(&tb, u'q'), 1);
  ClearLocalHeapFailure();
  EXPECT_EQ(tb.capacity, 128u);
  EXPECT_EQ(tb.length, 127u);  // what fitted, with room for the terminator
  TextBufFinish(&tb);
  EXPECT_EQ(HandleText(tb.handle), std::u16string(127, u'z'));
  FreeMemHandle(tb.handle);
  EXPECT_EQ(GetLocalHeapBlockCount(), blocksBefore);
}

TEST(TextBufferAppend, SwapAndSkip) {
  const struct {
    const char* name;
    std::u16string text;
    bool swap;
    WCHAR skip;
    std::u16string expected;
  } cases[] = {
      {"skip LF drops whole CR LF pairs", u"a\r\nb\rc", false, u'\n', u"abc"},
      {"skip 0 drops nothing", u"a\r\nb", false, 0, u"a\r\nb"},
      {"skip another unit", u"a-b-c\r", false, u'-', u"abc\r"},
      {"swap", u"\u4100\u4200", true, 0, u"AB"},
      {"skip compares the swapped unit", u"\u4100\u2D00\u4200", true, u'-', u"AB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FixedBuffer f(32);
    EXPECT_EQ(TextBufAppendWideEx(&f.tb, c.text.c_str(), static_cast<uint32_t>(c.text.size()), c.swap, c.skip), 0);
    TextBufFinish(&f.tb);
    EXPECT_EQ(f.Text(), c.expected);
  }
  FixedBuffer f(8);
  EXPECT_EQ(TextBufAppendWide(&f.tb, nullptr, 0), 0);
  EXPECT_EQ(TextBufAppendWideOpt(&f.tb, u"abcdef", 3, false, 0), 0);  // an explicit count
  TextBufFinish(&f.tb);
  EXPECT_EQ(f.Text(), u"abc");
}

TEST(TextBufferAppend, BytesRawAndUtf8) {
  const struct {
    const char* name;
    std::string bytes;
    bool utf8;
    uint32_t capacity;
    std::u16string expected;
  } cases[] = {
      {"raw bytes are sign-extended", "\x80" "A\xFF", false, 16, u"\uFF80A\uFFFF"},
      {"utf8", "\xE4\xB8\xAD" "A", true, 16, u"\u4E2DA"},
      {"utf8 incomplete tail ends the append", "A\xE4\xB8", true, 16, u"A"},
      {"utf8 stray continuation byte gives nothing", "\x80" "12", true, 16, u"12"},
      {"utf8 4-byte sequence gives a pair", "\xF0\x9F\x98\x80", true, 16, u"\U0001F600"},
      {"a pair is never split by a full buffer", "A\xF0\x9F\x98\x80", true, 3, u"A"},
      {"utf8 0 is not written", std::string("a\xC0\x80" "b", 4), true, 16, u"ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FixedBuffer f(c.capacity);
    TextBufAppendBytes(&f.tb, c.bytes.data(), static_cast<uint32_t>(c.bytes.size()), c.utf8);
    TextBufFinish(&f.tb);
    EXPECT_EQ(f.Text(), c.expected);
    EXPECT_TRUE(f.GuardsIntact());
  }
  // Growable: room is made for the decoded units.
  TextBuffer tb{nullptr, 0, nullptr, 0};
  TextBufInit(&tb);
  std::string many;
  for (int i = 0; i < 200; ++i) many += "\xE4\xB8\xAD";
  EXPECT_EQ(TextBufAppendUtf8(&tb, many.c_str(), 0), 0);
  EXPECT_EQ(TextBufAppendNarrowRaw(&tb, "!", 0), 0);
  TextBufFinish(&tb);
  EXPECT_EQ(HandleText(tb.handle), std::u16string(200, u'\u4E2D') + u"!");
  FreeMemHandle(tb.handle);
}

TEST(TextBufferAppend, XmlEscaping) {
  const struct {
    const char* name;
    std::u16string text;
    WCHAR skip;
    uint32_t capacity;
    std::u16string expected;
  } cases[] = {
      {"entities", u"a<b & \"c\" 'd'>", 0, 64, u"a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;"},
      {"controls dropped, TAB LF CR kept", u"a\x01\tb\n\rc\x1F", 0, 64, u"a\tb\n\rc"},
      {"U+FFFE and U+FFFF dropped", u"a\uFFFEb\uFFFF", 0, 64, u"ab"},
      {"lone surrogates dropped, a pair kept", u"\xD800x\xDC00y\U0001F600", 0, 64, u"xy\U0001F600"},
      {"skip", u"a|b", u'|', 64, u"ab"},
      {"an entity that does not fit is left out whole", u"ab&c", 0, 6, u"ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FixedBuffer f(c.capacity);
    EXPECT_EQ(TextBufAppendXmlEscaped(&f.tb, c.text.c_str(), static_cast<uint32_t>(c.text.size()), false, c.skip), 0);
    TextBufFinish(&f.tb);
    EXPECT_EQ(f.Text(), c.expected);
    EXPECT_TRUE(f.GuardsIntact());
  }
  FixedBuffer swapped(16);
  TextBufAppendXmlEscaped(&swapped.tb, u"\u3C00\u4100", 0, true, 0);
  TextBufFinish(&swapped.tb);
  EXPECT_EQ(swapped.Text(), u"&lt;A");

  const struct {
    const char* bytes;
    std::u16string expected;
  } utf8[] = {
      {"plain text", u"plain text"},
      {"a<b", u"a&lt;b"},
      {"caf\xC3\xA9 & co", u"caf\u00E9 &amp; co"},
      {"x\x01y", u"xy"},
      {"", u""},
  };
  for (const auto& c : utf8) {
    SCOPED_TRACE(c.bytes);
    FixedBuffer f(64);
    EXPECT_EQ(TextBufAppendUtf8Xml(&f.tb, c.bytes, 0), 0);
    TextBufFinish(&f.tb);
    EXPECT_EQ(f.Text(), c.expected);
  }
  FixedBuffer f(8);
  EXPECT_EQ(TextBufAppendUtf8Xml(&f.tb, nullptr, 0), 0);
}

TEST(TextBufferSmallOps, ReplaceLastAndNewline) {
  FixedBuffer f(8);
  EXPECT_EQ(TextBufReplaceLast(&f.tb, u'x'), 1);
  EXPECT_EQ(TextBufEndsWithNewline(&f.tb), 0);
  TextBufAppendWide(&f.tb, u"ab\n", 0);
  EXPECT_EQ(TextBufEndsWithNewline(&f.tb), 1);
  EXPECT_EQ(TextBufReplaceLast(&f.tb, u'c'), 0);
  EXPECT_EQ(TextBufEndsWithNewline(&f.tb), 0);
  TextBufFinish(&f.tb);
  EXPECT_EQ(f.Text(), u"abc");
}

TEST(GrowLockedHandle, GrowsAndKeepsTheSizeOnFailure) {
  MemHandle* h = NewMemHandle(10);
  ASSERT_NE(h, nullptr);
  void* p = LockMemHandle(h);
  uint32_t size = 10;
  EXPECT_EQ(GrowLockedHandle(&p, h, &size, 30), 0);
  EXPECT_EQ(size, 40u);
  EXPECT_EQ(GetMemHandleSize(h), 40u);
  EXPECT_EQ(p, h->data);
  EXPECT_EQ(GetMemHandleLockCount(h), 1);

  SetLocalHeapFailure(1, 100);
  EXPECT_NE(GrowLockedHandle(&p, h, &size, 1000), 0);
  ClearLocalHeapFailure();
  EXPECT_EQ(size, 40u);  // the caller must not write past the old block
  EXPECT_EQ(p, h->data);
  EXPECT_EQ(GetMemHandleLockCount(h), 1);
  UnlockMemHandle(h);
  FreeMemHandle(h);
}

}  // namespace
