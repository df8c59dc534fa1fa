#include "flash/session_queries.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/audio_index.h"
#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "engine/engine_time.h"
#include "engine/lookup_services.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/sql_query.h"
#include "engine/stroke_index.h"
#include "engine/text_buffer.h"
#include "engine/user_dict_entries.h"
#include "flash/card_content.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/flash_sql.h"
#include "flash/profile_setting_ids.h"
#include "flash/session.h"
#include "flash/session_commands.h"
#include "flash/store.h"
#include "flash/store_schema.h"

namespace {

// Show-all values of the score prompt ("pro_scorepromptshowall").
constexpr int32_t kGradesDown[6] = {kCmdGrade6,     kCmdGrade6 - 1, kCmdGrade6 - 2,
                                    kCmdGrade1 + 2, kCmdGrade1 + 1, kCmdGrade1};
constexpr int32_t kGradesUp[6] = {kCmdGrade1,     kCmdGrade1 + 1, kCmdGrade1 + 2,
                                  kCmdGrade6 - 2, kCmdGrade6 - 1, kCmdGrade6};

std::u16string Decimal(int64_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}
std::u16string TwoDigits(int64_t v) { return (v < 10 ? u"0" : u"") + Decimal(v); }

void Put(const std::u16string& text, WCHAR* buffer, uint32_t size) {
  if (!buffer || size == 0) return;
  const size_t n = std::min<size_t>(text.size(), size - 1);
  for (size_t i = 0; i < n; ++i) buffer[i] = static_cast<WCHAR>(text[i]);
  buffer[n] = 0;
}

std::u16string Elapsed(uint32_t milliseconds) {
  const int64_t s = milliseconds / 1000, h = s / 3600, m = s / 60 % 60;
  if (h > 0) return Decimal(h) + u":" + TwoDigits(m) + u":" + TwoDigits(s % 60);
  return Decimal(m) + u":" + TwoDigits(s % 60);
}

void Fill(SessionActionButtons* b, std::initializer_list<int32_t> commands) {
  int i = 0;
  for (int32_t c : commands)
    if (i < kActionButtonMax) b->commands[i++] = c;
}
void FillAll(SessionActionButtons* b, const int32_t (&commands)[6]) {
  for (int i = 0; i < kActionButtonMax; ++i) b->commands[i] = commands[i];
}

uint32_t AskedOf(const FlashSession* s, int32_t n) {
  if (s->currentFieldSet < 0 || s->currentFieldSet >= s->fieldSetCount) return 0;
  const SessionFieldSet& f = s->fieldSets[s->currentFieldSet];
  return n < f.askedCount ? f.asked[n] : 0;
}
int32_t AskedCount(const FlashSession* s) {
  if (s->currentFieldSet < 0 || s->currentFieldSet >= s->fieldSetCount) return 0;
  return s->fieldSets[s->currentFieldSet].askedCount;
}

int32_t RevealCommandOf(uint32_t field) {
  switch (field) {
    case kFieldHeadword:
      return kCmdRevealHeadword;
    case kFieldPron:
      return kCmdRevealPron;
    case kFieldDefinition:
      return kCmdRevealDefinition;
    default:
      return 0;
  }
}

std::u16string InfoText(FlashSession* s, int32_t code) {
  const int32_t card = GetSessionCurrentCardId(s);
  CardScoreRecord r;
  const bool cardCode = code >= 5 && code <= 11 && code != 9;
  const bool hasRow = cardCode && card >= 0 && ReadCardScore(s->store, s->scoring.scorefile, card, &r, 1) == 0;
  if (cardCode && !hasRow) InitCardScoreRecord(&r);
  switch (code) {
    case 0:
      return u"";
    case 1: {
      WCHAR text[kSecondsTextSize];
      FormatSecondsAsText(GetLocalSeconds(), text, false, true);
      return reinterpret_cast<const char16_t*>(text);
    }
    case 2:
      return Elapsed(GetTicks() - s->startTicks);
    case 3: {
      const int64_t n = s->correctAnswers + s->incorrectAnswers;
      return Decimal(n ? s->correctAnswers * int64_t{100} / n : 100) + u"%";
    }
    case 4:
      return Decimal(s->correctAnswers) + u":" + Decimal(s->incorrectAnswers);
    case 5: {
      const int64_t n = static_cast<int64_t>(r.correct) + r.incorrect;
      return Decimal(n ? r.correct * int64_t{100} / n : 100) + u"%";
    }
    case 6:
      return Decimal(r.correct) + u":" + Decimal(r.incorrect);
    case 7:
      return Decimal(r.score);
    case 8:
      return Decimal(r.difficulty);
    case 9: {
      if (s->state == kSessionBrowsing) return Elapsed(0);
      const uint32_t end = s->answerTicks ? s->answerTicks : GetTicks();
      return Elapsed(end - s->shownTicks);
    }
    case 10: {
      switch (r.priority) {
        case kPriorityVeryHigh:
          return u"1";
        case kPriorityHigh:
          return u"2";
        case kPriorityLow:
          return u"4";
        case kPriorityVeryLow:
          return u"5";
        default:
          return u"3";
      }
    }
    case 11: {
      WCHAR text[32];
      FormatDueLabel(hasRow && r.lastReviewedTime != 0, r.lastReviewedTime, r.score, s->scoring.dayType,
                     s->scoring.pointsPerDay, s->referenceTime, text, 32);
      return reinterpret_cast<const char16_t*>(text);
    }
    default:
      return Decimal(s->correctAnswers);
  }
}

constexpr int32_t Id(uint32_t setting) { return static_cast<int32_t>(setting); }

}  // namespace

