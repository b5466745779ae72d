// Runs a GUI test program inside one application object, as the program does.
#include <gtest/gtest.h>

#include "toolkit/application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    toolkit::TApplication application(argc, argv);
    application.SetTitle(u"Kalimdar");
    return RUN_ALL_TESTS();
}
