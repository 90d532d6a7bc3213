#include "editor/shell/dfAbout.h"

#include "editor/platform/Application.h"
#include "editor/platform/Resources.h"
#include "editor/platform/ShellOpen.h"
#include "editor/shell/VersionInfo.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>

namespace {

const QColor Navy(0, 0, 128);

QLabel *Label(const QString &text, QWidget *parent, const QRect &geometry, bool bold = false)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

void MakeLink(QLabel *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Navy);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
}

} // namespace

TFormAbout::TFormAbout(QWidget *parent) : QDialog(parent)
{
    if (ApplicationMainWindow())
        setFont(ApplicationMainWindow()->font());
    setWindowTitle(LoadResString(res::ProductName));

    tFileVersionInformation info;
    GetOwnVersionInformation(info);

    ImageIcon = new QLabel(this);
    ImageIcon->setGeometry(12, 12, 32, 32);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    ImageIcon->setPixmap(icon.pixmap(32, 32));
    lbProduct = Label(info.ProductName, this, {56, 12, 280, 18}, true);
    lbVersion =
        Label(FormatRes(res::VersionFormat, {info.FileMajor, info.FileMinor}), this, {56, 34, 280, 18});
    lbCopy = Label(info.LegalCopyright, this, {56, 56, 280, 18});
    edURL = new QLineEdit(LoadResString(res::ProductUrl), this);
    edURL->setGeometry(56, 80, 280, 20);
    edURL->setReadOnly(true);
    edURL->setFrame(false);
    QPalette urlPalette = edURL->palette();
    urlPalette.setColor(QPalette::Text, Navy);
    urlPalette.setColor(QPalette::Base, palette().color(QPalette::Window));
    edURL->setPalette(urlPalette);
    edURL->setCursor(Qt::PointingHandCursor);
    auto *pCredits = new QFrame(this);
    pCredits->setFrameShape(QFrame::HLine);
    pCredits->setFrameShadow(QFrame::Sunken);
    pCredits->setGeometry(12, 112, 321, 4);
    lbCredits = Label(QStringLiteral("Credits:"), this, {12, 124, 320, 18}, true);
    lbCredit = Label(LoadResString(res::EngineCreditLabel), this, {12, 148, 320, 18});
    lbCreditCopy = Label(LoadResString(res::EngineCredit), this, {12, 170, 320, 36});
    lbCreditCopy->setWordWrap(true);
    lbCreditHTTP = Label(LoadResString(res::EngineUrl), this, {12, 210, 320, 18});
    lbCreditMail = Label(LoadResString(res::EngineMail), this, {12, 232, 320, 18});
    MakeLink(lbCreditHTTP);
    MakeLink(lbCreditMail);
    btnOK = new QPushButton(QStringLiteral("O&K"), this);
    btnOK->setGeometry(135, 268, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    for (QWidget *w : std::initializer_list<QWidget *>{edURL, lbCreditHTTP, lbCreditMail})
        w->installEventFilter(this);
    setFixedSize(345, 305);
    btnOK->setFocus();
}

// A click on an address opens it; so does Space in the address box.
bool TFormAbout::eventFilter(QObject *watched, QEvent *event)
{
    const bool click = event->type() == QEvent::MouseButtonRelease;
    const bool space = event->type() == QEvent::KeyPress && watched == edURL &&
                       static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space;
    if (click || space) {
        if (watched == edURL)
            ShellOpen(edURL->text());
        else if (auto *label = qobject_cast<QLabel *>(watched))
            ShellOpen(label->text());
        return space;
    }
    return QDialog::eventFilter(watched, event);
}

TFormAbout *FormAbout()
{
    static QPointer<TFormAbout> instance;
    if (!instance)
        instance = new TFormAbout(ApplicationMainWindow());
    return instance;
}
