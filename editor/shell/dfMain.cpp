#include "editor/shell/dfMain.h"

#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMenuBar>
#include <QPushButton>
#include <QStyleOptionMenuItem>

#include <utility>

cFontDialog::cFontDialog(QWidget *parent) : QFontDialog(parent)
{
    setOption(QFontDialog::DontUseNativeDialog);
    if (auto *buttons = findChild<QDialogButtonBox *>()) {
        FApply = buttons->addButton(QDialogButtonBox::Apply);
        connect(FApply, &QPushButton::clicked, this, &cFontDialog::Applied);
    }
}

void cFontDialog::showEvent(QShowEvent *event)
{
    QFontDialog::showEvent(event);
    emit Shown();
}

void cFontDialog::done(int result)
{
    emit Closing();
    QFontDialog::done(result);
}

void cSaveAsFileDialog::accept()
{
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
        const QFileInfo target(files.first());
        const QDir folder = target.absoluteDir();
        if (!target.isDir() && !folder.exists()) {
            MessageBox(
                this,
                Format(QStringLiteral("%s\rThe folder \"%s\" does not exist.\rCheck the path and try again."),
                       {target.fileName(), QDir::toNativeSeparators(folder.path())}),
                LoadResString(res::ProductName), MB_OK | MB_ICONWARNING);
            return;
        }
    }
    QFileDialog::accept();
}

namespace {

// Every shortcut of the action, as a menu shows it.
QString ShortcutsText(const QAction &action)
{
    QStringList texts;
    for (const QKeySequence &key : action.shortcuts())
        texts << key.toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(", "));
}

} // namespace

void cShortcutMenu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenu::initStyleOption(option, action);
    // The style draws each item's shortcut in this room; one width for all
    // keeps the shortcuts of the menu in one column.
    for (const QAction *item : actions())
        if (item->shortcuts().size() > 1)
            option->reservedShortcutWidth = qMax(option->reservedShortcutWidth,
                                                 option->fontMetrics.horizontalAdvance(ShortcutsText(*item)));
    const qsizetype tab = option->text.indexOf(u'\t');
    if (action->shortcuts().size() > 1 && tab >= 0)
        option->text = option->text.left(tab + 1) + ShortcutsText(*action);
}

// ---------------------------------------------------------------------------

TFormMain::TFormMain(QWidget *parent, tFormMainSetup setup) : cFormMain(parent, std::move(setup))
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("FormMain"));
    resize(696, 480);

    FileOpenDialog = new QFileDialog(this);
    FileSaveAsDialog = new cSaveAsFileDialog(this);
    ImportDialog = new QFileDialog(this);
    ExportDialog = new QFileDialog(this);
    FontDialog = new cFontDialog(this);
    connect(FontDialog, &cFontDialog::Shown, this, [this] { FontDialogEvent(FontDialog->currentFont(), 0); });
    connect(FontDialog, &cFontDialog::Applied, this,
            [this] { FontDialogEvent(FontDialog->currentFont(), 1); });
    connect(FontDialog, &cFontDialog::Closing, this,
            [this] { FontDialogEvent(FontDialog->currentFont(), 2); });

    BuildActions();
    BindActions();
    BuildMenus();

    OpenDialog = FileOpenDialog;
    SaveAsDialog = FileSaveAsDialog;
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
    RefreshActions();
}

TFormMain::~TFormMain()
{
    Finalize();
}

QAction *TFormMain::NewAction(const char *name, const char *caption, const char *category, const char *hint,
                              const QKeySequence &shortcut)
{
    auto *action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("category", QString::fromUtf8(category));
    // "short|long": the long hint goes to the status bar.
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
    // No exception may travel through Qt's signal code: the standard error
    // box reports it here, and the window goes on.
    connect(action, &QAction::triggered, this, [this, run] {
        try {
            run(true);
        } catch (...) {
            ShowCurrentException();
        }
        RefreshActions();
    });
    if (hasUpdate)
        FCommands.append({action, std::move(run)});
}