void FormatElapsedTime(uint32_t milliseconds, WCHAR* buffer, uint32_t size) {
  Put(Elapsed(milliseconds), buffer, size);
}

void FormatSessionStatistics(const FlashSession* s, WCHAR* buffer, uint32_t size) {
  if (!s || !buffer || size == 0) return;
  uint32_t used = 0;
  while (used < size && buffer[used]) ++used;
  if (used >= size) return;
  const int64_t n = static_cast<int64_t>(s->correctAnswers) + s->incorrectAnswers;
  std::u16string text;
  if (n == 0) {
    text = u"No Cards Tested";
  } else {
    const int64_t p = s->correctAnswers * int64_t{100} / n;
    text = u"Session Statistics:\nCorrect: " + Decimal(s->correctAnswers) + u" (" + Decimal(p) + u"%)\nIncorrect: " +
           Decimal(s->incorrectAnswers) + u" (" + Decimal(100 - p) + u"%)\nAverage Score: " + Decimal(s->scoreSum / n);
    if (s->difficultySum != n * 100) text += u"\nAverage Difficulty: " + Decimal(s->difficultySum / n);
    text += u"\nElapsed Time: " + Elapsed(GetTicks() - s->startTicks);
  }
  Put(text, buffer + used, size - used);
}

int GetSessionActionButtons(const FlashSession* s, SessionActionButtons* b) {
  if (!b) return 0;
  *b = SessionActionButtons{};
  if (!s) return 0;
  b->reverseOrder = s->display.reverseAnswerButtons ? 1 : 0;
  const bool reviewOnly = s->testType == kTestReviewOnly;
  const bool prompt = s->scoring.scorePrompt != 0;
  const int32_t showAll = s->scoring.promptShowAll;
  switch (s->state) {
    case kSessionBrowsing: {
      const int32_t at = s->browsePosition;
      const bool undoable = at >= 0 && at < s->undoCount && !s->undone[at];
      Fill(b, {undoable ? kCmdUndo : kCmdBack, kCmdForward, kCmdReturn});
      break;
    }
    case kSessionQuestion:
      if (reviewOnly) Fill(b, {kCmdNext});
      else if (s->testType == kTestSelfScored) {
        if (s->revealSeparately && AskedCount(s) > 1) {
          int i = 0;
          for (int32_t n = 0; n < AskedCount(s) && i < 2; ++n)
            if (const int32_t c = RevealCommandOf(AskedOf(s, n))) b->commands[i++] = c;
          b->commands[i] = kCmdReveal;
        } else {
          Fill(b, {kCmdReveal});
        }
      } else if (s->testType != kTestMultipleChoice) {
        Fill(b, {kCmdCheckAnswer});
      }
      break;
    case kSessionHiddenHeadword:
    case kSessionHiddenPron:
    case kSessionHiddenDefinition:
      Fill(b, {kCmdReveal, kCmdCorrect, kCmdIncorrect});
      break;
    case kSessionAnswerShown:
      if (reviewOnly || (s->scoring.kind == kScoringNone && !s->repeatIncorrect && !s->retestPass)) Fill(b, {kCmdNext});
      else if (!prompt)
        Fill(b, {kCmdCorrect, kCmdIncorrect});
      else if (showAll == 1 || showAll == 6)
        FillAll(b, kGradesDown);
      else if (showAll == 5)
        FillAll(b, kGradesUp);
      else
        Fill(b, {kCmdCorrect, kCmdIncorrect});
      break;
    case kSessionAfterCorrect:
      if (!prompt) Fill(b, {kCmdNext});
      else if (showAll == 2 || showAll == 3)
        Fill(b, {kCmdGrade6 - 2, kCmdGrade6 - 1, kCmdGrade6});
      else if (showAll == 1 || showAll == 6)
        FillAll(b, kGradesDown);
      else if (showAll == 5)
        FillAll(b, kGradesUp);
      else
        Fill(b, {kCmdGrade6, kCmdGrade6 - 1, kCmdGrade6 - 2});
      break;
    case kSessionAfterIncorrect:
      if (!prompt) Fill(b, {kCmdNext});
      else if (showAll == 0 || showAll == 2)
        Fill(b, {kCmdGrade1, kCmdGrade1 + 1, kCmdGrade1 + 2});
      else if (showAll == 3 || showAll == 4)
        Fill(b, {kCmdGrade1 + 2, kCmdGrade1 + 1, kCmdGrade1});
      else if (showAll == 1 || showAll == 5)
        FillAll(b, kGradesUp);
      else
        FillAll(b, kGradesDown);
      break;
    default:
      break;
  }
  return 0;
}

