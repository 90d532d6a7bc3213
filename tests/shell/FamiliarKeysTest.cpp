// SPDX-License-Identifier: GPL-3.0-or-later
// The keys a Linux user presses first, added beside the window's own ones.
#include "editor/platform/MessageBox.h"
#include "editor/shell/dfMain.h"
#include "tests/shell/MainWindowFixture.h"

#include <QMenuBar>
#include <QPrintDialog>
#include <QSignalSpy>
#include <QStyleOptionMenuItem>

namespace {

using cFamiliarKeys = cMainWindowTest;

TEST_F(cFamiliarKeys, CtrlWClosesTheTabAndCtrlF4StillDoes)
{
    TFormMain &w = Show();
    w.EditorTabs->NewDocument();
    w.EditorTabs->NewDocument();
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 3);
    Type(QStringLiteral("kept"));
    // A modified document asks first; Cancel keeps it and its text.
    cMessageBoxAnswerer cancel([](const tMessageBoxCall &) { return IDCANCEL; });
    Press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(cancel.Calls().size(), 1);
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 3);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("kept"));

    cMessageBoxAnswerer no([](const tMessageBoxCall &) { return IDNO; });
    Press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(w.EditorTabs->DocumentCount(), 2);
    FocusDocument();
    Press(Qt::Key_F4, Qt::ControlModifier);
    EXPECT_EQ(w.EditorTabs->DocumentCount(), 1);
    // The key reached no document as text.
    FocusDocument();
    EXPECT_TRUE(ActiveDocument()->GetTextW().isEmpty());
}

TEST_F(cFamiliarKeys, ShiftCtrlSAlwaysAsksForANameWhileCtrlSSavesInPlace)
{
    const QString file = WorkFile(QStringLiteral("a.txt"), "a");
    TFormMain &w = Show({file});
    int shown = 0;
    w.SetDialogExecutor([&](QFileDialog &dialog) {
        EXPECT_EQ(&dialog, w.FileSaveAsDialog);
        return ++shown, false;
    });
    Type(QStringLiteral("b"));
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(Bytes(file), QByteArray("ba"));
    Press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown, 1);
}

TEST_F(cFamiliarKeys, CtrlPPrintsAndShiftCtrlPStillPlaysTheMacro)
{
    TFormMain &w = Show();
    Type(QStringLiteral("x"));
    Press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    Type(QStringLiteral("y"));
    Press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_FALSE(w.EditorTabs->IsRecording());

    QSignalSpy print(w.acFilePrint, &QAction::triggered);
    Press(Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("xyy"));
    EXPECT_EQ(print.count(), 0);

    bool printDialog = false;
    OnModal([&](QWidget *dialog) {
        printDialog = qobject_cast<QPrintDialog *>(dialog) != nullptr;
        static_cast<QDialog *>(dialog)->reject();
    });
    Press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(print.count(), 1);
    EXPECT_TRUE(printDialog);
    FocusDocument();
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("xyy"));
}

TEST_F(cFamiliarKeys, CtrlQAsksAboutUnsavedWorkAndCloses)
{
    TFormMain &w = Show();
    Type(QStringLiteral("draft"));
    {
        cMessageBoxAnswerer cancel([](const tMessageBoxCall &) { return IDCANCEL; });
        Press(Qt::Key_Q, Qt::ControlModifier);
        EXPECT_EQ(cancel.Calls().size(), 1);
        EXPECT_TRUE(w.isVisible());
    }
    cMessageBoxAnswerer no([](const tMessageBoxCall &) { return IDNO; });
    FocusDocument();
    Press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(cFamiliarKeys, WithoutADocumentTheDisabledCommandsSwallowTheirKeys)
{
    TFormMain &w = Open();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    while (w.EditorTabs->DocumentCount() > 0)
        w.EditorTabs->CloseActiveDocument();
    w.setFocus();
    QSignalSpy close(w.acFileClose, &QAction::triggered);
    QSignalSpy print(w.acFilePrint, &QAction::triggered);
    int shown = 0;
    w.SetDialogExecutor([&](QFileDialog &) { return ++shown, false; });
    Press(Qt::Key_W, Qt::ControlModifier);
    Press(Qt::Key_P, Qt::ControlModifier);
    Press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(close.count() + print.count() + shown, 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(cFamiliarKeys, TheMenuShowsEveryKeyAndTheDesignKeyComesFirst)
{
    TFormMain &w = Open();
    using K = QKeySequence;
    EXPECT_EQ(w.acFileClose->shortcuts(), QList<K>({K(Qt::CTRL | Qt::Key_F4), K(Qt::CTRL | Qt::Key_W)}));
    EXPECT_EQ(w.acFileExit->shortcuts(), QList<K>({K(Qt::CTRL | Qt::Key_Q)}));
    EXPECT_EQ(w.acFileSaveAs->shortcuts(), QList<K>({K(Qt::SHIFT | Qt::CTRL | Qt::Key_S)}));
    EXPECT_EQ(w.acFilePrint->shortcuts(), QList<K>({K(Qt::CTRL | Qt::Key_P)}));

    auto *file = dynamic_cast<cShortcutMenu *>(w.miFile);
    ASSERT_NE(file, nullptr);
    QStyleOptionMenuItem close, save;
    file->initStyleOption(&close, w.acFileClose);
    file->initStyleOption(&save, w.acFileSave);
    const QString closeKeys = close.text.section(u'\t', 1);
    EXPECT_EQ(close.text.section(u'\t', 0, 0), QStringLiteral("&Close"));
    EXPECT_EQ(closeKeys, K(Qt::CTRL | Qt::Key_F4).toString(K::NativeText) + QStringLiteral(", ") +
                             K(Qt::CTRL | Qt::Key_W).toString(K::NativeText));
    EXPECT_EQ(save.text.section(u'\t', 1), K(Qt::CTRL | Qt::Key_S).toString(K::NativeText));
    // One column for the menu's keys, wide enough for the longest.
    EXPECT_EQ(save.reservedShortcutWidth, close.reservedShortcutWidth);
    EXPECT_GE(close.reservedShortcutWidth, close.fontMetrics.horizontalAdvance(closeKeys));
}

} // namespace
