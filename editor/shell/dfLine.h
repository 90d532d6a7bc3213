// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Go to Line/Column dialog.
#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

// What the dialog hands back: zero-based numbers, -1 for a blank box.
struct tLineColumnRequest
{
    std::int32_t Column = -1;
    std::int32_t Line = -1;
    bool Accepted = false;
};

class TFormGotoLine : public QDialog
{
    Q_OBJECT
public:
    explicit TFormGotoLine(QWidget *owner = nullptr);

    // Shows the dialog modally; fills Line and Column only when it was
    // confirmed. The boxes keep their texts for the next showing.
    void RunDialog(tLineColumnRequest &request);

    QLabel *lbLineNumber;
    QLineEdit *edLine;
    QLabel *lbColumnNumber;
    QLineEdit *edCol;
    QPushButton *btnOK;
    QPushButton *btnCancel;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void btnOKClick();
    bool ValidateBox(QLineEdit *box);
};
