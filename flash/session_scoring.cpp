#include "flash/session_scoring.h"

#include <algorithm>
#include <cstring>

#include "engine/engine_time.h"
#include "engine/system_services.h"
#include "flash/card_scores.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "flash/session_commands.h"
#include "flash/store.h"

namespace {

constexpr int32_t kOldLevelCount = 6;
// Old Automatic, by aggressiveness level 0-5 (the difficulty change by
// grade 1-6).
constexpr int32_t kOldDifficultyChange[6] = {-32, -22, -13, -6, 0, 4};
constexpr int32_t kOldMinScoreAfterCorrect[kOldLevelCount] = {200, 300, 400, 500, 600, 700};
constexpr int32_t kOldCorrectDivisor[kOldLevelCount] = {67, 57, 50, 44, 40, 36};
constexpr int32_t kOldIncorrectDivisor[kOldLevelCount] = {150, 175, 200, 225, 250, 275};
constexpr int32_t kOldMinDifficulty[kOldLevelCount] = {74, 66, 60, 55, 52, 49};
constexpr int32_t kOldMaxDifficulty[kOldLevelCount] = {670, 570, 500, 440, 400, 360};

constexpr int32_t kFirstCorrectGrade = 4;
constexpr int32_t kGradeMax = 6;

int32_t Setting(FlashcardStore* store, uint32_t id) { return GetSessionSettingInt(store, id); }

ManualScoreRule ReadRule(FlashcardStore* store, uint32_t first) {
  ManualScoreRule r{};
  r.on = Setting(store, first);
  r.amount = Setting(store, first + 1);
  r.setTo = Setting(store, first + 2);
  r.amountType = Setting(store, first + 3);
  r.count = Setting(store, first + 4);
  r.mode = Setting(store, first + 5);
  r.altWindow = Setting(store, first + 6);
  return r;
}

bool OnSide(uint8_t grade, int32_t side) {
  return side == 1 ? grade >= kFirstCorrectGrade : grade < kFirstCorrectGrade;
}

// The once-a-day rule: a change in this direction is allowed unless one was
// already made on the current study day.
bool Allowed(int32_t onceADay, int32_t lastChange, const ScoringSettings& s) {
  return !onceADay || lastChange == 0 || IsNewStudyDay(static_cast<uint32_t>(lastChange), s.dayType, s.dayStart) != 0;
}

bool Compare(int32_t code, int64_t r, int64_t k) {
  // The card leaves when its review count no longer meets the filter.
  switch (code) {
    case 0:
      return r != k;
    case 1:
      return r == k;
    case 2:
      return r <= k;
    case 3:
      return r >= k;
    case 4:
      return r < k;
    case 5:
      return r > k;
    default:
      return false;
  }
}

struct Outcome {
  int64_t score;
  int32_t difficulty;
  bool changed = false;
  bool difficultyChanges = false;
};

// Old Automatic; false for a level beyond the table.
bool ScoreOldAutomatic(const ScoringSettings& s, const CardScoreRecord& r, int32_t grade, int64_t clamped,
                       Outcome& out) {
  const int32_t level = s.aggressiveness;
  if (level < 0 || level >= kOldLevelCount) return false;
  const int64_t d = std::clamp<int64_t>(r.difficulty, kOldMinDifficulty[level], kOldMaxDifficulty[level]);
  if (grade < kFirstCorrectGrade) {
    if (!Allowed(s.onceADayAutoDecrease, r.scoreDecTime, s)) return true;
    if (s.scaleDecreases) {
      const int64_t dc = std::min<int64_t>(d, kOldIncorrectDivisor[level] * 3 / 4);
      out.score = std::max<int64_t>(dc * clamped / kOldIncorrectDivisor[level], kNewCardScore);
    } else {
      out.score = kNewCardScore;
    }
  } else {
    if (!Allowed(s.onceADayAutoIncrease, r.scoreIncTime, s)) return true;
    if (!s.scaleIncreases && clamped < kOldMinScoreAfterCorrect[level]) out.score = kOldMinScoreAfterCorrect[level];
    else
      out.score = clamped * d / kOldCorrectDivisor[level];
  }
  out.changed = out.difficultyChanges = true;
  out.difficulty =
      static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(r.difficulty) + kOldDifficultyChange[grade - 1],
                                               kOldMinDifficulty[level], kOldMaxDifficulty[level]));
  return true;
}

