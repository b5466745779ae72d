#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QWidget>

#include "data/data_links.h"
#include "datapacket/client_dataset.h"
#include "datapacket/provider.h"
#include "rtl/files.h"
#include "sql/sql_components_support.h"
#include "toolkit/application.h"
#include "toolkit/status_bar.h"
#include "toolkit/std_controls.h"
#include "views/db_grid.h"
#include "views/db_memo.h"

using app::TForm2;
using rtl::String;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Form = std::make_unique<TForm2>(nullptr); }

    void ShowAndActivate() {
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    }

    // Connects the window's connection to a fresh dictionary of Rows rows
    // and opens the query on Sql; the client dataset stays closed.
    void OpenQueryOverDictionary(int Rows, const String& Sql) {
        const String database = Dir.File("lx_items.db");
        sql_test::MakeDictionary(database, Rows);
        Form->SQLConnection1->Params().Clear();
        Form->SQLConnection1->Params().Add(u"DriverName=Sqlite");
        Form->SQLConnection1->Params().Add(u"Database=" + database);
        Form->SQLConnection1->Params().Add(u"FailIfMissing=False");
        Form->SQLConnection1->Open();
        Form->SQLQuery1->SQL().Add(Sql);
        Form->SQLQuery1->Open();
    }

    sql_test::TempDir Dir;  // declared before Form, so it outlives the open database
    std::unique_ptr<TForm2> Form;
};

constexpr const char16_t* Startup = u"select id, lx_word, lx_text, lx_title from lx_items limit 1000";

}  // namespace

