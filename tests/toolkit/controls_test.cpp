#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QTest>

#include "modal_box_catcher.h"
#include "rtl/exceptions.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/status_bar.h"
#include "toolkit/std_controls.h"

using namespace toolkit;

namespace {

// A small window: a button, an edit and a memo in keyboard order.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetClientSize(300, 200);
        Button = new TBitBtn(Form.get());
        Button->SetName(u"BitBtn1");
        Button->SetParent(Form.get());
        Button->SetBounds(10, 10, 80, 21);
        Button->SetTabOrder(0);
        Edit = new TEdit(Form.get());
        Edit->SetName(u"Edit1");
        Edit->SetParent(Form.get());
        Edit->SetBounds(10, 40, 200, 21);
        Edit->SetTabOrder(1);
        Edit->OnEnter = [this](rtl::TComponent*) { ++Enters; };
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    }

    std::unique_ptr<TForm> Form;
    TBitBtn* Button = nullptr;
    TEdit* Edit = nullptr;
    int Enters = 0;
};

// A control of type T owned by Form and placed on it at Bounds.
template <class T>
T* Place(TForm& Form, const QRect& Bounds) {
    auto* control = new T(&Form);
    control->SetParent(&Form);
    control->SetBounds(Bounds.x(), Bounds.y(), Bounds.width(), Bounds.height());
    return control;
}

}  // namespace

TEST_F(ControlsTest, WidgetsCarryComponentNamesAndFirstControlHasFocus) {
    EXPECT_EQ(Form->Window()->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Button->Widget());
    EXPECT_EQ(Form->Window()->findChild<QLineEdit*>(QStringLiteral("Edit1")), Edit->Widget());
    EXPECT_TRUE(Button->Focused());
    EXPECT_EQ(Form->ActiveControl(), Button);
    EXPECT_EQ(Enters, 0);
}

TEST_F(ControlsTest, OnEnterFiresForTabAndClickFromAnotherControl) {
    QTest::keyClick(Button->Widget(), Qt::Key_Tab);
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Enters, 1);
    Button->SetFocus();
    QTest::mouseClick(Edit->Widget(), Qt::LeftButton);
    EXPECT_EQ(Enters, 2);
}

TEST_F(ControlsTest, OnEnterDoesNotFireWhenWindowIsActivatedAgain) {
    Edit->SetFocus();
    ASSERT_EQ(Enters, 1);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    Form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Enters, 1);
}

TEST_F(ControlsTest, FailingOnEnterShowsItsBoxOnceAndDoesNotReopenIt) {
    ModalBoxCatcher catcher;
    Edit->OnEnter = [this](rtl::TComponent*) {
        ++Enters;
        throw rtl::Exception(u"near \"'\": syntax error");
    };
    QTest::keyClick(Button->Widget(), Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.Boxes.empty(); }, 5000));
    // The box has closed; the window becomes active again (the window
    // manager's part) and the focus comes back to the edit ...
    Form->Window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Edit->Focused(); }, 5000));
    QTest::qWait(100);  // ... and nothing opens the box again.
    EXPECT_EQ(Enters, 1);
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("near \"'\": syntax error."));
}

TEST_F(ControlsTest, ExceptionInClickHandlerIsShownAndWindowKeepsWorking) {
    ModalBoxCatcher catcher;
    int clicks = 0;
    Button->OnClick = [&](rtl::TComponent*) {
        if (++clicks == 1) throw rtl::Exception(u"first click fails");
    };
    QTest::mouseClick(Button->Widget(), Qt::LeftButton);
    QTest::mouseClick(Button->Widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Caption, QStringLiteral("Kalimdar"));
}

TEST_F(ControlsTest, EnterInEditDoesNotClickTheButton) {
    int clicks = 0;
    Button->OnClick = [&](rtl::TComponent*) { ++clicks; };
    Edit->SetFocus();
    QTest::keyClick(Edit->Widget(), Qt::Key_Return);
    EXPECT_EQ(clicks, 0);
}

