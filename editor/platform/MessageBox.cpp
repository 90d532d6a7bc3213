// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/MessageBox.h"

#include "editor/platform/Resources.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

cMessageBoxAnswerer *CurrentAnswerer = nullptr;

QMessageBox::Icon IconOf(unsigned flags)
{
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct tButton
{
    QMessageBox::StandardButton Button;
    int Id;
};

QList<tButton> ButtonsOf(unsigned flags)
{
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {
            {QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

// The box's text uses CR alone as its line break; Qt wants LF.
QString DisplayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

int ShowBox(const tMessageBoxCall &call)
{
    QMessageBox box(IconOf(call.Flags), call.Caption, DisplayText(call.Text), QMessageBox::NoButton,
                    call.Owner);
    // File names may hold "<" and "&": never taken as markup.
    box.setTextFormat(Qt::PlainText);
    const QList<tButton> buttons = ButtonsOf(call.Flags);
    for (const tButton &b : buttons)
        box.addButton(b.Button);
    const int defaultIndex = int((call.Flags & MB_DEFMASK) >> 8);
    if (defaultIndex < buttons.size())
        box.setDefaultButton(buttons[defaultIndex].Button);
    // Esc answers as the platform's box does.
    QMessageBox::StandardButton escape = buttons.back().Button;
    for (const tButton &b : buttons)
        if (b.Id == IDCANCEL)
            escape = b.Button;
    box.setEscapeButton(escape);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const tButton &b : buttons)
        if (b.Button == clicked)
            return b.Id;
    return (call.Flags & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
}

} // namespace

int MessageBox(QWidget *owner, const QString &text, const QString &caption, unsigned flags)
{
    tMessageBoxCall call{owner, text, caption.isEmpty() ? LoadResString(res::ProductName) : caption, flags};
    if (CurrentAnswerer)
        return CurrentAnswerer->Answer(call);
    return ShowBox(call);
}

cMessageBoxAnswerer::cMessageBoxAnswerer(tMessageBoxAnswerer answer)
    : FAnswer(std::move(answer)), FPrevious(CurrentAnswerer)
{
    CurrentAnswerer = this;
}

cMessageBoxAnswerer::~cMessageBoxAnswerer()
{
    CurrentAnswerer = FPrevious;
}

int cMessageBoxAnswerer::Answer(const tMessageBoxCall &call)
{
    FCalls.append(call);
    return FAnswer ? FAnswer(call) : IDOK;
}