TEST_F(MainWindowTest, HasTwelveComponentsInDesignOrder) {
    // clang-format off
    const char16_t* names[] = {u"Label1",         u"DBGrid1",   u"StatusBar1",    u"BitBtn1",
                               u"Edit1",          u"RadioGroup1", u"DBMemo1",     u"SQLConnection1",
                               u"SQLQuery1",      u"DataSource1", u"DataSetProvider1", u"ClientDataSet1"};
    // clang-format on
    ASSERT_EQ(Form->ComponentCount(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(Form->Components(i)->Name(), names[i]) << i;
}

TEST_F(MainWindowTest, ControlsHaveDesignTextsAndPlaces) {
    EXPECT_EQ(Form->Caption(), u"ORVEN Қазақ тілінің орфографиялық электрондық базасы");
    EXPECT_EQ(Form->Label1->Caption(), u"Дұрыс жазылуы");
    EXPECT_EQ(Form->BitBtn1->Caption(), u"Іздеу");
    EXPECT_EQ(Form->Edit1->Text(), u"");
    EXPECT_EQ(Form->RadioGroup1->Caption(), u"Іздеу түрі");
    EXPECT_EQ(Form->RadioGroup1->Items(),
              (std::vector<String>{u"Ішінде кездеседі", u"Осы сөзден басталады", u"Нақты сөзге тең"}));
    EXPECT_EQ(Form->RadioGroup1->Columns(), 3);
    EXPECT_EQ(Form->RadioGroup1->ItemIndex(), 0);
    EXPECT_EQ(Form->DBGrid1->ColumnCount(), 2);
    EXPECT_EQ(Form->DBGrid1->Columns(0).FieldName(), u"lx_word");
    EXPECT_EQ(Form->DBGrid1->Columns(0).TitleCaption(), u"Сөз");
    EXPECT_EQ(Form->DBGrid1->Columns(1).FieldName(), u"lx_title");
    EXPECT_EQ(Form->DBGrid1->Columns(1).TitleCaption(), u"Сөздік");
    EXPECT_EQ(Form->DBMemo1->DataField(), u"lx_text");
    EXPECT_TRUE(Form->DBMemo1->ReadOnly());
    EXPECT_EQ(Form->StatusBar1->PanelCount(), 2);
    EXPECT_EQ(Form->StatusBar1->PanelWidth(0), 250);
    EXPECT_EQ(Form->StatusBar1->PanelText(0), u"");
    EXPECT_EQ(Form->StatusBar1->PanelText(1), u"");
    EXPECT_EQ(Form->ClientWidth(), 665);
    EXPECT_EQ(Form->ClientHeight(), 439);

    struct Place {
        toolkit::TControl* control;
        int left, top, width, height, tabOrder;
    } places[] = {
        {Form->Label1, 8, 200, 89, 19, -1},      {Form->DBGrid1, 8, 39, 612, 147, 0},
        {Form->StatusBar1, 0, 420, 665, 19, -1}, {Form->BitBtn1, 533, 12, 87, 21, 1},
        {Form->Edit1, 8, 12, 513, 21, 2},        {Form->RadioGroup1, 1, 48, 7, 9, 3},
        {Form->DBMemo1, 8, 223, 612, 134, 4},
    };
    for (const auto& p : places) {
        SCOPED_TRACE(rtl::StringToUtf8(p.control->Name()));
        EXPECT_EQ(p.control->Left(), p.left);
        EXPECT_EQ(p.control->Top(), p.top);
        EXPECT_EQ(p.control->Width(), p.width);
        EXPECT_EQ(p.control->Height(), p.height);
        EXPECT_EQ(p.control->TabOrder(), p.tabOrder);
        EXPECT_EQ(p.control->Widget()->objectName().toStdU16String(), p.control->Name());
    }
    EXPECT_EQ(Form->DBGrid1->Columns(0).Width(), 149);
    EXPECT_EQ(Form->DBGrid1->Columns(1).Width(), 241);
}

// The search box's hint, the window's 11-pixel font (which the controls take
// from it), and the memo's own 16-pixel font with its vertical bar alone.
TEST_F(MainWindowTest, HintFontsAndTheMemosScrollBars) {
    const auto* edit = qobject_cast<QLineEdit*>(Form->Edit1->Widget());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->placeholderText().toStdU16String(), u"Іздейтін сөзіңізді енгізіңіз ...");
    const QString family = toolkit::DesignFont(11).family();
    EXPECT_EQ(Form->Window()->font().pixelSize(), 11);
    EXPECT_EQ(Form->Window()->font().family(), family);
    for (const QWidget* control : {Form->Edit1->Widget(), Form->BitBtn1->Widget(), Form->DBGrid1->Widget()}) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_EQ(control->font().pixelSize(), 11);
    }
    const auto* memo = qobject_cast<QTextEdit*>(Form->DBMemo1->Widget());
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->font().pixelSize(), 16);
    EXPECT_EQ(memo->font().family(), family);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

// The entry's text stands in the middle of the memo, as far from its left
// edge as from its right, whatever text the memo loads.
TEST_F(MainWindowTest, MemoShowsTheEntryTextCentred) {
    OpenQueryOverDictionary(2, Startup);
    Form->ClientDataSet1->Open();
    ShowAndActivate();
    const auto* memo = qobject_cast<QTextEdit*>(Form->DBMemo1->Widget());
    ASSERT_NE(memo, nullptr);
    for (const char16_t* text : {u"Мәтін 1", u"Мәтін 2"}) {
        ASSERT_EQ(Form->DBMemo1->Text(), text);
        QTextCursor cursor(memo->document());
        const int left = memo->cursorRect(cursor).left();
        cursor.movePosition(QTextCursor::EndOfBlock);
        const int right = memo->viewport()->width() - memo->cursorRect(cursor).left();
        EXPECT_GT(left, memo->viewport()->width() / 4);
        EXPECT_NEAR(left, right, 3);
        Form->ClientDataSet1->Next();
    }
}