namespace {

// The answer-box input for a field being asked of a card of the session's
// language.
int32_t InputModeForField(const FlashSession* s, int32_t field) {
  const bool noKeyboard = s->display.noKeyboard != 0;
  if (s->language == 0) return noKeyboard ? kInputTextNoKeyboard : kInputText;
  if (field == kFieldHeadword) return kInputCharacters;
  if (field == kFieldTones) return kInputTones;
  if (field == kFieldPron) return noKeyboard ? kInputSyllablesNoKeyboard : kInputSyllables;
  return noKeyboard ? kInputTextNoKeyboard : kInputText;
}

}  // namespace

int GetSessionDisplayLayout(const FlashSession* s, SessionDisplayLayout* layout) {
  if (!layout) return 0;
  *layout = SessionDisplayLayout{};
  if (!s) return 0;
  uint32_t* w = layout->fields;
  const DisplaySettings& d = s->display;
  w[kLayoutLanguage] = static_cast<uint32_t>(s->language);
  w[kLayoutAnswerMode] = static_cast<uint32_t>(s->testType);
  if (s->testType == kTestFreeAnswer || s->testType == kTestTonePractice) {
    // Before the first card the first field set stands for the session.
    const int32_t set = std::max(s->currentFieldSet, 0);
    const uint32_t asked = set < s->fieldSetCount && s->fieldSets[set].askedCount > 0 ? s->fieldSets[set].asked[0] : 0;
    w[kLayoutForm] = static_cast<uint32_t>(
        InputModeForField(s, asked == kFieldHeadword || asked == kFieldTones ? asked : kFieldPron));
  }
  if (s->testType == kTestSelfScored && d.showDrawBox)
    w[kLayoutWritingHeight] = static_cast<uint32_t>(s->drawBoxHeight);
  if (s->testType == kTestMultipleChoice) w[kLayoutChoiceRows] = static_cast<uint32_t>(s->numChoices);
  w[kLayoutMargin] = 1;
  w[kLayoutDefinitionSize] = static_cast<uint32_t>(d.definitionSize);
  bool sound = d.audioAll != 0;
  for (int32_t i = 0; i < s->fieldSetCount && !sound; ++i)
    for (int32_t k = 0; k < s->fieldSets[i].shownCount; ++k) sound = sound || s->fieldSets[i].shown[k] == kFieldSound;
  const int32_t buttons[7] = {d.buttonBack,     d.buttonInfo,          d.buttonDelete, d.buttonScore,
                              d.buttonCategory, d.buttonRemoveSession, sound ? 1 : 0};
  for (int i = 0; i < 7; ++i) w[kLayoutFirstBottomButton + i] = static_cast<uint32_t>(buttons[i]);
  w[kLayoutCategoryId] = static_cast<uint32_t>(d.buttonCategoryId);
  w[kLayoutTop1Clock] = d.topField1 == 1;
  w[kLayoutTop1Timer] = d.topField1 == 2 || d.topField1 == 9;
  w[kLayoutTop2Clock] = d.topField2 == 1;
  w[kLayoutTop2Timer] = d.topField2 == 2 || d.topField2 == 9;
  return 0;
}

