// Runs a GUI test program inside one application object, as the program does.
#include <gtest/gtest.h>

#include <cstdlib>

#include "modal_box_catcher.h"
#include "toolkit/application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery at build time runs without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    toolkit::TApplication application(argc, argv);
    application.SetTitle(u"Kalimdar");
    UnexpectedBoxGuard guard;
    return RUN_ALL_TESTS();
}