TEST_F(MainWindowTest, ResizeLaysOutGridMemoAndColumns) {
    ShowAndActivate();
    Form->SetOuterSize(700, 500);
    ASSERT_EQ(Form->Width(), 700);
    ASSERT_EQ(Form->Height(), 500);
    EXPECT_EQ(Form->DBGrid1->Width(), 650);
    EXPECT_EQ(Form->DBGrid1->Height(), 211);
    EXPECT_EQ(Form->DBGrid1->Top(), 39);
    EXPECT_EQ(Form->DBMemo1->Width(), 650);
    EXPECT_EQ(Form->DBMemo1->Height(), 160);
    EXPECT_EQ(Form->DBMemo1->Top(), 255);
    EXPECT_EQ(Form->DBGrid1->Columns(0).Width(), 325);
    EXPECT_EQ(Form->DBGrid1->Columns(1).Width(), 255);
    // Nothing else moves; the status bar stays at the bottom edge.
    EXPECT_EQ(Form->Edit1->Left(), 8);
    EXPECT_EQ(Form->BitBtn1->Left(), 533);
    EXPECT_EQ(Form->Label1->Top(), 200);
    EXPECT_EQ(Form->StatusBar1->Top(), Form->ClientHeight() - 19);
    EXPECT_EQ(Form->StatusBar1->Width(), Form->ClientWidth());
}

TEST_F(MainWindowTest, OddGridWidthsRoundHalfToEven) {
    ShowAndActivate();
    struct Case {
        // clang-format off
        int outerWidth, gridWidth, column0, column1;
    } cases[] = {{701, 651, 326, 256}, {703, 653, 326, 256}, {613, 563, 282, 212}, {615, 565, 282, 212}};
    // clang-format on
    for (const auto& c : cases) {
        Form->SetOuterSize(c.outerWidth, 500);
        EXPECT_EQ(Form->DBGrid1->Width(), c.gridWidth);
        EXPECT_EQ(Form->DBGrid1->Columns(0).Width(), c.column0) << c.gridWidth;
        EXPECT_EQ(Form->DBGrid1->Columns(1).Width(), c.column1) << c.gridWidth;
    }
}

TEST(HalfRoundedToEven, Table) {
    const int cases[][2] = {{0, 0}, {1, 0}, {3, 2}, {5, 2}, {7, 4}, {650, 325}, {651, 326}, {653, 326}};
    for (const auto& c : cases) EXPECT_EQ(app::HalfRoundedToEven(c[0]), c[1]) << c[0];
}

TEST_F(MainWindowTest, TinyWindowDoesNotBreakLayout) {
    ShowAndActivate();
    Form->SetOuterSize(120, 200);  // grid height and column 1 width come out negative
    EXPECT_EQ(Form->DBGrid1->Height(), 0);
    EXPECT_EQ(Form->DBGrid1->Width(), 70);
    EXPECT_EQ(Form->DBMemo1->Top(), -45);
}

TEST_F(MainWindowTest, ExecutableFolderComesFromTheApplication) {
    toolkit::Application().SetExeName(u"/tmp/Сөздік папкасы/kalimdar");
    EXPECT_EQ(Form->ExecutableFolder(), u"/tmp/Сөздік папкасы/");
    toolkit::Application().SetExeName(u"");
    EXPECT_EQ(toolkit::Application().ExeName(), rtl::ExecutableFileName());
}

TEST_F(MainWindowTest, DataComponentsFormTheChainAndNothingOpensYet) {
    EXPECT_EQ(Form->SQLConnection1->ConnectionName(), u"SQLITECONNECTION");
    EXPECT_EQ(Form->SQLConnection1->DriverName(), u"Sqlite");
    EXPECT_FALSE(Form->SQLConnection1->LoginPrompt());
    EXPECT_EQ(Form->SQLConnection1->Params().Text(), u"\r\n");
    EXPECT_EQ(Form->SQLQuery1->SQLConnection(), Form->SQLConnection1);
    EXPECT_EQ(Form->SQLQuery1->MaxBlobSize(), -1);
    EXPECT_EQ(Form->SQLQuery1->SQL().Count(), 0);
    EXPECT_EQ(Form->DataSetProvider1->DataSet(), Form->SQLQuery1);
    EXPECT_TRUE(Form->DataSetProvider1->ResolveToDataSet());
    EXPECT_EQ(Form->ClientDataSet1->ProviderName(), u"DataSetProvider1");
    EXPECT_EQ(Form->ClientDataSet1->PacketRecords(), 500000);
    EXPECT_TRUE(Form->ClientDataSet1->ReadOnly());
    EXPECT_FALSE(Form->ClientDataSet1->ObjectView());
    EXPECT_EQ(Form->DataSource1->DataSet(), Form->ClientDataSet1);
    EXPECT_FALSE(Form->SQLConnection1->Connected());
    EXPECT_FALSE(Form->ClientDataSet1->Active());
}

