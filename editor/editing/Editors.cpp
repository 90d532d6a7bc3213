// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/Editors.h"

#include "editor/editing/Progress.h"

#include "editor/editing/EditorStatus.h"
#include "editor/editing/EditTransaction.h"
#include "editor/editing/KbdMacros.h"
#include "editor/editing/RecoveryJournal.h"
#include "editor/editing/TextFiles.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Application.h"
#include "editor/platform/CharServices.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/text/UnicodeClipboard.h"
#include "editor/text/UnicodeStrings.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QStackedWidget>

#include <memory>

namespace {

tDocumentDialogs TheDocumentDialogs;

const QColor FoundTextColor(255, 255, 0);
const QColor FoundBackColor(0, 0, 0);

QString ProductName()
{
    return LoadResString(res::ProductName);
}

// Keeps the view where it is while a command moves the selection about and
// puts it back.
class cKeepScrollPosition
{
public:
    explicit cKeepScrollPosition(QAbstractScrollArea &area)
        : FArea(area), FHorizontal(area.horizontalScrollBar()->value()),
          FVertical(area.verticalScrollBar()->value())
    {}
    ~cKeepScrollPosition()
    {
        FArea.horizontalScrollBar()->setValue(FHorizontal);
        FArea.verticalScrollBar()->setValue(FVertical);
    }
    cKeepScrollPosition(const cKeepScrollPosition &) = delete;
    cKeepScrollPosition &operator=(const cKeepScrollPosition &) = delete;

private:
    QAbstractScrollArea &FArea;
    int FHorizontal, FVertical;
};

} // namespace

void SetDocumentDialogs(tDocumentDialogs dialogs)
{
    TheDocumentDialogs = std::move(dialogs);
}

const tDocumentDialogs &DocumentDialogs()
{
    return TheDocumentDialogs;
}

tTextEncoding NewDocumentEncoding()
{
    const QByteArray codePage = AnsiCodePageName().toUpper();
    return codePage == "UTF-8" || codePage == "UTF8" ? teAnsi : teUTF8;
}

// ---------------------------------------------------------------------------
// Creation and the per-document state the status bar shows

cEditor::cEditor(QWidget *owner) : cEditAPI(owner)
{
    connect(this, &cWRichEdit::Change, this, &cEditor::DocumentChanged);
    connect(this, &cTextView::cursorPositionChanged, this, &cEditor::UpdateCaretPosition);
    connect(this, &cTextView::selectionChanged, this, &cEditor::UpdateCaretPosition);
    connect(this, &cTextView::modificationChanged, this, [this](bool modified) {
        if (StatusBar && IsShownDocument())
            StatusBar->ShowModified(modified);
        emit ModifiedChanged(modified);
    });
    cRecoveryJournals::Attach(*this);
}

void cEditor::DocumentChanged()
{
    HighlightFound(false);
    UpdateCaretPosition();
    SetModified(true);
}

void cEditor::PrepareForEditing()
{
    setTabChangesFocus(false);
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    FNormalTextColor = p.color(QPalette::Active, QPalette::Text);
    FNormalBackColor = p.color(QPalette::Active, QPalette::Base);
}

void cEditor::SetModified(bool value)
{
    setModified(value);
}

void cEditor::SetFileName(const QString &fileName)
{
    if (fileName == FFileName)
        return;
    FFileName = fileName;
    FileNameChanged();
}

void cEditor::FileNameChanged()
{
    if (!IsShownDocument())
        return;
    if (StatusBar)
        StatusBar->ShowFileName(FFileName);
    const QString title =
        FFileName.isEmpty() ? ProductName() : Format(QStringLiteral("%s - %s"), {FFileName, ProductName()});
    SetApplicationTitle(title);
    if (QWidget *window = ApplicationMainWindow())
        window->setWindowTitle(title);
}

void cEditor::UpdateCaretPosition()
{
    if (StatusBar && IsShownDocument())
        StatusBar->ShowPosition(GetCaretLine() + 1, GetCaretColumn() + 1);
}

void cEditor::ShowStatus()
{
    UpdateCaretPosition();
    if (StatusBar && IsShownDocument()) {
        StatusBar->ShowModified(Modified());
        StatusBar->ShowOverwrite(Overwrite());
    }
    FileNameChanged();
}

