// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfBMain.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/DiskWatch.h"
#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/Progress.h"
#include "editor/editing/RecoveryJournal.h"
#include "editor/editing/TypedConstants.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/dfRecover.h"
#include "editor/shell/ExtraCommands.h"
#include "editor/shell/FirstActivation.h"
#include "editor/shell/ShortcutKeys.h"
#include "editor/shell/SingleInstances.h"
#include "editor/shell/WindowPlacement.h"
#include "editor/shell/WindowSetup.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QUrl>
#include <QWindow>

#include <utility>

namespace {

QString ProductName()
{
    return LoadResString(res::ProductName);
}

const QKeySequence MacroShortcut(Qt::SHIFT | Qt::CTRL | Qt::Key_R);

} // namespace

cFormMain::cFormMain(QWidget *parent, tFormMainSetup setup) : QMainWindow(parent), FSetup(std::move(setup)) {}

cFormMain::~cFormMain()
{
    Finalize();
}

cEditor *cFormMain::Active() const
{
    return EditorTabs ? EditorTabs->ActiveEditor() : nullptr;
}

void cFormMain::SetDialogExecutor(tDialogExecutor executor)
{
    FDialogExecutor = executor;
    if (Plugins)
        Plugins->SetDialogExecutor(std::move(executor));
}

bool cFormMain::RunDialog(QFileDialog &dialog)
{
    return FDialogExecutor ? FDialogExecutor(dialog) : dialog.exec() == QDialog::Accepted;
}

void cFormMain::Initialize()
{
    // Until stored bounds say otherwise.
    if (const QList<QRect> screens = AvailableScreenAreas(); !screens.isEmpty()) {
        const QRect bounds = DefaultWindowBounds(screens.first(), QMargins());
        move(bounds.topLeft());
        resize(bounds.size());
    }
    setWindowTitle(ProductName());
    SetApplicationTitle(ProductName());
    // The hint receiver is event(): menus send the hovered item's status tip here.
    StatusBar = new cEditorStatusBar(this);
    setStatusBar(StatusBar);
    cProgress::SetStatusBar(StatusBar);
    EditorTabs = new cEditorController(this, SaveAction, StatusBar);
    setCentralWidget(EditorTabs);
    // Files dropped anywhere on the window open; the documents refuse drops
    // of files, so those reach the window.
    setAcceptDrops(true);
    connect(EditorTabs, &cEditorController::StateChanged, this, &cFormMain::ScheduleRefresh);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &cFormMain::ScheduleRefresh);
    connect(qApp, &QApplication::focusChanged, this, &cFormMain::ScheduleRefresh);

    StartMacroAction->setShortcut(MacroShortcut);
    EndMacroAction->setShortcut(MacroShortcut);
    PlayMacroAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_P));
    RedoAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Z));
    ChangeCaseToAction->setShortcut(QKeySequence(Qt::Key_F4));
    ChangeCaseToAction->setVisible(false);
    FindNextAction->setShortcut(QKeySequence(Qt::Key_F3));

    PrepareFileDialogs(*OpenDialog, *SaveAsDialog, *IODialogs[ioImport], *IODialogs[ioExport]);

    SaveSettingsOnExit = true;
    SettingsStore = std::make_unique<cPersistencyManager>(LoadResString(res::CompanyWord), ProductName(),
                                                          QStringLiteral("Settings"));
    Preferences = std::make_unique<cPreferences>(SettingsStore->ProductDirectory());
    Preferences->Load();
    if (EditorTabs)
        EditorTabs->SetViewOptions(StoredViewOptions(*Preferences));
    const QString pluginStart = FSetup.PluginStartPath.isEmpty() ? ExecutablePath() : FSetup.PluginStartPath;
    Plugins = std::make_unique<cPluginActionManager>(this, PluginsMenu, pluginStart);
    Plugins->PrepareDialog(ioImport, *IODialogs[ioImport]);
    Plugins->PrepareDialog(ioExport, *IODialogs[ioExport]);
    if (FDialogExecutor)
        Plugins->SetDialogExecutor(FDialogExecutor);

    // A later start's requests: errors in them reach the standard error box.
    cApplicationSingleton::SetOpenFileHandler([this](const QString &name) {
        if (EditorTabs)
            EditorTabs->OpenFile(name, false);
    });
    // A file opened under a tab's close question would become the tab on show.
    connect(EditorTabs, &cEditorController::CloseQuestionUp, this,
            [](bool up) { cApplicationSingleton::HoldRequests(up); });
    cApplicationSingleton::SetBringToFrontHandler([this] {
        QWidget *target = QApplication::activeModalWidget();
        if (!target)
            target = this;
        if (target->isMinimized())
            target->showNormal();
        target->show();
        target->raise();
        target->activateWindow();
    });

    // Shortcut keys are resolved before Qt's shortcut map sees them.
    FShortcuts = std::make_unique<cShortcutKeys>(
        *this, [this] { return ActionList(); }, [this] { RefreshActions(); });
    // The first activation's trigger and the hints of disabled menu items.
    qApp->installEventFilter(this);

    // A logout asks the usual questions when the session manager lets it;
    // otherwise everything typed is kept on disk for the next start.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (!CommitSession(manager.allowsInteraction(), [&manager] { manager.release(); }))
            manager.cancel();
    });
}