namespace {

// The main window's status bar: two panels along the bottom of a window of
// the main window's size.
TStatusBar* MainWindowBar(TForm& Form) {
    Form.SetClientSize(665, 439);
    auto* bar = Place<TStatusBar>(Form, QRect(0, 420, 665, 19));
    bar->SetAlign(TAlign::alBottom);
    bar->AddPanel(250);
    bar->AddPanel(50);
    return bar;
}

// Records the regions a widget is asked to paint.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* Widget) { Widget->installEventFilter(this); }
    QRegion Painted;
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == QEvent::Paint) Painted += static_cast<QPaintEvent*>(Event)->region();
        return false;
    }
};

}  // namespace

TEST(StatusBar, LastPanelReachesTheRightEdge) {
    TForm form(nullptr);
    TStatusBar* bar = MainWindowBar(form);
    bar->SetPanelText(1, u"Сұраныс бойынша 1 500 сөздік табылды");
    EXPECT_EQ(bar->PanelShownWidth(0), 250);
    EXPECT_EQ(bar->PanelShownWidth(1), 415);
    form.SetClientSize(800, 500);
    EXPECT_EQ(bar->Top(), 481);
    EXPECT_EQ(bar->Width(), 800);
    EXPECT_EQ(bar->PanelShownWidth(1), 550);
    EXPECT_EQ(bar->PanelText(1), u"Сұраныс бойынша 1 500 сөздік табылды");
    EXPECT_THROW(bar->SetPanelText(2, u"x"), rtl::EListError);
}

TEST(StatusBar, ANewTextRepaintsItsPanelOnlyAndTheSameTextNothing) {
    TForm form(nullptr);
    TStatusBar* bar = MainWindowBar(form);
    bar->SetPanelText(0, u"Базада барлығы 54 063 сөз бар");
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Window()));
    QApplication::processEvents();
    const QImage before = bar->Widget()->grab().toImage();
    PaintRecorder recorder(bar->Widget());

    bar->SetPanelText(1, u"Сұраныс бойынша 19 сөздік табылды");
    QApplication::processEvents();
    ASSERT_FALSE(recorder.Painted.isEmpty());
    EXPECT_GE(recorder.Painted.boundingRect().left(), bar->PanelLeft(1));
    // What is on screen is what a whole repaint draws: the first panel as it
    // was, the second with its new text.
    const QImage after = bar->Widget()->grab().toImage();
    EXPECT_EQ(after.copy(0, 0, 250, 19), before.copy(0, 0, 250, 19));
    EXPECT_NE(after.copy(250, 0, 415, 19), before.copy(250, 0, 415, 19));

    recorder.Painted = QRegion();
    bar->SetPanelText(1, u"Сұраныс бойынша 19 сөздік табылды");
    QApplication::processEvents();
    EXPECT_TRUE(recorder.Painted.isEmpty());
}

// Each panel sits in a sunken frame: its top and left edges in the palette's
// mid colour, its bottom and right edges (and so the two far corners) light,
// exactly as a one-pixel pen draws them, in the light and the dark palette.
TEST(StatusBar, PanelsHaveASunkenFrame) {
    const QPalette saved = QApplication::palette();
    for (const bool dark : {false, true}) {
        QPalette palette = saved;
        if (dark) {
            palette.setColor(QPalette::Mid, QColor(20, 20, 20));
            palette.setColor(QPalette::Light, QColor(90, 90, 90));
            palette.setColor(QPalette::Button, QColor(50, 50, 50));
        }
        QApplication::setPalette(palette);
        TForm form(nullptr);
        TStatusBar* bar = MainWindowBar(form);
        bar->SetPanelText(0, u"Базада барлығы 54 063 сөз бар");
        QWidget* view = bar->Widget();
        const QImage drawn = view->grab().toImage();

        QImage expected(drawn.size(), drawn.format());
        expected.setDevicePixelRatio(drawn.devicePixelRatio());
        expected.fill(view->palette().button().color());
        {
            QPainter painter(&expected);
            for (int i = 0; i < bar->PanelCount(); ++i) {
                const QRect cell(bar->PanelLeft(i), 1, bar->PanelShownWidth(i) - 3, view->height() - 2);
                painter.setPen(view->palette().mid().color());
                painter.drawLine(cell.topLeft(), cell.topRight());
                painter.drawLine(cell.topLeft(), cell.bottomLeft());
                painter.setPen(view->palette().light().color());
                painter.drawLine(cell.bottomLeft(), cell.bottomRight());
                painter.drawLine(cell.topRight(), cell.bottomRight());
            }
        }
        // The text lies inside the frames; everything else must match.
        const auto inText = [&](int X, int Y) {
            for (int i = 0; i < bar->PanelCount(); ++i)
                if (QRect(bar->PanelLeft(i) + 1, 2, bar->PanelShownWidth(i) - 5, view->height() - 4).contains(X, Y))
                    return true;
            return false;
        };
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                if (inText(x, y)) continue;
                ASSERT_EQ(drawn.pixel(x, y), expected.pixel(x, y)) << x << "," << y << (dark ? " dark" : " light");
            }
    }
    QApplication::setPalette(saved);
}

