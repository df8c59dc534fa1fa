#include "flash/session.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/preferences.h"
#include "engine/sql_query.h"
#include "engine/sql_text.h"
#include "engine/system_services.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session_commands.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

namespace {

// The card list: 128 cards a chunk, at most 511 chunks in use.
constexpr int32_t kListPerChunk = kChunkedDefaultPerChunk;
constexpr int32_t kListMaxChunks = kChunkedDefaultMaxChunks;
// A positive card count keeps this many listed cards per asked card: the
// surplus replaces cards that prove unusable.
constexpr int32_t kListSurplusFactor = 3;
// The Frequency-adjust delay ring holds at most this many answered cards,
// and one per ten listed cards.
constexpr int32_t kRingMax = 8;
constexpr int32_t kRingCardsPerEntry = 10;
constexpr int32_t kDrawBoxHeightMin = 10;
// Preference 210, the audio mode the test window follows (1-4).
constexpr int32_t kPrefAudioMode = 210;
// Engine capability of pronunciation audio (listening field sets).
constexpr int kCapabilityAudio = 4;
constexpr int32_t kLimitCategoriesMax = 3;

// Show values 0-14 and ask values 1-7 of field sets.
constexpr uint32_t kShowSets[15][4] = {
    {kFieldHeadword},
    {kFieldPron},
    {kFieldDefinition},
    {kFieldSound},
    {kFieldHeadword, kFieldPron},
    {kFieldHeadword, kFieldDefinition},
    {kFieldHeadword, kFieldSound},
    {kFieldPron, kFieldDefinition},
    {kFieldPron, kFieldSound},
    {kFieldDefinition, kFieldSound},
    {kFieldHeadword, kFieldPron, kFieldDefinition},
    {kFieldHeadword, kFieldPron, kFieldSound},
    {kFieldHeadword, kFieldDefinition, kFieldSound},
    {kFieldPron, kFieldDefinition, kFieldSound},
    {kFieldHeadword, kFieldPron, kFieldDefinition, kFieldSound},
};
constexpr uint32_t kAskSets[8][2] = {
    {},
    {kFieldHeadword},
    {kFieldPron},
    {kFieldTones},
    {kFieldDefinition},
    {kFieldHeadword, kFieldPron},
    {kFieldHeadword, kFieldDefinition},
    {kFieldPron, kFieldDefinition},
};
constexpr int32_t kAskTones = 3;

// Per test type: the simple show and ask settings, and per direction
// (reading, writing, listening) the show and ask settings; 0 = none.
struct TestFieldIds {
  uint32_t simpleShow, simpleAsk;
  uint32_t show[3], ask[3];
};
constexpr TestFieldIds kTestFields[6] = {
    {kProSimpleReviewshow, 0, {kProTypeReviewReadshow, kProTypeReviewWriteshow, kProTypeReviewListenshow}, {}},
    {kProSimpleSelfshow, 0, {kProTypeSelfReadshow, kProTypeSelfWriteshow, kProTypeSelfListenshow}, {}},
    {kProSimpleMultishow,
     kProSimpleMultiask,
     {kProTypeMultiReadshow, kProTypeMultiWriteshow, kProTypeMultiListenshow},
     {kProTypeMultiReadask, kProTypeMultiWriteask, kProTypeMultiListenask}},
    {kProSimpleFreeshow,
     kProSimpleFreeask,
     {kProTypeFreeReadshow, kProTypeFreeWriteshow, kProTypeFreeListenshow},
     {kProTypeFreeReadask, kProTypeFreeWriteask, kProTypeFreeListenask}},
    {},
    {kProSimpleTonesshow, 0, {kProTypeTonesReadshow, kProTypeTonesWriteshow, kProTypeTonesListenshow}, {}},
};

int32_t Setting(FlashcardStore* store, uint32_t id) { return GetSessionSettingInt(store, id); }

bool Contains(const uint32_t* fields, int32_t count, uint32_t field) {
  return std::find(fields, fields + count, field) != fields + count;
}

SessionFieldSet MakeFieldSet(int32_t testType, int32_t show, int32_t ask) {
  SessionFieldSet set{};
  if (show < 0 || show > 14) show = 0;
  if (ask < 0 || ask > 7) ask = 0;
  for (uint32_t f : kAskSets[ask])
    if (f) set.asked[set.askedCount++] = f;
  // Multiple-choice asks at most two fields (one set of choices each).
  if (testType == kTestMultipleChoice && set.askedCount > 2) set.askedCount = 2;
  for (uint32_t f : kShowSets[show])
    if (f && !Contains(set.asked, set.askedCount, f)) set.shown[set.shownCount++] = f;
  if (testType == kTestSelfScored) {
    for (uint32_t f : {kFieldHeadword, kFieldPron, kFieldDefinition})
      if (!Contains(set.shown, set.shownCount, f) && !Contains(set.asked, set.askedCount, f) && set.askedCount < 3)
        set.asked[set.askedCount++] = f;
  }
  for (int32_t i = 0; i < set.shownCount; ++i) set.display[set.displayCount++] = set.shown[i];
  for (int32_t i = 0; i < set.askedCount && set.displayCount < 5; ++i) set.display[set.displayCount++] = set.asked[i];
  if (testType == kTestSelfScored && !Contains(set.display, set.displayCount, kFieldDefinition) && set.displayCount < 5)
    set.display[set.displayCount++] = kFieldDefinition;
  set.scoreFrom = 0;
  set.scoreTo = kScoreCeiling;
  return set;
}

void SimpleFieldSet(FlashSession* s) {
  const TestFieldIds& ids = kTestFields[s->testType];
  const int32_t show = ids.simpleShow ? Setting(s->store, ids.simpleShow) : 0;
  const int32_t ask = s->testType == kTestTonePractice ? kAskTones
                      : ids.simpleAsk                  ? Setting(s->store, ids.simpleAsk)
                                                       : 0;
  s->fieldSets[0] = MakeFieldSet(s->testType, show, ask);
  s->fieldSetCount = 1;
}

void DirectionFieldSets(FlashSession* s) {
  const TestFieldIds& ids = kTestFields[s->testType];
  const uint32_t flags[3] = {kProTypeFieldReading, kProTypeFieldWriting, kProTypeFieldListening};
  for (int d = 0; d < 3; ++d) {
    if (!Setting(s->store, flags[d])) continue;
    if (d == 2 && !QueryEngineCapability(s->store->engine, kCapabilityAudio, 0)) continue;
    const int32_t ask = s->testType == kTestTonePractice ? kAskTones : ids.ask[d] ? Setting(s->store, ids.ask[d]) : 0;
    s->fieldSets[s->fieldSetCount++] = MakeFieldSet(s->testType, Setting(s->store, ids.show[d]), ask);
  }
  if (s->fieldSetCount == 0) {
    const int32_t ask = s->testType == kTestTonePractice ? kAskTones : ids.ask[0] ? Setting(s->store, ids.ask[0]) : 0;
    s->fieldSets[s->fieldSetCount++] = MakeFieldSet(s->testType, Setting(s->store, ids.show[0]), ask);
  }
}

// 0 when the profile holds no bands for the test type.
int32_t ScoreBandFieldSets(FlashSession* s) {
  int32_t *starts = nullptr, *shows = nullptr, *asks = nullptr;
  int32_t n = ReadScoreFilterSettings(s->store, static_cast<uint32_t>(s->testType), &starts, &shows, &asks);
  n = std::min(n, kFieldSetMax);
  struct Band {
    int32_t start, show, ask;
  };
  std::vector<Band> bands;
  for (int32_t i = 0; i < n; ++i)
    bands.push_back({starts[i], shows[i], s->testType == kTestTonePractice ? kAskTones : asks ? asks[i] : 0});
  for (int32_t* p : {starts, shows, asks})
    if (p) LocalFree(p);
  std::stable_sort(bands.begin(), bands.end(), [](const Band& a, const Band& b) { return a.start < b.start; });
  for (size_t i = 0; i < bands.size(); ++i) {
    SessionFieldSet set = MakeFieldSet(s->testType, bands[i].show, bands[i].ask);
    set.scoreFrom = bands[i].start;
    set.scoreTo = i + 1 < bands.size() ? bands[i + 1].start : kScoreCeiling;
    s->fieldSets[s->fieldSetCount++] = set;
  }
  return s->fieldSetCount;
}

// Chosen categories: bit 29 keeps a category alone, the others bring
// their subcategories. -3 and -2 come back as flags.
bool ExpandSelection(FlashcardStore* store, const int32_t* ids, uint32_t count, std::vector<int32_t>* out,
                     bool* uncategorized, bool* all) {
  std::vector<int32_t> alone, expand;
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t v = ids[i];
    if (v == kCategoryUncategorized) *uncategorized = true;
    else if (v == kCategoryRoot)
      *all = true;
    else if (v < 0)
      continue;
    else if (static_cast<uint32_t>(v) & kCategoryAloneFlag)
      alone.push_back(static_cast<int32_t>(v & kCategoryIdMask));
    else
      expand.push_back(static_cast<int32_t>(v & kCategoryIdMask));
  }
  if (!expand.empty()) {
    uint32_t n = 0;
    int32_t* expanded = ExpandCategoryIds(store, expand.data(), static_cast<uint32_t>(expand.size()), &n);
    if (!expanded) return false;
    out->assign(expanded, expanded + n);
    LocalFree(expanded);
  }
  out->insert(out->end(), alone.begin(), alone.end());
  std::sort(out->begin(), out->end());
  out->erase(std::unique(out->begin(), out->end()), out->end());
  return true;
}

