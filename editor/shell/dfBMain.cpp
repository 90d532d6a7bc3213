#include "editor/shell/dfBMain.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/TypedConstants.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/SingleInstances.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTimer>

namespace {

QString ProductName()
{
    return LoadResString(res::ProductName);
}

// "desc|mask|desc|mask" as Qt name filters, one per pair.
QStringList NameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << cPluginManager::NameFilterOf(parts[i] + u'|' + parts[i + 1]);
    return filters;
}

// The printer shared by Print Setup and Print, so a setup carries over.
QPrinter &SharedPrinter()
{
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

} // namespace

cFormMain::cFormMain(QWidget *parent) : QMainWindow(parent) {}

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

QCheckBox *cFormMain::AddReadOnlyBox(QFileDialog &dialog)
{
    auto *box = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
    box->setObjectName(QStringLiteral("ReadOnlyBox"));
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    dialog.setProperty(ImportReadOnlyProperty, false);
    QObject::connect(box, &QCheckBox::toggled, &dialog,
                     [&dialog](bool on) { dialog.setProperty(ImportReadOnlyProperty, on); });
    return box;
}

void cFormMain::Initialize()
{
    setWindowTitle(ProductName());
    SetApplicationTitle(ProductName());
    StatusBar = new cEditorStatusBar(this);
    setStatusBar(StatusBar);
    EditorTabs = new cEditorController(this, SaveAction, StatusBar);
    setCentralWidget(EditorTabs);

    StartMacroAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_R));
    EndMacroAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_R));
    PlayMacroAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_P));
    RedoAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Z));
    ChangeCaseToAction->setShortcut(QKeySequence(Qt::Key_F4));
    ChangeCaseToAction->setVisible(false);
    FindNextAction->setShortcut(QKeySequence(Qt::Key_F3));

    OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setNameFilters(NameFilters(LoadResString(res::AllFilesFilter)));
    AddReadOnlyBox(*OpenDialog);
    SaveAsDialog->setOption(QFileDialog::DontUseNativeDialog);
    SaveAsDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveAsDialog->setFileMode(QFileDialog::AnyFile);
    SaveAsDialog->setNameFilters(NameFilters(EncodingFilter));
    for (QFileDialog *dialog : IODialogs)
        dialog->setOption(QFileDialog::DontUseNativeDialog);
    IODialogs[ioImport]->setAcceptMode(QFileDialog::AcceptOpen);
    IODialogs[ioImport]->setFileMode(QFileDialog::ExistingFile);
    AddReadOnlyBox(*IODialogs[ioImport]);
    IODialogs[ioExport]->setAcceptMode(QFileDialog::AcceptSave);
    IODialogs[ioExport]->setFileMode(QFileDialog::AnyFile);

    SaveSettingsOnExit = true;
    SettingsStore = std::make_unique<cPersistencyManager>(LoadResString(res::CompanyWord), ProductName(),
                                                          QStringLiteral("Settings"));
    Plugins = std::make_unique<cPluginActionManager>(this, PluginsMenu);
    Plugins->PrepareDialog(ioImport, *IODialogs[ioImport]);
    Plugins->PrepareDialog(ioExport, *IODialogs[ioExport]);
    if (FDialogExecutor)
        Plugins->SetDialogExecutor(FDialogExecutor);

    cApplicationSingleton::SetOpenFileHandler([this](const QString &name) {
        if (EditorTabs)
            EditorTabs->OpenFile(name, false);
    });
}

void cFormMain::FirstActivation()
{
    if (Activated)
        return;
    SettingsStore->Load(*this);
    Activated = true;
    StatusBar->AdjustPanelWidths();
    if (EditorTabs) {
        OpenCommandLineDocuments(
            CommandLine, [this](const QString &name, bool readOnly) { EditorTabs->OpenFile(name, readOnly); },
            [this] { return EditorTabs->DocumentCount(); }, [this] { EditorTabs->NewDocument(); },
            [this](const QString &message) {
                MessageBox(this, message, ProductName(), MB_OK | MB_ICONERROR);
            });
    }
    // There is no separate application window on this platform: both handles
    // are the main window's.
    const auto handle = std::uint32_t(winId());
    cApplicationSingleton::PublishWindows(handle, handle);
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
    Plugins.reset();
    if (SaveSettingsOnExit && SettingsStore)
        SettingsStore->Save(*this);
    SettingsStore.reset();
}