bool cFormMain::CommitSession(bool mayAsk, const std::function<void()> &asked)
{
    if (!mayAsk) {
        cRecoveryJournals::FlushAll();
        return true;
    }
    const bool close = CloseQuery();
    asked();
    if (close)
        cRecoveryJournals::DiscardAll();
    return close;
}

void cFormMain::FirstActivation()
{
    if (Activated || FFinalized)
        return;
    SettingsStore->Load(*this);
    Activated = true;
    StatusBar->AdjustPanelWidths();
    if (EditorTabs)
        OpenStartDocuments(*this, *EditorTabs, Extras, FSetup.Arguments ? *FSetup.Arguments : CommandLine);
    // There is no separate application window on this platform: both handles
    // are the main window's.
    const auto handle = std::uint32_t(winId());
    cApplicationSingleton::PublishWindows(handle, handle);
    RefreshActions();
}

bool cFormMain::CloseQuery()
{
    try {
        EditorTabs->ForEachDocument([this](cEditor &document, int index) {
            if (!document.Modified())
                return;
            const int answer = EditorTabs->QuerySave(document);
            EditorTabs->setCurrentIndex(index);
            if (answer == IDCANCEL)
                throw eStopIterator();
            if (answer == IDYES) {
                // Save acts on the active document, which has just changed.
                RefreshActions();
                SaveAction->trigger();
                if (document.Modified())
                    throw eStopIterator();
            }
        });
    } catch (const eStopIterator &) {
        return false;
    }
    return true;
}

void cFormMain::Finalize()
{
    if (FFinalized)
        return;
    FFinalized = true;
    FShortcuts.reset();
    qApp->removeEventFilter(this);
    cApplicationSingleton::StopAnswering();
    cApplicationSingleton::SetOpenFileHandler({});
    cApplicationSingleton::SetBringToFrontHandler({});
    Plugins.reset();
    // A window that never came up never applied the stored state; saving its
    // defaults would wipe the user's settings.
    if (SaveSettingsOnExit && SettingsStore && Activated) {
        // Nothing may leave a destructor; a store that cannot be written is reported.
        try {
            SettingsStore->Save(*this);
        } catch (...) {
            ShowCurrentException();
        }
    }
    SettingsStore.reset();
}

void cFormMain::RefreshActions()
{
    if (FFinalized || FRefreshing || !EditorTabs)
        return;
    FRefreshing = true;
    UpdateActions();
    if (Plugins)
        Plugins->UpdateActions();
    FRefreshing = false;
}

void cFormMain::ScheduleRefresh()
{
    if (FRefreshScheduled || FFinalized)
        return;
    FRefreshScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FRefreshScheduled = false;
            RefreshActions();
        },
        Qt::QueuedConnection);
}

bool cFormMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        FirstActivation();
        if (EditorTabs)
            EditorTabs->ScheduleDiskCheck();
        break;
    case QEvent::WindowUnblocked:
        // A change seen while a modal dialog was up waits for it to close;
        // not every window manager activates the window again then.
        if (EditorTabs)
            EditorTabs->ScheduleDiskCheck();
        break;
    case QEvent::StatusTip:
        // The long hint goes to the message panel, never over the panels.
        if (StatusBar)
            StatusBar->ShowText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    default:
        break;
    }
    return QMainWindow::event(event);
}

QStringList cFormMain::DroppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