void ScoreManual(const ScoringSettings& s, const CardScoreRecord& r, int32_t grade, int64_t clamped, Outcome& out) {
  const bool correct = grade >= kFirstCorrectGrade;
  const ManualScoreRule& rule = correct ? s.increase : s.decrease;
  if (!rule.on || !HistoryMeetsCondition(static_cast<int32_t>(std::min<int64_t>(r.score, INT32_MAX)), r.history,
                                         r.sinceLastChange, correct ? 1 : 0, rule.count, rule.mode, rule.altWindow))
    return;
  if (!Allowed(correct ? s.onceADayManualIncrease : s.onceADayManualDecrease, correct ? r.scoreIncTime : r.scoreDecTime,
               s))
    return;
  const int64_t amount = rule.amount;
  const int64_t sign = correct ? 1 : -1;
  if (rule.setTo) out.score = amount;
  else if (rule.amountType == 1)
    out.score = clamped + sign * (amount * clamped / 100);
  else if (rule.amountType == 0)
    out.score = clamped + sign * amount;
  out.changed = true;
}

void ScoreAutomatic(const FlashSession& session, const CardScoreRecord& r, int32_t grade, int64_t clamped,
                    Outcome& out) {
  const ScoringSettings& s = session.scoring;
  const int64_t d = r.difficulty;
  if (grade < kFirstCorrectGrade) {
    if (!Allowed(s.onceADayAutoDecrease, r.scoreDecTime, s)) return;
    out.score = static_cast<int64_t>(s.decreasePercent[grade - 1]) * clamped / 100;
    out.changed = out.difficultyChanges = true;
    const bool learned =
        HistoryMeetsCondition(static_cast<int32_t>(std::min<int64_t>(r.score, INT32_MAX)), r.history, kHistoryWindowAll,
                              1, session.learnedCount, session.learnedMode, 256) != 0;
    if (s.noDoubleDifficultyDecrease && !learned && r.scoreDecTime != 0) out.difficultyChanges = false;
  } else {
    if (!Allowed(s.onceADayAutoIncrease, r.scoreIncTime, s)) return;
    out.changed = out.difficultyChanges = true;
    const double dc = static_cast<double>(std::clamp<int64_t>(d, s.minDifficulty, s.maxDifficulty));
    const double sPrime = static_cast<double>(clamped);
    double inc =
        ((dc * sPrime / s.difficultyDivisor) - sPrime) * s.intervalMultiplier[grade - kFirstCorrectGrade] * 0.01;
    if (session.method == kSelectRepetitionSpaced && r.lastReviewedTime != 0 && r.reviewed > 0) {
      const int64_t interval = ScoreIntervalSeconds(r.score, s.dayType, s.pointsPerDay);
      const int64_t last = r.lastReviewedTime;
      const int64_t due = last + interval;
      const int64_t t = session.referenceTime;
      if (t < due) {
        out.difficultyChanges = false;
        if (s.earlyReview == 1) {
          inc = 0;
          out.changed = false;
        } else if ((s.earlyReview == 3 || s.earlyReview == 4) && interval > 0) {
          double f = std::clamp(static_cast<double>(t - last) / static_cast<double>(interval), 0.0, 1.0);
          if (s.earlyReview == 4) f *= f;
          inc *= f;
        }
      } else if ((s.lateReview == 2 || s.lateReview == 3) && interval > 0) {
        double f = std::max(static_cast<double>(t - due) / static_cast<double>(interval), 0.0);
        if (s.lateReview == 2) f = SquareRoot(f + 1) - 1;
        f = std::min(f, 2.0);
        inc = (f + 1) * inc;
      }
    }
    out.score = clamped + static_cast<int64_t>(inc);
    const int32_t initial = s.initialInterval[grade - kFirstCorrectGrade];
    if (out.changed && out.score < initial) out.score = initial;
  }
  if (out.difficultyChanges)
    out.difficulty = static_cast<int32_t>(std::clamp<int64_t>(d + s.difficultyChange[grade - 1], s.minDifficulty,
                                                              std::max(s.minDifficulty, s.maxDifficulty)));
}

}  // namespace

