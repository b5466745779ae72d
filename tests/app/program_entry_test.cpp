// The program's entry as main runs it: the application object creates the
// main window, runs its creation handler once, shows a failure in a box, and
// its message loop ends when the main window closes. The loop runs once per
// process, so the whole sequence is one test.

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "modal_box_catcher.h"
#include "sql_test_support.h"
#include "toolkit/application.h"
#include "toolkit/status_bar.h"

namespace {

// A second form that counts its creation handler's runs.
class CountingForm : public toolkit::TForm {
public:
    explicit CountingForm(rtl::TComponent* AOwner) : TForm(AOwner) {
        OnCreate = [this](rtl::TComponent*) { ++Created; };
    }
    int Created = 0;
};

}  // namespace

TEST(ProgramEntry, MainWindowOpensDespiteAFailingStartAndClosingItEndsTheLoop) {
    toolkit::TApplication& application = toolkit::Application();
    ASSERT_EQ(application.MainForm(), nullptr);
    sql_test::TempDir folder;  // no lx_items.db: the start-up fails at its statement
    application.SetExeName(folder.File("kalimdar"));

    ModalBoxCatcher catcher;
    auto* form = application.CreateForm<app::TForm2>();
    EXPECT_EQ(application.MainForm(), form);
    EXPECT_EQ(form->Owner(), &application);
    ASSERT_EQ(catcher.Boxes.size(), 1u);  // the creation handler ran once and failed
    EXPECT_EQ(catcher.Boxes[0].Caption, QStringLiteral("Kalimdar"));
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("no such table: lx_items."));
    EXPECT_EQ(form->StatusBar1->PanelText(0), u"");

    auto* second = application.CreateForm<CountingForm>();
    EXPECT_EQ(second->Created, 1);
    EXPECT_EQ(application.MainForm(), form);  // only the first form is the main one

    // Once the loop shows the main window, the user closes it.
    bool shownByRun = false;
    QTimer::singleShot(0, [&] {
        shownByRun = form->Visible();
        form->Close();
    });
    application.Run();
    EXPECT_TRUE(shownByRun);
    EXPECT_TRUE(application.Terminated());
    EXPECT_FALSE(second->Visible());
    application.SetExeName(u"");
}
