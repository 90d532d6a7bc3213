// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Change Case dialog, which also remembers the case last confirmed.
#include <QDialog>

#include <array>

class QFrame;
class QPushButton;
class QRadioButton;

class TFormCase : public QDialog
{
    Q_OBJECT
public:
    explicit TFormCase(QWidget *owner = nullptr);

    // The chosen case index (1 lower, 2 UPPER, 3 Title, 4 tOGGLE; 0 none).
    // ShowDialog false only reports the remembered choice: 0 until the dialog
    // has once been confirmed, then whichever button is checked.
    int GetCase(bool ShowDialog);

    // True once the dialog has been confirmed with OK.
    bool CaseChosen = false;

    QFrame *pCases;
    QRadioButton *RadioButton1;
    QRadioButton *RadioButton2;
    QRadioButton *RadioButton3;
    QRadioButton *RadioButton4;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    // The button of each case index 1..4; slot 0 (no case) is empty.
    std::array<QRadioButton *, 5> CaseButtons{};
};
