#include "editor/shell/dfMain.h"

#include "editor/platform/Application.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

TFormMain::TFormMain(QWidget *parent) : cFormMain(parent)
{
    setWindowTitle(QStringLiteral("FormMain"));
    resize(696, 480);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    setFont(tahoma);

    FOpenDialog = new QFileDialog(this);
    FSaveAsDialog = new QFileDialog(this);
    ImportDialog = new QFileDialog(this);
    ExportDialog = new QFileDialog(this);
    FontDialog = new QFontDialog(this);
    FontDialog->setOption(QFontDialog::DontUseNativeDialog);
    // Qt's font dialog has no Apply button of its own.
    if (auto *buttons = FontDialog->findChild<QDialogButtonBox *>()) {
        QPushButton *apply = buttons->addButton(QDialogButtonBox::Apply);
        connect(apply, &QPushButton::clicked, this,
                [this] { FontDialogEvent(FontDialog->currentFont(), 1); });
    }

    BuildActions();
    BuildMenus();

    OpenDialog = FOpenDialog;
    SaveAsDialog = FSaveAsDialog;
    IODialogs = {ImportDialog, ExportDialog};
    StartMacroAction = acToolsStartMacro;
    EndMacroAction = acToolsEndRecordMacro;
    PlayMacroAction = acToolsPlayMacro;
    FindNextAction = acSearchFindNext;
    RedoAction = acEditRedo;
    ChangeCaseToAction = acEditChangeCaseTo;
    SaveAction = acFileSave;
    PluginsMenu = miPlugins;
    Initialize();

    // Enabled states must be right for shortcuts too, not only in open menus.
    FIdle = new QTimer(this);
    FIdle->setInterval(200);
    connect(FIdle, &QTimer::timeout, this, &TFormMain::UpdateActions);
    FIdle->start();
    UpdateActions();
}

TFormMain::~TFormMain()
{
    FIdle->stop();
    Finalize();
}

QAction *TFormMain::NewAction(const char *caption, const char *category, const char *hint,
                              const QKeySequence &shortcut)
{
    auto *action = new QAction(QString::fromUtf8(caption), this);
    action->setProperty("category", QString::fromUtf8(category));
    const QString text = QString::fromUtf8(hint);
    const qsizetype bar = text.indexOf(u'|');
    action->setToolTip(bar < 0 ? text : text.left(bar));
    action->setStatusTip(bar < 0 ? text : text.mid(bar + 1));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    ActionListMain.append(action);
    return action;
}

void TFormMain::Bind(QAction *action, std::function<void(bool)> run, bool hasUpdate)
{
    connect(action, &QAction::triggered, this, [this, run] {
        run(true);
        UpdateActions();
    });
    if (hasUpdate)
        FCommands.append({action, std::move(run)});
}