void AppendAssignedTo(SqlText* text, const std::vector<int32_t>& ids) {
  SqlTextAppend(text, "c.\"id\" IN (SELECT \"card\" FROM \"");
  SqlTextAppend(text, kFlashCategoryAssignsTable);
  SqlTextAppend(text, "\" WHERE ");
  SqlTerm term{};
  term.column = kAssignCat;
  term.op = kSqlOpIn;
  term.list = ids.data();
  term.listCount = static_cast<uint32_t>(ids.size());
  SqlAppendWhere(text, kFlashAssignColumns, &term, 1, nullptr);
  SqlTextAppend(text, ")");
}

void AppendUnassigned(SqlText* text) {
  SqlTextAppend(text, "c.\"id\" NOT IN (SELECT \"card\" FROM \"");
  SqlTextAppend(text, kFlashCategoryAssignsTable);
  SqlTextAppend(text, "\")");
}

void AppendIntCondition(SqlText* text, const SqlColumnDef* columns, uint32_t column, uint32_t op, int64_t value,
                        const char* qualifier) {
  SqlTextAppend(text, " AND ");
  SqlAppendColumnRef(text, columns, static_cast<int>(column), qualifier);
  static const char* const kOps[6] = {" == ", " != ", " > ", " >= ", " < ", " <= "};
  SqlTextAppend(text, kOps[op <= kSqlOpLessEqual ? op : 0]);
  SqlTextAppendInt(text, value);
}

