// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfAbout.h"

#include "editor/platform/Application.h"
#include "editor/platform/Resources.h"
#include "editor/platform/ShellOpen.h"
#include "editor/shell/DialogFit.h"
#include "editor/shell/VersionInfo.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QColor Navy(0, 0, 128);

void SetTextColor(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

void SetBold(QWidget *widget)
{
    QFont bold; // only the weight is set, the rest follows the form
    bold.setBold(true);
    widget->setFont(bold);
}

// The application's icon, or the platform's stand-in while it has none.
QPixmap ApplicationIconPixmap(const QWidget *form)
{
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = form->style()->standardIcon(QStyle::SP_DesktopIcon);
    return icon.pixmap(32, 32);
}

} // namespace

TFormAbout::TFormAbout(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ImageIcon(new QLabel(this)),
      lbProduct(new QLabel(this)), lbVersion(new QLabel(this)), lbCopy(new QLabel(this)),
      edURL(new QLineEdit(this)), pCredits(new QFrame(this)),
      lbCredits(new QLabel(QStringLiteral("Credits:"), this)), lbCredit(new QLabel(this)),
      lbCreditCopy(new QLabel(this)), lbCreditHTTP(new QLabel(this)), lbCreditMail(new QLabel(this)),
      btnOK(new QPushButton(QStringLiteral("O&K"), this))
{
    setObjectName(QStringLiteral("FormAbout"));

    edURL->setText(LoadResString(res::ProductUrl));
    edURL->setReadOnly(true);
    edURL->setFrame(false);
    SetTextColor(edURL, QPalette::Text, Navy);
    SetTextColor(edURL, QPalette::Base, palette().color(QPalette::Window));
    edURL->setCursor(Qt::PointingHandCursor);
    edURL->installEventFilter(this);

    lbCredit->setText(LoadResString(res::EngineCreditLabel));
    lbCreditCopy->setText(LoadResString(res::EngineCredit));
    lbCreditCopy->setWordWrap(true);
    lbCreditHTTP->setText(LoadResString(res::EngineUrl));
    lbCreditMail->setText(LoadResString(res::EngineMail));
    for (QLabel *link : {lbCreditHTTP, lbCreditMail}) {
        SetTextColor(link, QPalette::WindowText, Navy);
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }

    if (QWidget *main = ApplicationMainWindow())
        setFont(main->font());
    setWindowTitle(LoadResString(res::ProductName));
    SetBold(lbProduct);
    SetBold(lbCredits);

    tFileVersionInformation info;
    GetOwnVersionInformation(info);
    lbProduct->setText(info.ProductName);
    lbCopy->setText(info.LegalCopyright);
    lbVersion->setText(FormatRes(res::VersionFormat, {info.FileMajor, info.FileMinor}));

    ImageIcon->setPixmap(ApplicationIconPixmap(this));
    ImageIcon->setFixedSize(32, 32);
    pCredits->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    auto *product = new QVBoxLayout;
    product->addWidget(lbProduct);
    product->addWidget(lbVersion);
    product->addWidget(lbCopy);
    auto *top = new QHBoxLayout;
    top->addWidget(ImageIcon, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(product, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(edURL);
    layout->addWidget(pCredits);
    for (QWidget *w : {lbCredits, lbCredit, lbCreditCopy, lbCreditHTTP, lbCreditMail})
        layout->addWidget(w);
    layout->addStretch();
    layout->addLayout(buttons);
    FitDialogToFont(*this, QSize(345, 305));

    // Default and cancel button at once: Enter and Esc both close the box.
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

// Qt gives a shown window's focus to its first control, the address line.
void TFormAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    btnOK->setFocus();
}

// A click on an address opens it, and so does Space on the product's one.
bool TFormAbout::eventFilter(QObject *watched, QEvent *event)
{
    const bool link = watched == edURL || watched == lbCreditHTTP || watched == lbCreditMail;
    if (link && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        ShellOpen(watched == edURL ? edURL->text() : static_cast<QLabel *>(watched)->text());
        return false;
    }
    if (watched == edURL && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        ShellOpen(edURL->text());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
