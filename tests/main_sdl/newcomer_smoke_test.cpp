// The newcomer's first search in a real window: the program starts through
// its own start-up in an SDL window under Xvfb, "nihao" is typed as key
// presses would be, and the list must show 你好 selected and the definition
// its meaning. The window's picture is kept in output/ to be looked at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/backend.h"
#include "platform/message.h"
#include "tests/app/main_window_fixture.h"

namespace {

using mainfix::Shows;

class NewcomerSmokeTest : public mainfix::MainWindowTest {};

TEST_F(NewcomerSmokeTest, TypingNihaoShowsHelloInARealWindow) {
  ASSERT_EQ(GetBackendKind(), BACKEND_SDL) << "run under an X server with SORVI_BACKEND=sdl";
  // The search delay the program starts with stands: the timers run on the
  // virtual clock.
  SetFocus(input());
  AutoTypeText(u"nihao");
  Advance(static_cast<DWORD>(Pref(kPrefSearchDelay)) + 1);
  EXPECT_EQ(InputText(), u"nihao");
  const auto rows = ListRows();
  const uint32_t selected = ListInfo(2);
  ASSERT_LT(selected, rows.size());
  EXPECT_TRUE(Shows(rows[selected], u"你好"));
  EXPECT_TRUE(Shows(DefinitionText(), u"你好"));
  EXPECT_TRUE(Shows(DefinitionText(), u"hello"));
  std::filesystem::create_directories(SORVI_MAIN_SDL_OUTPUT);
  const std::string shot = std::string(SORVI_MAIN_SDL_OUTPUT) + "/newcomer-nihao.png";
  ASSERT_TRUE(AutoSaveWindowPng(main_, shot.c_str()));
  EXPECT_GT(std::filesystem::file_size(shot), 1000u);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InitUiThread();
  return RUN_ALL_TESTS();
}
