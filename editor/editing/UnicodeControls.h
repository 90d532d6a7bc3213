// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Unicode edit controls: a plain-text editor and an editable combo box
// whose lines and items are wide string lists (ControlStrings.h).
#include "editor/text/UnicodeStrings.h"
#include "editor/textengine/TextView.h"

#include <QColor>
#include <QComboBox>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// How a line list reaches its control. The count is the owning control's:
// Release never frees it.
class IWMessageHandler
{
public:
    virtual int AddRef() = 0;
    virtual int Release() = 0;
    // 0 while the control has no window; never makes one.
    virtual WId GetWindowHandle() const = 0;

protected:
    ~IWMessageHandler() = default;
};

// The text operations of an edit control, with the few primitives the line
// lists are built on. Positions count a paragraph mark as one character.
class IWEditor : public IWMessageHandler
{
public:
    // Whole text with CR alone between paragraphs.
    virtual QString GetTextW() const = 0;
    virtual int GetTextLen() const = 0;
    virtual int GetSelStart() const = 0;
    virtual void Refresh() = 0;
    // Empties the control and clears its modified flag.
    virtual void Clear() = 0;

    virtual int LineCount() const = 0;
    // First position of Line (-1: the caret's line); -1 when there is no such line.
    virtual int LineIndex(int line) const = 0;
    // Length without the paragraph mark of the line holding Pos (-1: the caret's line).
    virtual int LineLength(int pos) const = 0;
    virtual QString LineText(int line) const = 0;
    // Anchor at Start, caret at End; End < 0 means the end of the text.
    virtual void SetSel(int start, int end) = 0;
    // Replaces the selection; the caret ends after Text. Not undoable.
    virtual void ReplaceSel(const QString &text) = 0;
    // Replaces the whole text; false when the control refuses it. Not undoable.
    virtual bool SetText(const QString &text) = 0;
    virtual void SetRedraw(bool on) = 0;

protected:
    ~IWEditor() = default;
};

// FindTextW option bits.
inline constexpr int ftWholeWord = 1;
inline constexpr int ftMatchCase = 2;
inline constexpr int ftBackward = 4;

// Every lone CR, lone LF and CR LF pair becomes CR LF; nothing else changes.
QString AdjustLineBreaksW(QStringView text);

class cWRichEditStrings;

// A plain-text editor carrying UTF-16 end to end. A position counts a
// paragraph mark as one character, read back as CR.
//
// Text given to the control maps line breaks to paragraph marks: CR LF is one
// mark, a lone CR and a lone LF one each; every mark remembers the break it
// came with, and a mark typed or pasted takes the text's dominant break.
// GetTextW gives CR between paragraphs, GetTextViaWindowText CR LF, and
// TextForFile each mark's own break, so a file comes back byte for byte. No
// other character is ever a break (U+2028, U+2029 are text), and U+0000 is
// text like any other.
class cWRichEdit : public cTextView, public IWEditor
{
    Q_OBJECT
public:
    explicit cWRichEdit(QWidget *parent = nullptr);
    ~cWRichEdit() override;
    cWRichEdit(const cWRichEdit &) = delete;
    cWRichEdit &operator=(const cWRichEdit &) = delete;

    cWStrings &WLines();
    const cWStrings &WLines() const;

    // IWMessageHandler, IWEditor
    int AddRef() override;
    int Release() override;
    WId GetWindowHandle() const override;
    QString GetTextW() const override;
    int GetTextLen() const override;
    int GetSelStart() const override;
    void Refresh() override;
    void Clear() override;
    int LineCount() const override;
    int LineIndex(int line) const override;
    int LineLength(int pos) const override;
    QString LineText(int line) const override;
    void SetSel(int start, int end) override;
    // A program's replacement: a break of Text (CR LF, a lone CR or LF) where
    // the selection has a mark at the same place keeps that mark's break;
    // other breaks take the dominant one.
    void ReplaceSel(const QString &text) override;
    // As typing or pasting replaces the selection: every break of Text takes
    // the dominant one.
    void ReplaceSelAsTyped(const QString &text);
    // Puts back a text taken from here earlier: its marks take Breaks in
    // order (see SelBreaks).
    void RestoreSel(const QString &text, const std::vector<tLineBreak> &breaks);
    // The break of each mark in the selection, in order.
    std::vector<tLineBreak> SelBreaks() const;
    bool SetText(const QString &text) override;
    // Sets the text and each mark's break exactly (an earlier state put back).
    bool SetTextWithBreaks(const QString &text, const std::vector<tLineBreak> &breaks);
    std::vector<tLineBreak> LineBreaks() const;
    // Whether the text, marks as CR, is Text (without copying it).
    bool TextEquals(const QString &text) const { return buffer().Equals(text); }
    // Replacements at ascending places as one change; the text between them
    // keeps its breaks. Not recorded for the control's undo, as ReplaceSel.
    void ReplaceMany(const std::vector<tReplacement> &replacements);
    // Sets the text as SetText does, with Load writing it into the buffer
    // itself (a file decoded straight into the buffer's storage).
    void LoadText(const std::function<void(cTextBuffer &)> &load);
    void SetRedraw(bool on) override;