// The chain over a real dictionary: the client dataset finds its provider
// among the window's components and opens with the query's rows.
TEST_F(MainWindowTest, ChainOpensOverADictionary) {
    OpenQueryOverDictionary(1200, Startup);
    Form->ClientDataSet1->Open();
    EXPECT_EQ(Form->ClientDataSet1->RecordCount(), 1000);
    EXPECT_EQ(Form->ClientDataSet1->FieldByName(u"lx_word")->AsString(), u"кітап1");
    EXPECT_EQ(Form->SQLQuery1->RecordCount(), 1200);
    EXPECT_EQ(Form->DataSource1->State(), data::dsBrowse);
}

// The memo shows the entry text of the client dataset's current row and
// follows it as the dataset moves.
TEST_F(MainWindowTest, MemoFollowsTheClientDataSetOverADictionary) {
    OpenQueryOverDictionary(3, Startup);
    EXPECT_EQ(Form->DBMemo1->Text(), u"");
    Form->ClientDataSet1->Open();
    EXPECT_EQ(Form->DBMemo1->Field(), Form->ClientDataSet1->FieldByName(u"lx_text"));
    EXPECT_EQ(Form->DBMemo1->Text(), u"Мәтін 1");
    Form->ClientDataSet1->Next();
    EXPECT_EQ(Form->DBMemo1->Text(), u"Мәтін 2");
    Form->ClientDataSet1->Last();
    EXPECT_EQ(Form->DBMemo1->Text(), u"Мәтін 3");
    EXPECT_TRUE(static_cast<toolkit::TMemo*>(Form->DBMemo1)->ReadOnly());
    Form->ClientDataSet1->Close();
    EXPECT_EQ(Form->DBMemo1->Text(), u"");
}

// Over a real dictionary the grid shows as many rows as fit in it, and Down
// moves the client dataset.
TEST_F(MainWindowTest, GridShowsTheRowsThatFitAndDownMovesTheClientDataSet) {
    OpenQueryOverDictionary(1200, Startup);
    Form->ClientDataSet1->Open();
    ShowAndActivate();
    views::TDBGrid* grid = Form->DBGrid1;
    ASSERT_TRUE(grid->Focused());
    EXPECT_EQ(grid->DataSource(), Form->DataSource1);
    // Title and data rows, each with its grid line, from the fonts' metrics.
    const int rowPitch = QFontMetrics(grid->Widget()->font()).height() + 3 + 1 + 1;
    const int titlePitch = QFontMetrics(toolkit::DesignFont(11)).height() + 4 + 1;
    const int fitting = (grid->ClientHeight() - titlePitch + 1) / rowPitch;
    ASSERT_GT(fitting, 1);
    EXPECT_EQ(grid->RowCount(), fitting + 1);
    EXPECT_EQ(grid->DataLink().BufferCount(), fitting);
    EXPECT_EQ(Form->ClientDataSet1->RecNo(), 1);
    QTest::keyClick(grid->Widget(), Qt::Key_Down);
    EXPECT_EQ(Form->ClientDataSet1->RecNo(), 2);
    EXPECT_EQ(Form->ClientDataSet1->FieldByName(u"lx_word")->AsString(), u"кітап2");
    EXPECT_EQ(grid->Row(), 2);
}
