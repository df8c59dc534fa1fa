// Documents kept in the data files, written by tools/databuild: the
// document table, block reads, sections, and the documents that must not
// open.
#include <gtest/gtest.h>

#include "app/reader_doc_table.h"
#include "tests/app/reader_fixture.h"
#include "tools/databuild/reader_documents.h"

namespace {

namespace db = databuild;

class ReaderDatabase : public readerfix::ReaderTest {
 protected:
  // 10,000 bytes in blocks of 1,000, two section levels:
  //   A (0): a1 (0), a2 (2,000); B (4,000): none; C (6,000): c1, c2, c3.
  static db::ReaderDocumentSpec Novel() {
    db::ReaderDocumentSpec d;
    d.firstId = 0x4E4F5645;
    d.secondId = 3;
    d.title = u"一本小说 with a title longer than twenty";
    d.title.resize(32);
    d.text = readerfix::MixedText(5000);
    d.blockSize = 1000;
    d.sections = {{0, u"A", {{0, u"a1", {}}, {2000, u"a2", {}}}},
                  {4000, u"B", {}},
                  {6000, u"C", {{6000, u"c1", {}}, {7000, u"c2", {}}, {8000, u"c3", {}}}}};
    return d;
  }
  void AddDocument(const db::ReaderDocumentSpec& d) {
    db::DataFileSpec file;
    file.shortName = u"Doc";
    std::string error;
    ASSERT_EQ(db::AddReaderDocument(d, &file, &error), 0) << error;
    extra_.push_back(file);
  }
  ReaderDocument* OpenDocument(uint32_t first, uint32_t second) {
    ReaderSettings r = Request(kReaderSourceDatabase, kReaderUtf8);  // the encoding is forced to UTF-16LE
    r.firstId = first;
    r.secondId = second;
    doc_ = OpenReaderDocument(engine_, &r, nullptr, readerfix::Record, nullptr, nullptr, nullptr, 0, 0);
    if (doc_) GoToStartPosition(doc_);
    return doc_;
  }
};

TEST_F(ReaderDatabase, TheDocumentTableAndItsText) {
  db::ReaderDocumentSpec other = Novel();
  other.firstId = 9;
  other.title = u"Other";
  other.sections.clear();
  AddDocument(other);
  AddDocument(Novel());
  BuildEngine();
  ASSERT_EQ(GetDocumentCount(engine_), 2u);
  WCHAR title[40];
  EXPECT_EQ(GetDocumentTitle(engine_, 0, title, 40), 0);
  EXPECT_EQ(std::u16string(title), u"Other");
  GetDocumentTitle(engine_, 1, title, 40);
  EXPECT_EQ(std::u16string(title), Novel().title);  // all 32 units
  GetDocumentTitle(engine_, 1, title, 5);
  EXPECT_EQ(std::u16string(title), u"一本小说");
  EXPECT_EQ(GetDocumentTitle(engine_, 2, title, 40), 1);
  EXPECT_EQ(title[0], 0);
  EXPECT_EQ(FindDocumentByIds(engine_, 0x4E4F5645, 3), 1);
  EXPECT_EQ(FindDocumentByIds(engine_, 9, 3), 0);
  EXPECT_EQ(FindDocumentByIds(engine_, 9, 4), kNoDocument);
  EXPECT_EQ(DocumentHasSections(engine_, 0), 0);
  EXPECT_EQ(DocumentHasSections(engine_, 1), 1);
  EXPECT_EQ(DocumentHasSections(engine_, 7), 1);  // out of range
  // A read across three blocks: bytes 1,500-3,500.
  const std::vector<uint8_t> all = readerfix::Utf16Le(Novel().text);
  std::vector<uint8_t> got(2000);
  EXPECT_EQ(ReadDocumentText(engine_, 1, 1500, 2000, got.data()), 0);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + 1500));
}