void LoadScoringSettings(ScoringSettings* s, FlashcardStore* store) {
  if (!s) return;
  *s = ScoringSettings{};
  s->scorefile = GetProfileScorefileId(store);
  s->kind = Setting(store, kProScoretype);
  s->minScore = kScoreMin;
  s->maxScore = kScoreCeiling;
  s->scorePrompt = Setting(store, kProScoreprompt);
  s->promptShowAll = Setting(store, kProScorepromptshowall);
  s->limitScoreOn = Setting(store, kProLimitscore);
  s->limitScoreFrom = Setting(store, kProLimitscorestart);
  s->limitScoreTo = Setting(store, kProLimitscoreend);
  s->limitReviewedOn = Setting(store, kProLimitreviewed);
  s->limitReviewedCompare = Setting(store, kProLimitreviewedcompare);
  s->limitReviewedCount = Setting(store, kProLimitreviewedcount);
  const int32_t onceADay = Setting(store, kProScoreonceaday) & 0xFF;
  s->onceADayAutoIncrease = s->onceADayAutoDecrease = s->onceADayManualIncrease = s->onceADayManualDecrease = onceADay;
  s->dayType = Setting(store, kProCarddaytype);
  s->dayStart = Setting(store, kProCarddaystarttime);
  s->pointsPerDay = std::max(Setting(store, kProCardpointsday), kPointsPerDayFloor);
  if (s->pointsPerDay < kPointsPerDayFloor + 1) s->pointsPerDay = kPointsPerDayFloor;
  switch (s->kind) {
    case kScoringOldAutomatic: {
      s->aggressiveness = Setting(store, kProScoreaggressiveness);
      const int32_t scale = Setting(store, kProScoreautoscaleinc);
      s->scaleIncreases = scale == 1;
      s->scaleDecreases = scale == 2;
      break;
    }
    case kScoringManual:
      s->increase = ReadRule(store, kProScoreincrease);
      s->decrease = ReadRule(store, kProScoredecrease);
      if (Setting(store, kProScorelimitmin))
        s->minScore = std::clamp(Setting(store, kProScorelimitminamt), kScoreMin, kScoreCeiling);
      break;
    case kScoringAutomatic: {
      s->minScore = std::max(s->minScore, Setting(store, kProScoreautomin));
      const int32_t top = Setting(store, kProScoreautomax);
      if (top < kScoreCeiling) s->maxScore = top;
      s->noDoubleDifficultyDecrease = Setting(store, kProScoreunlearnednodoublediffdec);
      s->difficultyDivisor = Setting(store, kProScorediffdivisor);
      s->minDifficulty = Setting(store, kProScoremindifficulty);
      s->maxDifficulty = Setting(store, kProScoremaxdifficulty);
      // A divisor of 0 would divide by zero in every correct answer; the
      // difficulty floor already ties the two together.
      if (s->difficultyDivisor <= 0) s->difficultyDivisor = 1;
      if (s->minDifficulty < s->difficultyDivisor * 11 / 10) s->minDifficulty = s->difficultyDivisor * 11 / 10;
      s->earlyReview = Setting(store, kProScorerepshortertimescale);
      s->lateReview = Setting(store, kProScorereplongerimescale);
      for (int i = 0; i < 3; ++i) {
        s->initialInterval[i] = Setting(store, kProScoreinitinterval4 + i);
        s->decreasePercent[i] = Setting(store, kProScoredecreasepct1 + i);
        s->intervalMultiplier[i] = Setting(store, kProScoreintervalmult4 + i);
      }
      for (int i = 0; i < 6; ++i) s->difficultyChange[i] = Setting(store, kProScorediffchange1 + i);
      break;
    }
    default:
      break;
  }
  if (s->kind == kScoringOldAutomatic || s->kind == kScoringAutomatic) {
    s->scorePrompt = Setting(store, kProScoreprompt);
    s->promptShowAll = Setting(store, kProScorepromptshowall);
  } else {
    s->scorePrompt = s->promptShowAll = 0;
  }
}

int HistoryMeetsCondition(int32_t score, const uint8_t* history, int32_t window, int32_t side, int32_t count,
                          int32_t mode, int32_t altWindow) {
  if (mode == kHistoryScore) return side == 1 ? score >= count : score < count;
  if (mode == kHistoryInRow) {
    const int32_t n = std::min<int32_t>(count, kScoreHistoryMax);
    if (n > window) return 0;
    if (n < 1) return 1;
    if (!history) return 0;
    for (int32_t i = 0; i < n; ++i)
      if (history[i] == 0 || !OnSide(history[i], side)) return 0;
    return 1;
  }
  if (mode == kHistoryNOfLast) {
    if (altWindow <= window) window = altWindow;
  } else if (mode == kHistoryInTotal) {
    window = kScoreHistoryMax;
  }
  window = std::min<int32_t>(window, kScoreHistoryMax);
  if (window < 1) return count <= 0;
  int32_t found = 0;
  if (found >= count) return 1;
  for (int32_t i = 0; history && i < window && history[i] != 0; ++i)
    if (OnSide(history[i], side) && ++found >= count) return 1;
  return 0;
}