TEST(RadioGroup, ItemsAndItemIndex) {
    TForm form(nullptr);
    auto* group = new TRadioGroup(&form);
    group->SetItems({u"a", u"b", u"c"});
    EXPECT_EQ(group->ItemIndex(), -1);
    group->SetItemIndex(2);
    EXPECT_EQ(group->ItemIndex(), 2);
    group->SetColumns(3);  // rebuilding keeps the choice
    EXPECT_EQ(group->ItemIndex(), 2);
    group->SetItemIndex(-1);
    EXPECT_EQ(group->ItemIndex(), -1);
}

// The arrows move the choice in item order, wrapping round, even in a group
// too small to show its items (the main window's is 7 x 9 pixels).
TEST(RadioGroup, ArrowKeysMoveTheChoiceInItemOrder) {
    TForm form(nullptr);
    auto* group = Place<TRadioGroup>(form, QRect(1, 48, 7, 9));
    group->SetColumns(3);
    group->SetItems({u"a", u"b", u"c"});
    group->SetItemIndex(0);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.Window()));
    group->SetFocus();
    struct Step {
        Qt::Key key;
        int index;
    } steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Down, 2}, {Qt::Key_Right, 0}, {Qt::Key_Left, 2}, {Qt::Key_Up, 1}};
    for (const Step& s : steps) {
        QTest::keyClick(QApplication::focusWidget(), s.key);
        EXPECT_EQ(group->ItemIndex(), s.index);
        EXPECT_TRUE(group->Focused());
    }
}

// A caption is drawn whole or not at all: a label or group title that the
// control's own edges or a control stacked over it would cut shows nothing,
// as in the main window, where the grid and the memo cover most of Label1.
TEST(Captions, AreDrawnOnlyWhereTheyShowWhole) {
    struct Case {
        const char* name;
        QRect label;      // the label's bounds; its caption sits at the top
        QRect cover;      // a memo's bounds, if any
        bool coverFirst;  // the memo created before the label, so under it
        bool shown;
    } cases[] = {
        // clang-format off
        {"alone", {8, 200, 120, 19}, {}, false, true},
        {"too narrow for the caption", {8, 200, 20, 19}, {}, false, false},
        {"strip of its top uncovered", {8, 200, 120, 19}, {8, 205, 200, 100}, false, false},
        {"only its blank bottom covered", {8, 200, 120, 40}, {8, 235, 200, 100}, false, true},
        {"covered by a control under it", {8, 200, 120, 19}, {8, 205, 200, 100}, true, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TForm form(nullptr);
        form.SetClientSize(300, 300);
        if (c.coverFirst) Place<TMemo>(form, c.cover);
        auto* label = Place<TLabel>(form, c.label);
        if (!c.coverFirst && !c.cover.isNull()) Place<TMemo>(form, c.cover);
        const QImage blank = label->Widget()->grab().toImage();
        label->SetCaption(u"Дұрыс жазылуы");
        const QImage drawn = label->Widget()->grab().toImage();
        EXPECT_EQ(drawn != blank, c.shown);
    }
}

// Notes whether a widget was painted where a point of it lies.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget& Widget, QPoint Point) : FPoint(Point) { Widget.installEventFilter(this); }
    bool Painted = false;

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == QEvent::Paint && static_cast<QPaintEvent*>(Event)->region().contains(FPoint))
            Painted = true;
        return false;
    }

private:
    QPoint FPoint;
};

