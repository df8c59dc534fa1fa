#include "flash/profile_settings.h"

#include <array>

// The keys are stored in every profile's property set; they are kept
// exactly as files hold them ("pro_scorereplongerimescale" included).
const char* const kProfileSettingKeys[kProfileSettingCount] = {
    "pro_language",
    "pro_type",
    "pro_fieldselection",
    "pro_simple_reviewshow",
    "pro_simple_selfshow",
    "pro_simple_multishow",
    "pro_simple_multiask",
    "pro_simple_freeshow",
    "pro_simple_freeask",
    "pro_simple_tonesshow",
    "pro_type_field_reading",
    "pro_type_field_writing",
    "pro_type_field_listening",
    "pro_type_review_readshow",
    "pro_type_review_writeshow",
    "pro_type_review_listenshow",
    "pro_type_self_readshow",
    "pro_type_self_writeshow",
    "pro_type_self_listenshow",
    "pro_type_multi_readshow",
    "pro_type_multi_readask",
    "pro_type_multi_writeshow",
    "pro_type_multi_writeask",
    "pro_type_multi_listenshow",
    "pro_type_multi_listenask",
    "pro_type_free_readshow",
    "pro_type_free_readask",
    "pro_type_free_writeshow",
    "pro_type_free_writeask",
    "pro_type_free_listenshow",
    "pro_type_free_listenask",
    "pro_type_tones_readshow",
    "pro_type_tones_writeshow",
    "pro_type_tones_listenshow",
    "pro_scorefilter_review_starts",
    "pro_scorefilter_review_shows",
    "pro_scorefilter_self_starts",
    "pro_scorefilter_self_shows",
    "pro_scorefilter_multi_starts",
    "pro_scorefilter_multi_shows",
    "pro_scorefilter_multi_asks",
    "pro_scorefilter_free_starts",
    "pro_scorefilter_free_shows",
    "pro_scorefilter_free_asks",
    "pro_scorefilter_tones_starts",
    "pro_scorefilter_tones_shows",
    "pro_cardcount",
    "pro_categories",
    "pro_limittime",
    "pro_limittimetime",
    "pro_limittimeunits",
    "pro_limittimemode",
    "pro_limittimecompare",
    "pro_limitscore",
    "pro_limitscorestart",
    "pro_limitscoreend",
    "pro_limitreviewed",
    "pro_limitreviewedtype",
    "pro_limitreviewedcompare",
    "pro_limitreviewedcount",
    "pro_limitrow",
    "pro_limitrowtype",
    "pro_limitrowamount",
    "pro_limitcategories",
    "pro_cardselection",
    "pro_cardpointsday",
    "pro_carddaytype",
    "pro_carddaystarttime",
    "pro_selectionnorepeat",
    "pro_cardrepeatincorrect",
    "pro_cardrepeatincorrectloop",
    "pro_cardrepeatincorrectshuffle",
    "pro_showstats",
    "pro_savesessionprompttype",
    "pro_allowinvalid",
    "pro_unlearnedratio",
    "pro_unlearnedratioamount",
    "pro_fixedcardsortfield",
    "pro_fixedcardsortorder",
    "pro_limitunlearned",
    "pro_limitunlearnedmaxcards",
    "pro_limitunlearnedcardspriority",
    "pro_learnedselcount",
    "pro_learnedselmode",
    "pro_numchoices",
    "pro_choicesfrom",
    "pro_choicescustomcats",
    "pro_showdrawbox",
    "pro_drawboxheight",
    "pro_revealseparately",
    "pro_scoreimmediately",
    "pro_ignoretones",
    "pro_nokeyboard",
    "pro_requirefilled",
    "pro_maxreplays",
    "pro_audioall",
    "pro_audioautoreveal",
    "pro_topfield1",
    "pro_topfield2",
    "pro_forcecharset",
    "pro_charset",
    "pro_defnsize",
    "pro_headsize",
    "pro_defnparts",
    "pro_dictheads",
    "pro_buttonback",
    "pro_buttoninfo",
    "pro_buttondelete",
    "pro_buttonscore",
    "pro_buttonscorechange",
    "pro_buttonscoretarget",
    "pro_buttonscoretype",
    "pro_buttoncat",
    "pro_buttonwhichcat",
    "pro_buttonremovesession",
    "pro_buttonundo",
    "pro_scorefile",
    "pro_scoretype",
    "pro_scoreaggressiveness",
    "pro_scoreprompt",
    "pro_scorepromptshowall",
    "pro_scoreautoscaleinc",
    "pro_scoreonceaday",
    "pro_scoreincrease",
    "pro_scoreincreaseamt",
    "pro_scoreincreaseamttarget",
    "pro_scoreincreaseamttype",
    "pro_scoreincreasecount",
    "pro_scoreincreasemode",
    "pro_scoreincreasealtcount",
    "pro_scoredecrease",
    "pro_scoredecreaseamt",
    "pro_scoredecreaseamttarget",
    "pro_scoredecreaseamttype",
    "pro_scoredecreasecount",
    "pro_scoredecreasemode",
    "pro_scoredecreasealtcount",
    "pro_scorelimitmin",
    "pro_scorelimitminamt",
    "pro_scoreautomin",
    "pro_scoreautomax",
    "pro_scoreunlearnednodoublediffdec",
    "pro_scorediffdivisor",
    "pro_scoremindifficulty",
    "pro_scoremaxdifficulty",
    "pro_scoreinitinterval4",
    "pro_scoreinitinterval5",
    "pro_scoreinitinterval6",
    "pro_scoreintervalmult4",
    "pro_scoreintervalmult5",
    "pro_scoreintervalmult6",
    "pro_scoredecreasepct1",
    "pro_scoredecreasepct2",
    "pro_scoredecreasepct3",
    "pro_scorediffchange1",
    "pro_scorediffchange2",
    "pro_scorediffchange3",
    "pro_scorediffchange4",
    "pro_scorediffchange5",
    "pro_scorediffchange6",
    "pro_scorerepshortertimescale",
    "pro_scorereplongerimescale",
    "pro_forcedicts",
    "pro_forcedictsorder",
    "pro_randomrepspaced",
    "pro_limitlength",
    "pro_limitlengthstart",
    "pro_limitlengthend",
    "pro_reverseanswerbtnorder",
    "pro_randomrepspacednotdue",
    "pro_audionoautoshow",
};

