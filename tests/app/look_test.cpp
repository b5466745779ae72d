// The main window's looks: run once as it is and once at twice the size
// (QT_SCALE_FACTOR=2), where fonts and controls scale by their own rules.

#include <QAbstractScrollArea>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTextEdit>
#include <algorithm>

#include "dictionary_window.h"
#include "toolkit/grids.h"
#include "toolkit/qt_text.h"

namespace app_test {
namespace {

using LookTest = DictionaryWindowTest;

// Width of Text in Widget's font.
int TextWidth(const QWidget& Widget, const QString& Text) {
    return QFontMetrics(Widget.font()).horizontalAdvance(Text);
}

// After a search that matches more than the grid holds, with the longest
// word of the sample dictionary among the rows, every text shows whole: the
// button's caption, the search box's hint, both status panels, the grid's
// titles and cells.
TEST_F(LookTest, EveryTextFitsItsControl) {
    auto db = OpenDb();
    db->Exec(CreateTable);
    AddRows(*db, "('кітаптанушылардікіндегілер', 'Мәтін', 'Орфографиялық сөздік', 'КІТАПТАНУШЫЛАРДІКІНДЕГІЛЕР')");
    AddWords(*db, "кітап", "КІТАП", 1500);
    db.reset();
    Start();
    ASSERT_TRUE(Search(u"кітап").empty());
    ASSERT_EQ(Panel(1), "Сұраныс бойынша 1 501 сөздік табылды");
    SCOPED_TRACE("device pixel ratio " + std::to_string(Form->Window()->devicePixelRatio()));

    const auto* button = static_cast<const QPushButton*>(Form->BitBtn1->Widget());
    EXPECT_LE(TextWidth(*button, button->text()) + 8, button->width());
    EXPECT_LE(QFontMetrics(button->font()).height(), button->height());
    const auto* edit = static_cast<const QLineEdit*>(Form->Edit1->Widget());
    EXPECT_LE(TextWidth(*edit, edit->placeholderText()) + 8, edit->width());
    EXPECT_LE(QFontMetrics(edit->font()).height() + 4, edit->height());

    const QWidget& bar = *Form->StatusBar1->Widget();
    for (int i = 0; i < 2; ++i) {
        const QString text = toolkit::ToQString(Form->StatusBar1->PanelText(i));
        EXPECT_LE(TextWidth(bar, text) + 6, Form->StatusBar1->PanelShownWidth(i)) << i;
    }
    EXPECT_LE(QFontMetrics(bar.font()).height(), bar.height());

    views::TDBGrid& grid = *Form->DBGrid1;
    for (int c = 0; c < 2; ++c) {
        views::TColumn& column = grid.Columns(c);
        const int room = grid.ColWidths(c + 1) - 4;  // 2 pixels each side
        EXPECT_LE(toolkit::FontTextWidth(column.Title().Font(), column.TitleCaption()), room) << c;
        int widest = 0;
        for (Form->ClientDataSet1->First(); !Form->ClientDataSet1->Eof(); Form->ClientDataSet1->Next())
            widest = std::max(widest, toolkit::FontTextWidth(column.Font(), column.Field()->DisplayText()));
        EXPECT_LE(widest, room) << c;
        EXPECT_LE(toolkit::FontTextHeight(column.Font()) + 2, grid.DefaultRowHeight()) << c;
    }
    EXPECT_LE(toolkit::FontTextHeight(grid.TitleFont()) + 2, grid.RowHeights(0));
}

// A dark palette reaches every part of the window: every background dark,
// and the texts (the search box's hint too) and the indicator light on it.
TEST_F(LookTest, DarkPaletteReachesEveryPart) {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, QColor(0x35, 0x35, 0x35));
        dark.setColor(group, QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(group, QPalette::Base, QColor(0x24, 0x24, 0x24));
        dark.setColor(group, QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(group, QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        dark.setColor(group, QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(group, QPalette::PlaceholderText, QColor(0xee, 0xee, 0xee, 0x80));
    }
    QApplication::setPalette(dark);
    struct Restore {
        QPalette palette;
        ~Restore() { QApplication::setPalette(palette); }
    } restore{light};
    MakeDictionary(20);
    Start();

    const QImage image = Form->Window()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    // The lightest and the darkest grey in Rect of Widget.
    auto greys = [&](const QWidget& Widget, QRect Rect) {
        const QPoint origin = Widget.mapTo(Form->Window(), Rect.topLeft());
        int lightest = 0, darkest = 255;
        for (int y = 0; y < Rect.height() * ratio; ++y)
            for (int x = 0; x < Rect.width() * ratio; ++x) {
                const int grey = qGray(image.pixel(int(origin.x() * ratio) + x, int(origin.y() * ratio) + y));
                lightest = std::max(lightest, grey);
                darkest = std::min(darkest, grey);
            }
        return std::pair{lightest, darkest};
    };
    // A cell inside its 3D frame and grid lines.
    auto inside = [](const toolkit::TRect& R) {
        return QRect(R.Left + 2, R.Top + 2, R.Right - R.Left - 4, R.Bottom - R.Top - 4);
    };
    views::TDBGrid& grid = *Form->DBGrid1;
    const QWidget& cells = *static_cast<QAbstractScrollArea*>(grid.Widget())->viewport();
    struct Part {
        const char* name;
        const QWidget& widget;
        QRect rect;
        bool text;  // whether the part holds text (or the indicator)
    } parts[] = {
        {"grid title", cells, inside(grid.CellRect(1, 0)), true},
        {"grid cell", cells, inside(grid.CellRect(1, 2)), true},
        {"indicator", cells, inside(grid.CellRect(0, 1)), true},
        {"memo", *Form->DBMemo1->Widget(), QRect(4, 4, 300, 40), true},
        {"search box", *Form->Edit1->Widget(), QRect(4, 4, 200, 13), true},
        {"status bar", *Form->StatusBar1->Widget(), QRect(2, 2, 200, 15), true},
        {"window", *Form->Window(), QRect(Form->ClientWidth() - 20, 100, 10, 10), false},
    };
    for (const Part& part : parts) {
        const auto [lightest, darkest] = greys(part.widget, part.rect);
        EXPECT_LT(darkest, 0x50) << part.name;
        if (part.text) EXPECT_GT(lightest - darkest, 0x50) << part.name;  // text stands out
        else EXPECT_LT(lightest, 0x50) << part.name;
    }
}

}  // namespace
}  // namespace app_test