bool cEditor::IsShownDocument() const
{
    const auto *pages = qobject_cast<const QStackedWidget *>(parentWidget());
    return !pages || pages->currentWidget() == this;
}

// ---------------------------------------------------------------------------
// Found-text highlight

// The mark is view-only, so neither the text nor the modified flag changes;
// the flag is put back all the same, as moving the selection must not touch it.
// Every other match on screen takes the found text's colours too.
void cEditor::HighlightAllFound(const tSearchRequest &request)
{
    tMatchPattern pattern{request.FindText, request.Has(soMatchCase), request.Has(soWholeWord), {}};
    if (request.Has(soRegex)) {
        // A pattern of its own: the find's may be borrowing the text.
        auto regex = std::make_shared<TRegExpr>();
        regex->SetModifierM(Regex().ModifierM());
        regex->SetModifierI(Regex().ModifierI());
        regex->SetLineSeparators(Regex().LineSeparators());
        regex->SetLinePairedSeparator(Regex().LinePairedSeparator());
        regex->SetExpression(request.FindText);
        pattern.Matcher = [regex](const QString &piece) {
            std::vector<std::pair<int, int>> found;
            try {
                regex->SetInputString(piece);
                for (bool more = regex->Exec(); more; more = regex->ExecNext())
                    if (regex->MatchLen(0) > 0)
                        found.emplace_back(regex->MatchPos(0) - 1,
                                           regex->MatchPos(0) - 1 + regex->MatchLen(0));
            } catch (...) {
                // A pattern that failed here marks nothing; the find has reported it.
            }
            regex->SetInputString(QString());
            return found;
        };
    }
    setMatchHighlight(pattern, FoundTextColor, FoundBackColor);
}

void cEditor::HighlightFound(bool on)
{
    const bool wasModified = Modified();
    if (on) {
        if (FHighlighted)
            return;
        FSavedSelStart = GetSelStart();
        FSavedSelLength = GetSelLength();
        SetSelBackColor(FoundBackColor);
        SetSelTextColor(FoundTextColor);
        FHighlighted = true;
    } else {
        if (!FHighlighted)
            return;
        // Cleared first: recolouring moves the selection, which reports back here.
        FHighlighted = false;
        const cKeepScrollPosition keepView(*this);
        int anchor, caret;
        GetSel(anchor, caret);
        SetSel(FSavedSelStart, FSavedSelStart + FSavedSelLength + 1);
        SetSelTextColor(FNormalTextColor);
        SetSelBackColor(FNormalBackColor);
        SetSel(anchor, caret);
    }
    SetModified(wasModified);
}

// ---------------------------------------------------------------------------
// Clipboard, case, go to

bool cEditor::CanPaste() const
{
    if (isReadOnly())
        return false;
    // Asked whenever the commands' states are, so another program's clipboard
    // is judged by its formats: fetching its text could cost megabytes each time.
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *data = clipboard->mimeData();
    if (!data || !data->hasText())
        return false;
    return !clipboard->ownsClipboard() || !data->text().isEmpty();
}

namespace {

QString ConvertCase(const QString &text, int mode)
{
    QString result = text;
    const qsizetype size = result.size();
    // The third way goes over the text twice.
    cProgress progress(QStringLiteral("Change Case"), mode == 3 ? 2 * size : size, 1 << 16);
    switch (mode) {
    case 1:
        for (qsizetype i = 0; i < size; ++i, progress.Step(i))
            WCharLower(result[i]);
        break;
    case 2:
        for (qsizetype i = 0; i < size; ++i, progress.Step(i))
            WCharUpper(result[i]);
        break;
    case 3:
        for (qsizetype i = 0; i < size; ++i, progress.Step(i))
            WCharLower(result[i]);
        for (qsizetype i = 0; i < size; ++i, progress.Step(size + i))
            if (i == 0 || !IsCharAlphaW(text[i - 1]))
                WCharUpper(result[i]);
        break;
    case 4:
        for (qsizetype i = 0; i < size; ++i, progress.Step(i)) {
            QChar &c = result[i];
            if (!IsCharAlphaW(c))
                continue;
            if (IsCharUpperW(c))
                WCharLower(c);
            else
                WCharUpper(c);
        }
        break;
    default:
        break;
    }
    return result;
}

} // namespace