void FormatDueLabel(bool reviewed, int64_t lastReviewed, int64_t score, int32_t dayType, int32_t pointsPerDay,
                    int64_t referenceTime, WCHAR* buffer, uint32_t size) {
  if (!reviewed) {
    Put(u"New", buffer, size);
    return;
  }
  const int64_t d = referenceTime - (lastReviewed + ScoreIntervalSeconds(score, dayType, pointsPerDay));
  const int64_t m = (d < 0 ? -d : d) / 60, h = m / 60;
  std::u16string text = d < 0 ? u"-" : u"";
  if (h == 0) {
    text += Decimal(m) + u"m";
  } else {
    if (h / 24 != 0 || h % 24 == 0) text += Decimal(h / 24) + u"d ";
    text += Decimal(h % 24) + u"h";
  }
  Put(text, buffer, size);
}

int FormatSessionInfoText(FlashSession* s, int32_t item, WCHAR* buffer, uint32_t size) {
  if (!s) {
    Put(u"", buffer, size);
    return 0;
  }
  if (item == kInfoCardCounter) {
    const int64_t k = s->questionIndex + 1 - (s->state == kSessionBrowsing ? s->browsePosition : 0);
    int64_t n = s->cardsToAsk;
    if (s->method == kSelectRepetitionSpaced && !s->retestPass && s->questionIndex < s->dueCount) n = s->dueCount;
    Put(n > 0 ? Decimal(k) + u"/" + Decimal(n) : Decimal(k), buffer, size);
    return 0;
  }
  const int32_t code = item == kInfoTopField1 ? s->display.topField1 : s->display.topField2;
  Put(InfoText(s, code), buffer, size);
  return 0;
}

int32_t GetSessionAnswerMarks(const FlashSession* s, uint8_t* marks, int32_t count) {
  if (!s || !marks || count <= 0) return 0;
  std::fill(marks, marks + count, kMarkNone);
  if (s->testType == kTestMultipleChoice) {
    const int32_t n = std::min(s->choiceCount, count);
    if (s->state == kSessionQuestion || s->state == kSessionSecondChoice) {
      std::fill(marks, marks + n, kMarkPlain);
      return n;
    }
    if (s->chosenIndex >= 0 && s->chosenIndex < n) marks[s->chosenIndex] = kMarkWrong;
    if (s->correctChoice >= 0 && s->correctChoice < n) marks[s->correctChoice] = kMarkRight;
    return n;
  }
  const int32_t n = std::min({s->markCount, count, static_cast<int32_t>(sizeof s->marks)});
  for (int32_t i = 0; i < n; ++i) marks[i] = s->marks[i];
  return n;
}

void FormatDefaultScoreChangeLabel(const DisplaySettings* d, WCHAR* buffer, uint32_t size, int bare) {
  if (!d) {
    Put(u"", buffer, size);
    return;
  }
  const bool setTo = d->buttonScoreChange == 2;
  const int64_t amount = d->buttonScoreTarget < 0 ? -static_cast<int64_t>(d->buttonScoreTarget) : d->buttonScoreTarget;
  std::u16string text = setTo ? u"to " : d->buttonScoreChange == 1 ? u"-" : u"+";
  text += Decimal(amount);
  if (!setTo && d->buttonScoreType == 1) text += u"%";
  Put(bare ? text : u"Default (" + text + u")", buffer, size);
}

int32_t GetSessionMode(const FlashSession* s) { return s ? s->scoreImmediately & 0xFF : 0; }

int GetSessionCardId(const FlashSession* s, int32_t* card) {
  if (card) *card = GetSessionCurrentCardId(s);
  return 0;
}

int IsSessionOver(const FlashSession* s) {
  if (!s) return 0;
  return s->state == kSessionBrowsing || s->state == kSessionAnswerShown || s->state == kSessionAfterCorrect ||
         s->state == kSessionAfterIncorrect || s->testType == kTestReviewOnly;
}

int IsCurrentCardInSessionCategory(FlashSession* s, int32_t command) {
  if (!s || command != kCmdCategory || s->display.buttonCategoryId < 0) return 0;
  const int32_t card = GetSessionCurrentCardId(s);
  return card >= 0 && IsCardInCategory(s->store, card, s->display.buttonCategoryId) ? 1 : 0;
}