void TFormMain::BuildActions()
{
    using K = QKeySequence;
    acToolsStartMacro = NewAction("&Record Key Macro", "", "Start Macro|Starts recording of a keyboard macro",
                                  K(Qt::CTRL | Qt::Key_R));
    acToolsEndRecordMacro = NewAction("&Stop Key Macro Recording", "",
                                      "Start Macro Recording|Stops recording of a keyboard macro");
    acToolsPlayMacro =
        NewAction("&Play Key Macro", "", "Play Macro|Plays a keyboard macro on the active document");
    acFileNew = NewAction("New", "File", "New|Opens new document", K(Qt::CTRL | Qt::Key_N));
    acFileOpen = NewAction("&Open...", "File", "Open|Opens an existing file", K(Qt::CTRL | Qt::Key_O));
    acFileSave = NewAction("&Save...", "File", "Save|Save a file", K(Qt::CTRL | Qt::Key_S));
    acFileSaveAs =
        NewAction("Save &As...", "File", "Save As|Saves the active document with a new name and a format");
    acFileClose = NewAction("&Close", "File", "Close|Closes a file", K(Qt::CTRL | Qt::Key_F4));
    acFileExit = NewAction("E&xit", "File", "Exit|Quits the application");
    acEditUndo = NewAction("&Undo", "Edit", "Undo|Undoes last changes", K(Qt::CTRL | Qt::Key_Z));
    acEditRedo = NewAction("&Redo", "Edit", "Redo|Redoes last change");
    acEditCut = NewAction("Cu&t", "Edit", "Cut|Cuts the selection and puts it on the Clipboard",
                          K(Qt::CTRL | Qt::Key_X));
    acEditCopy = NewAction("&Copy", "Edit", "Copy|Copies the selection and puts it on the Clipboard",
                           K(Qt::CTRL | Qt::Key_C));
    acEditPaste = NewAction("&Paste", "Edit", "Paste|Inserts Clipboard contents", K(Qt::CTRL | Qt::Key_V));
    acEditSelectAll =
        NewAction("Select &All", "Edit", "Select All|Selects the entire document", K(Qt::CTRL | Qt::Key_A));
    acEditDelete = NewAction("&Delete", "Edit", "Delete|Erases the selection");
    acViewWrap = NewAction("&Word Wrap", "Edit", "Word Wrap|Sets a Word Wrap mode for the editor");
    acViewFont = NewAction("&Font...", "Edit", "Font|Modifies editor's font");
    acViewStatusBar = NewAction("&Status Bar", "Edit", "Status Bar|Shows/hides the Status Bar");
    acSearchFind = NewAction("&Find...", "Search", "Find|Searches for a substring in the active document",
                             K(Qt::CTRL | Qt::Key_F));
    acSearchReplace =
        NewAction("&Replace...", "Search", "Replace|Replaces a substring in the active document",
                  K(Qt::CTRL | Qt::Key_H));
    acSearchFindNext = NewAction(
        "Find Next", "Search", "Find Next|Finds next occurence of the substring in the active documentument",
        K(Qt::Key_F3));
    acSearchGotoLine =
        NewAction("Go to...", "Search", "Go to...|Goes to a specified line/column in the active document",
                  K(Qt::CTRL | Qt::Key_G));
    acFilePrintSetup = NewAction("Print Set&up...", "File", "Print Setup");
    acFilePrint = NewAction("&Print", "File", "Print|Prints a document");
    acEditChangeCase =
        NewAction("Change Cas&e...", "Edit", "Change Case...|Changes case for a selected text");
    acEditChangeCaseTo = NewAction("Change Case &to", "Edit", "");
    acPlayMacroOnAllEditors = NewAction("Play Key Macro for &All Edit Buffers", "", "");
    acToolSaveSettingsOnExit = NewAction("Save Settings on Exit", "", "\"Save Settings on Exit\" Option");
    acToolUninstallNow = NewAction("Uninstall Now", "",
                                   "Uninstall Now|Removes settings from registry and quits the application");
    acFileImport = NewAction("&Import...", "File", "");
    acFileExport = NewAction("&Export...", "File", "");

    for (QAction *a : {acViewWrap, acViewStatusBar, acToolSaveSettingsOnExit})
        a->setCheckable(true);
    acViewStatusBar->setChecked(true);
    acToolSaveSettingsOnExit->setChecked(true);
    acEditChangeCaseTo->setVisible(false);

    auto bind = [this](QAction *a, void (cFormMain::*op)(QAction *, bool)) {
        Bind(a, [this, a, op](bool execute) { (this->*op)(a, execute); });
    };
    bind(acToolsStartMacro, &cFormMain::ToolsStartMacro);
    bind(acToolsEndRecordMacro, &cFormMain::ToolsEndRecordMacro);
    bind(acToolsPlayMacro, &cFormMain::ToolsPlayMacro);
    bind(acFileNew, &cFormMain::FileNew);
    // A "file open" action: its own dialog, then the accept handler.
    Bind(
        acFileOpen,
        [this](bool execute) {
            if (execute && RunDialog(*FOpenDialog))
                FileOpenAccept(acFileOpen, true);
        },
        false);
    Bind(acFileSave, [this](bool execute) { FileSave(acFileSave, execute, acFileSaveAs); });
    // A "file save as" action: before-execute, its own dialog, then accept.
    Bind(
        acFileSaveAs,
        [this](bool execute) {
            if (!execute)
                return;
            FileSaveAs(acFileSaveAs, false);
            if (RunDialog(*FSaveAsDialog))
                FileSaveAs(acFileSaveAs, true);
        },
        false);
    bind(acFileClose, &cFormMain::FileClose);
    Bind(
        acFileExit,
        [this](bool execute) {
            if (execute)
                close();
        },
        false);
    bind(acEditUndo, &cFormMain::EditUndo);
    bind(acEditRedo, &cFormMain::EditRedo);
    bind(acEditCut, &cFormMain::EditCut);
    bind(acEditCopy, &cFormMain::EditCopy);
    bind(acEditPaste, &cFormMain::EditPaste);
    bind(acEditSelectAll, &cFormMain::EditSelectAll);
    bind(acEditDelete, &cFormMain::EditDelete);
    bind(acViewWrap, &cFormMain::ViewWrap);
    Bind(acViewFont, [this](bool execute) { ViewFont(acViewFont, execute, FontDialog); });
    bind(acViewStatusBar, &cFormMain::ViewStatusBar);
    bind(acSearchFind, &cFormMain::SearchFind);
    bind(acSearchReplace, &cFormMain::SearchReplace);
    bind(acSearchFindNext, &cFormMain::SearchFindNext);
    bind(acSearchGotoLine, &cFormMain::SearchGotoLine);
    bind(acFilePrintSetup, &cFormMain::FilePrintSetup);
    bind(acFilePrint, &cFormMain::FilePrint);
    bind(acEditChangeCase, &cFormMain::EditChangeCase);
    bind(acEditChangeCaseTo, &cFormMain::EditChangeCaseTo);
    bind(acPlayMacroOnAllEditors, &cFormMain::PlayMacroOnAllEditors);
    // Checkable: Qt flips the check before the handler, which sets it again.
    bind(acToolSaveSettingsOnExit, &cFormMain::ToolSaveSettingsOnExit);
    Bind(
        acToolUninstallNow, [this](bool execute) { ToolUninstallNow(acToolUninstallNow, execute); }, false);
    Bind(acFileImport, [this](bool execute) { FileImportExport(acFileImport, execute, ioImport); });
    Bind(acFileExport, [this](bool execute) { FileImportExport(acFileExport, execute, ioExport); });
}

