// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry. The command line has been parsed during static
// initialisation (CommandLine), before anything here runs.
#include "editor/editing/dfFind.h"
#include "editor/editing/Editors.h"
#include "editor/editing/RecoveryJournal.h"
#include "editor/platform/Application.h"
#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/dfAbout.h"
#include "editor/shell/dfCase.h"
#include "editor/shell/dfLine.h"
#include "editor/shell/dfMain.h"
#include "editor/shell/ExitSignals.h"
#include "editor/shell/ProgramIdentity.h"
#include "editor/shell/SingleInstances.h"

#include <cstdio>

namespace {

// Creates the forms in their order, the main window first, and runs the
// message loop until it closes. The forms are gone before the block is
// released.
int RunForms(cApplication &app)
{
    TFormMain formMain;
    SetApplicationMainWindow(&formMain);
    TFormAbout formAbout(&formMain);
    formMain.FormAbout = &formAbout;
    FormFind();
    TFormGotoLine formGotoLine(&formMain);
    TFormCase formCase(&formMain);
    SetDocumentDialogs({[&formGotoLine](int &line, int &column) {
                            tLineColumnRequest request;
                            formGotoLine.RunDialog(request);
                            line = request.Line;
                            column = request.Column;
                            return request.Accepted;
                        },
                        [&formCase](bool showDialog) { return formCase.GetCase(showDialog); }});
    formMain.show();
    const int exitCode = app.exec();
    // Ended normally: every document was saved or given up.
    cRecoveryJournals::DiscardAll();
    // Nothing opens files from here on; later starts open their own windows.
    cApplicationSingleton::StopAnswering();
    SetDocumentDialogs({});
    return exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    // --help and --version answer on any terminal, display or not, and never
    // reach a running instance.
    if (const std::optional<int> answered = AnswerInformationOption(CommandLine, stdout))
        return *answered;
    // Before any window, and before the display is even opened: a start that
    // hands its files to a running instance ends here.
    if (cApplicationSingleton::HandOff())
        return 0;
    int exitCode;
    {
        cApplication app(argc, argv);
        SetApplicationIdentity();
        const cExitSignals exitSignals;
        exitCode = RunForms(app);
        cApplicationSingleton::Release();
    }
    return exitCode;
}
