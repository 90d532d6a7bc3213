// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About box: product, version, copyright and credits, with links.
#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TFormAbout(QWidget *owner = nullptr);

    QLabel *ImageIcon;
    QLabel *lbProduct;
    QLabel *lbVersion;
    QLabel *lbCopy;
    QLineEdit *edURL;
    QFrame *pCredits;
    QLabel *lbCredits;
    QLabel *lbCredit;
    QLabel *lbCreditCopy;
    QLabel *lbCreditHTTP;
    QLabel *lbCreditMail;
    QPushButton *btnOK;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
