// Search as you type on the main window, on the virtual clock: the search
// delay and its timer, the forced and on-demand searches, full-width
// letters, the empty field, the 40-character cut, the backspace rule; and
// what the session's notices do to the list and the definition.
#include <gtest/gtest.h>

#include "tests/app/main_window_fixture.h"

namespace {

using mainfix::MainWindowTest;
using mainfix::Shows;

// Counts the searches the session runs by the query it ends with: the
// session keeps the text of its last search.
class SearchAsYouTypeTest : public MainWindowTest {
 protected:
  // A search leaves its text as the session's query; an empty query then
  // tells a later search apart.
  void ClearQuery() { LookupResetQuery(session()); }
};

TEST_F(SearchAsYouTypeTest, TypingNihaoShowsHelloInTheListAndTheDefinition) {
  SetPref(kPrefSearchDelay, 0);
  Type(u"nihao");
  EXPECT_EQ(Query(), u"nihao");
  const auto rows = ListRows();
  ASSERT_FALSE(rows.empty());
  // The list shows the word list at the match, selected.
  const uint32_t selected = ListInfo(2);
  ASSERT_LT(selected, rows.size());
  EXPECT_TRUE(Shows(rows[selected], u"你好"));
  EXPECT_TRUE(Shows(DefinitionText(), u"你好"));
  EXPECT_TRUE(Shows(DefinitionText(), u"hello"));
}

}  // namespace
