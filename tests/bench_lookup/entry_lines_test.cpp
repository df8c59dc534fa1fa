// The raw text the data files are measured against: every entry read back
// through the engine's entry table and written as a CC-CEDICT line.
#include <fstream>

#include "bench/lookup/entry_lines.h"
#include "engine/dict_set.h"
#include "tests/bench_lookup/bench_fixture.h"

namespace {

using lookupbench::CedictLine;
using lookupbench::CodesToNumberedPinyin;
using lookupbench::EntryText;
using lookupbench::ReadDictEntries;

class EntryLinesTest : public benchfix::EngineOver {};

// The excerpt's rows in CC-CEDICT form: its columns are traditional,
// simplified, pinyin and the senses.
std::vector<std::string> ExcerptAsLines() {
  std::vector<std::string> lines;
  std::ifstream in(kCedictExcerptPath);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
    if (c == std::string::npos) continue;
    lines.push_back(line.substr(0, a) + " " + line.substr(a + 1, b - a - 1) + " [" + line.substr(b + 1, c - b - 1) +
                    "] /" + line.substr(c + 1) + "/\n");
  }
  return lines;
}

TEST_F(EntryLinesTest, EveryExcerptEntryReadsBackAsItsSourceLine) {
  WriteExcerpt();
  DictEngine* engine = Create();
  uint32_t unreadable = 99;
  std::vector<EntryText> entries = ReadDictEntries(engine, 0, &unreadable);
  EXPECT_EQ(unreadable, 0u);
  const std::vector<std::string> expected = ExcerptAsLines();
  ASSERT_EQ(entries.size(), expected.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].entry, i);
    EXPECT_EQ(CedictLine(entries[i]), expected[i]) << "entry " << i;
  }
}

TEST_F(EntryLinesTest, LinksAndClassifiersKeepTheirSenses) {
  namespace db = databuild;
  db::PlainEntry bai;  // several senses: numbered sections, classifiers after them
  bai.simplified = u"拜";
  bai.pinyin = "bai4";
  bai.senses = {{u"to pay respect", {}}, {u"see", {{u"拜拜", u"", "bai2 bai2"}}}};
  bai.classifiers = {{u"个", u"個", "ge4"}};
  db::PlainEntry book;  // one sense: no sections at all
  book.simplified = u"书";
  book.traditional = u"書";
  book.pinyin = "shu1";
  book.senses = {{u"book", {}}};
  book.classifiers = {{u"本", u"", "ben3"}};
  db::PlainEntry mixed;  // two forms that share a character, a Latin letter in the reading
  mixed.simplified = u"卡拉OK";
  mixed.traditional = u"卡拉OK";
  mixed.pinyin = "ka3 la1 O K";
  mixed.senses = {{u"karaoke", {}}};
  db::PlainEntry lu;
  lu.simplified = u"绿";
  lu.traditional = u"綠";
  lu.pinyin = "Lu:4";
  lu.senses = {{u"surname Lü", {}}};
  WriteEntries({bai, book, mixed, lu});
  std::vector<EntryText> entries = ReadDictEntries(Create(), 0, nullptr);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(CedictLine(entries[0]), "拜 拜 [bai4] /to pay respect/see 拜拜[bai2 bai2]/CL:个|個[ge4]/\n");
  EXPECT_EQ(CedictLine(entries[1]), "書 书 [shu1] /book/CL:本[ben3]/\n");
  EXPECT_EQ(CedictLine(entries[2]), "卡拉OK 卡拉OK [ka3 la1 O K] /karaoke/\n");
  EXPECT_EQ(CedictLine(entries[3]), "綠 绿 [Lu:4] /surname Lü/\n");
}

TEST(CodesToNumberedPinyinTest, WritesPinyinAsCedictDoes) {
  for (const char* pinyin : {"nu:3 ren2", "Bai2 li4", "xue2 sheng5", "san1 C", "Zhong1 guo2 Ren2 min2", "r5"})
    EXPECT_EQ(CodesToNumberedPinyin(databuild::PinyinNumbersToCodes(pinyin)), pinyin);
  // Codes inside a sense: blanks only between syllables.
  EXPECT_EQ(CodesToNumberedPinyin(u"see 拜拜[" + databuild::PinyinNumbersToCodes("bai2 bai2") + u"]"),
            "see 拜拜[bai2 bai2]");
}

}  // namespace
