// Program entry. The command line has been parsed during static
// initialisation (CommandLine), before anything here runs.
#include "editor/platform/Application.h"
#include "editor/platform/Resources.h"
#include "editor/shell/SingleInstances.h"

#include <QMainWindow>

namespace {

// Creates the forms in their order, the main window first (it becomes the
// application's main window), and runs the message loop until it closes.
// The forms are destroyed before the block is released.
int RunForms(cApplication &app)
{
    // TFormMain; its first activation opens the command line's documents and
    // publishes its window for later starts.
    QMainWindow formMain;
    formMain.setWindowTitle(LoadResString(res::ProductName));
    formMain.resize(696, 480);
    SetApplicationMainWindow(&formMain);
    // TFormAbout, TFormFind, TFormGotoLine, TFormCase follow here.
    formMain.show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // Before any window, and before the display is even opened: a start that
    // hands its files to a running instance ends here.
    if (cApplicationSingleton::HandOff())
        return 0;
    int exitCode;
    {
        cApplication app(argc, argv);
        exitCode = RunForms(app);
        cApplicationSingleton::Release();
    }
    return exitCode;
}
