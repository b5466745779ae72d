#pragma once
// The texts the main window builds: the statements it runs against the
// dictionary and the counts it reports in the status bar.

#include <cstdint>

#include "rtl/strings.h"

namespace app {

// The first 1000 entries, shown at start.
inline constexpr rtl::StringView StartupStatement = u"select id, lx_word, lx_text, lx_title from lx_items limit 1000";
// The first and last lines of a search statement; the condition goes between.
inline constexpr rtl::StringView SearchSelectLine = u"select id, lx_word, lx_text, lx_title from lx_items";
inline constexpr rtl::StringView SearchLimitLine = u"limit 1000";

// How a search matches the word: the ItemIndex of the window's radio group.
enum TMatchMode { mmContains = 0, mmStartsWith = 1, mmEquals = 2 };

// Count written in decimal with one space before each group of three digits
// from the right, none before the first digit: 1234567 -> "1 234 567".
rtl::String GroupDigits(std::int64_t Count);

// "Базада барлығы N сөз бар" and "Сұраныс бойынша N сөздік табылды".
rtl::String TotalWordsText(std::int64_t Count);
rtl::String MatchesFoundText(std::int64_t Count);

// The search's second line: " where lx_word_upper " and the condition for
// Mode on the already capitalised text. Apostrophes in the text are doubled,
// so the text is always searched for as typed; "%" and "_" stay wildcards
// in the LIKE modes. A mode outside the three searches for containment.
rtl::String SearchConditionLine(int Mode, rtl::StringView UpperText);

}  // namespace app
