#pragma once
// The Change Case dialog; it remembers the case last confirmed.
#include <QDialog>

#include <array>
#include <functional>

class QPushButton;
class QRadioButton;

class TFormCase : public QDialog
{
    Q_OBJECT
public:
    explicit TFormCase(QWidget *parent = nullptr);

    // 0 none, 1 lower, 2 UPPER, 3 Title, 4 tOGGLE. With false only reports the
    // remembered choice; before the first OK it is 0.
    int GetCase(bool showDialog);

    void SetExecutor(std::function<int(TFormCase &)> executor) { FExecutor = std::move(executor); }

    bool CaseChosen = false;
    std::array<QRadioButton *, 5> CaseButtons{}; // by case index 1..4
    QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;
    QPushButton *btnOK, *btnCancel;

private:
    std::function<int(TFormCase &)> FExecutor;
};

TFormCase *FormCase();