// SQL operators of the reviewed filter's comparison codes 0-5 (=, !=, >,
// <, >=, <=).
constexpr uint32_t kReviewedOps[6] = {kSqlOpEqual, kSqlOpNotEqual,     kSqlOpGreater,
                                      kSqlOpLess,  kSqlOpGreaterEqual, kSqlOpLessEqual};

// The time-limit unit codes of the profile and the engine's units: 0-5
// count back from now, 19-21 from the start of the current period.
bool LimitTime(int32_t units, int32_t amount, uint32_t* out) {
  const uint32_t n = static_cast<uint32_t>(std::max(amount, 0));
  switch (units) {
    case 0:
      *out = GetSecondsAgo(kAgoSeconds, n, false);
      return true;
    case 1:
      *out = GetSecondsAgo(kAgoMinutes, n, false);
      return true;
    case 2:
      *out = GetSecondsAgo(kAgoHours, n, false);
      return true;
    case 3:
      *out = GetSecondsAgo(kAgoDays, n, false);
      return true;
    case 4:
      *out = GetSecondsAgo(kAgoWeeks, n, false);
      return true;
    case 5:
      *out = GetSecondsAgo(kAgoMonths, n, false);
      return true;
    case 19:
      *out = GetSecondsAgo(kAgoDays, n, true);
      return true;
    case 20:
      *out = GetSecondsAgo(kAgoWeeks, n, true);
      return true;
    case 21:
      *out = GetSecondsAgo(kAgoMonths, n, true);
      return true;
    default:
      return false;
  }
}

struct QueryPlan {
  int32_t language;
  int32_t testType;
  int32_t scorefile;
  bool createdColumn;  // the unlearned limit's key column
  bool difficultyKey;  // Fixed sort field 2 selects the difficulty
};