uint32_t GetCardDictionarySlot(const FlashSession* s) { return s ? s->dictRef.slot : kSessionDictSlotNone; }

int32_t GetCurrentCardWordLength(FlashSession* s) {
  const int32_t card = s ? GetSessionCurrentCardId(s) : -1;
  if (card < 0) return 0;
  std::vector<int32_t> lengths;
  SelectFlashInts(s->store->database, kFlashCardsTable, kFlashCardColumns, kCardColumnCount, kCardId, card,
                  kCardWordLength, &lengths);
  return lengths.empty() ? 0 : std::clamp(lengths[0], 0, 4);
}

int ReadCardTexts(FlashcardStore* store, int32_t card, WCHAR* headword, WCHAR* altHeadword, WCHAR* pron, uint32_t size,
                  uint32_t mode) {
  if (!store || size == 0) return 1;
  MemHandle* h = NewMemHandle(2);
  if (!h) return 1;
  const struct {
    WCHAR* out;
    uint32_t field;
  } wanted[3] = {{headword, kCardFieldHeadword}, {altHeadword, kCardFieldAltHeadword}, {pron, kCardFieldPronunciation}};
  int rc = 0;
  for (const auto& w : wanted) {
    if (!w.out) continue;
    w.out[0] = 0;
    if (GetCardFieldText(store, card, w.field, h) != 0 || !h->data) {
      rc = 1;
      continue;
    }
    const WCHAR* text = static_cast<const WCHAR*>(h->data);
    if (w.field == kCardFieldPronunciation) {
      const uint32_t flags =
          mode & 1 ? kParseDefiniteTone | kParseWholeSyllables
                   : kParseDefiniteTone | kParseWholeSyllables | kParseCapitalWords | kParseKeepSeparators;
      ParsePinyinQuery(store->engine, text, w.out, nullptr, size, flags);
    } else {
      uint32_t n = 0;
      for (; text[n] && n + 1 < size; ++n) w.out[n] = text[n];
      w.out[n] = 0;
      StripKeyMarks(w.out);
    }
  }
  FreeMemHandle(h);
  return rc;
}

void ScoreFilterSettingIds(int32_t testType, int32_t* starts, int32_t* shows, int32_t* asks) {
  struct Ids {
    int32_t starts, shows, asks;
  };
  static constexpr Ids kIds[6] = {
      {kProScorefilterReviewStarts, kProScorefilterReviewShows, -1},
      {kProScorefilterSelfStarts, kProScorefilterSelfShows, -1},
      {kProScorefilterMultiStarts, kProScorefilterMultiShows, kProScorefilterMultiAsks},
      {kProScorefilterFreeStarts, kProScorefilterFreeShows, kProScorefilterFreeAsks},
      {-1, -1, -1},
      {kProScorefilterTonesStarts, kProScorefilterTonesShows, -1},
  };
  const Ids ids = testType >= 0 && testType < 6 ? kIds[testType] : Ids{-1, -1, -1};
  if (starts) *starts = ids.starts;
  if (shows) *shows = ids.shows;
  if (asks) *asks = ids.asks;
}

int32_t MapFieldToCode(int32_t testType, int ask) {
  switch (testType) {
    case kTestReviewOnly:
      return ask ? -1 : Id(kProSimpleReviewshow);
    case kTestSelfScored:
      return ask ? -1 : Id(kProSimpleSelfshow);
    case kTestMultipleChoice:
      return ask ? Id(kProSimpleMultiask) : Id(kProSimpleMultishow);
    case kTestFreeAnswer:
      return ask ? Id(kProSimpleFreeask) : Id(kProSimpleFreeshow);
    case kTestTonePractice:
      return ask ? -1 : Id(kProSimpleTonesshow);
    default:
      return -1;
  }
}

int32_t MapPromptToCode(int32_t testType, int32_t direction, int ask) {
  if (direction < 1 || direction > 3) return -1;
  const int32_t d = direction - 1;
  switch (testType) {
    case kTestReviewOnly:
      return ask ? -1 : Id(kProTypeReviewReadshow) + d;
    case kTestSelfScored:
      return ask ? -1 : Id(kProTypeSelfReadshow) + d;
    case kTestMultipleChoice:
      return Id(kProTypeMultiReadshow) + 2 * d + (ask ? 1 : 0);
    case kTestFreeAnswer:
      return Id(kProTypeFreeReadshow) + 2 * d + (ask ? 1 : 0);
    case kTestTonePractice:
      return ask ? -1 : Id(kProTypeTonesReadshow) + d;
    default:
      return -1;
  }
}