// Text is dropped only into a document; dragged over a tab it shows that
// tab's document, so that text can go from one document to another.
void cFormMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty() || event->mimeData()->hasText())
        event->acceptProposedAction();
}

void cFormMain::dragMoveEvent(QDragMoveEvent *event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    event->ignore();
    auto *tabs = EditorTabs ? EditorTabs->findChild<QTabBar *>() : nullptr;
    if (!tabs || !tabs->isVisible())
        return;
    const int index = tabs->tabAt(tabs->mapFrom(this, event->position().toPoint()));
    if (index >= 0 && index != EditorTabs->currentIndex())
        EditorTabs->setCurrentIndex(index);
}

// Opened once the drop is over: a question or an error box inside the drop
// would hold the program the files came from.
void cFormMain::dropEvent(QDropEvent *event)
{
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
        this, [this, files] { OpenDroppedFiles(files); }, Qt::QueuedConnection);
}

void cFormMain::OpenDroppedFiles(const QStringList &fileNames)
{
    for (const QString &name : fileNames) {
        if (FFinalized || !EditorTabs)
            return;
        try {
            EditorTabs->OpenFile(name, false);
        } catch (...) {
            ShowCurrentException();
        }
    }
    RefreshActions();
}

void cFormMain::closeEvent(QCloseEvent *event)
{
    // Ignored first: an error inside the walk must keep the window open.
    event->ignore();
    // A file handed over during the questions would close with the window:
    // later starts wait, and open their own windows once it closes.
    const cRequestHold hold;
    if (CloseQuery()) {
        if (Extras)
            Extras->SaveSession();
        cApplicationSingleton::StopAnswering();
        event->accept();
    }
}

// ---------------------------------------------------------------------------
// Shortcut keys (resolved by cShortcutKeys) and menu hints

QAction *cFormMain::ShortcutCarrier(const QKeySequence &key) const
{
    return FShortcuts ? FShortcuts->Carrier(key) : nullptr;
}

// Qt gives no hint for a disabled menu item; the user still wants to know
// what it would do. Queued, so it comes after Qt's own handling of the move.
void cFormMain::ShowDisabledItemHint(QMenu &menu, const QPoint &pos)
{
    QWidget *owner = menu.parentWidget();
    while (owner && owner != this)
        owner = owner->parentWidget();
    QAction *item = menu.actionAt(pos);
    if (!owner || !item || item->isEnabled() || item->isSeparator())
        return;
    QMetaObject::invokeMethod(
        this,
        [this, menu = QPointer<QMenu>(&menu), item = QPointer<QAction>(item)] {
            if (menu && item && StatusBar && menu->isVisible())
                StatusBar->ShowText(item->statusTip());
        },
        Qt::QueuedConnection);
}

bool cFormMain::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // A window manager need not activate a new window (focus stealing
    // prevention, a click elsewhere meanwhile): the first activation's work
    // also runs once the window is first on screen, after its first paint.
    if (type == QEvent::Expose && !Activated && watched == windowHandle() && windowHandle()->isExposed())
        QMetaObject::invokeMethod(this, &cFormMain::FirstActivation, Qt::QueuedConnection);
    if (type == QEvent::MouseMove)
        if (auto *menu = qobject_cast<QMenu *>(watched))
            ShowDisabledItemHint(*menu, static_cast<QMouseEvent *>(event)->position().toPoint());
    return QMainWindow::eventFilter(watched, event);
}

QPrinter &cFormMain::Printer()
{
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *FPrinter;
}

void cFormMain::PrintActiveDocument(QPrinter &printer)
{
    cEditor *document = Active();
    if (!document)
        return;
    printer.setDocName(QString());
    document->print(&printer);
}

// ---------------------------------------------------------------------------
// Commands

void cFormMain::FileNew(QAction *action, bool execute)
{
    if (!execute)
        action->setEnabled(true);
    else
        EditorTabs->NewDocument();
}

void cFormMain::FileOpenAccept(QAction *, bool execute)
{
    if (!execute)
        return;
    // The dialog's read-only box, as the dialog left it.
    const QStringList files = OpenDialog->selectedFiles();
    if (!files.isEmpty())
        EditorTabs->OpenFile(files.first(), OpenDialog->property(ImportReadOnlyProperty).toBool());
}