// The text of the session's card query; 0, or 1 when memory ran out.
int ComposeQuery(FlashcardStore* store, const QueryPlan& plan, SqlText* text) {
  char scores[kFlashScoresTableMax];
  FlashScoresTableName(plan.scorefile, scores);
  SqlTextAppend(text, "SELECT c.\"id\"");
  if (plan.createdColumn) SqlTextAppend(text, ", c.\"created\"");
  SqlTextAppend(text, ", s.\"score\", ");
  SqlAppendColumnRef(text, kFlashScoreColumns, plan.difficultyKey ? kScoreDifficulty : kScoreLastReviewed, "s");
  SqlTextAppend(text, ", s.\"history\" FROM \"");
  SqlTextAppend(text, kFlashCardsTable);
  SqlTextAppend(text, "\" AS c LEFT JOIN \"");
  SqlTextAppend(text, scores);
  SqlTextAppend(text, "\" AS s ON s.\"card\" = c.\"id\" WHERE ");
  SqlTextAppend(text, plan.language == kCardLanguageChinese ? "c.\"lang\" == 4096" : "c.\"lang\" != 4096");

  // Score-table conditions and whether never-reviewed cards pass them.
  SqlText scored;
  SqlTextBegin(nullptr, &scored);
  bool newCardsPass = true;
  if (Setting(store, kProLimittime)) {
    const int32_t mode = Setting(store, kProLimittimemode), compare = Setting(store, kProLimittimecompare);
    uint32_t limit = static_cast<uint32_t>(Setting(store, kProLimittimetime));
    bool known = compare == 0 || compare == 1 ||
                 LimitTime(Setting(store, kProLimittimeunits), Setting(store, kProLimittimetime), &limit);
    const uint32_t op = compare == 1 || compare == 2 ? kSqlOpGreaterEqual : kSqlOpLessEqual;
    if (known && compare >= 0 && compare <= 3) {
      if (mode == 0 || mode == 3)
        AppendIntCondition(text, kFlashCardColumns, mode == 0 ? kCardCreated : kCardModified, op, limit, "c");
      else if (mode == 1 || mode == 2) {
        AppendIntCondition(&scored, kFlashScoreColumns, mode == 1 ? kScoreFirstReviewed : kScoreLastReviewed, op, limit,
                           "s");
        if (compare != 3) newCardsPass = false;
      }
    }
  }
  if (Setting(store, kProLimitscore)) {
    const int32_t from = Setting(store, kProLimitscorestart), to = Setting(store, kProLimitscoreend);
    AppendIntCondition(&scored, kFlashScoreColumns, kScoreScore, kSqlOpGreaterEqual, from, "s");
    AppendIntCondition(&scored, kFlashScoreColumns, kScoreScore, kSqlOpLessEqual, to, "s");
    if (from > kNewCardScore || to < kNewCardScore) newCardsPass = false;
  }
  if (Setting(store, kProLimitreviewed)) {
    const int32_t type = Setting(store, kProLimitreviewedtype), compare = Setting(store, kProLimitreviewedcompare),
                  count = Setting(store, kProLimitreviewedcount);
    const int column = type == 8    ? static_cast<int>(kScoreReviewed)
                       : type == 9  ? static_cast<int>(kScoreCorrect)
                       : type == 10 ? static_cast<int>(kScoreIncorrect)
                                    : -1;
    if (column >= 0 && compare >= 0 && compare <= 5) {
      AppendIntCondition(&scored, kFlashScoreColumns, static_cast<uint32_t>(column), kReviewedOps[compare], count, "s");
      if (!ReviewedFilterAdmitsNewCards(compare, count)) newCardsPass = false;
    }
  }
  if (Setting(store, kProLimitrow)) {
    const int32_t type = Setting(store, kProLimitrowtype);
    if (type == 1 || type == 2) newCardsPass = false;
  }
  if (scored.length > 0 || !newCardsPass) {
    SqlTextAppend(text, newCardsPass ? " AND (s.\"card\" IS NULL OR (1" : " AND (s.\"card\" IS NOT NULL AND (1");
    SqlTextAppend(text, scored.data ? scored.data : "");
    SqlTextAppend(text, "))");
  }
  const bool scoredFailed = scored.failed != 0;
  SqlTextEnd(nullptr, &scored);
  if (scoredFailed) return 1;

  // Word length: Stroke Order asks one character, typed and tone answers
  // on Chinese cards at most four syllables; the profile narrows further.
  int64_t low = INT32_MIN, high = INT32_MAX;
  if (plan.testType == kTestStrokeOrder) low = high = 1;
  else if ((plan.testType == kTestFreeAnswer || plan.testType == kTestTonePractice) &&
           plan.language == kCardLanguageChinese)
    low = 1, high = 4;
  if (Setting(store, kProLimitlength)) {
    low = std::max<int64_t>(low, Setting(store, kProLimitlengthstart));
    high = std::min<int64_t>(high, Setting(store, kProLimitlengthend));
  }
  if (low != INT32_MIN) AppendIntCondition(text, kFlashCardColumns, kCardWordLength, kSqlOpGreaterEqual, low, "c");
  if (high != INT32_MAX) AppendIntCondition(text, kFlashCardColumns, kCardWordLength, kSqlOpLessEqual, high, "c");

  // Categories: an absent list sets no condition; a present one, even an
  // empty one, admits exactly its categories.
  ProfileSettingValue v{};
  if (GetProfileSetting(store, kProCategories, &v) == 0) {
    uint32_t count = 0;
    int32_t* ids = ParseIntList(v.text, 1, 0, &count);
    if (v.text) LocalFree(const_cast<WCHAR*>(v.text));
    SqlTextAppend(text, " AND ");
    const int rc = AppendCategorySelection(text, store, ids, count);
    if (ids) LocalFree(ids);
    if (rc != 0) return 1;
  }
  v = ProfileSettingValue{};
  if (GetProfileSetting(store, kProLimitcategories, &v) == 0 && v.text) {
    uint32_t count = 0;
    int32_t* ids = ParseIntList(v.text, 1, 1, &count);
    LocalFree(const_cast<WCHAR*>(v.text));
    for (uint32_t i = 0; ids && i < count && i < kLimitCategoriesMax; ++i) {
      const uint32_t raw = static_cast<uint32_t>(ids[i]);
      const bool exclude = (raw & kIntListFlagListed) != 0 && (raw & kIntListFlagChecked) == 0;
      // The low 30 bits hold the id; pseudo ids come back negative.
      int32_t id = static_cast<int32_t>(raw << 2) >> 2;
      SqlTextAppend(text, exclude ? " AND NOT (" : " AND (");
      const int rc = AppendCategorySelection(text, store, &id, 1);
      SqlTextAppend(text, ")");
      if (rc != 0) {
        LocalFree(ids);
        return 1;
      }
    }
    if (ids) LocalFree(ids);
  }
  return text->failed ? 1 : 0;
}

