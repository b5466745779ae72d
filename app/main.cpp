#include "app/main_window.h"
#include "toolkit/application.h"

int main(int argc, char** argv) {
    toolkit::TApplication application(argc, argv);
    application.Initialize();
    application.SetMainFormOnTaskBar(true);
    application.SetTitle(u"Kalimdar");
    application.CreateForm<app::TForm2>();
    application.Run();
    return 0;
}
