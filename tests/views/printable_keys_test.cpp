// Typing characters into a data grid: none of them may act as a navigation
// or editing key, however its Qt code compares with the key codes the grid
// reacts to.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>

#include "data/data_links.h"
#include "memory_dataset.h"
#include "modal_box_catcher.h"
#include "toolkit/forms.h"
#include "views/db_grid.h"

namespace {

// The characters whose Qt codes equal the codes of Down, Right, Up, Left,
// Page Up, Page Down, Home, End, Insert and Delete.
struct Character {
    Qt::Key Key;
    const char* Text;
};
constexpr Character kCharacters[] = {
    // clang-format off
    {Qt::Key_ParenLeft, "("}, {Qt::Key_Apostrophe, "'"}, {Qt::Key_Ampersand, "&"},  {Qt::Key_Percent, "%"},
    {Qt::Key_Exclam, "!"},    {Qt::Key_QuoteDbl, "\""},  {Qt::Key_Dollar, "$"},     {Qt::Key_NumberSign, "#"},
    {Qt::Key_Minus, "-"},     {Qt::Key_Period, "."},
};
// clang-format on

const views::TDBGridOptions kWindowOptions{// clang-format off
    views::dgTitles,       views::dgIndicator,  views::dgColumnResize,  views::dgColLines,
    views::dgRowLines,     views::dgTabs,       views::dgRowSelect,     views::dgConfirmDelete,
    views::dgCancelOnExit, views::dgTitleClick, views::dgTitleHotTrack};
// clang-format on

// Moves the dataset to record Number, from wherever it is.
void GoTo(data::TDataSet& Data, int Number) {
    Data.First();
    Data.MoveBy(Number - 1);
}

TEST(PrintableKeysTest, CharactersNeitherMoveNorEditTheGridsDataset) {
    // The main window's options, where Left and Right move between records,
    // and options for editing, where Insert inserts and Left, Right, Home and
    // End move between columns.
    const struct {
        const char* Name;
        views::TDBGridOptions Options;
    } optionSets[] = {
        {"the main window's options", kWindowOptions},
        {"editing options",
         kWindowOptions - views::TDBGridOptions{views::dgRowSelect} + views::TDBGridOptions{views::dgEditing}},
    };
    for (const auto& set : optionSets) {
        SCOPED_TRACE(set.Name);
        auto data = testing_data::MakePeople(50);
        toolkit::TForm form(nullptr);
        form.SetClientSize(500, 300);
        auto* grid = new views::TDBGrid(&form);
        grid->SetParent(&form);
        grid->SetBounds(10, 10, 400, 200);
        grid->SetTabOrder(0);
        grid->SetOptions(set.Options);
        for (const char16_t* name : {u"ID", u"Name", u"Memo"}) grid->AddColumn(name).SetWidth(100);
        auto* source = new data::TDataSource(&form);
        source->SetDataSet(data.get());
        data->Open();
        grid->SetDataSource(source);
        form.Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.Window()));
        grid->SetFocus();
        GoTo(*data, 25);
        // A middle column, so that a move to either side would show.
        QTest::keyClick(grid->Widget(), Qt::Key_Right);
        const int col = grid->Col();
        ASSERT_EQ(data->RecNo(), set.Options.Contains(views::dgRowSelect) ? 26 : 25);
        const int recNo = data->RecNo();

        ModalBoxCatcher catcher;
        for (const Character& c : kCharacters) {
            for (const Qt::KeyboardModifiers mods :
                 {Qt::KeyboardModifiers{}, Qt::KeyboardModifiers{Qt::ControlModifier},
                  Qt::KeyboardModifiers{Qt::ShiftModifier}}) {
                SCOPED_TRACE(std::string(c.Text) + " with modifiers " + std::to_string(mods.toInt()));
                QTest::keyClick(grid->Widget(), c.Key, mods);
                EXPECT_EQ(data->RecNo(), recNo);
                EXPECT_EQ(grid->Col(), col);
                EXPECT_EQ(data->State(), data::dsBrowse);
                EXPECT_EQ(data->Rows.size(), 50u);
                EXPECT_TRUE(catcher.Boxes.empty()) << "a confirmation was asked";
                // Undo whatever the key did, so that each case starts alike.
                if (data->State() != data::dsBrowse) data->Cancel();
                if (data->RecNo() != recNo) GoTo(*data, recNo);
                if (grid->Col() != col) grid->SetCol(col);
                catcher.Boxes.clear();
            }
        }
        // The named keys still work.
        QTest::keyClick(grid->Widget(), Qt::Key_Down);
        EXPECT_EQ(data->RecNo(), recNo + 1);
    }
}

}  // namespace
