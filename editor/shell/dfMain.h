#pragma once
// The main window as the user sees it: the action list, the menu tree and
// the dialogs; every decision is cFormMain's.
#include "editor/shell/dfBMain.h"

#include <QList>

class QDialog;
class QFontDialog;

class TFormMain : public cFormMain
{
    Q_OBJECT
public:
    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // The About box, made by the program's entry; not owned.
    QDialog *AboutBox = nullptr;

    QAction *acToolsStartMacro, *acToolsEndRecordMacro, *acToolsPlayMacro, *acFileNew, *acFileOpen,
        *acFileSave, *acFileSaveAs, *acFileClose, *acFileExit, *acEditUndo, *acEditRedo, *acEditCut,
        *acEditCopy, *acEditPaste, *acEditSelectAll, *acEditDelete, *acViewWrap, *acViewFont,
        *acViewStatusBar, *acSearchFind, *acSearchReplace, *acSearchFindNext, *acSearchGotoLine,
        *acFilePrintSetup, *acFilePrint, *acEditChangeCase, *acEditChangeCaseTo, *acPlayMacroOnAllEditors,
        *acToolSaveSettingsOnExit, *acToolUninstallNow, *acFileImport, *acFileExport;
    // In list order: of two actions with one shortcut the earlier wins.
    QList<QAction *> ActionListMain;

    QMenu *miFile, *miEdit, *miView, *miSearch, *miPlugins, *miTools, *miHelp;
    QFontDialog *FontDialog;
    QFileDialog *ImportDialog, *ExportDialog;

    void UpdateActions() override;

private:
    struct tCommand
    {
        QAction *Action;
        std::function<void(bool execute)> Run; // update with false, execute with true
    };
    QAction *NewAction(const char *caption, const char *category, const char *hint,
                       const QKeySequence &shortcut = {});
    void Bind(QAction *action, std::function<void(bool)> run, bool hasUpdate = true);
    void BuildActions();
    void BuildMenus();

    QList<tCommand> FCommands;
    QFileDialog *FOpenDialog;
    QFileDialog *FSaveAsDialog;
    QTimer *FIdle;
};
