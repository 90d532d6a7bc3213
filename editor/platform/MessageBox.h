// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one message-box routine, with the flags and answers of the original.
#include <QList>
#include <QString>

#include <functional>

class QWidget;

inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_RETRYCANCEL = 0x5;
inline constexpr unsigned MB_TYPEMASK = 0xF;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONHAND = MB_ICONERROR;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONEXCLAMATION = MB_ICONWARNING;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_ICONMASK = 0xF0;
inline constexpr unsigned MB_DEFBUTTON1 = 0x000;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;
inline constexpr unsigned MB_DEFMASK = 0xF00;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// One question as the routine was asked it; "\r" in the text is a line break.
struct tMessageBoxCall
{
    QWidget *Owner = nullptr;
    QString Text;
    QString Caption;
    unsigned Flags = 0;
};

// Shows a modal box and returns the button pressed (IDOK, IDYES, ...). An empty
// caption falls back to the product name. Esc gives IDCANCEL where the box has
// a Cancel button, else IDNO for Yes/No, else IDOK.
int MessageBox(QWidget *owner, const QString &text, const QString &caption, unsigned flags);

using tMessageBoxAnswerer = std::function<int(const tMessageBoxCall &)>;

// Tests answer message boxes instead of clicking; nests, restoring the
// previous answerer on destruction. Every call is kept for inspection.
class cMessageBoxAnswerer
{
public:
    explicit cMessageBoxAnswerer(tMessageBoxAnswerer answer);
    ~cMessageBoxAnswerer();
    cMessageBoxAnswerer(const cMessageBoxAnswerer &) = delete;
    cMessageBoxAnswerer &operator=(const cMessageBoxAnswerer &) = delete;

    const QList<tMessageBoxCall> &Calls() const noexcept { return FCalls; }
    int Answer(const tMessageBoxCall &call);

private:
    tMessageBoxAnswerer FAnswer;
    QList<tMessageBoxCall> FCalls;
    cMessageBoxAnswerer *FPrevious;
};