void TFormMain::BuildActions()
{
    using K = QKeySequence;
    acToolsStartMacro =
        NewAction("acToolsStartMacro", "&Record Key Macro", "",
                  "Start Macro|Starts recording of a keyboard macro", K(Qt::CTRL | Qt::Key_R));
    acToolsEndRecordMacro = NewAction("acToolsEndRecordMacro", "&Stop Key Macro Recording", "",
                                      "Start Macro Recording|Stops recording of a keyboard macro");
    acToolsPlayMacro = NewAction("acToolsPlayMacro", "&Play Key Macro", "",
                                 "Play Macro|Plays a keyboard macro on the active document");
    acFileNew = NewAction("acFileNew", "New", "File", "New|Opens new document", K(Qt::CTRL | Qt::Key_N));
    acFileOpen =
        NewAction("acFileOpen", "&Open...", "File", "Open|Opens an existing file", K(Qt::CTRL | Qt::Key_O));
    acFileSave = NewAction("acFileSave", "&Save...", "File", "Save|Save a file", K(Qt::CTRL | Qt::Key_S));
    acFileSaveAs = NewAction("acFileSaveAs", "Save &As...", "File",
                             "Save As|Saves the active document with a new name and a format");
    acFileClose = NewAction("acFileClose", "&Close", "File", "Close|Closes a file", K(Qt::CTRL | Qt::Key_F4));
    acFileExit = NewAction("acFileExit", "E&xit", "File", "Exit|Quits the application");
    acEditUndo =
        NewAction("acEditUndo", "&Undo", "Edit", "Undo|Undoes last changes", K(Qt::CTRL | Qt::Key_Z));
    acEditRedo = NewAction("acEditRedo", "&Redo", "Edit", "Redo|Redoes last change");
    acEditCut = NewAction("acEditCut", "Cu&t", "Edit", "Cut|Cuts the selection and puts it on the Clipboard",
                          K(Qt::CTRL | Qt::Key_X));
    acEditCopy = NewAction("acEditCopy", "&Copy", "Edit",
                           "Copy|Copies the selection and puts it on the Clipboard", K(Qt::CTRL | Qt::Key_C));
    acEditPaste = NewAction("acEditPaste", "&Paste", "Edit", "Paste|Inserts Clipboard contents",
                            K(Qt::CTRL | Qt::Key_V));
    acEditSelectAll = NewAction("acEditSelectAll", "Select &All", "Edit",
                                "Select All|Selects the entire document", K(Qt::CTRL | Qt::Key_A));
    acEditDelete = NewAction("acEditDelete", "&Delete", "Edit", "Delete|Erases the selection");
    acViewWrap =
        NewAction("acViewWrap", "&Word Wrap", "Edit", "Word Wrap|Sets a Word Wrap mode for the editor");
    acViewFont = NewAction("acViewFont", "&Font...", "Edit", "Font|Modifies editor's font");
    acViewStatusBar =
        NewAction("acViewStatusBar", "&Status Bar", "Edit", "Status Bar|Shows/hides the Status Bar");
    acSearchFind = NewAction("acSearchFind", "&Find...", "Search",
                             "Find|Searches for a substring in the active document", K(Qt::CTRL | Qt::Key_F));
    acSearchReplace =
        NewAction("acSearchReplace", "&Replace...", "Search",
                  "Replace|Replaces a substring in the active document", K(Qt::CTRL | Qt::Key_H));
    acSearchFindNext = NewAction(
        "acSearchFindNext", "Find Next", "Search",
        "Find Next|Finds next occurence of the substring in the active documentument", K(Qt::Key_F3));
    acSearchGotoLine =
        NewAction("acSearchGotoLine", "Go to...", "Search",
                  "Go to...|Goes to a specified line/column in the active document", K(Qt::CTRL | Qt::Key_G));
    acFilePrintSetup = NewAction("acFilePrintSetup", "Print Set&up...", "File", "Print Setup");
    acFilePrint = NewAction("acFilePrint", "&Print", "File", "Print|Prints a document");
    acEditChangeCase = NewAction("acEditChangeCase", "Change Cas&e...", "Edit",
                                 "Change Case...|Changes case for a selected text");
    acEditChangeCaseTo = NewAction("acEditChangeCaseTo", "Change Case &to", "Edit", "");
    acPlayMacroOnAllEditors =
        NewAction("acPlayMacroOnAllEditors", "Play Key Macro for &All Edit Buffers", "", "");
    acToolSaveSettingsOnExit = NewAction("acToolSaveSettingsOnExit", "Save Settings on Exit", "",
                                         "\"Save Settings on Exit\" Option");
    acToolUninstallNow = NewAction("acToolUninstallNow", "Uninstall Now", "",
                                   "Uninstall Now|Removes settings from registry and quits the application");
    acFileImport = NewAction("acFileImport", "&Import...", "File", "");
    acFileExport = NewAction("acFileExport", "&Export...", "File", "");
    acViewLineNumbers = NewAction("acViewLineNumbers", "&Line Numbers", "Edit",
                                  "Line Numbers|Shows/hides the line numbers beside the text");
    acViewCurrentLine = NewAction("acViewCurrentLine", "&Highlight Current Line", "Edit",
                                  "Highlight Current Line|Tints the line the cursor is on");
    acViewWhitespace = NewAction("acViewWhitespace", "Show Whi&tespace", "Edit",
                                 "Show Whitespace|Shows blanks, tabs and line ends");

    // The keys a Linux user tries first, each after the action's own shortcut,
    // which stays the one the action is known by.
    for (const auto &[action, key] :
         {std::pair{acFileClose, K(Qt::CTRL | Qt::Key_W)}, std::pair{acFileExit, K(Qt::CTRL | Qt::Key_Q)},
          std::pair{acFileSaveAs, K(Qt::SHIFT | Qt::CTRL | Qt::Key_S)},
          std::pair{acFilePrint, K(Qt::CTRL | Qt::Key_P)}})
        action->setShortcuts(action->shortcuts() << key);

    for (QAction *action : {acViewWrap, acViewStatusBar, acToolSaveSettingsOnExit, acViewLineNumbers,
                            acViewCurrentLine, acViewWhitespace})
        action->setCheckable(true);
    acViewStatusBar->setChecked(true);
    acToolSaveSettingsOnExit->setChecked(true);
}