// A control moving off part of a caption that was left blank brings the
// whole caption back, not only the part it uncovered.
TEST(Captions, UncoveredCaptionIsRepaintedWhole) {
    TForm form(nullptr);
    form.SetClientSize(300, 300);
    auto* label = Place<TLabel>(form, QRect(8, 200, 120, 19));
    label->SetCaption(u"Дұрыс жазылуы");
    auto* memo = Place<TMemo>(form, QRect(8, 210, 200, 80));  // the caption's lower half
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Window()));
    auto onScreen = [&] {
        QApplication::processEvents();
        return form.Window()->screen()->grabWindow(form.Window()->winId(), 8, 200, 120, 19).toImage();
    };
    const QImage blank = onScreen();
    PaintWatch upperHalf(*label->Widget(), QPoint(10, 5));
    memo->SetTop(230);
    ASSERT_TRUE(QTest::qWaitFor([&] { return upperHalf.Painted; }));
    const QImage uncovered = onScreen();
    label->Widget()->repaint();
    const QImage repainted = onScreen();
    EXPECT_NE(repainted, blank);
    EXPECT_EQ(uncovered, repainted);
}

// The title is the only dark ink a group box draws in the light palette: its
// frame and background stay light.
TEST(Captions, GroupTitleOnlyWhereTheGroupHasRoomForIt) {
    auto darkPixels = [](const QImage& Image) {
        int n = 0;
        for (int y = 0; y < Image.height(); ++y)
            for (int x = 0; x < Image.width(); ++x) n += qGray(Image.pixel(x, y)) < 128;
        return n;
    };
    for (const auto& [size, shown] : {std::pair{QSize(7, 9), false}, std::pair{QSize(200, 60), true}}) {
        TForm form(nullptr);
        auto* group = Place<TRadioGroup>(form, QRect(1, 48, size.width(), size.height()));
        group->SetCaption(u"Іздеу түрі");
        EXPECT_EQ(darkPixels(group->Widget()->grab().toImage()) > 0, shown) << size.width();
    }
}

// Character keys reach OnKeyPress first, Enter as CR and Escape as ESC; a
// key the handler sets to 0 never reaches the box, a failing handler's
// message is shown.
TEST(Edit, KeyPressSeesKeysFirstAndCanKeepThem) {
    TForm form(nullptr);
    auto* edit = Place<TEdit>(form, QRect(8, 12, 200, 21));
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.Window()));
    edit->SetFocus();
    std::u16string seen;
    edit->OnKeyPress = [&](rtl::TComponent* Sender, char16_t& Key) {
        EXPECT_EQ(Sender, edit);
        seen += Key;
        if (Key == u'x' || Key == u'\r') Key = 0;
        if (Key == u'!') throw rtl::Exception(u"no exclamations");
    };
    // Typed one key each, as a keyboard layout gives letters beyond ASCII.
    for (const QChar c : QStringLiteral("əxб"))
        QTest::sendKeyEvent(QTest::Click, edit->Widget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(edit->Widget(), Qt::Key_Return);
    QTest::keyClick(edit->Widget(), Qt::Key_Escape);
    EXPECT_EQ(seen, u"əxб\r\x1b");
    EXPECT_EQ(edit->Text(), u"əб");
    ModalBoxCatcher catcher;
    QTest::keyClicks(edit->Widget(), QStringLiteral("!"));
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("no exclamations."));
    EXPECT_EQ(edit->Text(), u"əб");
}

// Whatever family stands in for "Tahoma", it draws every Kazakh letter in
// both cases, at both of the design's sizes.
TEST(DesignFont, HasAGlyphForEveryKazakhLetter) {
    ASSERT_EQ(KazakhLetters.size(), 84u);
    for (const int pixels : {11, 16}) {
        const QFont font = DesignFont(pixels);
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid()) << font.family().toStdString();
        std::string missing;
        for (const char16_t c : KazakhLetters)
            if (!raw.supportsCharacter(QChar(c))) missing += QString(QChar(c)).toStdString();
        EXPECT_EQ(missing, "") << "family " << raw.familyName().toStdString() << " at " << pixels << " px";
        EXPECT_EQ(QFontInfo(font).pixelSize(), pixels);
    }
}
