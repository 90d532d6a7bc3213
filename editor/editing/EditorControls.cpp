// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditorControls.h"

#include "editor/editing/Progress.h"

#include "editor/editing/DiskWatch.h"
#include "editor/editing/Editors.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/EditTransaction.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/Application.h"
#include "editor/platform/FileNames.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/textengine/TextViewAccessible.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTabBar>
#include <QWheelEvent>

#include <algorithm>

namespace {

QString Untitled()
{
    return QStringLiteral("Untitled");
}

// Keeps a document's modified flag and selection across a re-layout.
class cKeepDocumentState
{
public:
    explicit cKeepDocumentState(cEditor &document)
        : FDocument(document), FModified(document.Modified()), FStart(document.GetSelStart()),
          FLength(document.GetSelLength())
    {}
    ~cKeepDocumentState()
    {
        FDocument.SetSelStart(FStart);
        FDocument.SetSelLength(FLength);
        FDocument.SetModified(FModified);
    }
    cKeepDocumentState(const cKeepDocumentState &) = delete;
    cKeepDocumentState &operator=(const cKeepDocumentState &) = delete;

private:
    cEditor &FDocument;
    bool FModified;
    int FStart, FLength;
};

} // namespace

cEditorController::cEditorController(QWidget *owner, QAction *saveAction, cEditorStatusBar *statusBar)
    : QTabWidget(owner), StatusBar(statusBar), SaveAction(saveAction), FEditorFont(font()),
      FDiskWatch(new cDiskWatch(*this))
{
    FEditorFont.setFamily(QStringLiteral("Tahoma"));
    FEditorFont.setPointSize(10);
    setDocumentMode(true);
    setVisible(false);
    // Tabs reorder by drag; the numbers in the captions follow the order.
    setMovable(true);
    // A caption changed while a tab is dragged ends the drag's moves early.
    tabBar()->installEventFilter(this);
    connect(tabBar(), &QTabBar::tabMoved, this, [this] {
        FCaptionsMoved = true;
        if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
            UpdateTabCaptions();
        emit StateChanged();
    });
    // The panels and the caption follow the tab on show even where the focus
    // does not (a modal dialog up, no window manager to give it).
    connect(this, &QTabWidget::currentChanged, this, [this](int) {
        if (cEditor *document = ActiveEditor()) {
            document->ShowStatus();
            document->SetFocus();
            // A reader learns of the other text without hearing it inserted.
            AccessibleTextReset(*document);
        }
        emit StateChanged();
        ScheduleDiskCheck();
    });
}

cEditorController::~cEditorController() = default;

cEditor *cEditorController::Editors(int index) const
{
    return qobject_cast<cEditor *>(widget(index));
}

cEditor *cEditorController::ActiveEditor() const
{
    return qobject_cast<cEditor *>(currentWidget());
}

tTextEncoding cEditorController::ActiveEncoding() const
{
    const cEditor *document = ActiveEditor();
    return document ? document->Encoding() : teUTF8;
}

int cEditorController::NewDocument()
{
    auto *document = new cEditor(this);
    document->StatusBar = StatusBar;
    document->KeyMacro = &FKeyMacro;
    connect(document, &cWRichEdit::Change, this, &cEditorController::StateChanged);
    connect(document, &cTextView::selectionChanged, this, &cEditorController::StateChanged);
    connect(document, &cEditor::ModifiedChanged, this, &cEditorController::StateChanged);
    connect(document, &cEditor::FileUsed, this, &cEditorController::FileUsed);
    // Ctrl+wheel zooms; the view would scroll.
    document->viewport()->installEventFilter(this);
    document->setFont(DocumentFont());
    const int index = addTab(document, Untitled());
    setCurrentIndex(index);
    ApplyWordWrap(*document, FWordWrap);
    document->setViewOptions(FViewOptions);
    setVisible(true);
    UpdateTabCaptions();
    document->SetModified(false);
    document->PrepareForEditing();
    document->SetFocus();
    return index;
}

void cEditorController::MakeReadOnly(cEditor &document, bool readOnly)
{
    document.setReadOnly(readOnly);
    emit StateChanged();
    if (readOnly) {
        // Read-only documents take the tab control's colour, so they stand apart.
        QPalette palette = document.palette();
        palette.setColor(QPalette::Base, this->palette().color(QPalette::Window));
        document.setPalette(palette);
    }
}

