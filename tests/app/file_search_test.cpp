// The start-up walk over device trees: which folders it reaches, the
// order of what it finds, the limits of the lists, and the rescan.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_file_search.h"
#include "tests/app/app_fixture.h"

namespace {

using appfix::DeviceTree;

struct Tree {
  const char* what;
  std::vector<std::string> files;  // relative paths; ".pdb" are tiny data files, the rest any bytes
  std::string storageCards;
  std::vector<std::u16string> dataFiles;   // found, in order
  std::vector<std::string> userDatabases;  // found, in order
  std::vector<std::string> fonts;          // found, in order
};

void Build(DeviceTree& tree, const Tree& t) {
  int n = 0;
  for (const std::string& f : t.files) {
    if (f.ends_with(".pdb")) tree.Write(f, appfix::TinyDataFile(n++));
    else
      tree.WriteText(f, "bytes of " + f);
  }
  if (!t.storageCards.empty()) tree.StorageCards(t.storageCards);
}

void RunStartupWalk() {
  FileSearchRow rows[kStartupSearchRows];
  FillStartupSearchRows(rows);
  DiscoverFiles(rows, kStartupSearchRows);
}

TEST(FileSearch, TreesOfTheStartupWalk) {
  const Tree trees[] = {
      {"the root and a Sorvi folder; the root comes first",
       {"Program Files/Sorvi/b.pdb", "a.pdb", "Program Files/Sorvi/u.kvb", "z.kvb"},
       "",
       {u"\\a.pdb", u"\\Program Files\\Sorvi\\b.pdb"},
       {"\\z.kvb", "\\Program Files\\Sorvi\\u.kvb"},
       {}},
      {"\\Windows: no data file, but tahoma.ttf is found and put first",
       {"Windows/a.pdb", "Windows/tahoma.ttf", "Windows/SorviExtra.ttf", "Program Files/Sorvi/SorviExtra.ttf"},
       "",
       {},
       {},
       {"\\Windows\\tahoma.ttf", "\\Program Files\\Sorvi\\SorviExtra.ttf"}},
      {"a top-level folder named windows in another case is any folder",
       {"windows/a.pdb"},
       "",
       {u"\\windows\\a.pdb"},
       {},
       {}},
      {"below a Sorvi folder down to its third level, no further, and no other folder",
       {"Data/SorviData/A/B/in.pdb", "Data/SorviData/A/B/Deeper/out.pdb", "Data/Other/out.pdb",
        "Data/SorviData/top.pdb"},
       "",
       {u"\\Data\\SorviData\\top.pdb", u"\\Data\\SorviData\\A\\B\\in.pdb"},
       {},
       {}},
      {"a storage card's Program Files is walked like a Sorvi folder",
       {"Storage Card/Program Files/Any/Sub/in.pdb", "Storage Card/Program Files/Any/Sub/Deeper/out.pdb"},
       "Storage Card\n",
       {u"\\Storage Card\\Program Files\\Any\\Sub\\in.pdb"},
       {},
       {}},
      {"a file directly in a card's Program Files is found once",
       {"Storage Card/Program Files/once.pdb", "Storage Card/Program Files/once.kvb"},
       "Storage Card\n",
       {u"\\Storage Card\\Program Files\\once.pdb"},
       {"\\Storage Card\\Program Files\\once.kvb"},
       {}},
      {"fonts of rows 3 and 4 in one folder: row 4, row 3, then rows 5 to 7",
       {"Program Files/Sorvi/ZYSong.ttf", "Program Files/Sorvi/SorviExtraBold.ttf",
        "Program Files/Sorvi/SorviExtra.ttf", "Program Files/Sorvi/tahoma.ttf", "Program Files/Sorvi/tahomabd.ttf"},
       "",
       {},
       {},
       {"\\Program Files\\Sorvi\\tahomabd.ttf", "\\Program Files\\Sorvi\\tahoma.ttf",
        "\\Program Files\\Sorvi\\SorviExtra.ttf", "\\Program Files\\Sorvi\\SorviExtraBold.ttf",
        "\\Program Files\\Sorvi\\ZYSong.ttf"}},
      {"each font row takes only the first file it finds",
       {"tahoma.ttf", "Program Files/Sorvi/tahoma.ttf", "Program Files/Sorvi/ZYSong.ttf", "Windows/ZYSong.ttf"},
       "",
       {},
       {},
       {"\\tahoma.ttf", "\\Program Files\\Sorvi\\ZYSong.ttf"}},
  };
  for (const Tree& t : trees) {
    SCOPED_TRACE(t.what);
    DeviceTree tree;
    Build(tree, t);
    RunStartupWalk();
    EXPECT_EQ(appfix::DataFilePaths(), t.dataFiles);
    EXPECT_EQ(appfix::Strings(AppFoundFiles.userDbPaths, AppFoundFiles.userDbCount), t.userDatabases);
    EXPECT_EQ(appfix::Strings(AppFoundFiles.fontPaths, AppFoundFiles.fontCount), t.fonts);
  }
}

TEST(FileSearch, ContainersThatAreNotDataFilesAreSkipped) {
  DeviceTree tree;
  tree.Write("a.pdb", appfix::WrongCreator(appfix::TinyDataFile(1)));
  tree.WriteText("b.pdb", "not a container at all");
  tree.Write("c.pdb", appfix::SmallDictionary());
  RunStartupWalk();
  EXPECT_EQ(appfix::DataFilePaths(), std::vector<std::u16string>{u"\\c.pdb"});
}

TEST(FileSearch, ListsStopAtTheirLimits) {
  DeviceTree tree;
  char name[32];
  for (uint32_t i = 0; i <= kMaxFoundDataFiles; ++i) {
    std::snprintf(name, sizeof name, "d%03u.pdb", i);
    tree.Write(name, appfix::TinyDataFile(static_cast<int>(i)));
  }
  for (uint32_t i = 0; i <= kMaxFoundUserDbs; ++i) {
    std::snprintf(name, sizeof name, "u%03u.kvb", i);
    tree.WriteText(name, "x");
  }
  RunStartupWalk();
  ASSERT_EQ(AppFoundFiles.dataFileCount, kMaxFoundDataFiles);
  EXPECT_EQ(appfix::DataFilePaths().back(), u"\\d127.pdb");
  ASSERT_EQ(AppFoundFiles.userDbCount, kMaxFoundUserDbs);
  EXPECT_EQ(std::string(AppFoundFiles.userDbPaths[kMaxFoundUserDbs - 1]), "\\u063.kvb");
}

TEST(FileSearch, RescanAddsNewFilesAndCopiesButNeverReopensAPath) {
  DeviceTree tree;
  tree.Write("Program Files/Sorvi/a.pdb", appfix::TinyDataFile(1));
  RunStartupWalk();
  ASSERT_EQ(AppFoundFiles.dataFileCount, 1u);
  DbFile* first = AppFoundFiles.dataFiles[0];

  RescanDataFilesInto(nullptr);
  ASSERT_EQ(AppFoundFiles.dataFileCount, 1u);
  EXPECT_EQ(AppFoundFiles.dataFiles[0], first);

  tree.Write("Program Files/Sorvi/b.pdb", appfix::TinyDataFile(2));
  tree.Write("Program Files/Sorvi/Copy/a.pdb", appfix::TinyDataFile(1));
  RescanDataFilesInto(nullptr);
  EXPECT_EQ(appfix::DataFilePaths(),
            (std::vector<std::u16string>{u"\\Program Files\\Sorvi\\a.pdb", u"\\Program Files\\Sorvi\\b.pdb",
                                         u"\\Program Files\\Sorvi\\Copy\\a.pdb"}));
}

}  // namespace
