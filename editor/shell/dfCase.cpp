#include "editor/shell/dfCase.h"

#include "editor/platform/Application.h"

#include <QFrame>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFormCase::TFormCase(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Change Case"));
    if (ApplicationMainWindow())
        setFont(ApplicationMainWindow()->font());
    auto *panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(8, 8, 159, 100);
    auto *layout = new QVBoxLayout(panel);
    RadioButton1 = new QRadioButton(panel);
    RadioButton2 = new QRadioButton(panel);
    RadioButton3 = new QRadioButton(panel);
    RadioButton4 = new QRadioButton(panel);
    for (QRadioButton *button : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
        layout->addWidget(button);
    RadioButton1->setChecked(true);
    CaseButtons = {nullptr, RadioButton2, RadioButton1, RadioButton3, RadioButton4};
    const char *captions[] = {nullptr, "&lower case", "&UPPER CASE", "&Title Case", "tO&GGLE cASE"};
    for (int i = 1; i <= 4; ++i)
        CaseButtons[i]->setText(QString::fromLatin1(captions[i]));
    btnOK = new QPushButton(QStringLiteral("O&K"), this);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnOK->setGeometry(12, 114, 75, 25);
    btnCancel->setGeometry(92, 114, 75, 25);
    setFixedSize(175, 144);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TFormCase::GetCase(bool showDialog)
{
    int result = QDialog::Accepted;
    if (showDialog)
        result = FExecutor ? FExecutor(*this) : exec();
    if (!CaseChosen) {
        if (!showDialog || result == QDialog::Rejected)
            return 0;
        CaseChosen = true;
    }
    if (result != QDialog::Accepted)
        return 0;
    for (int i = 1; i <= 4; ++i)
        if (CaseButtons[i]->isChecked())
            return i;
    return 0;
}

TFormCase *FormCase()
{
    static QPointer<TFormCase> instance;
    if (!instance)
        instance = new TFormCase(ApplicationMainWindow());
    return instance;
}