namespace {

// The syllable form of preference 91. Its first value names no syllable
// table of its own: the pinyin table is meant, with the tone style it
// gives.
uint32_t CardSyllableFormat(DictEngine* engine) {
  uint32_t format = GetCharsetModeCode(engine);
  const uint32_t table = format & kSyllableTableMask;
  if (table != kSyllablePinyin && table != kSyllableZhuyin) format = (format & ~kSyllableTableMask) | kSyllablePinyin;
  return format;
}

// Room for the codes of a card's pronunciation; longer ones are cut.
constexpr uint32_t kCardPronCodesMax = 64;

}  // namespace

int GetCardSyllableText(FlashSession* s, int32_t index, WCHAR* buffer, uint32_t size) {
  if (!buffer || size == 0) return 1;
  buffer[0] = 0;
  const int32_t card = s ? GetSessionCurrentCardId(s) : -1;
  if (card < 0 || index < 0) return 1;
  WCHAR codes[kCardPronCodesMax];
  if (ReadCardTexts(s->store, card, nullptr, nullptr, codes, kCardPronCodesMax, 1) != 0) return 1;
  int32_t seen = 0;
  for (const WCHAR* c = codes; *c; ++c) {
    if (*c < kSyllableFirst || *c > kSyllableLastArea) continue;
    if (seen++ != index) continue;
    TextBuffer tb{buffer, size, nullptr, 0};
    FormatSyllableCode(s->store->engine, CardSyllableFormat(s->store->engine), *c, &tb);
    TextBufFinish(&tb);
    return 0;
  }
  return 1;
}

int GetCurrentCardPronText(FlashSession* s, WCHAR* buffer, uint32_t size) {
  if (!buffer || size == 0) return 1;
  buffer[0] = 0;
  const int32_t card = s ? GetSessionCurrentCardId(s) : -1;
  if (card < 0) return 1;
  WCHAR codes[kCardPronCodesMax];
  if (ReadCardTexts(s->store, card, nullptr, nullptr, codes, kCardPronCodesMax, 0) != 0) return 1;
  TextBuffer tb{buffer, size, nullptr, 0};
  FormatSyllableText(s->store->engine, CardSyllableFormat(s->store->engine), codes, &tb);
  TextBufFinish(&tb);
  return 0;
}

// Room for a headword read for its first character: whole, so that key
// marks are stripped before the character is taken.
constexpr uint32_t kStrokeTextMax = 64;

WCHAR GetStrokeOrderChar(FlashSession* s) {
  const int32_t card = s ? GetSessionCurrentCardId(s) : -1;
  if (card < 0) return 0;
  WCHAR headword[kStrokeTextMax], alt[kStrokeTextMax];
  const bool altFirst = SelectCardCharset(s) != 0;
  if (ReadCardTexts(s->store, card, headword, altFirst ? alt : nullptr, nullptr, kStrokeTextMax, 0) != 0) return 0;
  return altFirst && alt[0] ? alt[0] : headword[0];
}

const uint16_t* GetCurrentCardStrokeData(FlashSession* s, uint32_t width, uint32_t height, uint32_t* count) {
  if (count) *count = 0;
  const WCHAR c = GetStrokeOrderChar(s);
  if (!c || LoadAuxIndexRecord(s->store->engine, c, width, height) != 0) return nullptr;
  uint32_t n = 0;
  const uint16_t* items = GetAuxIndexRecord(s->store->engine, &n);
  if (!items) return nullptr;
  if (count) *count = n;
  return items;
}

namespace {

// The clips of the card's own pronunciation in one set's group.
int FindOwnSounds(FlashcardStore* store, int set, const WCHAR* syllables, const WCHAR* characters,
                  MemHandle* const* clips, uint32_t* sizes, uint16_t* kind) {
  DictEngine* engine = store->engine;
  const uint16_t group = FindSyllableIndexGroup(engine, set);
  if (group == kNoSyllableIndexGroup) return kAudioNoGroup;
  if (kind) *kind = GetSyllableIndexGroupKind(engine, group);
  return LookupSyllableRecord(engine, group, syllables, characters, nullptr, clips, sizes,
                              GetPref(engine, kPrefWholeWordAudio));
}

}  // namespace