namespace {

// Preset 0 ("Simple"), in id order.
constexpr PresetSettingRow kPreset0[] = {
    {0, 4096, nullptr},
    {1, 1, nullptr},
    {2, 0, nullptr},
    {3, 10, nullptr},
    {4, 0, nullptr},
    {5, 0, nullptr},
    {6, 7, nullptr},
    {7, 5, nullptr},
    {8, 2, nullptr},
    {9, 5, nullptr},
    {10, 1, nullptr},
    {11, 1, nullptr},
    {13, 0, nullptr},
    {14, 7, nullptr},
    {15, 3, nullptr},
    {16, 0, nullptr},
    {17, 7, nullptr},
    {18, 3, nullptr},
    {19, 4, nullptr},
    {20, 4, nullptr},
    {21, 7, nullptr},
    {22, 1, nullptr},
    {23, 3, nullptr},
    {24, 1, nullptr},
    {25, 5, nullptr},
    {26, 2, nullptr},
    {27, 7, nullptr},
    {28, 1, nullptr},
    {29, 3, nullptr},
    {30, 2, nullptr},
    {31, 5, nullptr},
    {32, 5, nullptr},
    {33, 3, nullptr},
    {34, 0, "100,200,400,800,1600,3200,6400,12800,"},
    {35, 0, "10,10,10,10,10,10,10,10,"},
    {36, 0, "100,200,400,800,1600,3200,6400,12800,"},
    {37, 0, "0,0,0,0,0,0,0,0,"},
    {38, 0, "100,200,400,800,1600,3200,6400,12800,"},
    {39, 0, "0,0,0,0,0,0,0,0,"},
    {40, 0, "7,7,7,7,7,7,7,7,"},
    {41, 0, "100,200,400,800,1600,3200,6400,12800,"},
    {42, 0, "5,5,5,5,5,5,5,5,"},
    {43, 0, "2,2,2,2,2,2,2,2,"},
    {44, 0, "100,200,400,800,1600,3200,6400,12800,"},
    {45, 0, "5,5,5,5,5,5,5,5,"},
    {46, 100, nullptr},
    {64, 0, nullptr},
    {65, 100, nullptr},
    {66, 0, nullptr},
    {67, 0, nullptr},
    {68, 1, nullptr},
    {72, 1, nullptr},
    {74, 1, nullptr},
    {75, 1, nullptr},
    {76, 5000, nullptr},
    {79, 1, nullptr},
    {80, 100, nullptr},
    {81, 2, nullptr},
    {82, 200, nullptr},
    {83, 3, nullptr},
    {84, 5, nullptr},
    {85, 0, nullptr},
    {88, 30, nullptr},
    {90, 1, nullptr},
    {94, 3, nullptr},
    {95, 1, nullptr},
    {97, 4, nullptr},
    {98, 5, nullptr},
    {101, 14, nullptr},
    {102, 28, nullptr},
    {103, 2, nullptr},
    {105, 1, nullptr},
    {106, 1, nullptr},
    {109, 2, nullptr},
    {110, 100, nullptr},
    {111, 0, nullptr},
    {115, 1, nullptr},
    {117, 4, nullptr},
    {118, 2, nullptr},
    {119, 0, nullptr},
    {120, 0, nullptr},
    {122, 1, nullptr},
    {123, 1, nullptr},
    {124, 100, nullptr},
    {125, 0, nullptr},
    {126, 0, nullptr},
    {127, 1, nullptr},
    {128, 0, nullptr},
    {129, 2, nullptr},
    {130, 1, nullptr},
    {131, 100, nullptr},
    {132, 1, nullptr},
    {133, 0, nullptr},
    {134, 1, nullptr},
    {135, 0, nullptr},
    {136, 2, nullptr},
    {138, 100, nullptr},
    {139, 100, nullptr},
    {140, 10000, nullptr},
    {141, 1, nullptr},
    {142, 60, nullptr},
    {143, 65, nullptr},
    {144, 120, nullptr},
    {145, 200, nullptr},
    {146, 300, nullptr},
    {147, 400, nullptr},
    {148, 95, nullptr},
    {149, 100, nullptr},
    {150, 105, nullptr},
    {151, 0, nullptr},
    {152, 0, nullptr},
    {153, 0, nullptr},
    {154, -12, nullptr},
    {155, -10, nullptr},
    {156, -8, nullptr},
    {157, -4, nullptr},
    {158, 0, nullptr},
    {159, 4, nullptr},
    {160, 1, nullptr},
    {161, 2, nullptr},
    {166, 1, nullptr},
    {167, 4, nullptr},
};
static_assert(sizeof kPreset0 / sizeof kPreset0[0] == 122);

// Where "Spaced Repetition" (1) and "Weighted" (2) differ from "Simple";
// a row without a value leaves the setting out of that preset.
struct PresetOverride {
  uint16_t id;
  bool has1;
  int32_t value1;
  bool has2;
  int32_t value2;
};
constexpr PresetOverride kOverrides[] = {
    {46, true, -1, true, 100},  {64, true, 1, true, 2},      {75, false, 0, false, 0},    {80, true, 200, true, 100},
    {82, true, 600, true, 200}, {98, true, 11, true, 9},     {119, true, 1, true, 1},     {142, true, 40, true, 60},
    {143, true, 50, true, 65},  {144, true, 200, true, 120}, {146, true, 400, true, 300}, {147, true, 600, true, 400},
    {148, true, 90, true, 95},  {150, true, 110, true, 105},
};

struct DerivedPreset {
  std::array<PresetSettingRow, 122> rows{};
  uint32_t count = 0;
};

DerivedPreset Derive(uint32_t preset) {
  DerivedPreset out;
  for (const PresetSettingRow& row : kPreset0) {
    PresetSettingRow r = row;
    bool keep = true;
    for (const PresetOverride& o : kOverrides) {
      if (o.id != row.id) continue;
      keep = preset == 1 ? o.has1 : o.has2;
      r.value = preset == 1 ? o.value1 : o.value2;
    }
    if (keep) out.rows[out.count++] = r;
  }
  return out;
}

}  // namespace

uint32_t GetPresetRows(uint32_t preset, const PresetSettingRow** rows) {
  static const DerivedPreset kPreset1 = Derive(1);
  static const DerivedPreset kPreset2 = Derive(2);
  switch (preset) {
    case 0:
      *rows = kPreset0;
      return sizeof kPreset0 / sizeof kPreset0[0];
    case 1:
      *rows = kPreset1.rows.data();
      return kPreset1.count;
    case 2:
      *rows = kPreset2.rows.data();
      return kPreset2.count;
    default:
      *rows = nullptr;
      return 0;
  }
}

const PresetSettingRow* FindPreset0Row(uint32_t id) {
  for (const PresetSettingRow& row : kPreset0)
    if (row.id == id) return &row;
  return nullptr;
}
