// Writes a seed corpus for fuzz_saved_session: files that sessions over the
// fixture store save (Random, Fixed after answers, Frequency adjust with a
// turning delay ring, Multiple-choice with its pools, a re-test pass with
// its field-set sequence). Usage: fuzz_saved_session_seeds DIR
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "flash/session_commands.h"
#include "flash/session_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/saved_session_store.h"

namespace {

void Set(FlashcardStore* store, uint32_t id, int32_t value) {
  const ProfileSettingValue v{value, nullptr};
  SetProfileSetting(store, id, &v);
}

struct Kind {
  const char* name;
  int32_t method, type, count, repeatIncorrect, answers;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string dir = argv[1];
  const std::string root = fuzz::UsePrivateDeviceRoot();
  DictEngine* engine = nullptr;
  FlashcardStore* store = fuzz::OpenSessionStore(root, &engine);
  if (!store) return 1;
  const Kind kinds[] = {
      {"random", kSelectRandom, kTestSelfScored, 20, 0, 0},
      {"fixed", kSelectFixed, kTestSelfScored, 20, 0, 5},
      {"frequency", kSelectFrequency, kTestSelfScored, 50, 0, 14},
      {"spaced", kSelectRepetitionSpaced, kTestReviewOnly, -1, 0, 3},
      {"choice", kSelectRandom, kTestMultipleChoice, 20, 0, 0},
      {"retest", kSelectFixed, kTestSelfScored, 4, 1, 4},
  };
  int written = 0;
  for (const Kind& k : kinds) {
    Set(store, kProCardselection, k.method);
    Set(store, kProType, k.type);
    Set(store, kProCardcount, k.count);
    Set(store, kProCardrepeatincorrect, k.repeatIncorrect);
    Set(store, kProSelectionnorepeat, 0);
    Set(store, kProScoreprompt, 0);
    int32_t status = 1;
    FlashSession* s = BuildFlashSession(store, nullptr, nullptr, nullptr, &status);
    if (!s) continue;
    ProcessSessionCommand(s, kCmdStart, -1);
    for (int i = 0; i < k.answers; ++i) {
      ProcessSessionCommand(s, kCmdReveal, -1);
      ProcessSessionCommand(s, i % 2 ? kCmdIncorrect : kCmdCorrect, -1);
      ProcessSessionCommand(s, kCmdNext, -1);
    }
    if (SaveFlashSession(s) == 0) {
      std::ifstream in(root + fuzz::kSavedSessionHostPath, std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
      if (fuzz::WriteSeed(dir, k.name, bytes.data(), bytes.size())) ++written;
    }
    FreeFlashSession(s);
  }
  FreeEngineSaveBlock(DestroyEngine(engine));
  std::printf("%d saved sessions\n", written);
  return written > 0 ? 0 : 1;
}
