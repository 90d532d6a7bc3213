// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfLine.h"

#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/shell/DialogFit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace {

bool IsBlank(const QLineEdit *box)
{
    return box->text().trimmed().isEmpty();
}

// The box's number; blank boxes are not asked.
std::int32_t NumberOf(const QLineEdit *box, bool *ok)
{
    return box->text().trimmed().toInt(ok, 10);
}

// The zero-based number of a one-based box; the smallest number stays the
// smallest instead of wrapping round to the largest.
std::int32_t ZeroBasedOf(const QLineEdit *box)
{
    if (IsBlank(box))
        return -1;
    bool ok = false;
    const std::int32_t number = NumberOf(box, &ok);
    return number == std::numeric_limits<std::int32_t>::min() ? number : number - 1;
}

} // namespace

TFormGotoLine::TFormGotoLine(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      lbLineNumber(new QLabel(QStringLiteral("&Line number:"), this)),
      edLine(new QLineEdit(QStringLiteral("1"), this)),
      lbColumnNumber(new QLabel(QStringLiteral("&Column number:"), this)),
      edCol(new QLineEdit(QStringLiteral("1"), this)), btnOK(new QPushButton(QStringLiteral("O&K"), this)),
      btnCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("FormGotoLine"));
    setWindowTitle(QStringLiteral("Go to Line/Column"));
    if (QWidget *main = ApplicationMainWindow())
        setFont(main->font());
    lbLineNumber->setBuddy(edLine);
    lbColumnNumber->setBuddy(edCol);

    auto *boxes = new QGridLayout;
    boxes->addWidget(lbLineNumber, 0, 0);
    boxes->addWidget(edLine, 0, 1);
    boxes->addWidget(lbColumnNumber, 1, 0);
    boxes->addWidget(edCol, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(boxes);
    layout->addStretch();
    layout->addLayout(buttons);
    FitDialogToFont(*this, QSize(227, 111));

    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TFormGotoLine::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    edLine->installEventFilter(this);
    edCol->installEventFilter(this);
    edLine->setFocus();
}

// Only digits and backspace may be typed; shortcuts such as Ctrl+V still
// work, so pasted text gets in and is checked at OK.
bool TFormGotoLine::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == edLine || watched == edCol)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        const bool command = key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
        if (!command && !text.isEmpty()) {
            const QChar c = text.front();
            const bool allowed =
                c == u'\b' || (c >= u'0' && c <= u'9') || c.category() == QChar::Other_Control;
            if (!allowed)
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TFormGotoLine::ValidateBox(QLineEdit *box)
{
    bool ok = true;
    if (!IsBlank(box))
        NumberOf(box, &ok);
    if (ok)
        return true;
    box->setFocus();
    MessageBox(this, Format(QStringLiteral("'%s' is not a valid integer value"), {box->text()}),
               LoadResString(res::ProductName), MB_OK | MB_ICONERROR);
    return false;
}

void TFormGotoLine::btnOKClick()
{
    if (ValidateBox(edCol) && ValidateBox(edLine))
        accept();
}

void TFormGotoLine::RunDialog(tLineColumnRequest &request)
{
    request.Accepted = false;
    if (auto *box = qobject_cast<QLineEdit *>(focusWidget()))
        box->selectAll();
    if (exec() != QDialog::Accepted)
        return;
    request.Line = ZeroBasedOf(edLine);
    request.Column = ZeroBasedOf(edCol);
    request.Accepted = true;
}
