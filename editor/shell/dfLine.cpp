#include "editor/shell/dfLine.h"

#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <functional>

namespace {

bool ToInt32(const QString &text, qint32 &value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

} // namespace

TFormGotoLine::TFormGotoLine(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Go to Line/Column"));
    if (ApplicationMainWindow())
        setFont(ApplicationMainWindow()->font());
    lbLineNumber = new QLabel(QStringLiteral("&Line number:"), this);
    edLine = new QLineEdit(QStringLiteral("1"), this);
    lbLineNumber->setBuddy(edLine);
    lbColumnNumber = new QLabel(QStringLiteral("&Column number:"), this);
    edCol = new QLineEdit(QStringLiteral("1"), this);
    lbColumnNumber->setBuddy(edCol);
    btnOK = new QPushButton(QStringLiteral("O&K"), this);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    lbLineNumber->setGeometry(8, 12, 100, 16);
    edLine->setGeometry(112, 8, 105, 22);
    lbColumnNumber->setGeometry(8, 44, 100, 16);
    edCol->setGeometry(112, 40, 105, 22);
    btnOK->setGeometry(60, 78, 75, 25);
    btnCancel->setGeometry(142, 78, 75, 25);
    setFixedSize(227, 111);
    for (QLineEdit *box : {edLine, edCol})
        box->installEventFilter(this);
    connect(btnOK, &QPushButton::clicked, this, &TFormGotoLine::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    edLine->setFocus();
}

// Only digits and backspace may be typed; pasted text is checked at OK.
bool TFormGotoLine::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (text.size() == 1 && text[0].isPrint() && !(text[0] >= u'0' && text[0] <= u'9'))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TFormGotoLine::Validate(QLineEdit *box)
{
    qint32 value;
    if (box->text().trimmed().isEmpty() || ToInt32(box->text(), value))
        return true;
    box->setFocus();
    MessageBox(this, Format(QStringLiteral("'%s' is not a valid integer value"), {box->text()}),
               LoadResString(res::ProductName), MB_OK | MB_ICONERROR);
    return false;
}

void TFormGotoLine::btnOKClick()
{
    if (Validate(edCol) && Validate(edLine))
        accept();
}

void TFormGotoLine::RunDialog(tLineColumnRequest &request)
{
    request.Accepted = false;
    const int result = FExecutor ? FExecutor(*this) : exec();
    if (result != QDialog::Accepted)
        return;
    qint32 value;
    request.Line = edLine->text().trimmed().isEmpty() || !ToInt32(edLine->text(), value) ? -1 : value - 1;
    request.Column = edCol->text().trimmed().isEmpty() || !ToInt32(edCol->text(), value) ? -1 : value - 1;
    request.Accepted = true;
}

TFormGotoLine *FormGotoLine()
{
    static QPointer<TFormGotoLine> instance;
    if (!instance)
        instance = new TFormGotoLine(ApplicationMainWindow());
    return instance;
}
