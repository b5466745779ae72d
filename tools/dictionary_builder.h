#pragma once
// Writes a sample dictionary database (table lx_items) from a hunspell word list:
// its rows in the order of the Kazakh alphabet, and an index on the capitals.

#include <cstdint>
#include <optional>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace tools {

class EDatabaseBuildError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

struct DictionaryBuildOptions {
    rtl::String DicFileName = u"/usr/share/hunspell/kk_KZ.dic";
    rtl::String AffFileName = u"/usr/share/hunspell/kk_KZ.aff";
    rtl::String OutFileName = u"lx_items.db";
    // Unset: one row per dictionary word, its forms in lx_text. Set: exactly
    // this many rows, one per word form, starting over when the forms run out
    // (then sorted, so that the repeats stand together).
    std::optional<std::int64_t> Rows;
    // Write the index on lx_word_upper.
    bool Index = true;
    // Replace an existing output file instead of refusing.
    bool Force = false;
};

struct DictionaryBuildResult {
    std::int64_t Rows = 0;
    // Words or forms left out because they are longer than the lx_word column.
    std::int64_t TooLong = 0;
    // Lines of the affix file whose rules were left out as malformed.
    std::vector<std::size_t> MalformedRuleLines;
};

// The declared length of lx_word, lx_title and lx_word_upper.
constexpr std::size_t WordColumnLength = 100;
// The dictionary name stored in lx_title.
constexpr rtl::StringView DictionaryTitle = u"Орфографиялық сөздік";

// Builds the database in a side file and moves it into place only when it is
// complete, so a failed run leaves no partial database behind. Raises
// EDictionaryError for an unreadable word list and EDatabaseBuildError for an
// existing output (without Force) or a database failure.
DictionaryBuildResult BuildDictionaryDatabase(const DictionaryBuildOptions& Options);

}  // namespace tools