uint32_t ReferenceTime(int32_t dayType, int32_t dayStart) {
  const int64_t now = GetUtcSeconds();
  if (dayType != 1) return static_cast<uint32_t>(now);
  int64_t boundary = static_cast<int64_t>(GetSecondsAgo(kAgoDays, 0, true)) + dayStart;
  if (now >= boundary) boundary += 86400;
  return static_cast<uint32_t>(boundary);
}

void ReadForcedDictionaries(FlashSession* s) {
  s->forceDictsMode = Setting(s->store, kProForcedicts);
  if (s->forceDictsMode == 0) return;
  ProfileSettingValue v{};
  uint32_t count = 0;
  int32_t* pairs = nullptr;
  if (GetProfileSetting(s->store, kProForcedictsorder, &v) == 0 && v.text) {
    pairs = ParseIntList(v.text, 2, 0, &count);
    LocalFree(const_cast<WCHAR*>(v.text));
  }
  if (pairs && count) {
    s->forceDictSlots = static_cast<uint16_t*>(LocalAlloc(LPTR, count * sizeof(uint16_t)));
    for (uint32_t i = 0; s->forceDictSlots && i < count; ++i) {
      const uint16_t slot =
          FindDictSlot(s->store->engine, static_cast<uint32_t>(pairs[2 * i]), static_cast<uint32_t>(pairs[2 * i + 1]));
      if (slot != kSessionDictSlotNone) s->forceDictSlots[s->forceDictCount++] = slot;
    }
  }
  if (pairs) LocalFree(pairs);
  if (s->forceDictCount == 0 && s->forceDictsMode == 1) s->forceDictsMode = 0;
}

}  // namespace

int32_t GetSessionSettingInt(FlashcardStore* store, uint32_t id) {
  if (id == kProScorefile) return GetProfileScorefileId(store);
  ProfileSettingValue v{};
  if (GetProfileSetting(store, id, &v) != 0) return id == kProButtonwhichcat || id == kProCardcount ? -1 : 0;
  if (v.text) LocalFree(const_cast<WCHAR*>(v.text));
  return v.value;
}

int ReviewedFilterAdmitsNewCards(int32_t compare, int32_t count) {
  if (count > 0) return compare == 1 || compare == 3 || compare == 5;
  if (count == 0) return compare != 1 && compare != 2;
  return 0;
}

