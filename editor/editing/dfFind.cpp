// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/dfFind.h"

#include "editor/editing/UnicodeControls.h"
#include "editor/editing/Utilities.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/platform/ShellOpen.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int DesignWidth = 537;
constexpr int DesignHeight = 340;
constexpr int HistoryLimit = 20; // more than this many entries: the oldest goes

QRadioButton *Radio(const QString &caption, QGroupBox *box, bool checked = false)
{
    auto *button = new QRadioButton(caption, box);
    button->setChecked(checked);
    box->layout()->addWidget(button);
    return button;
}

QGroupBox *Group(const QString &caption, QWidget *parent)
{
    auto *box = new QGroupBox(caption, parent);
    box->setLayout(new QVBoxLayout);
    return box;
}

QString DisplayHint(QString text)
{
    return text.replace(u'\r', u'\n');
}

} // namespace

TFormFind::TFormFind(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(LoadResString(res::FindCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    if (ApplicationMainWindow())
        setFont(ApplicationMainWindow()->font());

    lbTextToFind = new QLabel(QStringLiteral("&Text to find:"), this);
    edwFind = new cWComboBox(this);
    lbTextToFind->setBuddy(edwFind);
    lbTextToReplace = new QLabel(QStringLiteral("&Replace with:"), this);
    edwReplace = new cWComboBox(this);
    lbTextToReplace->setBuddy(edwReplace);
    for (cWComboBox *box : {edwFind, edwReplace})
        box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    boxOptions = Group(QStringLiteral(" Options: "), this);
    cbCase = new QCheckBox(QStringLiteral("&Case sensitive"), boxOptions);
    cbWholeWord = new QCheckBox(QStringLiteral("&Whole words only"), boxOptions);
    cbPrompt = new QCheckBox(QStringLiteral("&Prompt on replace"), boxOptions);
    for (QCheckBox *c : {cbCase, cbWholeWord, cbPrompt})
        boxOptions->layout()->addWidget(c);
    boxDirection = Group(QStringLiteral(" Direction: "), this);
    rForward = Radio(QStringLiteral("Forwar&d"), boxDirection, true);
    rBackward = Radio(QStringLiteral("&Backward"), boxDirection);
    // Both scope radios stay exclusive, so a click never unchecks one; only
    // RunDialog leaves neither checked (global scope without a selection).
    boxScope = Group(QStringLiteral(" Scope: "), this);
    rGlobal = Radio(QStringLiteral("&Global"), boxScope, true);
    rSelected = Radio(QStringLiteral("&Selected text"), boxScope);
    boxOrigin = Group(QStringLiteral(" Origin: "), this);
    rFromCursor = Radio(QStringLiteral("&From cursor"), boxOrigin, true);
    rEntireScope = Radio(QStringLiteral("&Entire scope"), boxOrigin);
    gbSpecial = Group(QStringLiteral(" Special: "), this);
    rSpecialNone = Radio(QStringLiteral("&None"), gbSpecial, true);
    rSpecialRegex = Radio(QStringLiteral("Reg&ular expressions"), gbSpecial);
    rSpecialChars = Radio(QStringLiteral("Specia&l characters:"), gbSpecial);
    lbSpecialCharsHint = new QLabel(DisplayHint(LoadResString(res::SpecialCharsHint)), gbSpecial);
    lbSpecialCharsHint->setTextFormat(Qt::PlainText);
    lbSpecialCharsHint->setContentsMargins(20, 0, 0, 0);
    gbSpecial->layout()->addWidget(lbSpecialCharsHint);
    for (QGroupBox *box : {boxOptions, boxDirection, boxScope, boxOrigin})
        static_cast<QVBoxLayout *>(box->layout())->addStretch();

    btnOK = new QPushButton(QStringLiteral("O&K"), this);
    btnOK->setDefault(true);
    btnReplaceAll = new QPushButton(QStringLiteral("Replace &All"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnHelp = new QPushButton(QStringLiteral("&Help"), this);

    // Laid out, not placed: every line of every box keeps its room at any
    // font size. Only the text boxes take extra width; the buttons keep to
    // the right edge, and in find mode OK closes up to Cancel in place of the
    // hidden Replace All.
    auto *texts = new QGridLayout;
    texts->addWidget(lbTextToFind, 0, 0);
    texts->addWidget(edwFind, 0, 1);
    texts->addWidget(lbTextToReplace, 1, 0);
    texts->addWidget(edwReplace, 1, 1);
    texts->setColumnStretch(1, 1);
    auto *boxes = new QGridLayout;
    boxes->addWidget(boxOptions, 0, 0);
    boxes->addWidget(boxDirection, 0, 1);
    boxes->addWidget(boxScope, 0, 2);
    boxes->addWidget(boxOrigin, 1, 0);
    boxes->addWidget(gbSpecial, 1, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *button : {btnOK, btnReplaceAll, btnCancel, btnHelp})
        buttons->addWidget(button);
    auto *form = new QVBoxLayout(this);
    form->addLayout(texts);
    form->addLayout(boxes);
    form->addStretch();
    form->addLayout(buttons);
    UpdateSizeLimits();

    connect(btnOK, &QPushButton::clicked, this, &TFormFind::btnOKClick);
    connect(btnReplaceAll, &QPushButton::clicked, this, &TFormFind::btnReplaceAllClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, &TFormFind::btnHelpClick);
    for (QRadioButton *r : {rSpecialNone, rSpecialRegex, rSpecialChars})
        connect(r, &QRadioButton::clicked, this, &TFormFind::SpecialChanged);
    edwFind->setFocus();
}

// At least the design size, more when the font needs it; the height is
// fixed, so the user can only widen the dialog.
void TFormFind::UpdateSizeLimits()
{
    layout()->activate();
    const QSize needed = layout()->totalMinimumSize().expandedTo(layout()->totalSizeHint());
    const int height = std::max(DesignHeight, needed.height());
    setMinimumSize(std::max(DesignWidth, needed.width()), height);
    setMaximumHeight(height);
    // Unshown, the width is still the platform's default, not the dialog's.
    resize(testAttribute(Qt::WA_Resized) ? std::max(width(), minimumWidth()) : minimumWidth(), height);
}

void TFormFind::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if ((event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) && layout())
        UpdateSizeLimits();
}

void TFormFind::SpecialChanged()
{
    if (rSpecialRegex->isChecked())
        rForward->setChecked(true);
    const bool plain = !rSpecialRegex->isChecked();
    rBackward->setEnabled(plain);
    cbWholeWord->setEnabled(plain);
}

void TFormFind::RunDialog(bool hasSelection, bool replace, tSearchRequest &request)
{
    if (hasSelection) {
        rSelected->setChecked(true);
    } else if (rSelected->isChecked()) {
        // An exclusive radio cannot be unchecked; neither checked means global.
        rSelected->setAutoExclusive(false);
        rSelected->setChecked(false);
        rSelected->setAutoExclusive(true);
    }
    lbTextToReplace->setEnabled(replace);
    edwReplace->setEnabled(replace);
    cbPrompt->setEnabled(replace);
    btnReplaceAll->setVisible(replace);
    QPalette palette = edwReplace->palette();
    palette.setColor(QPalette::Base, replace ? edwFind->palette().color(QPalette::Base)
                                             : this->palette().color(QPalette::Window));
    edwReplace->setPalette(palette);
    setWindowTitle(LoadResString(replace ? res::ReplaceCaption : res::FindCaption));
    if (QLineEdit *edit = edwFind->lineEdit())
        edit->selectAll();

    const int result = FExecutor ? FExecutor(*this) : exec();
    edwFind->setFocus();

    switch (result) {
    case QDialog::Accepted:
        request.Action = replace ? saReplace : saFind;
        break;
    case QDialog::Rejected:
        request.Action = saNone;
        break;
    case mrAll:
        request.Action = saReplaceAll;
        break;
    default:
        break;
    }
    if (result != QDialog::Rejected) {
        AddToHistory(edwFind);
        if (replace)
            AddToHistory(edwReplace);
    }
    const tSearchRequest current = CurrentRequest();
    request.FindText = current.FindText;
    request.ReplaceText = current.ReplaceText;
    request.SearchOptions = current.SearchOptions;
}

tSearchRequest TFormFind::CurrentRequest() const
{
    tSearchRequest request;
    request.Action = saFind;
    request.FindText = edwFind->GetTextW();
    request.ReplaceText = edwReplace->GetTextW();
    if (rSpecialChars->isChecked()) {
        request.FindText = ExpandSpecialChars(request.FindText);
        request.ReplaceText = ExpandSpecialChars(request.ReplaceText);
    }
    tSearchOptions options = 0;
    if (cbCase->isChecked())
        options |= soMatchCase;
    if (cbWholeWord->isChecked())
        options |= soWholeWord;
    if (cbPrompt->isChecked())
        options |= soPrompt;
    if (rSelected->isChecked())
        options |= soSelectedText;
    if (rFromCursor->isChecked())
        options |= soFromCursor;
    if (rBackward->isChecked())
        options |= soBackward;
    if (rSpecialRegex->isChecked())
        options |= soRegex;
    request.SearchOptions = options;
    return request;
}

QString TFormFind::FindBoxText() const
{
    return edwFind->GetTextW();
}

void TFormFind::AddToHistory(cWComboBox *box)
{
    const QString text = box->GetTextW();
    if (text.isEmpty() || box->WItems().IndexOf(text) >= 0)
        return;
    if (box->WItems().GetCount() > HistoryLimit)
        box->WItems().Delete(box->WItems().GetCount() - 1);
    box->WItems().Insert(0, text);
}

// Selects the faulty place of a box's text after the engine's message.
void TFormFind::ShowRegexError(cWComboBox *box, const ERegExpr &error)
{
    box->setFocus();
    MessageBox(this, error.Message(), LoadResString(res::ProductName), MB_OK | MB_ICONERROR);
    // The engine may point just past the pattern's end (an unclosed group):
    // then the last character is the one shown.
    if (QLineEdit *edit = box->lineEdit())
        edit->setSelection(qBound(0, error.ErrorOffset(), int(edit->text().size()) - 1), 1);
}

// The pattern must compile; the replacement is checked as the substitution
// reads it (a template, not a pattern), against the pattern's groups.
bool TFormFind::CheckRegex()
{
    if (!rSpecialRegex->isChecked())
        return true;
    const QString pattern = edwFind->GetTextW();
    if (pattern.isEmpty())
        return true;
    TRegExpr regex;
    regex.SetExpression(pattern);
    cWComboBox *box = edwFind;
    try {
        regex.Compile();
        box = edwReplace;
        if (edwReplace->isEnabled())
            regex.CheckTemplate(edwReplace->GetTextW());
    } catch (const ERegExpr &error) {
        ShowRegexError(box, error);
        return false;
    }
    return true;
}

void TFormFind::btnOKClick()
{
    if (CheckRegex())
        done(QDialog::Accepted);
}

void TFormFind::btnReplaceAllClick()
{
    if (CheckRegex())
        done(mrAll);
}

void TFormFind::btnHelpClick()
{
    ShellOpen(LoadResString(res::RegexHelpUrl));
}

TFormFind *FormFind()
{
    static QPointer<TFormFind> instance;
    if (!instance)
        instance = new TFormFind(ApplicationMainWindow());
    return instance;
}