void cEditor::ChangeCase(bool showDialog)
{
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    const cEditTransaction edit(*this, tEditSteps::Shown);
    if (GetSelLength() == 0)
        SelectCurrentLine();
    const int mode = DocumentDialogs().GetCase ? DocumentDialogs().GetCase(showDialog) : 0;
    if (GetSelLength() == 0 || mode < 1 || mode > 4)
        return;
    SetSelTextW(ConvertCase(GetSelTextW(), mode));
}

void cEditor::SelectCurrentLine()
{
    const int line = GetCaretLine();
    GoToLine(line);
    GoToColumn(0);
    const int start = GetSelStart();
    GoToColumn(int(WLines().Get(line).size()));
    const int end = GetSelStart();
    SetSel(start, end);
}

void cEditor::GoToLineColumn()
{
    if (!DocumentDialogs().GotoLineColumn)
        return;
    int line = -1, column = -1;
    if (!DocumentDialogs().GotoLineColumn(line, column))
        return;
    if (line >= 0)
        GoToLine(line);
    if (column >= 0)
        GoToColumn(column);
}

// ---------------------------------------------------------------------------
// Files

void cEditor::LoadFromFile(const QString &fileName)
{
    if (fileName == FFileName && (FMarkless || !FCodePage.isEmpty()))
        return LoadFromFileAs(fileName, Coding());
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    const cUpdateBracket update(WLines());
    tTextFile file;
    LoadText([&](cTextBuffer &buffer) { file = ReadTextFileInto(fileName, buffer, TextLimit()); });
    FEncoding = file.Encoding;
    FOddByte = file.OddByte;
    FCodePage.clear();
    FMarkless = false;
    SetFileName(fileName);
    SetModified(false);
    if (cRecoveryJournal *journal = cRecoveryJournals::JournalOf(*this))
        journal->FileIsBase();
    emit FileUsed(fileName);
}

void cEditor::LoadFromFileAs(const QString &fileName, const tFileCoding &coding)
{
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    const cUpdateBracket update(WLines());
    tFileCoding found;
    QByteArray oddByte;
    LoadText(
        [&](cTextBuffer &buffer) { found = ReadTextFileAs(fileName, coding, buffer, TextLimit(), oddByte); });
    TakeCoding(found, oddByte);
    SetFileName(fileName);
    SetModified(false);
    if (cRecoveryJournal *journal = cRecoveryJournals::JournalOf(*this))
        journal->FileIsBase();
    emit FileUsed(fileName);
}

void cEditor::TakeCoding(const tFileCoding &coding, const QByteArray &oddByte)
{
    FEncoding = coding.Encoding;
    FOddByte = oddByte;
    FCodePage = coding.Encoding == teAnsi ? coding.CodePage : QByteArray();
    FMarkless = coding.Encoding != teAnsi && !coding.Mark;
}

void cEditor::AdoptRecovered(const QString &fileName, const tFileCoding &coding, const QByteArray &oddByte)
{
    TakeCoding(coding, oddByte);
    SetFileName(fileName);
    SetModified(true);
}

bool cEditor::ConfirmAnsiLoss(const QString &fileName) const
{
    const QString text =
        Format(QStringLiteral(
                   "The file\r\"%s\"\rcontains characters in Unicode format which will be lost if you save "
                   "this file as an ANSI text.\rTo keep the Unicode information, select any of the Unicode "
                   "encodings (UTF-8, Unicode or Unicode big endian) in the Save As dialog box.\r\r"
                   "Do you still want to continue and enforce ANSI?"),
               {fileName});
    return MessageBox(ApplicationMainWindow(), text, ProductName(),
                      MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2) == IDOK;
}

