#pragma once
// The About box.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TFormAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TFormAbout(QWidget *parent = nullptr);

    QLabel *ImageIcon, *lbProduct, *lbVersion, *lbCopy, *lbCredits, *lbCredit, *lbCreditCopy, *lbCreditHTTP,
        *lbCreditMail;
    QLineEdit *edURL;
    QPushButton *btnOK;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

TFormAbout *FormAbout();