bool cFormMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        FirstActivation();
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

void cFormMain::closeEvent(QCloseEvent *event)
{
    if (CloseQuery())
        event->accept();
    else
        event->ignore();
}

void cFormMain::SendKeyToActive(int key)
{
    if (cEditor *document = Active()) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(document, &press);
    }
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
    if (document && !document->Save())
        saveAsAction->trigger();
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
        }
        return;
    }
    const QStringList files = SaveAsDialog->selectedFiles();
    if (files.isEmpty() || !document)
        return;
    const int filterIndex = int(SaveAsDialog->nameFilters().indexOf(SaveAsDialog->selectedNameFilter()));
    const auto encoding = tTextEncoding(qBound(0, filterIndex, TextEncodingCount - 1));
    QString name = files.first();
    if (QFileInfo(name).suffix().isEmpty() && !name.endsWith(u'.'))
        name += u'.' + DefaultExtensions[encoding];
    EditorTabs->SaveActiveAs(name, encoding);
}

void cFormMain::FileClose(QAction *action, bool execute)
{
    if (!execute)
        action->setEnabled(EditorTabs->DocumentCount() >= 1);
    else
        EditorTabs->CloseActiveDocument();
}

void cFormMain::FilePrint(QAction *action, bool execute)
{
    cEditor *document = Active();
    if (!execute) {
        action->setEnabled(document && document->GetTextLen() > 0);
        return;
    }
    QPrinter &printer = SharedPrinter();
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printer.setDocName(QString());
    document->print(&printer);
}

void cFormMain::FilePrintSetup(QAction *action, bool execute)
{
    if (!execute) {
        action->setEnabled(true);
        return;
    }
    QPageSetupDialog dialog(&SharedPrinter(), this);
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
    auto *edit = qobject_cast<QPlainTextEdit *>(focusWidget());
    if (!edit)
        edit = Active();
    if (!execute)
        action->setEnabled(edit && !edit->document()->isEmpty());
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
    SendKeyToActive(Qt::Key_F4);
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
    dialog->setCurrentFont(EditorTabs->EditorFont());
    FontDialogEvent(dialog->currentFont(), 0);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    FontDialogEvent(dialog->currentFont(), 2);
    if (accepted)
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
        EditorTabs->SetEditorFont(SavedFont);
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
    if (!execute)
        action->setEnabled(Active() && !FormFind()->FindBoxText().isEmpty());
    else
        SendKeyToActive(Qt::Key_F3);
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
        action->setEnabled(!EditorTabs->IsRecording());
        if (action->isEnabled())
            action->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_R));
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
            action->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_R));
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
    SettingsStore->Uninstall();
    SaveSettingsOnExit = false;
    // Ends the loop without a close request: no save question is asked.
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
    const bool wrapping = document->lineWrapMode() != QPlainTextEdit::NoWrap;
    if ((!restore && !wrapping) || (restore && !document->WrapSuspended))
        return;
    const int start = document->GetSelStart();
    const int length = document->GetSelLength();
    if (!restore) {
        document->WrapSuspended = true;
        document->setLineWrapMode(QPlainTextEdit::NoWrap);
    } else {
        document->setLineWrapMode(QPlainTextEdit::WidgetWidth);
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
    cEditor *document = Active();
    return document ? document->GetTextW() : QString();
}

// ---------------------------------------------------------------------------
// IPersistentObject

void cFormMain::Save(cRegistryStream &stream)
{
    stream.WriteFont(EditorTabs->EditorFont());
    stream.WriteBool(EditorTabs->WordWrap());
    stream.WriteBool(!StatusBar->isHidden());
    stream.WriteRect(geometry());
}

void cFormMain::Load(cRegistryStream &stream)
{
    stream.ReadFont(EditorTabs->EditorFont());
    EditorTabs->SetWordWrap(stream.ReadBool());
    StatusBar->setHidden(!stream.ReadBool());
    const QRect bounds = stream.ReadRect();
    if (bounds.width() > 0 && bounds.height() > 0)
        setGeometry(bounds);
}