void cFormMain::FileSave(QAction *action, bool execute, QAction *saveAsAction)
{
    cEditor *document = Active();
    if (!execute) {
        action->setEnabled(document && document->Modified());
        saveAsAction->setEnabled(document != nullptr);
        return;
    }
    if (!document || !EditorTabs->DiskWatch().ConfirmOverwrite(*document))
        return;
    if (!document->Save()) {
        FileSave(action, false, saveAsAction); // Save As is enabled for a document
        saveAsAction->trigger();
    } else {
        EditorTabs->DiskWatch().Remember(*document);
    }
}

void cFormMain::FileSaveAs(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute) {
        action->setEnabled(document != nullptr);
        if (document) {
            const QStringList filters = SaveAsDialog->nameFilters();
            const int index = int(EditorTabs->ActiveEncoding());
            if (index < filters.size())
                SaveAsDialog->selectNameFilter(filters[index]);
            if (!document->FileName().isEmpty())
                SaveAsDialog->selectFile(document->FileName());
            else if (auto *name = SaveAsDialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->clear(); // an untitled document offers no earlier name
        }
        return;
    }
    const QStringList files = SaveAsDialog->selectedFiles();
    if (files.isEmpty() || !document)
        return;
    const int filterIndex = int(SaveAsDialog->nameFilters().indexOf(SaveAsDialog->selectedNameFilter()));
    const auto encoding = tTextEncoding(qBound(0, filterIndex, TextEncodingCount - 1));
    QString name = files.first();
    // Any dot in the name's last part is an extension the user typed; it stays.
    if (!QFileInfo(name).fileName().contains(u'.'))
        name += u'.' + DefaultExtensions[encoding];
    EditorTabs->SaveActiveAs(name, encoding);
}

void cFormMain::FileClose(QAction *action, bool execute)
{
    if (!execute) {
        action->setEnabled(EditorTabs->DocumentCount() >= 1);
        return;
    }
    // The save question may run Save, which must know the document's state.
    RefreshActions();
    EditorTabs->CloseActiveDocument();
}

void cFormMain::FilePrint(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute) {
        action->setEnabled(document && document->GetTextLen() > 0);
        return;
    }
    // Linux has no default printer to print on silently: the dialog picks the
    // printer or a PDF file, and the job has no title.
    Printer().setDocName(QString());
    QPrintDialog dialog(&Printer(), this);
    if (dialog.exec() == QDialog::Accepted)
        PrintActiveDocument(Printer());
}

void cFormMain::FilePrintSetup(QAction *action, bool execute)
{
    if (!execute) {
        action->setEnabled(true);
        return;
    }
    QPageSetupDialog dialog(&Printer(), this);
    dialog.exec();
}

void cFormMain::EditUndo(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && document->CanUndo());
    else if (document)
        document->Undo();
}

void cFormMain::EditRedo(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && document->CanRedo());
    else if (document)
        document->Redo();
}

void cFormMain::EditCut(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && !document->isReadOnly() && document->GetSelLength() >= 1);
    else if (document)
        document->WMCut();
}

void cFormMain::EditCopy(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && document->GetSelLength() >= 1);
    else if (document)
        document->WMCopy();
}

void cFormMain::EditPaste(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && document->CanPaste());
    else if (document)
        document->WMPaste();
}

void cFormMain::EditSelectAll(QAction *action, bool execute)
{
    auto *edit = qobject_cast<cTextView *>(focusWidget());
    if (!edit)
        edit = Active();
    if (!execute)
        action->setEnabled(edit && edit->buffer().Length() > 0);
    else if (edit)
        edit->selectAll();
}

void cFormMain::EditDelete(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && !document->isReadOnly() && document->GetSelLength() >= 1);
    else if (document)
        document->DeleteSelection();
}

void cFormMain::EditChangeCase(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && !document->isReadOnly());
    else if (document)
        document->ChangeCase(true);
}

void cFormMain::EditChangeCaseTo(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute) {
        const auto &dialogs = DocumentDialogs();
        const int mode = dialogs.GetCase ? dialogs.GetCase(false) : 0;
        const bool visible = document && mode != 0;
        action->setVisible(visible);
        if (visible)
            action->setText(ChangeCaseToCaptions[mode]);
        action->setEnabled(visible && !document->isReadOnly());
        return;
    }
    if (document)
        document->RunMenuCommand(tKeyCommand::ChangeCase);
}

