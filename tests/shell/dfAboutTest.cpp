// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfAbout.h"

#include "editor/platform/Resources.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Catches what the box asks the desktop to open.
class cUrlCatcher : public QObject
{
    Q_OBJECT
public:
    cUrlCatcher()
    {
        for (const QString &scheme : {QStringLiteral("https"), QStringLiteral("mailto")})
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~cUrlCatcher() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    }
    QList<QUrl> Opened;

public slots:
    void Open(const QUrl &url) { Opened.append(url); }
};

TEST(AboutBox, ShowsTheProgramsVersionInformation)
{
    TFormAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Zelmar"));
    EXPECT_TRUE(QSize(345, 305).boundedTo(about.size()) == QSize(345, 305)) << "at least the design size";
    EXPECT_EQ(about.lbVersion->text(), QStringLiteral("Version 3.1"));
    EXPECT_EQ(about.lbProduct->text(), QStringLiteral("Zelmar Unicode Editor"));
    EXPECT_TRUE(about.lbProduct->font().bold());
    EXPECT_TRUE(about.lbCopy->text().contains(QStringLiteral("Varnholt")));
    EXPECT_EQ(about.edURL->text(), LoadResString(res::ProductUrl));
    EXPECT_TRUE(about.edURL->isReadOnly());
    EXPECT_EQ(about.edURL->palette().color(QPalette::Text), QColor(0, 0, 128));
    EXPECT_EQ(about.lbCredit->text(), QStringLiteral("Regular Expression Engine:"));
    EXPECT_FALSE(about.ImageIcon->pixmap().isNull());
}

TEST(AboutBox, ClosesOnEnterAndOnEsc)
{
    TFormAbout about;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QWidget *focused = nullptr;
        QTimer::singleShot(0, &about, [&] {
            focused = about.focusWidget();
            QTest::keyClick(focused, key);
        });
        about.exec();
        EXPECT_EQ(focused, about.btnOK);
        EXPECT_FALSE(about.isVisible());
    }
}

TEST(AboutBox, LinksOpenOnClickAndTheAddressOnSpace)
{
    cUrlCatcher catcher;
    TFormAbout about;
    about.show();
    QTest::mouseClick(about.edURL, Qt::LeftButton);
    QTest::keyClick(about.edURL, Qt::Key_Space);
    QTest::mouseClick(about.lbCreditHTTP, Qt::LeftButton);
    QTest::mouseClick(about.lbCreditMail, Qt::LeftButton);
    QTest::mouseClick(about.lbCredit, Qt::LeftButton); // not a link
    ASSERT_EQ(catcher.Opened.size(), 4);
    EXPECT_EQ(catcher.Opened[0], QUrl(LoadResString(res::ProductUrl)));
    EXPECT_EQ(catcher.Opened[1], QUrl(LoadResString(res::ProductUrl)));
    EXPECT_EQ(catcher.Opened[2], QUrl(LoadResString(res::EngineUrl)));
    EXPECT_EQ(catcher.Opened[3].scheme(), QStringLiteral("mailto"));
}

} // namespace

#include "dfAboutTest.moc"