// A write that fails throws before anything of the document changed, so it
// keeps its name, encoding and modified flag.
void cEditor::SaveToFile(const QString &fileName, tTextEncoding encoding)
{
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    bool written = false;
    const bool sameCoding = encoding == FEncoding;
    {
        const cCodePageScope codePage(sameCoding ? FCodePage : QByteArray());
        // Straight from the buffer to the file, a piece at a time.
        if (encoding != teAnsi || !HasNonAnsiCharacters(buffer()) || ConfirmAnsiLoss(fileName)) {
            // Half a unit means nothing in another encoding.
            WriteFileSafely(fileName, cTextContents(buffer(), encoding, sameCoding ? FOddByte : QByteArray(),
                                                    sameCoding && FMarkless ? tMark::Without : tMark::With));
            written = true;
        }
    }
    SetModified(!written);
    SetFileName(fileName);
    if (!sameCoding) {
        FOddByte.clear();
        FCodePage.clear();
        FMarkless = false;
    }
    FEncoding = encoding;
    if (written)
        emit FileUsed(fileName);
}

// A file removed since it was opened (or a name kept from a cancelled ANSI
// save) is written again: Save that writes nothing would look like success.
bool cEditor::Save()
{
    if (FFileName.isEmpty())
        return false;
    SaveToFile(FFileName, FEncoding);
    return true;
}

// Read as loading reads it, so the same bytes always compare equal.
bool cEditor::MatchesFile() const
{
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    cTextBuffer disk;
    tTextFile file;
    try {
        file = ReadTextFileInto(FFileName, disk, TextLimit());
    } catch (...) {
        return false;
    }
    return file.Encoding == FEncoding && file.OddByte == FOddByte && disk.Breaks() == LineBreaks() &&
           buffer().Equals(disk.Contiguous());
}

// ---------------------------------------------------------------------------
// Events

// Recorded before anything else sees the key, the key table included; a
// shortcut override is not a key message and is not recorded.
// Text an input method commits is typed input too.
bool cEditor::event(QEvent *event)
{
    if (KeyMacro)
        KeyMacro->Record(*event);
    return cEditAPI::event(event);
}

// Any key ends the found-text colours, before its command runs.
void cEditor::keyPressEvent(QKeyEvent *event)
{
    HighlightFound(false);
    cEditAPI::keyPressEvent(event);
}

// The document's layer of the key table; the rest is the view's.
bool cEditor::RunKeyCommand(const tKeyBinding &binding, const QKeyEvent &key)
{
    switch (binding.Command) {
    case tKeyCommand::SwitchTab:
        ForwardTabKey((key.modifiers() &
                       (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) |
                      (key.key() == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier));
        return true;
    case tKeyCommand::ModifiedTab:
    case tKeyCommand::ParagraphFormat:
        return true;
    case tKeyCommand::FindNext:
        FindNext(false);
        return true;
    case tKeyCommand::ChangeCase:
        ChangeCase(false);
        return true;
    case tKeyCommand::ToggleOverwrite:
        setOverwriteMode(!overwriteMode());
        if (StatusBar)
            StatusBar->ShowOverwrite(overwriteMode());
        return true;
    default:
        return cEditAPI::RunKeyCommand(binding, key);
    }
}

void cEditor::RunMenuCommand(tKeyCommand command)
{
    const QKeyCombination combination = KeyOfCommand(command, KeyLayer());
    const QKeyEvent key(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
    if (KeyMacro)
        KeyMacro->Record(key);
    HighlightFound(false);
    RunKeyCommand({command}, key);
}

// Ctrl+Tab and Ctrl+Shift+Tab belong to the tabs around the document; the
// key goes up the parent chain, where the tab control takes it.
void cEditor::ForwardTabKey(Qt::KeyboardModifiers modifiers)
{
    QWidget *parent = parentWidget();
    if (!parent)
        return;
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, modifiers);
    QCoreApplication::sendEvent(parent, &tab);
}

void cEditor::focusInEvent(QFocusEvent *event)
{
    cEditAPI::focusInEvent(event);
    ShowStatus();
}

void cEditor::focusOutEvent(QFocusEvent *event)
{
    cEditAPI::focusOutEvent(event);
    UpdateCaretPosition();
}

void cEditor::mousePressEvent(QMouseEvent *event)
{
    cEditAPI::mousePressEvent(event);
    if (event->button() == Qt::MiddleButton)
        return;
    HighlightFound(false);
    UpdateCaretPosition();
}

void cEditor::resizeEvent(QResizeEvent *event)
{
    cEditAPI::resizeEvent(event);
    UpdateCaretPosition();
}