void cFormMain::ViewWrap(QAction *action, bool execute)
{
    if (!execute) {
        action->setEnabled(true);
        action->setChecked(EditorTabs->WordWrap());
    } else {
        EditorTabs->SetWordWrap(!EditorTabs->WordWrap());
        action->setChecked(EditorTabs->WordWrap());
    }
}

void cFormMain::ViewFont(QAction *action, bool execute, QFontDialog *dialog)
{
    if (!execute) {
        action->setEnabled(EditorTabs->DocumentCount() >= 1);
        return;
    }
    // Stages 0 and 2 come from the dialog's show and close events.
    dialog->setCurrentFont(EditorTabs->EditorFont());
    if (dialog->exec() == QDialog::Accepted)
        EditorTabs->SetEditorFont(dialog->selectedFont());
}

void cFormMain::FontDialogEvent(const QFont &font, int stage)
{
    switch (stage) {
    case 0:
        SavedFont = EditorTabs->EditorFont();
        break;
    case 1:
        EditorTabs->SetEditorFont(font);
        break;
    default:
        // Setting a font re-lays out every text: only when Apply changed it.
        if (SavedFont && !(EditorTabs->EditorFont() == *SavedFont))
            EditorTabs->SetEditorFont(*SavedFont);
        SavedFont.reset();
        break;
    }
}

void cFormMain::ViewStatusBar(QAction *action, bool execute)
{
    if (!execute) {
        action->setEnabled(true);
        action->setChecked(!StatusBar->isHidden());
    } else {
        StatusBar->setHidden(!StatusBar->isHidden());
        action->setChecked(!StatusBar->isHidden());
    }
}

void cFormMain::ViewLineNumbers(QAction *action, bool execute)
{
    ToggleViewOption(*EditorTabs, *Preferences, action, execute, &tViewOptions::LineNumbers);
}

void cFormMain::ViewCurrentLine(QAction *action, bool execute)
{
    ToggleViewOption(*EditorTabs, *Preferences, action, execute, &tViewOptions::CurrentLine);
}

void cFormMain::ViewWhitespace(QAction *action, bool execute)
{
    ToggleViewOption(*EditorTabs, *Preferences, action, execute, &tViewOptions::Whitespace);
}

void cFormMain::SearchFind(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document != nullptr);
    else if (document)
        document->Find();
}

void cFormMain::SearchReplace(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && !document->isReadOnly());
    else if (document)
        document->Replace();
}

void cFormMain::SearchFindNext(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document && !FormFind()->FindBoxText().isEmpty());
    else if (document)
        document->RunMenuCommand(tKeyCommand::FindNext);
}

void cFormMain::SearchGotoLine(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute)
        action->setEnabled(document != nullptr);
    else if (document)
        document->GoToLineColumn();
}

void cFormMain::ToolsStartMacro(QAction *action, bool execute)
{
    if (!execute) {
        // Only the enabled one of start and end may carry the key, or the
        // disabled one, coming first, would swallow it.
        action->setEnabled(!EditorTabs->IsRecording());
        if (action->isEnabled())
            action->setShortcut(MacroShortcut);
        return;
    }
    EditorTabs->StartMacroRecording();
    action->setShortcut(QKeySequence());
    ToolsEndRecordMacro(EndMacroAction, false);
    action->setEnabled(false);
}

void cFormMain::ToolsEndRecordMacro(QAction *action, bool execute)
{
    if (!execute) {
        action->setEnabled(EditorTabs->IsRecording());
        if (action->isEnabled())
            action->setShortcut(MacroShortcut);
        return;
    }
    EditorTabs->StopMacroRecording();
    action->setShortcut(QKeySequence());
    ToolsStartMacro(StartMacroAction, false);
    action->setEnabled(false);
}

void cFormMain::ToolsPlayMacro(QAction *action, bool execute)
{
    if (!execute)
        action->setEnabled(Active() && !EditorTabs->IsRecording() && EditorTabs->HasMacro());
    else
        EditorTabs->PlayMacro();
}

void cFormMain::PlayMacroOnAllEditors(QAction *action, bool execute)
{
    if (!execute)
        action->setEnabled(EditorTabs->DocumentCount() > 0 && !EditorTabs->IsRecording() &&
                           EditorTabs->HasMacro());
    else
        EditorTabs->PlayMacroOnAll();
}

