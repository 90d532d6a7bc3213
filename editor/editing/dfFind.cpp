#include "editor/editing/dfFind.h"

#include "editor/editing/UnicodeControls.h"
#include "editor/editing/Utilities.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/platform/ShellOpen.h"

#include <QButtonGroup>
#include <QCheckBox>
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
constexpr int CancelLeft = 369;
constexpr int HelpLeft = 449;
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

    boxOptions = Group(QStringLiteral(" Options: "), this);
    cbCase = new QCheckBox(QStringLiteral("&Case sensitive"), boxOptions);
    cbWholeWord = new QCheckBox(QStringLiteral("&Whole words only"), boxOptions);
    cbPrompt = new QCheckBox(QStringLiteral("&Prompt on replace"), boxOptions);
    for (QCheckBox *c : {cbCase, cbWholeWord, cbPrompt})
        boxOptions->layout()->addWidget(c);
    boxDirection = Group(QStringLiteral(" Direction: "), this);
    rForward = Radio(QStringLiteral("Forwar&d"), boxDirection, true);
    rBackward = Radio(QStringLiteral("&Backward"), boxDirection);
    boxScope = Group(QStringLiteral(" Scope: "), this);
    rGlobal = Radio(QStringLiteral("&Global"), boxScope, true);
    rSelected = Radio(QStringLiteral("&Selected text"), boxScope);
    // With no selection neither scope may end up checked (global scope).
    for (QRadioButton *r : {rGlobal, rSelected})
        r->setAutoExclusive(false);
    connect(rGlobal, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rSelected->setChecked(false);
    });
    connect(rSelected, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rGlobal->setChecked(false);
    });
    boxOrigin = Group(QStringLiteral(" Origin: "), this);
    rFromCursor = Radio(QStringLiteral("&From cursor"), boxOrigin, true);
    rEntireScope = Radio(QStringLiteral("&Entire scope"), boxOrigin);
    gbSpecial = Group(QStringLiteral(" Special: "), this);
    rSpecialNone = Radio(QStringLiteral("&None"), gbSpecial, true);
    rSpecialRegex = Radio(QStringLiteral("Reg&ular expressions"), gbSpecial);
    rSpecialChars = Radio(QStringLiteral("Specia&l characters:"), gbSpecial);
    lbSpecialCharsHint = new QLabel(DisplayHint(LoadResString(res::SpecialCharsHint)), gbSpecial);
    lbSpecialCharsHint->setContentsMargins(20, 0, 0, 0);
    gbSpecial->layout()->addWidget(lbSpecialCharsHint);

    btnOK = new QPushButton(QStringLiteral("O&K"), this);
    btnOK->setDefault(true);
    btnReplaceAll = new QPushButton(QStringLiteral("Replace &All"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnHelp = new QPushButton(QStringLiteral("&Help"), this);

    // Fixed design positions, as the dialog was laid out at 96 dpi.
    lbTextToFind->setGeometry(8, 12, 100, 16);
    edwFind->setGeometry(112, 8, DesignWidth - 120, 22);
    lbTextToReplace->setGeometry(8, 40, 100, 16);
    edwReplace->setGeometry(112, 36, DesignWidth - 120, 22);
    boxOptions->setGeometry(8, 66, 170, 110);
    boxDirection->setGeometry(186, 66, 160, 110);
    boxScope->setGeometry(354, 66, 175, 110);
    boxOrigin->setGeometry(8, 182, 170, 110);
    gbSpecial->setGeometry(186, 182, 343, 110);
    const int buttonTop = DesignHeight - 36;
    btnOK->setGeometry(209, buttonTop, 75, 25);
    btnReplaceAll->setGeometry(288, buttonTop, 77, 25);
    btnCancel->setGeometry(CancelLeft, buttonTop, 75, 25);
    btnHelp->setGeometry(HelpLeft, buttonTop, 75, 25);

    FOkButtonLeft = btnOK->x();
    FReplaceAllLeft = btnReplaceAll->x();
    setMinimumSize(DesignWidth, DesignHeight);
    setMaximumHeight(DesignHeight);
    resize(DesignWidth, DesignHeight);

    connect(btnOK, &QPushButton::clicked, this, &TFormFind::btnOKClick);
    connect(btnReplaceAll, &QPushButton::clicked, this, &TFormFind::btnReplaceAllClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, &TFormFind::btnHelpClick);
    for (QRadioButton *r : {rSpecialNone, rSpecialRegex, rSpecialChars})
        connect(r, &QRadioButton::clicked, this, &TFormFind::SpecialChanged);
    edwFind->setFocus();
}

void TFormFind::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    PlaceControls();
}

void TFormFind::PlaceControls()
{
    const int extra = std::max(0, width() - DesignWidth);
    edwFind->resize(DesignWidth - 120 + extra, edwFind->height());
    edwReplace->resize(DesignWidth - 120 + extra, edwReplace->height());
    // In find mode OK takes the place of the hidden Replace All, next to Cancel.
    btnOK->move((FReplaceMode ? FOkButtonLeft : FReplaceAllLeft) + extra, btnOK->y());
    btnReplaceAll->move(FReplaceAllLeft + extra, btnReplaceAll->y());
    btnCancel->move(CancelLeft + extra, btnCancel->y());
    btnHelp->move(HelpLeft + extra, btnHelp->y());
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
    rSelected->setChecked(hasSelection);
    lbTextToReplace->setEnabled(replace);
    edwReplace->setEnabled(replace);
    cbPrompt->setEnabled(replace);
    btnReplaceAll->setVisible(replace);
    QPalette palette = edwReplace->palette();
    palette.setColor(QPalette::Base, replace ? edwFind->palette().color(QPalette::Base)
                                             : this->palette().color(QPalette::Window));
    edwReplace->setPalette(palette);
    setWindowTitle(LoadResString(replace ? res::ReplaceCaption : res::FindCaption));
    FReplaceMode = replace;
    PlaceControls();
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

bool TFormFind::CheckBox(cWComboBox *box)
{
    const QString text = box->GetTextW();
    if (text.isEmpty())
        return true;
    TRegExpr regex;
    regex.SetExpression(text);
    try {
        regex.Compile();
    } catch (const ERegExpr &error) {
        box->setFocus();
        MessageBox(this, error.Message(), LoadResString(res::ProductName), MB_OK | MB_ICONERROR);
        // The engine may point just past the pattern's end (an unclosed group):
        // then the last character is the one shown.
        if (QLineEdit *edit = box->lineEdit())
            edit->setSelection(qBound(0, error.ErrorOffset(), int(text.size()) - 1), 1);
        return false;
    }
    return true;
}

bool TFormFind::CheckRegex()
{
    if (!rSpecialRegex->isChecked())
        return true;
    if (!CheckBox(edwFind))
        return false;
    return !edwReplace->isEnabled() || CheckBox(edwReplace);
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