int IsNewStudyDay(uint32_t t, int32_t dayType, int32_t dayStart) {
  const int64_t now = GetUtcSeconds();
  int64_t boundary;
  if (dayType != 0) {
    boundary = static_cast<int64_t>(GetSecondsAgo(kAgoDays, 0, true)) + dayStart;
    if (now < boundary) boundary -= 86400;
  } else {
    boundary = now - 86400;
  }
  return static_cast<int64_t>(t) <= boundary;
}

int ScoreSessionAnswer(FlashSession* session, int32_t grade) {
  // Without a card shown there is no row to score (a row for card -1
  // would be written otherwise).
  if (!session || !session->store || session->currentCard < 0) return 1;
  FlashcardStore* store = session->store;
  const ScoringSettings& s = session->scoring;
  const int32_t card = session->currentCard;
  session->cardLeaving = 0;
  CardScoreRecord r;
  int rc = ReadCardScore(store, s.scorefile, card, &r, 0);
  if (rc != 0) return rc;
  const uint32_t now = GetUtcSeconds();
  const bool counted =
      grade >= 1 && grade <= kGradeMax && session->testType != kTestReviewOnly && s.kind != kScoringNone;
  if (counted && !session->retestPass) {
    if (grade >= kFirstCorrectGrade) {
      ++r.correct;
      ++session->correctAnswers;
    } else {
      ++r.incorrect;
      ++session->incorrectAnswers;
    }
    ++r.sinceLastChange;
    std::memmove(r.history + 1, r.history, kScoreHistoryMax - 1);
    r.history[0] = static_cast<uint8_t>(grade);
    const int64_t clamped = std::min<int64_t>(r.score, kScoreCeiling);
    session->scoreSum += clamped;
    session->difficultySum += r.difficulty;
    if (s.kind != kScoringStatsOnly && !session->answerOverridden) {
      Outcome out{clamped, r.difficulty};
      bool known = true;
      switch (s.kind) {
        case kScoringOldAutomatic:
          known = ScoreOldAutomatic(s, r, grade, clamped, out);
          break;
        case kScoringManual:
          ScoreManual(s, r, grade, clamped, out);
          break;
        case kScoringAutomatic:
          ScoreAutomatic(*session, r, grade, clamped, out);
          break;
        default:
          break;
      }
      // An unknown level returns after the counters moved; nothing is stored.
      if (!known) return 1;
      const int64_t score = std::clamp<int64_t>(out.score, s.minScore, std::max(s.minScore, s.maxScore));
      if (out.changed) {
        r.sinceLastChange = 0;
        if (score > r.score) {
          r.scoreIncTime = static_cast<int32_t>(now);
          r.scoreDecTime = 0;
        } else {
          r.scoreDecTime = static_cast<int32_t>(now);
          r.scoreIncTime = 0;
        }
      }
      r.score = static_cast<int32_t>(std::max<int64_t>(score, 1));
      if (out.difficultyChanges) r.difficulty = out.difficulty;
      if (s.limitScoreOn && (r.score < s.limitScoreFrom || r.score > s.limitScoreTo)) session->cardLeaving = 1;
    }
  }
  if (!session->retestPass && s.kind != kScoringNone) {
    ++r.reviewed;
    r.lastReviewedTime = static_cast<int32_t>(now);
  }
  if (grade < kFirstCorrectGrade && session->orderCount > 0 && session->order) session->order[0] |= kOrderIncorrectFlag;
  if (s.kind != kScoringNone) {
    rc = WriteCardScore(store, s.scorefile, card, &r);
    if (rc != 0) return rc;
  }
  if (!session->cardLeaving && s.limitReviewedOn && Compare(s.limitReviewedCompare, r.reviewed, s.limitReviewedCount))
    session->cardLeaving = 1;
  if (session->method == kSelectFrequency) {
    if (!session->cardLeaving && !session->noRepeat) {
      const uint32_t weight = r.score < 2 ? kWeightScale : static_cast<uint32_t>(kWeightScale / r.score);
      QueueWeightUpdate(session, card, weight, session->currentChunk);
    }
  } else if (session->cardLeaving) {
    RemoveCardFromSession(session, card);
  }
  return 0;
}

int32_t GetCardScore(FlashcardStore* store, int32_t scorefile, int32_t card) {
  CardScoreRecord r;
  if (ReadCardScore(store, scorefile, card, &r, 0) != 0) return -1;
  return r.score;
}

int SetCardScore(FlashcardStore* store, int32_t scorefile, int32_t card, int32_t score) {
  CardScoreRecord r;
  const int rc = ReadCardScore(store, scorefile, card, &r, 0);
  if (rc != 0) return rc;
  r.score = score;
  r.scoreIncTime = r.scoreDecTime = 0;
  return WriteCardScore(store, scorefile, card, &r);
}