void cFormMain::ToolSaveSettingsOnExit(QAction *action, bool execute)
{
    if (!execute) {
        action->setChecked(SaveSettingsOnExit);
        return;
    }
    SaveSettingsOnExit = !SaveSettingsOnExit;
    action->setChecked(SaveSettingsOnExit);
}

void cFormMain::ToolUninstallNow(QAction *, bool execute)
{
    if (!execute)
        return;
    // Unsaved work is asked about first, as on closing; Cancel keeps
    // everything, the settings included.
    if (!CloseQuery())
        return;
    SettingsStore->Uninstall();
    cRecoveryJournals::RemoveFolder();
    if (Extras)
        Extras->Uninstall();
    SaveSettingsOnExit = false;
    cApplicationSingleton::StopAnswering();
    // Ends the loop without a close request: the questions were asked above.
    QCoreApplication::exit(0);
}

void cFormMain::FileImportExport(QAction *action, bool execute, tIODirection direction)
{
    if (!execute) {
        action->setVisible(!Plugins->IsEmpty(direction));
        action->setEnabled(direction == ioImport || Active() != nullptr);
        return;
    }
    Plugins->ImportExport(direction, *IODialogs[direction], this);
}

// ---------------------------------------------------------------------------
// IPluginManager

IEditAPI *cFormMain::GetActiveEditor(bool &readOnly)
{
    cEditor *document = Active();
    readOnly = document && document->isReadOnly();
    return document ? document->EditAPI() : nullptr;
}

void cFormMain::BeginUpdate()
{
    if (cEditor *document = Active())
        document->WLines().BeginUpdate();
}

void cFormMain::EndUpdate()
{
    if (cEditor *document = Active())
        document->WLines().EndUpdate();
}

void cFormMain::SuspendWordWrap(bool restore)
{
    cEditor *document = Active();
    if (!document)
        return;
    const bool wrapping = document->wordWrap();
    if ((!restore && !wrapping) || (restore && !document->WrapSuspended))
        return;
    const int start = document->GetSelStart();
    const int length = document->GetSelLength();
    if (!restore) {
        document->WrapSuspended = true;
        cEditorController::ApplyWordWrap(*document, false);
    } else {
        cEditorController::ApplyWordWrap(*document, true);
        document->WrapSuspended = false;
    }
    document->SetSelStart(start);
    document->SetSelLength(length);
}

void cFormMain::BeginUndoableChange()
{
    if (cEditor *document = Active())
        document->BeginSnapshot();
}

void cFormMain::EndUndoableChange()
{
    if (cEditor *document = Active())
        document->EndSnapshot();
}

void cFormMain::OpenText(bool readOnly, const QString &, const QString &text)
{
    EditorTabs->OpenText(text, readOnly);
}

QString cFormMain::GetActiveText()
{
    // The window text, with CR LF line breaks as in saved files.
    cEditor *document = Active();
    return document ? document->GetTextViaWindowText() : QString();
}

// ---------------------------------------------------------------------------
// IPersistentObject

// Bounds are the frame's position and the window's size, as move and resize
// take them, so a restart puts the window back where it was.
void cFormMain::Save(cRegistryStream &stream)
{
    stream.WriteFont(EditorTabs->EditorFont(), FFontAttributes);
    stream.WriteBool(EditorTabs->WordWrap());
    stream.WriteBool(!StatusBar->isHidden());
    stream.WriteRect(x(), y(), width(), height());
}

void cFormMain::Load(cRegistryStream &stream)
{
    FFontAttributes = stream.ReadFont(EditorTabs->EditorFont());
    EditorTabs->SetWordWrap(stream.ReadBool());
    StatusBar->setHidden(!stream.ReadBool());
    // The screens may have changed since, and a damaged value must not put
    // the window out of sight or make it larger than a screen.
    const QRect bounds = FitWindowBounds(stream.ReadRect(), FrameMargins(), AvailableScreenAreas(), size());
    move(bounds.topLeft());
    resize(bounds.size());
}

QMargins cFormMain::FrameMargins() const
{
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

QList<QRect> cFormMain::AvailableScreenAreas()
{
    QList<QRect> areas;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        areas.append(primary->availableGeometry());
    for (QScreen *screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas.append(screen->availableGeometry());
    return areas;
}
