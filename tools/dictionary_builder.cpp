#include "tools/dictionary_builder.h"

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "rtl/format.h"
#include "tools/affix_expander.h"

namespace tools {

namespace {

namespace fs = std::filesystem;

class Database {
public:
    explicit Database(const fs::path& FileName) {
        const int rc = sqlite3_open_v2(FileName.c_str(), &FHandle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                       nullptr);
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

    [[noreturn]] void Fail() const {
        throw EDatabaseBuildError(rtl::Utf8ToString(sqlite3_errmsg(FHandle)));
    }
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

DictionaryBuildResult WriteRows(const Database& Db, const std::vector<DictionaryWord>& Words,
                                const AffixRules& Rules, const std::optional<std::int64_t>& Rows) {
    static_assert(DictionaryTitle.size() <= WordColumnLength);
    const std::string varchar = "VARCHAR(" + std::to_string(WordColumnLength) + ")";
    Db.Execute(("create table lx_items (id INTEGER PRIMARY KEY, lx_word " + varchar + ", lx_text TEXT, lx_title " +
                varchar + ", lx_word_upper " + varchar + ")")
                   .c_str());
    Db.Execute("begin");
    InsertStatement insert(Db);
    DictionaryBuildResult result;

    if (!Rows) {
        for (const DictionaryWord& word : Words) {
            if (word.Word.size() > WordColumnLength) {
                ++result.TooLong;
                continue;
            }
            insert.Insert(++result.Rows, word.Word, EntryText(Rules.Expand(word.Word, word.Flags)));
        }
    } else {
        // Every form once, in dictionary order, then again from the start.
        while (result.Rows < *Rows) {
            const std::int64_t before = result.Rows;
            result.TooLong = 0;
            for (const DictionaryWord& word : Words) {
                const auto forms = Rules.Expand(word.Word, word.Flags);
                for (std::size_t i = 0; i < forms.size() && result.Rows < *Rows; ++i) {
                    if (forms[i].size() > WordColumnLength) {
                        ++result.TooLong;
                        continue;
                    }
                    insert.Insert(++result.Rows, forms[i], i == 0 ? EntryText(forms) : FormText(forms[i], word.Word));
                }
                if (result.Rows >= *Rows) break;
            }
            if (result.Rows == before) throw EDatabaseBuildError(u"The word list holds no words to write");
        }
    }
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
    const std::vector<DictionaryWord> words = LoadDictionary(Options.DicFileName, rules);

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
            result = WriteRows(db, words, rules, Options.Rows);
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