void cEditorController::OpenFile(const QString &fileName, bool readOnly)
{
    cEditor *active = ActiveEditor();
    if (active && currentIndex() == count() - 1 && !active->Modified() && active->FileName().isEmpty())
        CloseActiveDocument();
    NewDocument();
    cEditor &document = *ActiveEditor();
    document.LoadFromFile(AbsoluteFileName(fileName));
    FDiskWatch->Remember(document);
    MakeReadOnly(document, readOnly);
    document.PrepareForEditing();
    UpdateTabCaptions();
    document.SetFocus();
}

void cEditorController::OpenText(const QString &text, bool readOnly)
{
    NewDocument();
    cEditor &document = *ActiveEditor();
    {
        // An imported text keeps each break as the file had it.
        cUpdateBracket noRedraw(document.WLines());
        document.LoadText([&text](cTextBuffer &buffer) { buffer.SetText(text); });
    }
    MakeReadOnly(document, readOnly);
    document.PrepareForEditing();
    UpdateTabCaptions();
}

int cEditorController::QuerySave(cEditor &document) const
{
    if (!document.Modified())
        return IDYES;
    const QString text =
        document.FileName().isEmpty()
            ? QStringLiteral("File modified.\r\rDo you want to save before closing?")
            : Format(QStringLiteral("File \"%s\" modified.\r\rDo you want to save it before closing?"),
                     {document.FileName()});
    return MessageBox(ApplicationMainWindow(), text, LoadResString(res::ProductName),
                      MB_YESNOCANCEL | MB_ICONQUESTION);
}

// The question and the save run event loops in which other tabs may come and
// go: everything after them goes by the document asked about, not by the
// tab on show.
void cEditorController::CloseActiveDocument()
{
    const QPointer<cEditor> document = ActiveEditor();
    if (!document)
        return;
    if (document->Modified()) {
        struct tQuestionUp
        {
            cEditorController &Tabs;
            explicit tQuestionUp(cEditorController &tabs) : Tabs(tabs) { emit Tabs.CloseQuestionUp(true); }
            ~tQuestionUp() { emit Tabs.CloseQuestionUp(false); }
            tQuestionUp(const tQuestionUp &) = delete;
            tQuestionUp &operator=(const tQuestionUp &) = delete;
        } const questionUp(*this);
        const int answer = QuerySave(*document);
        if (!document)
            return;
        if (answer == IDYES && SaveAction) {
            // Save acts on the document on show.
            setCurrentIndex(indexOf(document));
            SaveAction->trigger();
        }
        if (!document || (document->Modified() && answer != IDNO))
            return;
    }
    // A closing document writes nothing more: its focus-out would put its
    // caret position back into panels that were just cleared.
    document->StatusBar = nullptr;
    const bool last = count() == 1;
    if (last)
        setVisible(false);
    const int index = indexOf(document);
    // The tab that followed takes the place; after the last, the first.
    const int next = index < count() - 1 ? index : 0;
    removeTab(index);
    document->deleteLater();
    document->setParent(nullptr);
    if (last && StatusBar)
        StatusBar->ClearPanels();
    if (count() > 0)
        setCurrentIndex(next);
    UpdateTabCaptions();
    if (cEditor *active = ActiveEditor())
        active->SetFocus();
    else if (QWidget *main = ApplicationMainWindow())
        main->setWindowTitle(LoadResString(res::ProductName));
}

void cEditorController::ScheduleDiskCheck()
{
    QMetaObject::invokeMethod(FDiskWatch, &cDiskWatch::CheckActive, Qt::QueuedConnection);
}

void cEditorController::ForEachDocument(const std::function<void(cEditor &document, int index)> &routine)
{
    for (int i = 0; i < count(); ++i)
        if (cEditor *document = Editors(i))
            routine(*document, i);
}

void cEditorController::SaveActiveAs(const QString &fileName, tTextEncoding encoding)
{
    if (cEditor *document = ActiveEditor()) {
        document->SaveToFile(fileName, encoding);
        FDiskWatch->Remember(*document);
    }
    UpdateTabCaptions();
}

