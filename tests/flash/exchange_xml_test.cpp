// The exchange format's vocabulary, element writer and value encodings.
#include "flash/exchange_xml.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/mem_handle.h"
#include "engine/text_buffer.h"
#include "tests/support/utf16_print.h"

namespace {

// A name as the parser hands it: UTF-16 units, terminated.
std::u16string U(const char* ascii) {
  std::u16string out;
  for (const char* p = ascii; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
  return out;
}
const uint16_t* P(const std::u16string& s) { return reinterpret_cast<const uint16_t*>(s.c_str()); }

// Everything one call of a writer appends to a fresh growable buffer.
class XmlText {
 public:
  XmlText() { TextBufInit(&tb_); }
  ~XmlText() {
    TextBufFinish(&tb_);
    FreeMemHandle(tb_.handle);
  }
  TextBuffer* tb() { return &tb_; }
  std::string Utf8() const { return Utf8Of(std::u16string(tb_.data, tb_.length)); }

 private:
  TextBuffer tb_{};
};

XmlAttrValue Int(uint32_t i, int32_t v) { return {i, nullptr, nullptr, v}; }
XmlAttrValue Narrow(uint32_t i, const char* v) { return {i, v, nullptr, 0}; }
XmlAttrValue Wide(uint32_t i, const char16_t* v) { return {i, nullptr, v, 0}; }

TEST(XmlVocabulary, EveryElementIsFoundByItsNameWithItsIdAndBit) {
  // Bisection needs the table in code-unit order.
  for (uint32_t i = 1; i < kXmlElementCount; ++i)
    EXPECT_LT(std::strcmp(kXmlElements[i - 1].name, kXmlElements[i].name), 0) << kXmlElements[i].name;
  for (uint32_t i = 0; i < kXmlElementCount; ++i) {
    const XmlElementDef& e = kXmlElements[i];
    uint32_t id = 99, bit = 99;
    ASSERT_EQ(LookupXmlElement(P(U(e.name)), &id, &bit), 0) << e.name;
    EXPECT_EQ(id, e.id);
    EXPECT_EQ(bit, e.containerBit);
    EXPECT_EQ(GetXmlElementDef(id), &e);
    for (uint32_t a = 1; a < e.attributeCount; ++a)
      EXPECT_LT(std::strcmp(e.attributes[a - 1].name, e.attributes[a].name), 0) << e.name;
  }
  EXPECT_EQ(GetXmlElementDef(kXmlElementCount), nullptr);
}

TEST(XmlVocabulary, ContainerBitsAndAttributeIndexesAreTheFormats) {
  struct Case {
    const char* element;
    uint32_t id, bit;
  } cases[] = {
      {"sorviflash", 0, 0x1}, {"cards", 3, 0x4},        {"card", 4, 0x8},       {"categories", 11, 0x40},
      {"entry", 17, 0x1000},  {"sorvidict", 13, 0x100}, {"entries", 16, 0x400}, {"dictref", 5, 0},
  };
  for (const Case& c : cases) {
    uint32_t id = 0, bit = 0;
    ASSERT_EQ(LookupXmlElement(P(U(c.element)), &id, &bit), 0);
    EXPECT_EQ(id, c.id) << c.element;
    EXPECT_EQ(bit, c.bit) << c.element;
  }
}

TEST(XmlVocabulary, LookupsRefuseWhatIsNotInTheTable) {
  // Case matters; a prefix or an extension of a name is another name.
  for (const char* name : {"Card", "car", "cardsx", "", "sorviflash "}) {
    EXPECT_EQ(LookupXmlElement(P(U(name)), nullptr, nullptr), 1) << name;
  }
  // A unit above 0xFF never equals an 8-bit name's byte.
  std::u16string wide = U("card");
  wide[0] = 0x163;  // 'c' + 0x100
  EXPECT_EQ(LookupXmlElement(P(wide), nullptr, nullptr), 1);
  EXPECT_EQ(LookupXmlElement(nullptr, nullptr, nullptr), 1);
}

TEST(XmlVocabulary, AttributeLookupGivesIndexAndRequiredFlag) {
  struct Case {
    uint32_t element;
    const char* name;
    int result;
    uint32_t index, required;
  } cases[] = {
      {kXmlCard, "language", 0, kXmlCardLanguage, 1},
      {kXmlCard, "modified", 0, kXmlCardModified, 0},
      {kXmlScoreInfo, "score", 0, kXmlScoreScore, 1},
      {kXmlScoreInfo, "scorefile", 0, kXmlScoreFile, 0},  // "score" is its prefix
      {kXmlScoreInfo, "sincelast", 0, kXmlScoreSinceLast, 0},
      {kXmlScoreInfo, "forcepool", 0, kXmlScoreForcePool, 0},
      {kXmlDictRef, "dictid", 0, kXmlDictRefId, 1},
      {kXmlPron, "tones", 0, kXmlPronTones, 0},
      {kXmlSorviFlash, "created", 0, kXmlRootCreated, 0},
      {kXmlSorviFlash, "creator", 0, kXmlRootCreator, 0},
      {kXmlCard, "Language", 1, 0, 0},              // case matters
      {kXmlCards, "name", kXmlNoAttributes, 0, 0},  // an element without a list
      {kXmlElementCount, "name", 1, 0, 0},          // no such element
  };
  for (const Case& c : cases) {
    uint32_t index = 77, required = 77;
    EXPECT_EQ(LookupXmlAttribute(c.element, P(U(c.name)), &index, &required), c.result) << c.name;
    if (c.result == 0) {
      EXPECT_EQ(index, c.index) << c.name;
      EXPECT_EQ(required, c.required) << c.name;
    }
  }
}

TEST(XmlWriter, TagsOfEachKind) {
  const XmlAttrValue card[] = {Narrow(kXmlCardLanguage, "chinese"), Int(kXmlCardCreated, -5)};
  const XmlAttrValue wide[] = {Wide(kXmlCategoryName, u"中/文")};
  struct Case {
    const char* what;
    uint32_t kind, element;
    const XmlAttrValue* values;
    uint32_t count;
    const char* expected;
  } cases[] = {
      {"start tag with values in the order given", kXmlStartTag, kXmlCard, card, 2,
       "<card language=\"chinese\" created=\"-5\">"},
      {"an end tag ignores values", kXmlEndTag, kXmlCard, card, 2, "</card>"},
      {"empty-element tag with UTF-16 text", kXmlEmptyTag, kXmlCategory, wide, 1, "<category name=\"中/文\"/>"},
      {"no values", kXmlStartTag, kXmlEntry, nullptr, 0, "<entry>"},
      {"values of another element's indexes are skipped", kXmlEmptyTag, kXmlCatAssign, card, 2,
       "<catassign category=\"chinese\"/>"},
  };
  for (const Case& c : cases) {
    XmlText out;
    EXPECT_EQ(WriteXmlElement(out.tb(), c.kind, c.element, c.values, c.count), 0) << c.what;
    EXPECT_EQ(out.Utf8(), c.expected) << c.what;
  }
}

TEST(XmlWriter, ValuePrecedenceIsWideThenNarrowThenInteger) {
  const XmlAttrValue both = {kXmlCategoryName, "narrow", u"wide", 7};
  const XmlAttrValue narrow = {kXmlCategoryName, "narrow", nullptr, 7};
  const XmlAttrValue number = {kXmlCategoryName, nullptr, nullptr, 7};
  for (auto [value, expected] : {std::pair{&both, "wide"}, {&narrow, "narrow"}, {&number, "7"}}) {
    XmlText out;
    WriteXmlElement(out.tb(), kXmlEmptyTag, kXmlCategory, value, 1);
    EXPECT_EQ(out.Utf8(), std::string("<category name=\"") + expected + "\"/>");
  }
}

TEST(XmlWriter, AnElementIdPastTheTableWritesNothing) {
  XmlText out;
  EXPECT_EQ(WriteXmlElement(out.tb(), kXmlStartTag, kXmlElementCount, nullptr, 0), 1);
  EXPECT_EQ(out.Utf8(), "");
}

TEST(XmlWriter, EscapingOfTextAndValues) {
  struct Case {
    const char* what;
    std::u16string text;
    char16_t skip;
    const char* expected;
  } cases[] = {
      {"markup characters become entities", u"a<b&c\"d'e>f", 0, "a&lt;b&amp;c&quot;d&apos;e&gt;f"},
      {"a control character is dropped, TAB LF CR kept", u"x\u0007y\tz\n\r", 0, "xy\tz\n\r"},
      {"lone surrogates are dropped",
       u"a\xD800"
       u"b\xDC00"
       u"c",
       0, "abc"},
      {"a valid pair is kept", u"a\U00020000b", 0,
       "a\xF0\xA0\x80\x80"
       "b"},
      {"U+FFFE and U+FFFF are dropped",
       u"a\xFFFE\xFFFF"
       u"b",
       0, "ab"},
      {"the skip character is dropped", u"ni3@hao3", u'@', "ni3hao3"},
      {"without a skip character @ stays", u"a@b", 0, "a@b"},
  };
  for (const Case& c : cases) {
    XmlText out;
    EXPECT_EQ(WriteXmlTextElement(out.tb(), kXmlDefn, nullptr, 0, c.text.c_str(), c.skip), 0);
    EXPECT_EQ(out.Utf8(), std::string("<defn>") + c.expected + "</defn>") << c.what;
  }
}

TEST(XmlWriter, NarrowValuesArePlainAsciiOrDecodedAndEscaped) {
  for (auto [value, expected] : {std::pair{"plain text 1", "plain text 1"},
                                 {"a&b", "a&amp;b"},
                                 {"\xE4\xB8\xAD<", "中&lt;"},
                                 {"bell\x07", "bell"}}) {
    XmlText out;
    const XmlAttrValue v = Narrow(kXmlCategoryName, value);
    WriteXmlElement(out.tb(), kXmlEmptyTag, kXmlCategory, &v, 1);
    EXPECT_EQ(out.Utf8(), std::string("<category name=\"") + expected + "\"/>") << value;
  }
}

TEST(XmlValues, DictionaryIdsAsLettersOrDecimal) {
  struct Case {
    int32_t id;
    const char* text;
  } cases[] = {
      {0x41424344, "ABCD"}, {0x61627A5A, "abzZ"},
      {12345, "12345"},     {0x41424331, "1094861617"},  // '1' is not a letter
      {-1, "-1"},           {0, "0"},
  };
  for (const Case& c : cases) {
    char text[kXmlDictIdTextSize];
    FormatXmlDictId(c.id, text);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(ParseXmlDictId(P(U(c.text))), c.text[0] == '-' ? 0x2D31 : c.id) << c.text;
  }
  // Reading: digits as decimal; anything else as up to four bytes.
  EXPECT_EQ(ParseXmlDictId(P(U("12"))), 12);
  EXPECT_EQ(ParseXmlDictId(P(U("CEDICT"))), 0x43454449);
  EXPECT_EQ(ParseXmlDictId(P(U("AB"))), 0x4142);
}

TEST(XmlValues, LanguagesPrioritiesAndPools) {
  EXPECT_STREQ(XmlLanguageName(0x1000), "chinese");
  EXPECT_STREQ(XmlLanguageName(0), "english");
  EXPECT_STREQ(XmlLanguageName(7), "unknown");
  EXPECT_EQ(ParseXmlLanguage(P(U("English"))), 0u);
  EXPECT_EQ(ParseXmlLanguage(P(U("unknown"))), 0x1000u);
  const char* priorities[] = {"normal", "high", "veryhigh", "low", "verylow"};
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_STREQ(XmlPriorityName(i), priorities[i]);
    EXPECT_EQ(ParseXmlPriority(P(U(priorities[i]))), i);
  }
  EXPECT_EQ(XmlPriorityName(5), nullptr);
  EXPECT_EQ(ParseXmlPriority(P(U("High"))), 0);  // exact match only
  const char* pools[] = {"none", "include", "exclude"};
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(XmlForcePoolName(i), pools[i]);
    EXPECT_EQ(ParseXmlForcePool(P(U(pools[i]))), i);
  }
  EXPECT_EQ(ParseXmlForcePool(P(U("includes"))), 0);
}

}  // namespace
