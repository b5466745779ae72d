#pragma once
// Fixture of the end-to-end tests: the main window started as the program
// starts it, "from" a temporary folder holding the test's own lx_items.db,
// and driven through its controls. Databases are made and checked with the
// SQLite library directly, apart from the code under test.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "datapacket/client_dataset.h"
#include "modal_box_catcher.h"
#include "rtl/strings.h"
#include "sql_test_support.h"
#include "toolkit/application.h"
#include "toolkit/status_bar.h"
#include "toolkit/std_controls.h"
#include "views/db_grid.h"
#include "views/db_memo.h"

namespace app_test {

using rtl::String;

inline std::string Utf8(rtl::StringView Text) { return rtl::StringToUtf8(Text); }

// A file's whole content, to show that a test left it unchanged.
inline std::string FileBytes(const std::filesystem::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A SQLite database opened with the library itself.
class TestDb {
public:
    explicit TestDb(const std::filesystem::path& Path) {
        if (sqlite3_open(Path.string().c_str(), &FDb) != SQLITE_OK) ADD_FAILURE() << sqlite3_errmsg(FDb);
    }
    ~TestDb() { sqlite3_close(FDb); }
    TestDb(const TestDb&) = delete;
    TestDb& operator=(const TestDb&) = delete;

    void Exec(const std::string& Sql) {
        char* error = nullptr;
        if (sqlite3_exec(FDb, Sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            ADD_FAILURE() << Sql << ": " << (error ? error : "?");
            sqlite3_free(error);
        }
    }
    // The first column of the first row of Sql as an integer.
    long long Number(const std::string& Sql) {
        sqlite3_stmt* statement = nullptr;
        long long value = -1;
        if (sqlite3_prepare_v2(FDb, Sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            value = sqlite3_column_int64(statement, 0);
        else ADD_FAILURE() << Sql << ": " << sqlite3_errmsg(FDb);
        sqlite3_finalize(statement);
        return value;
    }

    // The library's handle, for what Exec and Number do not cover.
    sqlite3* Handle() const { return FDb; }

private:
    sqlite3* FDb = nullptr;
};

// The dictionary table, its words and titles declared with a length so that
// the grid shows them as text.
constexpr const char* CreateTable =
    "create table lx_items (id INTEGER PRIMARY KEY, lx_word VARCHAR(100), lx_text TEXT, "
    "lx_title VARCHAR(100), lx_word_upper VARCHAR(100))";

// Adds Count rows whose words are Stem followed by 1..Count, with Upper + the
// number as the capitals and "Мәтін <word>" as the text.
inline void AddWords(TestDb& Db, const std::string& Stem, const std::string& Upper, int Count) {
    Db.Exec(
        "insert into lx_items (lx_word, lx_text, lx_title, lx_word_upper) "
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        std::to_string(Count) + ") select '" + Stem + "' || i, 'Мәтін " + Stem +
        "' || i, "
        "'Орфографиялық сөздік', '" +
        Upper + "' || i from n");
}

// Adds the rows of Values: one or more "(lx_word, lx_text, lx_title,
// lx_word_upper)" tuples of SQL literals, separated by commas.
inline void AddRows(TestDb& Db, const std::string& Values) {
    Db.Exec("insert into lx_items (lx_word, lx_text, lx_title, lx_word_upper) values " + Values);
}

class DictionaryWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        Form.reset();
        toolkit::Application().SetExeName(u"");
    }

    // The folder the program runs from, and its database.
    std::filesystem::path FolderPath() const { return FolderOverride.empty() ? Dir.Path() : FolderOverride; }
    std::filesystem::path DatabasePath() const { return FolderPath() / "lx_items.db"; }
    std::unique_ptr<TestDb> OpenDb() {
        std::filesystem::create_directories(FolderPath());
        return std::make_unique<TestDb>(DatabasePath());
    }

    // A dictionary of the table above with Count rows "кітапN".
    void MakeDictionary(int Count) {
        auto db = OpenDb();
        db->Exec(CreateTable);
        if (Count > 0) AddWords(*db, "кітап", "КІТАП", Count);
    }

    // Creates the window as the program's entry does (the constructor, then
    // OnCreate), shows it and waits until it is active. The texts of the
    // message boxes shown meanwhile go to StartBoxes.
    void Start() {
        Form.reset();
        toolkit::Application().SetExeName(rtl::Utf8ToString((FolderPath() / "kalimdar").string()));
        ModalBoxCatcher catcher;
        Form = std::make_unique<app::TForm2>(nullptr);
        if (BeforeCreate) BeforeCreate(*Form);
        Form->DoCreate();
        StartBoxes = catcher.Texts();
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    }

    // Picks the match mode with the keyboard, as a user must (the group is
    // 7 x 9 pixels): the focus goes into the group and the right arrow moves
    // the choice round the three items.
    void ChooseMode(int Mode) {
        // After a message box the offscreen platform leaves no window active;
        // a window manager would give the activation back to the window.
        Form->Window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
        Form->RadioGroup1->SetFocus();
        ASSERT_TRUE(Form->RadioGroup1->Focused());
        for (int i = 0; i < 3 && Form->RadioGroup1->ItemIndex() != Mode; ++i)
            QTest::keyClick(Form->RadioGroup1->FocusWidget(), Qt::Key_Right);
        ASSERT_EQ(Form->RadioGroup1->ItemIndex(), Mode);
    }

    // Puts Text into the search box, picks Mode and clicks "Іздеу"; gives the
    // texts of the boxes the search showed.
    std::vector<String> Search(const String& Text, int Mode = 0) {
        ChooseMode(Mode);
        Form->Edit1->SetText(Text);
        ModalBoxCatcher catcher;
        QTest::mouseClick(Form->BitBtn1->Widget(), Qt::LeftButton);
        return catcher.Texts();
    }

    // A status panel's text, in UTF-8 so that failures read as text.
    std::string Panel(int Index) const { return rtl::StringToUtf8(Form->StatusBar1->PanelText(Index)); }
    // The rows the client dataset holds (0 while it is closed).
    int ClientRecordCount() { return Form->ClientDataSet1->Active() ? Form->ClientDataSet1->RecordCount() : 0; }
    std::string CurrentWord() { return rtl::StringToUtf8(Form->ClientDataSet1->FieldByName(u"lx_word")->AsString()); }
    std::string MemoText() const { return rtl::StringToUtf8(Form->DBMemo1->Text()); }

    sql_test::TempDir Dir;
    std::filesystem::path FolderOverride;  // a folder of the test's choosing instead of Dir
    std::unique_ptr<app::TForm2> Form;
    std::vector<String> StartBoxes;
    // Runs on the new window before its creation handler, as a designer's
    // property values would.
    std::function<void(app::TForm2&)> BeforeCreate;
};

}  // namespace app_test
