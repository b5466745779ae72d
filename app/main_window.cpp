#include "app/main_window.h"

#include "app/dictionary_texts.h"

#include "data/data_links.h"
#include "datapacket/client_dataset.h"
#include "datapacket/provider.h"
#include "rtl/files.h"
#include "rtl/string_list.h"
#include "rtl/try_finally.h"
#include "sql/sql_connection.h"
#include "sql/sql_dataset.h"
#include "toolkit/application.h"
#include "toolkit/status_bar.h"
#include "toolkit/std_controls.h"
#include "views/db_grid.h"
#include "views/db_memo.h"

namespace app {
namespace {

template <class T>
T* Make(TForm2* Form, const char16_t* Name) {
    auto* component = new T(Form);
    component->SetName(Name);
    if constexpr (std::is_base_of_v<toolkit::TControl, T>) component->SetParent(Form);
    return component;
}

}  // namespace

TForm2::TForm2(rtl::TComponent* AOwner) : TForm(AOwner) {
    CreateControls();
    CreateDataChain();
    OnResize = [this](rtl::TComponent* Sender) { FormResize(Sender); };
    OnCreate = [this](rtl::TComponent* Sender) { FormCreate(Sender); };
    BitBtn1->OnClick = [this](rtl::TComponent* Sender) { BitBtn1Click(Sender); };
    Edit1->OnEnter = [this](rtl::TComponent* Sender) { Edit1Enter(Sender); };
    Edit1->OnKeyPress = [this](rtl::TComponent* Sender, char16_t& Key) { Edit1KeyPress(Sender, Key); };
    RadioGroup1->OnClick = [this](rtl::TComponent* Sender) { RadioGroup1Click(Sender); };
    RadioGroup1Click(RadioGroup1);
}

void TForm2::CreateControls() {
    using namespace toolkit;
    SetName(u"Form2");
    SetCaption(u"ORVEN Қазақ тілінің орфографиялық электрондық базасы");
    SetFontPixelHeight(11);
    SetPosition(0, 0);
    SetClientSize(665, 439);

    Label1 = Make<TLabel>(this, u"Label1");
    Label1->SetBounds(8, 200, 89, 19);
    Label1->SetCaption(u"Дұрыс жазылуы");
    Label1->SetAlignment(TAlignment::taCenter);

    DBGrid1 = Make<views::TDBGrid>(this, u"DBGrid1");
    DBGrid1->SetBounds(8, 39, 612, 147);
    DBGrid1->SetAccessibleName(u"Сөздер кестесі");
    DBGrid1->SetTabOrder(0);
    DBGrid1->SetTitleFontPixelHeight(11);
    DBGrid1->SetOptions({views::dgTitles, views::dgIndicator, views::dgColumnResize, views::dgColLines,
                         views::dgRowLines, views::dgTabs, views::dgRowSelect, views::dgConfirmDelete,
                         views::dgCancelOnExit, views::dgTitleClick, views::dgTitleHotTrack});
    views::TColumn& word = DBGrid1->AddColumn(u"lx_word");
    word.SetTitleCaption(u"Сөз");
    word.SetWidth(149);
    views::TColumn& title = DBGrid1->AddColumn(u"lx_title");
    title.SetTitleCaption(u"Сөздік");
    title.SetWidth(241);

    StatusBar1 = Make<TStatusBar>(this, u"StatusBar1");
    StatusBar1->SetBounds(0, 420, 665, 19);
    StatusBar1->SetAlign(TAlign::alBottom);
    StatusBar1->SetAccessibleName(u"Күй жолағы");
    StatusBar1->AddPanel(250);
    StatusBar1->AddPanel(50);

    BitBtn1 = Make<TBitBtn>(this, u"BitBtn1");
    BitBtn1->SetBounds(533, 12, 87, 21);
    BitBtn1->SetCaption(u"Іздеу");
    BitBtn1->SetTabOrder(1);

    Edit1 = Make<TEdit>(this, u"Edit1");
    Edit1->SetBounds(8, 12, 513, 21);
    Edit1->SetTextHint(u"Іздейтін сөзіңізді енгізіңіз ...");
    Edit1->SetAccessibleName(u"Іздейтін сөз");
    Edit1->SetTabOrder(2);

    RadioGroup1 = Make<TRadioGroup>(this, u"RadioGroup1");
    RadioGroup1->SetBounds(1, 48, 7, 9);
    RadioGroup1->SetCaption(u"Іздеу түрі");
    RadioGroup1->SetColumns(3);
    RadioGroup1->SetItems({u"Ішінде кездеседі", u"Осы сөзден басталады", u"Нақты сөзге тең"});
    RadioGroup1->SetItemIndex(0);
    RadioGroup1->SetTabOrder(3);

    DBMemo1 = Make<views::TDBMemo>(this, u"DBMemo1");
    DBMemo1->SetBounds(8, 223, 612, 134);
    DBMemo1->SetDataField(u"lx_text");
    DBMemo1->SetReadOnly(true);
    DBMemo1->SetScrollBars(TScrollStyle::ssVertical);
    DBMemo1->SetAlignment(TAlignment::taCenter);
    DBMemo1->SetFontPixelHeight(16);
    DBMemo1->SetTabOrder(4);
    // The caption above the memo is its name for a screen reader.
    Label1->SetFocusControl(DBMemo1);
}

void TForm2::CreateDataChain() {
    // The data chain: connection -> query -> provider -> client dataset ->
    // data source. Nothing opens until the window's creation handler runs.
    SQLConnection1 = Make<sql::TSQLConnection>(this, u"SQLConnection1");
    SQLConnection1->SetConnectionName(u"SQLITECONNECTION");
    SQLConnection1->SetDriverName(u"Sqlite");
    SQLConnection1->SetLoginPrompt(false);
    SQLConnection1->Params().Clear();
    SQLConnection1->Params().Add(u"");

    SQLQuery1 = Make<sql::TSQLQuery>(this, u"SQLQuery1");
    SQLQuery1->SetSQLConnection(SQLConnection1);
    SQLQuery1->SetMaxBlobSize(-1);

    DataSource1 = Make<data::TDataSource>(this, u"DataSource1");

    DataSetProvider1 = Make<datapacket::TDataSetProvider>(this, u"DataSetProvider1");
    DataSetProvider1->SetDataSet(SQLQuery1);
    DataSetProvider1->SetResolveToDataSet(true);

    ClientDataSet1 = Make<datapacket::TClientDataSet>(this, u"ClientDataSet1");
    ClientDataSet1->SetProviderName(u"DataSetProvider1");
    ClientDataSet1->SetPacketRecords(500000);
    ClientDataSet1->SetReadOnly(true);
    ClientDataSet1->SetObjectView(false);
    DataSource1->SetDataSet(ClientDataSet1);
    DBGrid1->SetDataSource(DataSource1);
    DBMemo1->SetDataSource(DataSource1);
}

int HalfRoundedToEven(int Width) {
    const int half = Width / 2;
    const bool exactHalf = Width % 2 != 0;
    return exactHalf && half % 2 != 0 ? half + 1 : half;
}

void TForm2::FormResize(rtl::TComponent*) {
    const int w = Width();
    const int h = Height();
    DBGrid1->SetWidth(w - 50);
    DBGrid1->SetHeight(h - (DBGrid1->Top() + 250));
    DBMemo1->SetWidth(w - 50);
    DBMemo1->SetHeight(160);
    DBMemo1->SetTop(h - 245);
    const int half = HalfRoundedToEven(DBGrid1->Width());
    DBGrid1->Columns(0).SetWidth(half);
    DBGrid1->Columns(1).SetWidth(half - 70);
}

void TForm2::FormCreate(rtl::TComponent*) {
    rtl::TStringList& params = SQLConnection1->Params();
    params.Clear();
    params.Add(u"DriverName=Sqlite");
    params.Add(u"Database=" + ExecutableFolder() + u"lx_items.db");
    params.Add(u"FailIfMissing=False");
    SQLConnection1->SetConnected(true);
    SQLQuery1->SQL().Clear();
    SQLQuery1->SQL().Add(rtl::String(StartupStatement));
    SQLQuery1->Open();
    ClientDataSet1->Open();
    StatusBar1->SetPanelText(0, TotalWordsText(SQLQuery1->RecordCount()));
}

void TForm2::BitBtn1Click(rtl::TComponent*) { Search(); }

void TForm2::Edit1Enter(rtl::TComponent*) { Search(); }

void TForm2::Edit1KeyPress(rtl::TComponent*, char16_t& Key) {
    // Kept on purpose: users press Enter after typing a word and expect the
    // search, and Escape is the quick way to start a new word; the button's
    // click and the focus entering the box still search as before.
    if (Key == u'\r') {
        Key = 0;
        Search();
    } else if (Key == u'\x1b') {
        Key = 0;
        Edit1->SetText(u"");
    }
}

void TForm2::Search() {
    const rtl::String condition = SearchConditionLine(RadioGroup1->ItemIndex(), rtl::AnsiUpperCase(Edit1->Text()));
    // The three lines go in as one change: the query closes and takes the
    // new statement once, not once for each line.
    rtl::TStringList& sql = SQLQuery1->SQL();
    sql.BeginUpdate();
    rtl::TryFinally(
        [&] {
            sql.Clear();
            sql.Add(rtl::String(SearchSelectLine));
            sql.Add(condition);
            sql.Add(rtl::String(SearchLimitLine));
        },
        [&] { sql.EndUpdate(); });
    SQLQuery1->Open();
    // After a start-up that failed before the client dataset opened, the
    // first search that gets this far opens it instead: refreshing a closed
    // dataset would fail, and the grid would stay empty until a restart.
    if (ClientDataSet1->Active()) ClientDataSet1->Refresh();
    else ClientDataSet1->Open();
    StatusBar1->SetPanelText(1, MatchesFoundText(SQLQuery1->RecordCount()));
}

void TForm2::RadioGroup1Click(rtl::TComponent*) {
    const int index = RadioGroup1->ItemIndex();
    const auto& items = RadioGroup1->Items();
    const rtl::String hint = index >= 0 && index < static_cast<int>(items.size())
                                 ? u"Іздеу түрі: " + items[static_cast<std::size_t>(index)]
                                 : rtl::String();
    RadioGroup1->SetHint(hint);
    Edit1->SetHint(hint);
}

rtl::String TForm2::ExecutableFolder() const { return rtl::ExtractFilePath(toolkit::Application().ExeName()); }

}  // namespace app