int FindPronunciationSounds(FlashcardStore* store, int32_t card, uint32_t slot, int32_t entry, uint8_t* audioSet,
                            MemHandle* const* clips, uint32_t* sizes, uint16_t* kind) {
  if (!store || !store->engine) return 1;
  if (slot != kSessionDictSlotNone && entry >= 0)
    return CollectEntryAudioAlternating(store->engine, audioSet, static_cast<uint16_t>(slot),
                                        static_cast<uint32_t>(entry), clips, sizes, kind) == kClipFound
               ? 0
               : 1;
  WCHAR headword[kCardPronCodesMax], codes[kCardPronCodesMax];
  if (ReadCardTexts(store, card, headword, nullptr, codes, kCardPronCodesMax, 1) != 0) return 1;
  // Only syllable codes are spoken; anything else the parse kept is dropped.
  WCHAR syllables[kCardPronCodesMax];
  uint32_t n = 0;
  for (const WCHAR* c = codes; *c; ++c)
    if (*c >= kSyllableFirst && *c <= kSyllableLastArea) syllables[n++] = *c;
  syllables[n] = 0;
  if (n == 0) return 1;
  const int set = UseAltAudioFileSet(store->engine, audioSet ? *audioSet : 0);
  if (audioSet) *audioSet = static_cast<uint8_t>(set);
  if (FindOwnSounds(store, set, syllables, headword, clips, sizes, kind) == kClipFound) return 0;
  return FindOwnSounds(store, set ? 0 : 1, syllables, headword, clips, sizes, kind) == kClipFound ? 0 : 1;
}

int GetCurrentCardAudio(FlashSession* s, uint8_t* audioSet, MemHandle* const* clips, uint32_t* sizes, uint16_t* kind) {
  const int32_t card = s ? GetSessionCurrentCardId(s) : -1;
  if (card < 0) return 1;
  return FindPronunciationSounds(s->store, card, s->dictRef.slot, s->dictRef.entry, audioSet, clips, sizes, kind);
}

int32_t GetAnswerFieldCode(const FlashSession* s) {
  if (!s) return 0;
  switch (s->state) {
    case kSessionHiddenHeadword:
      return kAnswerFieldHeadword;
    case kSessionHiddenPron:
      return kAnswerFieldPron;
    case kSessionHiddenDefinition:
      return kAnswerFieldDefinition;
    default:
      return 0;
  }
}

int32_t GetSessionInputMode(const FlashSession* s) {
  if (!s) return kInputNone;
  switch (s->state) {
    case kSessionHiddenHeadword:
      return InputModeForField(s, kFieldHeadword);
    case kSessionHiddenPron:
      return InputModeForField(s, kFieldPron);
    case kSessionHiddenDefinition:
      return InputModeForField(s, kFieldDefinition);
    default:
      break;
  }
  if (s->testType != kTestFreeAnswer && s->testType != kTestTonePractice) return kInputNone;
  const int32_t set = std::max(s->currentFieldSet, 0);
  if (set >= s->fieldSetCount || s->fieldSets[set].askedCount <= 0) return kInputNone;
  return InputModeForField(s, s->fieldSets[set].asked[0]);
}

namespace {

// The card parts a show or ask entry names.
enum : uint8_t { kPartHead = 1, kPartPron = 2, kPartDefn = 4, kPartSound = 8 };
constexpr uint8_t kPartsAll = kPartHead | kPartPron | kPartDefn;
struct FieldEntry {
  uint8_t parts;
  uint32_t flag;
};
// The show table by value (0 "Headword" … 14 "All").
constexpr FieldEntry kShowEntries[] = {
    {kPartHead, 0x1},
    {kPartPron, 0x2},
    {kPartDefn, 0x4},
    {kPartSound, 0x8},
    {kPartHead | kPartPron, 0x20},
    {kPartHead | kPartDefn, 0x40},
    {kPartHead | kPartSound, 0x80},
    {kPartPron | kPartDefn, 0x100},
    {kPartPron | kPartSound, 0x200},
    {kPartDefn | kPartSound, 0x400},
    {kPartsAll, 0x800},
    {kPartHead | kPartPron | kPartSound, 0x1000},
    {kPartHead | kPartDefn | kPartSound, 0x2000},
    {kPartPron | kPartDefn | kPartSound, 0x4000},
    {kPartsAll | kPartSound, 0x8000},
};
// The ask entries built from card parts ("Tones" is Tone Practice's own).
constexpr FieldEntry kAskEntries[] = {
    {kPartHead, 0x1},
    {kPartPron, 0x2},
    {kPartDefn, 0x4},
    {kPartHead | kPartPron, 0x20},
    {kPartHead | kPartDefn, 0x40},
    {kPartPron | kPartDefn, 0x100},
};

// A row takes the show entries of its direction: reading shows the
// headword, writing shows the pronunciation or definition without it,
// listening plays the sound.
bool ShowFitsRow(uint8_t parts, int32_t row) {
  if (parts & kPartSound) return row == 3;
  return (parts & kPartHead) ? row == 1 : row == 2;
}

}  // namespace