void TFormMain::BindActions()
{
    auto bind = [this](QAction *action, void (cFormMain::*operation)(QAction *, bool)) {
        Bind(action, [this, action, operation](bool execute) { (this->*operation)(action, execute); });
    };
    auto bindExecute = [this](QAction *action, std::function<void()> execute) {
        Bind(
            action,
            [execute](bool run) {
                if (run)
                    execute();
            },
            false);
    };
    bind(acToolsStartMacro, &cFormMain::ToolsStartMacro);
    bind(acToolsEndRecordMacro, &cFormMain::ToolsEndRecordMacro);
    bind(acToolsPlayMacro, &cFormMain::ToolsPlayMacro);
    bind(acFileNew, &cFormMain::FileNew);
    // A "file open" action: its own dialog, then the accept handler.
    bindExecute(acFileOpen, [this] {
        if (RunDialog(*FileOpenDialog))
            FileOpenAccept(acFileOpen, true);
    });
    Bind(acFileSave, [this](bool execute) { FileSave(acFileSave, execute, acFileSaveAs); });
    // A "file save as" action: before-execute, its own dialog, then accept.
    bindExecute(acFileSaveAs, [this] {
        FileSaveAs(acFileSaveAs, false);
        if (RunDialog(*FileSaveAsDialog))
            FileSaveAs(acFileSaveAs, true);
    });
    bind(acFileClose, &cFormMain::FileClose);
    bindExecute(acFileExit, [this] { close(); });
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
    bindExecute(acToolSaveSettingsOnExit, [this] { ToolSaveSettingsOnExit(acToolSaveSettingsOnExit, true); });
    bindExecute(acToolUninstallNow, [this] { ToolUninstallNow(acToolUninstallNow, true); });
    Bind(acFileImport, [this](bool execute) { FileImportExport(acFileImport, execute, ioImport); });
    Bind(acFileExport, [this](bool execute) { FileImportExport(acFileExport, execute, ioExport); });
    bind(acViewLineNumbers, &cFormMain::ViewLineNumbers);
    bind(acViewCurrentLine, &cFormMain::ViewCurrentLine);
    bind(acViewWhitespace, &cFormMain::ViewWhitespace);
}