int AppendCategorySelection(SqlText* text, FlashcardStore* store, const int32_t* ids, uint32_t count) {
  std::vector<int32_t> chosen;
  bool uncategorized = false, all = false;
  if (!ExpandSelection(store, ids, ids ? count : 0, &chosen, &uncategorized, &all)) return 1;
  if (all) {
    SqlTextAppend(text, "1");
    return 0;
  }
  // A card may sit in several categories: it is admitted when one of its
  // assignments is chosen, whatever its other ones.
  SqlTextAppend(text, "(");
  AppendAssignedTo(text, chosen);
  if (uncategorized) {
    SqlTextAppend(text, " OR ");
    AppendUnassigned(text);
  }
  SqlTextAppend(text, ")");
  return 0;
}

void SetUpTestFields(FlashSession* s) {
  s->fieldSetCount = 0;
  s->fieldChoice = kFieldChoiceRotate;
  if (s->testType < 0 || s->testType > kTestTonePractice) s->testType = kTestSelfScored;
  if (s->testType == kTestStrokeOrder) {
    s->fieldSets[0] = MakeFieldSet(s->testType, 0, 0);
    s->fieldSetCount = 1;
    return;
  }
  switch (Setting(s->store, kProFieldselection)) {
    case 1:
      DirectionFieldSets(s);
      break;
    case 2:
      if (ScoreBandFieldSets(s) > 0) s->fieldChoice = kFieldChoiceByScore;
      else
        SimpleFieldSet(s);
      break;
    default:
      SimpleFieldSet(s);
      break;
  }
}

int32_t FindFieldSetForScore(const FlashSession* s, int32_t score) {
  if (!s || s->fieldSetCount <= 0) return 0;
  // Bands cover [first start, 204800]; a score below the first start takes
  // the first band, one at or beyond the last start the last band.
  for (int32_t i = s->fieldSetCount - 1; i > 0; --i)
    if (score >= s->fieldSets[i].scoreFrom) return i;
  return 0;
}

void LoadDisplaySettings(DisplaySettings* d, FlashcardStore* store) {
  if (!d) return;
  *d = DisplaySettings{};
  d->topField1 = Setting(store, kProTopfield1);
  d->topField2 = Setting(store, kProTopfield2);
  d->definitionSize = Setting(store, kProDefnsize);
  d->headwordSize = Setting(store, kProHeadsize);
  d->definitionParts = Setting(store, kProDefnparts);
  d->buttonBack = Setting(store, kProButtonback);
  d->buttonUndo = Setting(store, kProButtonundo);
  d->buttonInfo = Setting(store, kProButtoninfo);
  d->buttonDelete = Setting(store, kProButtondelete);
  d->buttonRemoveSession = Setting(store, kProButtonremovesession);
  d->buttonScore = Setting(store, kProButtonscore);
  d->buttonScoreChange = Setting(store, kProButtonscorechange);
  d->buttonScoreTarget = Setting(store, kProButtonscoretarget);
  d->buttonScoreType = Setting(store, kProButtonscoretype);
  d->buttonCategory = Setting(store, kProButtoncat);
  d->buttonCategoryId = Setting(store, kProButtonwhichcat);
  d->buttonCategoryExists = d->buttonCategoryId >= 0 ? CategoryExists(store, d->buttonCategoryId) : 0;
  d->reverseAnswerButtons = Setting(store, kProReverseanswerbtnorder);
  d->alwaysOne1 = 1;
  d->alwaysZero = 0;
  d->alwaysOne2 = 1;
  const int32_t audio = store ? GetPref(store->engine, kPrefAudioMode) : 0;
  d->audioMode = audio >= 1 && audio <= 4 ? audio : 0;
  d->audioAll = Setting(store, kProAudioall);
  d->audioAutoReveal = Setting(store, kProAudioautoreveal);
  d->audioNoAutoShow = Setting(store, kProAudionoautoshow);
  d->showDrawBox = Setting(store, kProShowdrawbox);
  d->forceCharset = Setting(store, kProForcecharset);
  d->charset = Setting(store, kProCharset);
  d->showStats = Setting(store, kProShowstats);
  d->noKeyboard = Setting(store, kProNokeyboard);
  d->dictHeads = Setting(store, kProDictheads);
}