    // Further primitives.
    int LineFromChar(int pos) const; // -1: the caret's line
    void GetSel(int &anchor, int &caret) const;
    // Characters from Start up to, not including, End; CR for paragraph marks.
    QString TextRange(int start, int end) const;
    // Colours of the characters Start..End as a view-only mark that neither
    // the text nor undo sees; an invalid or the normal colour removes it.
    void SetCharColors(int start, int end, const QColor *textColor, const QColor *backColor);
    // The control's own undo record (the user's edits).
    bool ControlCanUndo() const;
    bool ControlCanRedo() const;
    void ControlUndo();
    void ControlRedo();
    void EmptyUndoBuffer();

    // Wide text operations.
    void SetTextW(const QString &s);
    QString GetTextViaWindowText() const;
    // The text as it goes to a file: every line with its own break.
    QString TextForFile() const;
    QString GetTextRange(int start, int end) const { return TextRange(start, end); }
    // Pos, or the nearest position before (or after, when Forward) it when
    // Pos falls between the two halves of a surrogate pair.
    int CharacterBoundary(int pos, bool forward) const;
    void SetSelTextW(const QString &s);
    QString GetSelTextW() const;
    // The first match of Text in the range FindRange (TextSearch.h) makes of
    // StartPos and Length, the last one when backward; -1 when there is none.
    int FindTextW(const QString &text, int startPos, int length, int options) const;
    void LimitTextW(int limit);
    int TextLimit() const noexcept { return FTextLimit; }
    void CopyToClipboardW();
    void CutToClipboardW();
    void PasteFromClipboardW();

    int GetSelLength() const;
    void SetSelStart(int pos);
    void SetSelLength(int length);

    // A program change of many steps (replace all): while a batch is open the
    // selection is kept off the widget and the layout waits, so neither is
    // redone per step; both catch up once when the outermost batch ends, and
    // Change is emitted then. Only these primitives may edit meanwhile: no key
    // input, no prompt on the way.
    void BeginEditBatch();
    void EndEditBatch();

    // Whether Change is emitted (the control's change event mask).
    void SetChangeNotification(bool on) noexcept { FChangeNotification = on; }
    bool ChangeNotification() const noexcept { return FChangeNotification; }

signals:
    // The text changed, by the user or the program.
    void Change();

private:
    void ReplaceSelection(const QString &text, const std::vector<tLineBreak> &breaks);
    std::vector<tLineBreak> BreaksAtSamePlaces(QStringView text) const;
    bool IsNormal(const QColor &c, bool back) const;
    void UpdateUndoFlags();
    void AfterWholeText();

    std::unique_ptr<cWRichEditStrings> FLines;
    int FRefCount = 0;
    int FTextLimit;
    bool FChangeNotification = true;
    bool FRedraw = true;
    int FBatchDepth = 0;
    int FBatchAnchor = 0, FBatchCaret = 0;
    bool FBatchChanged = false;
};

// Keeps an edit batch of a control open for a scope.
class cEditBatch
{
public:
    explicit cEditBatch(cWRichEdit &edit) : FEdit(edit) { FEdit.BeginEditBatch(); }
    ~cEditBatch() { FEdit.EndEditBatch(); }
    cEditBatch(const cEditBatch &) = delete;
    cEditBatch &operator=(const cEditBatch &) = delete;

private:
    cWRichEdit &FEdit;
};

class cWComboBoxStrings;

// An editable combo box with wide items. The edit text is the user's: adding,
// removing and clearing items never changes it, and there is no completion.
class cWComboBox : public QComboBox, public IWMessageHandler
{
    Q_OBJECT
public:
    explicit cWComboBox(QWidget *parent = nullptr);
    ~cWComboBox() override;
    cWComboBox(const cWComboBox &) = delete;
    cWComboBox &operator=(const cWComboBox &) = delete;

    cWStrings &WItems();
    void SetTextW(const QString &s);
    QString GetTextW() const;

    int AddRef() override;
    int Release() override;
    WId GetWindowHandle() const override;

private:
    std::unique_ptr<cWComboBoxStrings> FItems;
    int FRefCount = 0;
};
