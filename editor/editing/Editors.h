// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One open document: the text of one file with its name, encoding, modified
// flag, key filter, found-text highlight, change of case and go-to-line.
#include "editor/editing/EditorAPI.h"
#include "editor/editing/FileEncodings.h"
#include "editor/editing/TypedConstants.h"
#include "editor/textengine/TextSearch.h"

#include <QColor>
#include <QString>

#include <functional>

class cEditorStatusBar;
class cKeyMacro;

// The small dialogs belong to the shell, which hands them to the documents at
// start-up; a document without them moves nothing and changes no case.
struct tDocumentDialogs
{
    // Shows Go to Line/Column; true when confirmed. Line and Column are
    // zero-based, -1 for a blank box.
    std::function<bool(int &line, int &column)> GotoLineColumn;
    // The Change Case dialog's case index (0 none, 1 lower, 2 UPPER, 3 Title,
    // 4 tOGGLE); with false only the remembered choice.
    std::function<int(bool showDialog)> GetCase;
};
void SetDocumentDialogs(tDocumentDialogs dialogs);
const tDocumentDialogs &DocumentDialogs();

// A new document's encoding: where the locale's code page is UTF-8 that
// code page (UTF-8 without a mark, which a #! line and most tools need),
// else UTF-8 with its mark.
tTextEncoding NewDocumentEncoding();

// The outcome of one plain replacement.
enum class tReplaceOutcome
{
    NotFound,
    Cancelled,
    Done,
};

class cEditor : public cEditAPI
{
    Q_OBJECT
public:
    explicit cEditor(QWidget *owner = nullptr);

    cEditorStatusBar *StatusBar = nullptr; // not owned; set by the tabs
    cKeyMacro *KeyMacro = nullptr;         // not owned; receives the key messages
    // Word wrap is off for a plug-in command and comes back afterwards.
    bool WrapSuspended = false;

    const QString &FileName() const noexcept { return FFileName; }
    // The view holds the flag; ModifiedChanged follows it.
    bool Modified() const noexcept { return isModified(); }
    tTextEncoding Encoding() const noexcept { return FEncoding; }
    const QByteArray &OddByte() const noexcept { return FOddByte; }
    bool Overwrite() const noexcept { return overwriteMode(); }
    bool Highlighted() const noexcept { return FHighlighted; }

    void PrepareForEditing();
    // Reading the document's own file again keeps a coding chosen with LoadFromFileAs.
    void LoadFromFile(const QString &fileName);
    // Takes what a recovery record kept besides the text, which the document
    // already holds; the document is modified.
    void AdoptRecovered(const QString &fileName, const tFileCoding &coding, const QByteArray &oddByte);
    // Reads the file as Coding says, whatever its first bytes; saving then
    // writes it the same way (mark or none, code page).
    void LoadFromFileAs(const QString &fileName, const tFileCoding &coding);
    tFileCoding Coding() const { return {FEncoding, FCodePage, !FMarkless}; }
    void SaveToFile(const QString &fileName, tTextEncoding encoding);
    // False when the document has no file name and Save As must run.
    bool Save();
    // Whether the file holds what this document would write to it (false
    // when it cannot be read).
    bool MatchesFile() const;
    void SetModified(bool value);
    void SetFileName(const QString &fileName);
    void FileNameChanged();
    void UpdateCaretPosition();
    // Position, "*", INS/OVR, file name and caption, all at once: the
    // document has just become the one on show.
    void ShowStatus();
    // The status bar and the caption belong to the document on show; one
    // behind another tab keeps its state to itself.
    bool IsShownDocument() const;
    void HighlightFound(bool on) override;
    bool CanPaste() const;
    // A command of the document's keys run from the window's menu: a macro
    // being recorded takes it as its key, so that playing it runs it again.
    void RunMenuCommand(tKeyCommand command);
    void ChangeCase(bool showDialog);
    void SelectCurrentLine();
    void GoToLineColumn();

    // Search commands.
    void Find();
    void FindNext(bool fromDialog);
    void Replace();
    tSearchRange PrepareFindRange(const tSearchRequest &request) const;
    tReplaceOutcome ReplaceOccurrence(const tSearchRequest &request, tSearchRange &range);
    // The report text; empty when there is nothing to report.
    QString ReplaceLoop(const tSearchRequest &request, tSearchRange range);
    // Replace All without prompts: what ReplaceLoop does, in one change.
    QString ReplaceAllAtOnce(const tSearchRequest &request, tSearchRange range);

signals:
    void ModifiedChanged(bool modified);
    // The document's file was read or written.
    void FileUsed(const QString &fileName);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    tKeyLayer KeyLayer() const override { return tKeyLayer::Document; }
    bool RunKeyCommand(const tKeyBinding &binding, const QKeyEvent &key) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool ConfirmAnsiLoss(const QString &fileName) const;
    // The encoding, code page, mark and odd byte the file was read with.
    void TakeCoding(const tFileCoding &coding, const QByteArray &oddByte);
    // The change handler: any edit, by the user or the program.
    void DocumentChanged();
    void ForwardTabKey(Qt::KeyboardModifiers modifiers);
    void HighlightAllFound(const tSearchRequest &request);

    QString FFileName;
    tTextEncoding FEncoding = NewDocumentEncoding();
    QByteArray FOddByte;    // the odd last byte of a UTF-16 file, written back in its encoding
    QByteArray FCodePage;   // teAnsi in this code page rather than the locale's
    bool FMarkless = false; // read as UTF-8 or UTF-16 without a mark, and so written
    int FSavedSelStart = 0;
    int FSavedSelLength = 0;
    bool FHighlighted = false;
    QColor FNormalTextColor;
    QColor FNormalBackColor;
    bool FLastOccurrenceReplaced = false; // the last ReplaceOccurrence replaced (not skipped)
};