QMenu *TFormMain::NewMenu(const char *name, const char *caption)
{
    QMenu *menu = new cShortcutMenu(QString::fromUtf8(caption), menuBar());
    menuBar()->addMenu(menu);
    menu->setObjectName(QString::fromLatin1(name));
    connect(menu, &QMenu::aboutToShow, this, &TFormMain::RefreshActions);
    return menu;
}

QAction *TFormMain::NewSeparator(QMenu *menu, const char *name)
{
    QAction *separator = menu->addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
    return separator;
}

void TFormMain::BuildMenus()
{
    miFile = NewMenu("miFile", "&File");
    miFile->addActions({acFileNew, acFileOpen, acFileSave, acFileSaveAs, acFileClose});
    miSeparatorImportExport = NewSeparator(miFile, "miSeparatorImportExport");
    miFile->addActions({acFileImport, acFileExport});
    miFileDelimiter = NewSeparator(miFile, "miFileDelimiter");
    miFile->addActions({acFilePrintSetup, acFilePrint});
    miFilePrintDelimiter = NewSeparator(miFile, "miFilePrintDelimiter");
    miFile->addAction(acFileExit);

    miEdit = NewMenu("miEdit", "&Edit");
    miEdit->addActions({acEditUndo, acEditRedo});
    miEditDelimiterUndo = NewSeparator(miEdit, "miEditDelimiterUndo");
    miEdit->addActions({acEditCut, acEditCopy, acEditPaste, acEditDelete, acEditSelectAll});
    miEditDelimiterSelectAll = NewSeparator(miEdit, "miEditDelimiterSelectAll");
    miEdit->addActions({acEditChangeCase, acEditChangeCaseTo});

    miView = NewMenu("miView", "&View");
    miView->addActions({acViewWrap, acViewFont});
    miViewDelimiter = NewSeparator(miView, "miViewDelimiter");
    miView->addAction(acViewStatusBar);
    miViewMarksDelimiter = NewSeparator(miView, "miViewMarksDelimiter");
    miView->addActions({acViewLineNumbers, acViewCurrentLine, acViewWhitespace});

    miSearch = NewMenu("miSearch", "&Search");
    miSearch->addActions({acSearchFind, acSearchReplace, acSearchFindNext});
    miSearchDelimiter = NewSeparator(miSearch, "miSearchDelimiter");
    miSearch->addAction(acSearchGotoLine);

    // Filled by the plug-in manager, which hides it when it stays empty.
    miPlugins = NewMenu("miPlugins", "&Plug-ins");

    miTools = NewMenu("miTools", "&Tools");
    miTools->addActions(
        {acToolsStartMacro, acToolsEndRecordMacro, acToolsPlayMacro, acPlayMacroOnAllEditors});
    miToolsPersistencyDelimiter = NewSeparator(miTools, "miToolsPersistencyDelimiter");
    miTools->addActions({acToolSaveSettingsOnExit, acToolUninstallNow});

    miHelp = NewMenu("miHelp", "&Help");
    miHelpAbout = miHelp->addAction(QStringLiteral("&About..."));
    miHelpAbout->setObjectName(QStringLiteral("miHelpAbout"));
    miHelpAbout->setToolTip(QStringLiteral("About"));
    miHelpAbout->setStatusTip(QStringLiteral("Information about the product"));
    connect(miHelpAbout, &QAction::triggered, this, &TFormMain::miHelpAboutClick);
}

void TFormMain::miHelpAboutClick()
{
    if (FormAbout)
        FormAbout->exec();
}

void TFormMain::UpdateActions()
{
    for (const tCommand &command : FCommands) {
        // A failing update leaves that action as it was; the next refresh tries again.
        try {
            command.Run(false);
        } catch (...) {
        }
    }
}
