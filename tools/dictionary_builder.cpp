#include "tools/dictionary_builder.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "rtl/format.h"
#include "tools/affix_expander.h"

namespace tools {

namespace {

namespace fs = std::filesystem;

class Database {
public:
    explicit Database(const fs::path& FileName) {
        const int rc = sqlite3_open_v2(FileName.c_str(), &FHandle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const rtl::String message = rtl::Utf8ToString(FHandle ? sqlite3_errmsg(FHandle) : sqlite3_errstr(rc));
            sqlite3_close(FHandle);
            FHandle = nullptr;
            throw EDatabaseBuildError(
                rtl::Format(u"Cannot create \"%s\": %s", {rtl::Utf8ToString(FileName.string()), message}));
        }
    }
    ~Database() { sqlite3_close(FHandle); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* Handle() const { return FHandle; }

    [[noreturn]] void Fail() const { throw EDatabaseBuildError(rtl::Utf8ToString(sqlite3_errmsg(FHandle))); }
    void Execute(const char* sql) const {
        if (sqlite3_exec(FHandle, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
    }

private:
    sqlite3* FHandle = nullptr;
};

class InsertStatement {
public:
    explicit InsertStatement(const Database& Db) : FDb(Db) {
        const char* sql =
            "insert into lx_items (id, lx_word, lx_text, lx_title, lx_word_upper) values (?1, ?2, ?3, ?4, ?5)";
        if (sqlite3_prepare_v2(FDb.Handle(), sql, -1, &FStmt, nullptr) != SQLITE_OK) FDb.Fail();
        Bind(4, DictionaryTitle);
    }
    ~InsertStatement() { sqlite3_finalize(FStmt); }
    InsertStatement(const InsertStatement&) = delete;
    InsertStatement& operator=(const InsertStatement&) = delete;

    void Insert(std::int64_t Id, rtl::StringView Word, rtl::StringView Text) {
        const rtl::String upper = rtl::AnsiUpperCase(Word);
        if (sqlite3_bind_int64(FStmt, 1, Id) != SQLITE_OK) FDb.Fail();
        Bind(2, Word);
        Bind(3, Text);
        Bind(5, upper);
        if (sqlite3_step(FStmt) != SQLITE_DONE) FDb.Fail();
        if (sqlite3_reset(FStmt) != SQLITE_OK) FDb.Fail();
    }

private:
    // The texts stay alive until the step that reads them.
    void Bind(int Index, rtl::StringView Text) {
        if (sqlite3_bind_text16(FStmt, Index, Text.data(), static_cast<int>(Text.size() * sizeof(char16_t)),
                                SQLITE_STATIC) != SQLITE_OK)
            FDb.Fail();
    }

    const Database& FDb;
    sqlite3_stmt* FStmt = nullptr;
};

// The letters of the Kazakh alphabet in its order.
constexpr std::u16string_view AlphabetCapitals = u"АӘБВГҒДЕЁЖЗИЙКҚЛМНҢОӨПРСТУҰҮФХҺЦЧШЩЪЫІЬЭЮЯ";
constexpr std::u16string_view AlphabetSmalls = u"аәбвгғдеёжзийкқлмнңоөпрстуұүфхһцчшщъыіьэюя";
static_assert(AlphabetCapitals.size() == 42 && AlphabetSmalls.size() == 42);

// Where a character sorts: the letters of the alphabet after every other
// character, in the alphabet's order, capital and small letter alike; any
// other character by its code point, a Latin small letter as its capital.
std::uint32_t SortRank(char16_t C) {
    static const std::vector<std::uint32_t> Ranks = [] {
        std::vector<std::uint32_t> ranks(0x10000);
        for (std::uint32_t c = 0; c < ranks.size(); ++c) ranks[c] = c >= u'a' && c <= u'z' ? c - 32 : c;
        for (std::size_t i = 0; i < AlphabetCapitals.size(); ++i)
            ranks[AlphabetCapitals[i]] = ranks[AlphabetSmalls[i]] = static_cast<std::uint32_t>(0x10000 + i);
        return ranks;
    }();
    return Ranks[C];
}

// Words in the order of a printed dictionary: by the alphabet, letter case
// aside; words that differ only in case by their code points.
bool AlphabeticallyBefore(rtl::StringView A, rtl::StringView B) {
    const std::size_t n = std::min(A.size(), B.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t a = SortRank(A[i]), b = SortRank(B[i]);
        if (a != b) return a < b;
    }
    if (A.size() != B.size()) return A.size() < B.size();
    return A < B;
}

// A word spelt with Latin letters where Kazakh has Cyrillic ones that look
// the same: the hunspell list has names such as "Бейiмбет" with a Latin i and
// "Aманжол" with a Latin A, which nobody finds by typing them and which sort
// before every Cyrillic word. In a word with a Cyrillic letter those Latin
// letters become the Cyrillic ones; a word with none stays as it is.
rtl::String WithCyrillicLookAlikes(rtl::String Word) {
    // clang-format off
    static constexpr std::pair<char16_t, char16_t> LookAlikes[] = {
        {u'A', u'А'}, {u'B', u'В'}, {u'C', u'С'}, {u'E', u'Е'}, {u'H', u'Н'}, {u'I', u'І'}, {u'K', u'К'},
        {u'M', u'М'}, {u'O', u'О'}, {u'P', u'Р'}, {u'T', u'Т'}, {u'X', u'Х'}, {u'a', u'а'}, {u'c', u'с'},
        {u'e', u'е'}, {u'i', u'і'}, {u'o', u'о'}, {u'p', u'р'}, {u'x', u'х'}, {u'y', u'у'},
    };
    // clang-format on
    if (std::none_of(Word.begin(), Word.end(), [](char16_t C) { return C >= 0x0400 && C <= 0x04FF; })) return Word;
    for (char16_t& c : Word)
        for (const auto& [latin, cyrillic] : LookAlikes)
            if (c == latin) {
                c = cyrillic;
                break;
            }
    return Word;
}

// The entry text of a headword: the word, then its inflected forms.
rtl::String EntryText(const std::vector<rtl::String>& Forms) {
    rtl::String text = Forms.front();
    if (Forms.size() > 1) {
        text += u"\r\n\r\nСөз тұлғалары: ";
        for (std::size_t i = 1; i < Forms.size(); ++i) {
            if (i > 1) text += u", ";
            text += Forms[i];
        }
    }
    return text;
}

// The entry text of an inflected form: the form and the headword it comes from.
rtl::String FormText(rtl::StringView Form, rtl::StringView Root) {
    rtl::String text(Form);
    text += u"\r\n\r\nТүбірі: ";
    text += Root;
    return text;
}

// One row to write: the word and its entry text.
struct Entry {
    rtl::String Word;
    rtl::String Text;
};

// The entries of the word list: one a headword, or, for a number of Rows,
// every form once in the list's order, then again from the start.
std::vector<Entry> CollectEntries(const std::vector<DictionaryWord>& Words, const AffixRules& Rules,
                                  const std::optional<std::int64_t>& Rows, DictionaryBuildResult& Result) {
    std::vector<Entry> entries;
    if (!Rows) {
        for (const DictionaryWord& word : Words) {
            if (word.Word.size() > WordColumnLength) {
                ++Result.TooLong;
                continue;
            }
            entries.push_back({word.Word, EntryText(Rules.Expand(word.Word, word.Flags))});
        }
        return entries;
    }
    const auto wanted = static_cast<std::size_t>(*Rows);
    entries.reserve(wanted);
    while (entries.size() < wanted) {
        const std::size_t before = entries.size();
        Result.TooLong = 0;
        for (const DictionaryWord& word : Words) {
            const auto forms = Rules.Expand(word.Word, word.Flags);
            for (std::size_t i = 0; i < forms.size() && entries.size() < wanted; ++i) {
                if (forms[i].size() > WordColumnLength) {
                    ++Result.TooLong;
                    continue;
                }
                entries.push_back({forms[i], i == 0 ? EntryText(forms) : FormText(forms[i], word.Word)});
            }
            if (entries.size() >= wanted) break;
        }
        if (entries.size() == before) throw EDatabaseBuildError(u"The word list holds no words to write");
    }
    return entries;
}

// Writes the entries in alphabetical order, so that a plain scan of the
// table, as the program's start-up and its "contains" search read it, lists
// them as a printed dictionary does; then the index on the capitals that
// answers an "equals" search and serves every count.
DictionaryBuildResult WriteRows(const Database& Db, const std::vector<DictionaryWord>& Words, const AffixRules& Rules,
                                const std::optional<std::int64_t>& Rows, bool Index) {
    static_assert(DictionaryTitle.size() <= WordColumnLength);
    DictionaryBuildResult result;
    std::vector<Entry> entries = CollectEntries(Words, Rules, Rows, result);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& A, const Entry& B) { return AlphabeticallyBefore(A.Word, B.Word); });
    const std::string varchar = "VARCHAR(" + std::to_string(WordColumnLength) + ")";
    Db.Execute(("create table lx_items (id INTEGER PRIMARY KEY, lx_word " + varchar + ", lx_text TEXT, lx_title " +
                varchar + ", lx_word_upper " + varchar + ")")
                   .c_str());
    Db.Execute("begin");
    {
        InsertStatement insert(Db);
        for (const Entry& entry : entries) insert.Insert(++result.Rows, entry.Word, entry.Text);
    }
    if (Index) Db.Execute("create index lx_items_word_upper on lx_items (lx_word_upper)");
    Db.Execute("commit");
    return result;
}

}  // namespace

DictionaryBuildResult BuildDictionaryDatabase(const DictionaryBuildOptions& Options) {
    if (Options.Rows && *Options.Rows < 0) throw EDatabaseBuildError(u"The row count must not be negative");
    const fs::path out(rtl::StringToUtf8(Options.OutFileName));
    std::error_code ec;
    if (!Options.Force && fs::exists(out, ec))
        throw EDatabaseBuildError(
            rtl::Format(u"\"%s\" already exists; use --force to replace it", {Options.OutFileName}));

    const AffixRules rules = AffixRules::LoadFromFile(Options.AffFileName);
    std::vector<DictionaryWord> words = LoadDictionary(Options.DicFileName, rules);
    // Before the forms are made: the affix rules match Cyrillic endings.
    for (DictionaryWord& word : words) word.Word = WithCyrillicLookAlikes(std::move(word.Word));

    fs::path partial = out;
    partial += ".partial";
    fs::remove(partial, ec);
    DictionaryBuildResult result;
    try {
        {
            Database db(partial);
            // The side file is thrown away on any failure, so no journal is needed.
            db.Execute("pragma journal_mode = off");
            db.Execute("pragma synchronous = off");
            // Large pages: a scan of the table, as a contains search and a
            // count make, then reads the file in a sixteenth of the calls,
            // which is about what reading through a memory map saved.
            db.Execute("pragma page_size = 65536");
            result = WriteRows(db, words, rules, Options.Rows, Options.Index);
            result.MalformedRuleLines = rules.MalformedRuleLines();
        }
        fs::rename(partial, out, ec);
        if (ec)
            throw EDatabaseBuildError(rtl::Format(u"Cannot move the database to \"%s\": %s",
                                                  {Options.OutFileName, rtl::Utf8ToString(ec.message())}));
    } catch (...) {
        fs::remove(partial, ec);
        throw;
    }
    return result;
}

}  // namespace tools