void TFormMain::BuildMenus()
{
    QMenuBar *bar = menuBar();
    miFile = bar->addMenu(QStringLiteral("&File"));
    miFile->addActions({acFileNew, acFileOpen, acFileSave, acFileSaveAs, acFileClose});
    miFile->addSeparator();
    miFile->addActions({acFileImport, acFileExport});
    miFile->addSeparator();
    miFile->addActions({acFilePrintSetup, acFilePrint});
    miFile->addSeparator();
    miFile->addAction(acFileExit);

    miEdit = bar->addMenu(QStringLiteral("&Edit"));
    miEdit->addActions({acEditUndo, acEditRedo});
    miEdit->addSeparator();
    miEdit->addActions({acEditCut, acEditCopy, acEditPaste, acEditDelete, acEditSelectAll});
    miEdit->addSeparator();
    miEdit->addActions({acEditChangeCase, acEditChangeCaseTo});

    miView = bar->addMenu(QStringLiteral("&View"));
    miView->addActions({acViewWrap, acViewFont});
    miView->addSeparator();
    miView->addAction(acViewStatusBar);

    miSearch = bar->addMenu(QStringLiteral("&Search"));
    miSearch->addActions({acSearchFind, acSearchReplace, acSearchFindNext});
    miSearch->addSeparator();
    miSearch->addAction(acSearchGotoLine);

    miPlugins = bar->addMenu(QStringLiteral("&Plug-ins"));

    miTools = bar->addMenu(QStringLiteral("&Tools"));
    miTools->addActions(
        {acToolsStartMacro, acToolsEndRecordMacro, acToolsPlayMacro, acPlayMacroOnAllEditors});
    miTools->addSeparator();
    miTools->addActions({acToolSaveSettingsOnExit, acToolUninstallNow});

    miHelp = bar->addMenu(QStringLiteral("&Help"));
    QAction *about = miHelp->addAction(QStringLiteral("&About..."));
    about->setToolTip(QStringLiteral("About"));
    about->setStatusTip(QStringLiteral("Information about the product"));
    connect(about, &QAction::triggered, this, [this] {
        if (AboutBox)
            AboutBox->exec();
    });

    for (QMenu *menu : {miFile, miEdit, miView, miSearch, miPlugins, miTools, miHelp})
        connect(menu, &QMenu::aboutToShow, this, &TFormMain::UpdateActions);
}

void TFormMain::UpdateActions()
{
    for (const tCommand &command : FCommands)
        command.Run(false);
    if (Plugins)
        Plugins->UpdateActions();
}
