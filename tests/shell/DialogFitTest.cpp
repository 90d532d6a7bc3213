// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/DialogFit.h"

#include "editor/shell/dfAbout.h"
#include "editor/shell/dfCase.h"
#include "editor/shell/dfLine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Each caption, radio button and box of the small dialogs is shown whole,
// none over another, and the title has room, at every desktop font size.
TEST(SmallDialogs, NothingIsClippedAtDesktopFontSizes)
{
    const QFont original = QApplication::font();
    for (const int points : {8, 11, 16, 24}) {
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        TFormGotoLine line;
        TFormCase cases;
        TFormAbout about;
        for (QDialog *dialog : std::initializer_list<QDialog *>{&line, &cases, &about}) {
            dialog->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
            const std::string where =
                dialog->objectName().toStdString() + " at " + std::to_string(points) + " pt";
            const QFontMetrics metrics(dialog->font());
            EXPECT_GE(dialog->width(),
                      metrics.horizontalAdvance(dialog->windowTitle()) + 4 * metrics.height())
                << where;
            QList<QWidget *> shown;
            for (QWidget *w : dialog->findChildren<QWidget *>()) {
                if (!w->isVisible() || !(qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) ||
                                         qobject_cast<QLineEdit *>(w)))
                    continue;
                const auto *label = qobject_cast<QLabel *>(w);
                QSize needed = w->sizeHint();
                if (label && label->wordWrap())
                    needed = QSize(0, w->heightForWidth(w->width()));
                EXPECT_GE(w->width(), needed.width())
                    << where << ": " << w->metaObject()->className() << " \""
                    << w->property("text").toString().toStdString() << "\"";
                EXPECT_GE(w->height(), needed.height())
                    << where << ": \"" << w->property("text").toString().toStdString() << "\"";
                const QRect box(w->mapTo(dialog, QPoint(0, 0)), w->size());
                EXPECT_TRUE(dialog->rect().contains(box)) << where;
                for (QWidget *other : shown) {
                    const QRect otherBox(other->mapTo(dialog, QPoint(0, 0)), other->size());
                    EXPECT_FALSE(box.intersects(otherBox))
                        << where << ": \"" << w->property("text").toString().toStdString() << "\" over \""
                        << other->property("text").toString().toStdString() << "\"";
                }
                shown << w;
            }
            dialog->hide();
        }
    }
    QApplication::setFont(original);
}

} // namespace
