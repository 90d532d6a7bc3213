// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Find and Replace dialog: one instance for the whole run, keeping its
// texts, histories and options between showings.
#include "editor/editing/EditorRegex.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class cWComboBox;

class TFormFind : public QDialog
{
    Q_OBJECT
public:
    explicit TFormFind(QWidget *parent = nullptr);

    // Shows the dialog and fills Request; texts and options are handed back
    // also after Cancel, with saNone.
    void RunDialog(bool hasSelection, bool replace, tSearchRequest &request);
    // The request the controls describe now (F3 repeats it), action saFind.
    tSearchRequest CurrentRequest() const;
    QString FindBoxText() const;

    // Runs the modal loop; tests replace it to act on the shown dialog.
    using tExecutor = std::function<int(TFormFind &)>;
    void SetExecutor(tExecutor executor) { FExecutor = std::move(executor); }

    QLabel *lbTextToFind, *lbTextToReplace, *lbSpecialCharsHint;
    cWComboBox *edwFind, *edwReplace;
    QGroupBox *boxOptions, *boxDirection, *boxScope, *boxOrigin, *gbSpecial;
    QCheckBox *cbCase, *cbWholeWord, *cbPrompt;
    QRadioButton *rForward, *rBackward, *rGlobal, *rSelected, *rFromCursor, *rEntireScope;
    QRadioButton *rSpecialNone, *rSpecialRegex, *rSpecialChars;
    QPushButton *btnOK, *btnReplaceAll, *btnCancel, *btnHelp;

    // Modal result of Replace All.
    static constexpr int mrAll = 8;

protected:
    void changeEvent(QEvent *event) override;

private:
    void UpdateSizeLimits();
    void SpecialChanged();
    void btnOKClick();
    void btnReplaceAllClick();
    void btnHelpClick();
    bool CheckRegex();
    void ShowRegexError(cWComboBox *box, const ERegExpr &error);
    static void AddToHistory(cWComboBox *box);

    tExecutor FExecutor;
};

// The one instance, made on first use with the main window as its parent.
TFormFind *FormFind();
