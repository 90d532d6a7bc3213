// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfCase.h"

#include "editor/platform/Application.h"
#include "editor/shell/DialogFit.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Captions by case index.
const std::array<QString, 5> CaseCaptions = {QString(), QStringLiteral("&lower case"),
                                             QStringLiteral("&UPPER CASE"), QStringLiteral("&Title Case"),
                                             QStringLiteral("tO&GGLE cASE")};

} // namespace

TFormCase::TFormCase(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      pCases(new QFrame(this)), RadioButton1(new QRadioButton(pCases)),
      RadioButton2(new QRadioButton(pCases)), RadioButton3(new QRadioButton(pCases)),
      RadioButton4(new QRadioButton(pCases)), btnOK(new QPushButton(QStringLiteral("O&K"), this)),
      btnCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("FormCase"));
    setWindowTitle(QStringLiteral("Change Case"));
    if (QWidget *main = ApplicationMainWindow())
        setFont(main->font());

    pCases->setFrameShape(QFrame::StyledPanel);
    auto *cases = new QVBoxLayout(pCases);
    for (QRadioButton *button : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
        cases->addWidget(button); // top to bottom
    RadioButton1->setChecked(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pCases);
    layout->addLayout(buttons);

    CaseButtons = {nullptr, RadioButton2, RadioButton1, RadioButton3, RadioButton4};
    for (int index = 1; index <= 4; ++index)
        CaseButtons[index]->setText(CaseCaptions[index]);
    FitDialogToFont(*this, QSize(175, 144));

    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TFormCase::GetCase(bool ShowDialog)
{
    const int result = ShowDialog ? exec() : QDialog::Accepted;
    if (!CaseChosen) {
        if (!ShowDialog || result != QDialog::Accepted)
            return 0;
        CaseChosen = true;
    }
    if (result != QDialog::Accepted)
        return 0;
    for (int index = 1; index <= 4; ++index)
        if (CaseButtons[index]->isChecked())
            return index;
    return 0;
}