void cEditorController::UpdateTabCaptions()
{
    FCaptionsMoved = false;
    for (int i = 0; i < count(); ++i) {
        cEditor *document = Editors(i);
        QString name = document ? QFileInfo(document->FileName()).fileName() : QString();
        if (name.isEmpty())
            name = Untitled();
        // A screen reader names the document as the tab shows it.
        const QString spoken = i < 9 ? Format(QStringLiteral("%d: %s"), {i + 1, name}) : name;
        if (document && document->accessibleName() != spoken)
            document->setAccessibleName(spoken);
        // A literal "&" in a name must not become an accelerator.
        name.replace(QLatin1Char('&'), QLatin1String("&&"));
        setTabText(i, i < 9 ? Format(QStringLiteral("&%d: %s"), {i + 1, name}) : name);
    }
}

void cEditorController::SetEditorFont(const QFont &font)
{
    FEditorFont = font;
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    // The control lays its whole text out again in the new font by itself;
    // putting the text back would only cost the user's undo history.
    ForEachDocument([this](cEditor &document, int) {
        cUpdateBracket noRedraw(document.WLines());
        cKeepDocumentState keep(document);
        document.setFont(DocumentFont());
    });
}

QFont cEditorController::DocumentFont() const
{
    QFont font = FEditorFont;
    if (FZoom != 0 && font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + FZoom);
    return font;
}

void cEditorController::SetZoom(int steps)
{
    // From 4 points to twice the font and 24 points more.
    const int smallest = 4 - int(FEditorFont.pointSizeF());
    steps = std::clamp(steps, std::min(smallest, 0), int(FEditorFont.pointSizeF()) + 24);
    if (steps == FZoom)
        return;
    FZoom = steps;
    // The editor font stays as chosen: zoom lasts the session only.
    SetEditorFont(QFont(FEditorFont));
}

void cEditorController::SetWordWrap(bool on)
{
    if (on == FWordWrap)
        return;
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    FWordWrap = on;
    ForEachDocument([on](cEditor &document, int) { ApplyWordWrap(document, on); });
}

void cEditorController::SetViewOptions(const tViewOptions &options)
{
    FViewOptions = options;
    ForEachDocument([&options](cEditor &document, int) { document.setViewOptions(options); });
}

void cEditorController::ApplyWordWrap(cEditor &document, bool on)
{
    const auto horizontal = on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    if (document.wordWrap() == on && document.horizontalScrollBarPolicy() == horizontal)
        return;
    {
        cKeepDocumentState keep(document);
        document.setHorizontalScrollBarPolicy(horizontal);
        cUpdateBracket noRedraw(document.WLines());
        document.setWordWrap(on);
    }
    if (document.isVisible())
        document.SetFocus();
}

void cEditorController::StartMacroRecording()
{
    FKeyMacro.Start();
    SetStatusText(LoadResString(res::RecordingNotice));
    if (StatusBar)
        StatusBar->BeginRecording();
}

void cEditorController::StopMacroRecording()
{
    FKeyMacro.Stop();
    if (StatusBar)
        StatusBar->EndRecording();
    SetStatusText(QString());
}

void cEditorController::PlayMacro()
{
    cEditor *document = ActiveEditor();
    if (!document)
        return;
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    const cEditTransaction edit(*document, tEditSteps::Unpainted);
    FKeyMacro.Play(document);
}

void cEditorController::PlayMacroOnAll()
{
    cProgress progress(QStringLiteral("Play Macro on All Documents"), count());
    for (int i = 0; i < count(); ++i) {
        if (cEditor *document = Editors(i))
            FKeyMacro.Play(document);
        progress.Step(i + 1);
    }
}

void cEditorController::SetStatusText(const QString &text)
{
    if (StatusBar)
        StatusBar->ShowText(text);
}

void cEditorController::ActivateNeighbour(int step)
{
    if (count() > 0)
        setCurrentIndex((currentIndex() + step + count()) % count());
}

bool cEditorController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tabBar() && event->type() == QEvent::MouseButtonRelease && FCaptionsMoved)
        QMetaObject::invokeMethod(this, &cEditorController::UpdateTabCaptions, Qt::QueuedConnection);
    if (event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta != 0)
                SetZoom(FZoom + (delta > 0 ? 1 : -1));
            return true;
        }
    }
    return QTabWidget::eventFilter(watched, event);
}

// Documents hand Ctrl+Tab and Ctrl+Shift+Tab up to here.
bool cEditorController::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            (key->modifiers() & Qt::ControlModifier)) {
            const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
            ActivateNeighbour(back ? -1 : 1);
            return true;
        }
    }
    return QTabWidget::event(event);
}
