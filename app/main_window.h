#pragma once
// TForm2: the dictionary's main window. It owns every control and data
// component of the program; its handlers are the program's own behaviour.

#include "toolkit/forms.h"

namespace toolkit {
class TLabel;
class TStatusBar;
class TBitBtn;
class TEdit;
class TRadioGroup;
}  // namespace toolkit

namespace data {
class TDataSource;
}  // namespace data

namespace sql {
class TSQLConnection;
class TSQLQuery;
}  // namespace sql

namespace datapacket {
class TDataSetProvider;
class TClientDataSet;
}  // namespace datapacket

namespace views {
class TDBGrid;
class TDBMemo;
}  // namespace views

namespace app {

class TForm2 : public toolkit::TForm {
public:
    explicit TForm2(rtl::TComponent* AOwner);

    // Components, not owned here: the form's component list owns them.
    views::TDBGrid* DBGrid1 = nullptr;
    toolkit::TStatusBar* StatusBar1 = nullptr;
    toolkit::TBitBtn* BitBtn1 = nullptr;
    toolkit::TEdit* Edit1 = nullptr;
    toolkit::TRadioGroup* RadioGroup1 = nullptr;
    sql::TSQLConnection* SQLConnection1 = nullptr;
    sql::TSQLQuery* SQLQuery1 = nullptr;
    data::TDataSource* DataSource1 = nullptr;
    datapacket::TDataSetProvider* DataSetProvider1 = nullptr;
    datapacket::TClientDataSet* ClientDataSet1 = nullptr;
    views::TDBMemo* DBMemo1 = nullptr;
    toolkit::TLabel* Label1 = nullptr;

    // Lays the grid, the memo and the grid's columns out for the window's
    // outer size.
    void FormResize(rtl::TComponent* Sender);
    // Runs a search with the box's text in the radio group's match mode.
    void BitBtn1Click(rtl::TComponent* Sender);
    // Connects to the dictionary beside the executable, shows its first
    // entries and puts the number of its words into the first panel.
    void FormCreate(rtl::TComponent* Sender);
    // The same search as the button's, whenever the focus enters the box.
    void Edit1Enter(rtl::TComponent* Sender);
    // Enter in the box searches as the button does; Escape empties the box.
    void Edit1KeyPress(rtl::TComponent* Sender, char16_t& Key);
    // The match mode changed: the search box's and the group's tooltips
    // name the new one (the group is too small to show it).
    void RadioGroup1Click(rtl::TComponent* Sender);

    // The folder of the running executable, with its trailing delimiter.
    rtl::String ExecutableFolder() const;

private:
    // The window and its visual controls with their design values, in
    // design order.
    void CreateControls();
    // The data components after the controls, linked from the connection
    // to the grid and the memo.
    void CreateDataChain();
    void Search();
};

// Half of Width rounded to the nearest integer, an exact half to the even one.
int HalfRoundedToEven(int Width);

}  // namespace app