TEST_F(ReaderDatabase, SectionsCountByFirstChildAndMoveTheReader) {
  AddDocument(Novel());
  BuildEngine();
  EXPECT_EQ(GetSectionCount(engine_, 0, 0, 0), 3u);
  EXPECT_EQ(GetSectionCount(engine_, 0, 1, 0), 2u);  // the first parent
  EXPECT_EQ(GetSectionCount(engine_, 0, 1, 1), 0u);  // a middle parent without children
  EXPECT_EQ(GetSectionCount(engine_, 0, 1, 2), 3u);  // the last parent: rows of the level
  EXPECT_EQ(GetSectionCount(engine_, 0, 1, 3), 0u);
  EXPECT_EQ(GetSectionCount(engine_, 0, 2, 0), 0u);

  ASSERT_NE(OpenDocument(0x4E4F5645, 3), nullptr);
  EXPECT_EQ(doc_->sourceKind, kReaderSourceKindDatabase);
  EXPECT_EQ(doc_->encoding, static_cast<int32_t>(kReaderUtf16Le));
  EXPECT_EQ(doc_->documentLength, 10000u);
  EXPECT_EQ(std::u16string(doc_->title), Novel().title.substr(0, 20));
  EXPECT_EQ(doc_->request.hasSections, 1);
  EXPECT_EQ(doc_->request.sectionLevels, 2);
  EXPECT_TRUE(std::u16string(doc_->text, doc_->textLength) == Novel().text.substr(0, 4096));

  EXPECT_EQ(GoToSection(doc_, 0, 2), 0);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 6000u);
  EXPECT_EQ(doc_->request.currentSection[0], 2u);
  ASSERT_EQ(GetReaderSectionCount(doc_, 1), 3u);
  WCHAR name[8];
  EXPECT_EQ(GetReaderSectionName(doc_, 1, 2, name, 8), 0);
  EXPECT_EQ(std::u16string(name), u"c3");
  EXPECT_EQ(GoToSection(doc_, 1, 2), 0);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 8000u);
  EXPECT_EQ(doc_->request.currentSection[1], 2u);
  EXPECT_TRUE(std::u16string(doc_->text, doc_->textLength) ==
              Novel().text.substr(doc_->windowStart / 2, doc_->textLength));
  EXPECT_EQ(GoToSection(doc_, 1, 3), 1);
  // The position of a database document is kept by its ids.
  Close();
  ASSERT_NE(OpenDocument(0x4E4F5645, 3), nullptr);
  EXPECT_EQ(GetReaderAbsolutePosition(doc_), 8000u);
}

TEST_F(ReaderDatabase, DocumentsThatCannotBeReadDoNotOpen) {
  db::ReaderDocumentSpec zero = Novel();
  zero.firstId = 20;
  zero.overrideInfoBlockSize = true;
  zero.infoBlockSize = 0;
  AddDocument(zero);
  db::ReaderDocumentSpec cut = Novel();
  cut.firstId = 21;
  cut.shortInfo = true;
  AddDocument(cut);
  AddDocument(Novel());
  BuildEngine();
  EXPECT_EQ(OpenDocument(77, 3), nullptr);  // no such ids
  EXPECT_EQ(OpenDocument(20, 3), nullptr);  // block size 0
  std::vector<uint8_t> buffer(10);
  EXPECT_EQ(ReadDocumentText(engine_, 0, 0, 10, buffer.data()), 1);
  EXPECT_EQ(OpenDocument(21, 3), nullptr);  // an info area without its length and title
  EXPECT_NE(OpenDocument(0x4E4F5645, 3), nullptr);
}

TEST_F(ReaderDatabase, WithoutAChineseDictionaryADocumentOpensWithNoSlot) {
  AddDocument(Novel());
  BuildEngine(false);
  ASSERT_NE(OpenDocument(0x4E4F5645, 3), nullptr);
  EXPECT_EQ(doc_->currentSlot, kNoDictSlot);
  WCHAR icon[4] = {u'x'};
  GetReaderDictIcon(doc_, icon, nullptr);
  EXPECT_EQ(icon[0], 0);
  EXPECT_EQ(LookupWordAt(doc_, 0, 4, 1), 1);
  EXPECT_EQ(doc_->currentSlot, kNoDictSlot);
}

}  // namespace