FlashSession* BuildFlashSession(FlashcardStore* store, SessionEventCallback onEvent, SessionTextCallback onText,
                                void* userData, int32_t* status) {
  if (status) *status = 1;
  if (!store || !store->database) return nullptr;
  if (LoadCurrentProfileSettings(store) != 0 || LoadCategories(store) != 0) return nullptr;
  auto* s = static_cast<FlashSession*>(LocalAlloc(LPTR, sizeof(FlashSession)));
  if (!s) return nullptr;
  std::memset(s, 0, sizeof *s);
  ClearRecord72(s->randomState);
  s->store = store;
  s->onEvent = onEvent;
  s->onText = onText;
  s->userData = userData;
  s->profile = GetCurrentProfileId(store);

  // Settings of the selection.
  s->language = Setting(store, kProLanguage) == 0 ? 0 : static_cast<int32_t>(kCardLanguageChinese);
  s->method = Setting(store, kProCardselection);
  if (s->method < kSelectRandom || s->method > kSelectFixed) s->method = kSelectRandom;
  s->noRepeat = Setting(store, kProSelectionnorepeat) != 0;
  s->testType = Setting(store, kProType);
  if (s->testType < kTestReviewOnly || s->testType > kTestTonePractice) s->testType = kTestSelfScored;
  SelectionParameters p{};
  p.method = s->method;
  if (s->method == kSelectFixed) {
    p.fixedSortField = Setting(store, kProFixedcardsortfield);
    p.fixedSortOrder = Setting(store, kProFixedcardsortorder);
  } else if (s->method == kSelectRandom) {
    p.ratioOn = Setting(store, kProUnlearnedratio);
    p.ratioAmount = std::clamp(Setting(store, kProUnlearnedratioamount), 0, 10000);
  } else if (s->method == kSelectRepetitionSpaced) {
    p.randomDue = Setting(store, kProRandomrepspaced);
    p.randomNotDue = Setting(store, kProRandomrepspacednotdue);
  }
  p.limitUnlearned = Setting(store, kProLimitunlearned) != 0;
  if (s->method == kSelectFixed && (p.fixedSortField == 1 || p.fixedSortField == 2)) p.limitUnlearned = 0;
  p.limitUnlearnedMax = Setting(store, kProLimitunlearnedmaxcards);
  p.limitUnlearnedPriority = Setting(store, kProLimitunlearnedcardspriority);
  s->learnedCount = p.learnedCount = Setting(store, kProLearnedselcount);
  s->learnedMode = p.learnedMode = Setting(store, kProLearnedselmode);
  int32_t cardCount = Setting(store, kProCardcount);
  if (cardCount <= 0 && cardCount != -2) cardCount = -1;
  if (s->method == kSelectRepetitionSpaced) {
    p.pointsPerDay = Setting(store, kProCardpointsday);
    if (p.pointsPerDay < kPointsPerDayFloor + 1) p.pointsPerDay = kPointsPerDayFloor;
    p.dayType = Setting(store, kProCarddaytype);
    cardCount = -1;
  }
  if (s->method == kSelectFrequency && cardCount == -1) {
    s->noRepeat = 1;
    cardCount = -2;
  }
  p.cardCount = cardCount;
  p.rowLimitOn = Setting(store, kProLimitrow) != 0;
  if (p.rowLimitOn) {
    const int32_t type = Setting(store, kProLimitrowtype);
    p.rowLimitAmount = std::min(Setting(store, kProLimitrowamount), kRowLimitMax);
    p.rowLimitCorrect = type == 1 || type == 3;
    p.rowLimitExclude = type == 3 || type == 4;
    // Only types 1-4 name a streak.
    if (type < 1 || type > 4) p.rowLimitOn = 0;
  }
  s->referenceTime = ReferenceTime(Setting(store, kProCarddaytype), Setting(store, kProCarddaystarttime));
  p.referenceTime = static_cast<int32_t>(s->referenceTime);

  // The query and the card list.
  const QueryPlan plan{s->language, s->testType, GetProfileScorefileId(store), p.limitUnlearned != 0,
                       s->method == kSelectFixed && p.fixedSortField == 2};
  s->cards = CreateChunkedArray(2, kListPerChunk, kListMaxChunks, 1);
  int selected = 1;
  if (s->cards) {
    EngineLockGuard lock;
    SqlText text;
    SqlTextBegin(store->database, &text);
    if (ComposeQuery(store, plan, &text) == 0) {
      sqlite3_stmt* statement = SqlTextPrepare(store->database, &text);
      if (statement) selected = SelectSessionCards(statement, s->cards, &p, sizeof p, s->randomState);
    } else {
      SqlTextEnd(store->database, &text);
    }
  }
  if (selected != 0) {
    s->profile = -1;  // nothing ran: no session times to stamp
    FreeFlashSession(s);
    return nullptr;
  }

  const int32_t listed = s->cards->count;
  if (s->method == kSelectFrequency) {
    s->totalWeight = s->cards->weightSums[s->cards->chunkCount];
  } else if (cardCount > 0 && listed > kListSurplusFactor * cardCount) {
    TruncateChunkedArray(s->cards, kListSurplusFactor * cardCount);
  }
  if (cardCount > 0) {
    s->cardsToAsk = s->noRepeat && s->cards->count < cardCount ? s->cards->count : cardCount;
  } else {
    s->cardsToAsk = s->cards->count;
    s->unlimited = cardCount == -1;
  }
  if (s->method == kSelectRepetitionSpaced) s->dueToAsk = s->dueCount = s->cards->mark;

  // Remaining options.
  if (s->testType != kTestReviewOnly) {
    s->repeatIncorrect = Setting(store, kProCardrepeatincorrect);
    s->repeatIncorrectLoop = Setting(store, kProCardrepeatincorrectloop);
    s->repeatIncorrectShuffle = Setting(store, kProCardrepeatincorrectshuffle);
  }
  s->savePromptType = Setting(store, kProSavesessionprompttype);
  s->scoreImmediately = Setting(store, kProScoreimmediately);
  s->maxReplays = Setting(store, kProMaxreplays);
  s->requireFilled = Setting(store, kProRequirefilled);
  if (s->testType == kTestFreeAnswer) s->ignoreTones = Setting(store, kProIgnoretones);
  s->revealSeparately = Setting(store, kProRevealseparately);
  if (s->testType == kTestReviewOnly || s->testType == kTestSelfScored)
    s->allowInvalid = Setting(store, kProAllowinvalid) != 0;
  s->drawBoxHeight = std::max(Setting(store, kProDrawboxheight), kDrawBoxHeightMin);
  if (s->testType == kTestMultipleChoice) s->numChoices = std::clamp(Setting(store, kProNumchoices), 1, kChoiceMax);
  s->order = static_cast<uint32_t*>(LocalAlloc(LPTR, kSessionOrderCapacity * sizeof(uint32_t)));
  s->orderCapacity = s->order ? kSessionOrderCapacity : 0;
  s->questionIndex = -1;
  s->currentCard = -1;
  s->currentChunk = -1;
  s->currentFieldSet = -1;
  s->browsePosition = -1;
  s->dictRef = s->savedDictRef = SessionDictRef{kSessionDictSlotNone, -1};
  s->state = kSessionBrowsing;
  SetUpTestFields(s);
  if (s->method == kSelectFrequency) {
    s->ringCapacity = std::max(1, std::min(kRingMax, listed / kRingCardsPerEntry));
    s->ring = static_cast<WeightRingEntry*>(LocalAlloc(LPTR, s->ringCapacity * sizeof(WeightRingEntry)));
    if (!s->ring) s->ringCapacity = 0;
  }
  ReadForcedDictionaries(s);
  LoadScoringSettings(&s->scoring, store);
  LoadDisplaySettings(&s->display, store);
  if (s->testType == kTestMultipleChoice) BuildChoicePools(s);
  s->startTicks = GetTicks();
  s->startTime = GetUtcSeconds();
  if (status) *status = 0;
  return s;
}

void FreeFlashSession(FlashSession* s) {
  if (!s) return;
  FreeChunkedArray(s->cards);
  for (ChunkedArray* pool : s->lengthPools) FreeChunkedArray(pool);
  FreeChunkedArray(s->longPool);
  FreeChunkedArray(s->choicePool);
  if (s->ring) LocalFree(s->ring);
  if (s->order) LocalFree(s->order);
  if (s->fieldSequence) LocalFree(s->fieldSequence);
  if (s->forceDictSlots) LocalFree(s->forceDictSlots);
  // The building profile, not whichever is current now: the user may have
  // switched profiles while the session ran.
  if (s->store && s->profile > 0)
    SetProfileSessionTimes(s->store, s->profile, static_cast<int32_t>(s->startTime),
                           static_cast<int32_t>(GetUtcSeconds()));
  LocalFree(s);
}

int32_t GetSessionCurrentCardId(const FlashSession* s) {
  if (!s) return -1;
  if (s->state == kSessionBrowsing && s->browsePosition >= 0 && s->browsePosition < s->orderCount)
    return static_cast<int32_t>(s->order[s->browsePosition] & kOrderCardMask);
  return s->currentCard;
}
