#pragma once
// The main window as the user sees it: the action list, the menu tree and
// the dialogs; every decision is cFormMain's.
#include "editor/shell/dfBMain.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QList>
#include <QMenu>

#include <functional>

class QDialog;
class QPushButton;

// Qt's font dialog with the Apply button it lacks, and events for being
// shown and for closing, the latter before the dialog returns.
class cFontDialog : public QFontDialog
{
    Q_OBJECT
public:
    explicit cFontDialog(QWidget *parent = nullptr);

    QPushButton *ApplyButton() const noexcept { return FApply; }
    void done(int result) override;

signals:
    void Shown();
    void Applied();
    void Closing();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *FApply = nullptr;
};

// The Save As dialog: a name in a folder that does not exist is refused in
// the dialog, which stays open, rather than failing once it has closed.
class cSaveAsFileDialog : public QFileDialog
{
    Q_OBJECT
public:
    explicit cSaveAsFileDialog(QWidget *parent = nullptr) : QFileDialog(parent) {}
    void accept() override;
};

// A menu that shows every shortcut of an item, not only its first.
class cShortcutMenu : public QMenu
{
public:
    using QMenu::QMenu;
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override;
};

class TFormMain : public cFormMain
{
    Q_OBJECT
public:
    explicit TFormMain(QWidget *parent = nullptr, tFormMainSetup setup = {});
    ~TFormMain() override;

    // The About box, made by the program's entry; not owned.
    QDialog *FormAbout = nullptr;

    QAction *acToolsStartMacro, *acToolsEndRecordMacro, *acToolsPlayMacro, *acFileNew, *acFileOpen,
        *acFileSave, *acFileSaveAs, *acFileClose, *acFileExit, *acEditUndo, *acEditRedo, *acEditCut,
        *acEditCopy, *acEditPaste, *acEditSelectAll, *acEditDelete, *acViewWrap, *acViewFont,
        *acViewStatusBar, *acSearchFind, *acSearchReplace, *acSearchFindNext, *acSearchGotoLine,
        *acFilePrintSetup, *acFilePrint, *acEditChangeCase, *acEditChangeCaseTo, *acPlayMacroOnAllEditors,
        *acToolSaveSettingsOnExit, *acToolUninstallNow, *acFileImport, *acFileExport, *acViewLineNumbers,
        *acViewCurrentLine, *acViewWhitespace;
    // In list order: of two actions with one shortcut the earlier wins.
    QList<QAction *> ActionListMain;

    // A menu item bound to an action is that action; these are the rest.
    QMenu *miFile, *miEdit, *miView, *miSearch, *miPlugins, *miTools, *miHelp;
    QAction *miSeparatorImportExport, *miFileDelimiter, *miFilePrintDelimiter, *miEditDelimiterUndo,
        *miEditDelimiterSelectAll, *miViewDelimiter, *miViewMarksDelimiter, *miSearchDelimiter,
        *miToolsPersistencyDelimiter, *miHelpAbout;

    cFontDialog *FontDialog;
    QFileDialog *ImportDialog, *ExportDialog;
    // The dialogs of acFileOpen and acFileSaveAs.
    QFileDialog *FileOpenDialog, *FileSaveAsDialog;

protected:
    void UpdateActions() override;
    QList<QAction *> ActionList() const override { return ActionListMain; }

private:
    struct tCommand
    {
        QAction *Action;
        std::function<void(bool execute)> Run; // update with false, execute with true
    };
    QAction *NewAction(const char *name, const char *caption, const char *category, const char *hint,
                       const QKeySequence &shortcut = {});
    void Bind(QAction *action, std::function<void(bool)> run, bool hasUpdate = true);
    void BuildActions();
    void BindActions();
    void BuildMenus();
    QMenu *NewMenu(const char *name, const char *caption);
    QAction *NewSeparator(QMenu *menu, const char *name);
    void miHelpAboutClick();

    QList<tCommand> FCommands;
};
