// Feeds arbitrary bytes to ResumeFlashSession as the saved-session file,
// over a small fixed store. A file that resumes is then used the way the
// test window would (buttons, the card counter, browsing, the next card or
// a weighted draw) and freed. Nothing a file holds may make the resume or
// the session read or write out of bounds, allocate without limit or leak.
//
// Input: the file itself. Head word 2 (the database's "FileID") is set to
// the fixture store's own, which a fuzzer could not guess, so that inputs
// reach the record and the chunks.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/sql_properties.h"
#include "flash/session.h"
#include "flash/session_commands.h"
#include "flash/session_file.h"
#include "flash/session_queries.h"
#include "flash/session_select.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/saved_session_store.h"

namespace {

FlashcardStore* g_store = nullptr;
std::string g_path;

void OnEvent(const SessionEventRecord* e, void* ended, int32_t) {
  if (e->words[kEventEnded]) *static_cast<bool*>(ended) = true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string root = fuzz::UsePrivateDeviceRoot();
  DictEngine* engine = nullptr;
  g_store = fuzz::OpenSessionStore(root, &engine);
  g_path = root + fuzz::kSavedSessionHostPath;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!g_store) return 0;
  std::vector<uint8_t> file(data, data + size);
  if (file.size() >= 12) {
    const uint32_t id = static_cast<uint32_t>(g_store->properties->entries[kFpFileId].value);
    for (int i = 0; i < 4; ++i) file[8 + i] = static_cast<uint8_t>(id >> (8 * i));
  }
  if (!fuzz::WriteBytes(g_path, file.data(), file.size())) return 0;
  bool ended = false;
  FlashSession* s = ResumeFlashSession(g_store, &OnEvent, nullptr, &ended);
  if (!s) return 0;
  s->profile = -1;  // no profile stamp: the store stays as it is
  SessionActionButtons buttons;
  GetSessionActionButtons(s, &buttons);
  WCHAR text[64];
  FormatSessionInfoText(s, kInfoCardCounter, text, 64);
  uint8_t marks[32];
  GetSessionAnswerMarks(s, marks, 32);
  ProcessSessionCommand(s, kCmdBack, -1);
  ProcessSessionCommand(s, kCmdForward, -1);
  if (s->method == kSelectFrequency) PickWeightedCard(s);
  s->scoring.kind = kScoringNone;  // the draw may score nothing into the store
  s->testType = kTestReviewOnly;
  AdvanceToNextCard(s, 0);
  if (!ended) FreeFlashSession(s);
  return 0;
}