uint32_t GetFlashFieldMask(DictEngine* engine, int32_t language, int32_t testType, int32_t row, int ask,
                           int32_t showValue) {
  if (row < 1 || row > 3) return 0;
  if (testType == kTestStrokeOrder) return kFieldFlagStroke;
  // Tone Practice writes nothing: its answer is the tones of what is read
  // or heard.
  if (testType == kTestTonePractice && row == 2) return 0;
  const bool asks = testType == kTestMultipleChoice || testType == kTestFreeAnswer;
  uint32_t mask = 0;
  if (!ask) {
    for (const FieldEntry& e : kShowEntries) {
      if (!ShowFitsRow(e.parts, row)) continue;
      // Tone Practice asks the tones, so its question never shows them;
      // an answer type needs something left to ask.
      if (testType == kTestTonePractice && (e.parts & kPartPron)) continue;
      if (asks && (e.parts & kPartsAll) == kPartsAll) continue;
      mask |= e.flag;
    }
    const bool sound = language != 0 && QueryEngineCapability(engine, 4, 0) != 0;
    if (!sound) mask &= ~kShowSoundFlags;
    return mask;
  }
  if (testType == kTestTonePractice) return kAskFlagTones;
  if (!asks || showValue < 0 || showValue >= static_cast<int32_t>(std::size(kShowEntries))) return 0;
  // Any combination of the parts the question keeps hidden.
  const uint8_t shown = kShowEntries[showValue].parts;
  for (const FieldEntry& e : kAskEntries)
    if (!(e.parts & shown)) mask |= e.flag;
  return mask;
}

namespace {

// Room for the chosen columns: each card column once, and a few repeats.
constexpr uint32_t kCardQueryColumnsMax = 2 * kCardColumnCount;

SqlQuery CardQuery(const SqlTerm* where, uint32_t whereCount, const SqlTerm* select, uint32_t selectCount) {
  SqlQuery q{};
  q.table = kFlashCardsTable;
  q.columns = kFlashCardColumns;
  q.columnCount = kCardColumnCount;
  q.where = where;
  q.whereCount = whereCount;
  q.select = select;
  q.selectCount = selectCount;
  return q;
}

}  // namespace

sqlite3_stmt* QueryCardColumns(FlashcardStore* store, int32_t card, const uint32_t* columns, uint32_t count) {
  if (!store || !store->database || !columns || count == 0 || count > kCardQueryColumnsMax) return nullptr;
  SqlTerm select[kCardQueryColumnsMax];
  for (uint32_t i = 0; i < count; ++i) {
    if (columns[i] >= kCardColumnCount) return nullptr;
    select[i] = FlashIntTerm(columns[i], 0);
  }
  const SqlTerm where = FlashIntTerm(kCardId, card);
  const SqlQuery q = CardQuery(&where, 1, select, count);
  return SqlPrepareSelect(store->database, &q);
}

sqlite3_stmt* QueryCardsWhere(FlashcardStore* store, const SqlTerm* conditions, uint32_t count) {
  if (!store || !store->database || (count && !conditions)) return nullptr;
  // A negative column is a literal; any other must name a card column.
  for (uint32_t i = 0; i < count; ++i)
    if (conditions[i].column >= static_cast<int16_t>(kCardColumnCount)) return nullptr;
  const SqlTerm select = FlashIntTerm(kCardId, 0);
  SqlTerm order{};
  order.column = kCardId;
  SqlQuery q = CardQuery(count ? conditions : nullptr, count, &select, 1);
  q.order = &order;
  q.orderCount = 1;
  return SqlPrepareSelect(store->database, &q);
}
