// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditorControls.h"
#include "editor/editing/WaitSt.h"

#include "editor/editing/DiskWatch.h"
#include "editor/editing/Editors.h"
#include "editor/editing/EditorStatus.h"
#include "editor/platform/MessageBox.h"

#include <QAction>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemWatcher>
#include <QInputMethodEvent>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Tabs : public ::testing::Test
{
protected:
    Tabs() : Save(&Window), Bar(&Window), Controller(&Window, &Save, &Bar)
    {
        Window.setCentralWidget(&Controller);
        Window.show();
    }

    QString File(const QString &name, const QByteArray &bytes)
    {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QStringList Captions() const
    {
        QStringList captions;
        for (int i = 0; i < Controller.count(); ++i)
            captions << Controller.tabText(i);
        return captions;
    }

    QTemporaryDir Dir;
    QMainWindow Window;
    QAction Save;
    cEditorStatusBar Bar;
    cEditorController Controller;
};

TEST_F(Tabs, AnUntouchedUntitledLastTabIsReplaced)
{
    Controller.NewDocument();
    Controller.OpenFile(File(QStringLiteral("a.txt"), "A"), false);
    EXPECT_EQ(Captions(), QStringList({QStringLiteral("&1: a.txt")}));
    Controller.NewDocument();
    Controller.OpenFile(File(QStringLiteral("b.txt"), "B"), false);
    Controller.setCurrentIndex(1);
    EXPECT_EQ(Captions(), QStringList({QStringLiteral("&1: a.txt"), QStringLiteral("&2: b.txt")}));
    // An untitled tab that is not the last one stays.
    Controller.NewDocument();
    Controller.setCurrentIndex(0);
    Controller.NewDocument();
    Controller.Editors(3)->SetTextW(QStringLiteral("typed"));
    Controller.Editors(3)->SetModified(true);
    Controller.OpenFile(File(QStringLiteral("c.txt"), "C"), true);
    EXPECT_EQ(Controller.DocumentCount(), 5);
    EXPECT_TRUE(Controller.ActiveEditor()->isReadOnly());
}

TEST_F(Tabs, AFailedOpenLeavesItsEmptyTab)
{
    EXPECT_ANY_THROW(Controller.OpenFile(Dir.filePath(QStringLiteral("missing.txt")), false));
    ASSERT_EQ(Controller.DocumentCount(), 1);
    EXPECT_TRUE(Controller.ActiveEditor()->FileName().isEmpty());
    Controller.OpenFile(File(QStringLiteral("x.txt"), "x"), false);
    EXPECT_EQ(Captions(), QStringList({QStringLiteral("&1: x.txt")}));
}

TEST_F(Tabs, TheTenthTabHasNoNumberAndClosingRenumbers)
{
    for (int i = 0; i < 10; ++i)
        Controller.NewDocument();
    EXPECT_EQ(Controller.tabText(8), QStringLiteral("&9: Untitled"));
    EXPECT_EQ(Controller.tabText(9), QStringLiteral("Untitled"));
    Controller.setCurrentIndex(0);
    Controller.CloseActiveDocument();
    EXPECT_EQ(Controller.tabText(8), QStringLiteral("&9: Untitled"));
    EXPECT_EQ(Controller.DocumentCount(), 9);
}

TEST_F(Tabs, ClosingActivatesTheFollowingTabOrTheFirst)
{
    for (int i = 0; i < 3; ++i)
        Controller.NewDocument();
    cEditor *third = Controller.Editors(2);
    cEditor *first = Controller.Editors(0);
    Controller.setCurrentIndex(1);
    Controller.CloseActiveDocument();
    EXPECT_EQ(Controller.ActiveEditor(), third);
    Controller.CloseActiveDocument();
    EXPECT_EQ(Controller.ActiveEditor(), first);
    Controller.CloseActiveDocument();
    EXPECT_EQ(Controller.DocumentCount(), 0);
    EXPECT_FALSE(Controller.isVisible());
    EXPECT_EQ(Window.windowTitle(), QString());
}

TEST_F(Tabs, SaveQuestionCancelKeepsTheTab)
{
    QList<QString> texts;
    cMessageBoxAnswerer answerer([&](const tMessageBoxCall &call) {
        texts << call.Text;
        return IDCANCEL;
    });
    Controller.NewDocument();
    Controller.ActiveEditor()->SetModified(true);
    Controller.CloseActiveDocument();
    EXPECT_EQ(Controller.DocumentCount(), 1);
    EXPECT_EQ(texts,
              QList<QString>({QStringLiteral("File modified.\r\rDo you want to save before closing?")}));
}

// A tab that comes up under the question (a file opened meanwhile) does not
// take the answer: Yes saves and No closes the document asked about. Files
// handed over are told to wait while the question is up.
TEST_F(Tabs, TheAnswerToACloseQuestionGoesToTheDocumentAskedAbout)
{
    const QString asked = File(QStringLiteral("asked.txt"), "asked");
    QObject::connect(&Save, &QAction::triggered, [&] { Controller.ActiveEditor()->Save(); });
    QList<bool> waits;
    QObject::connect(&Controller, &cEditorController::CloseQuestionUp, [&](bool up) { waits << up; });
    int answer = IDYES;
    QString opened;
    cMessageBoxAnswerer answerer([&](const tMessageBoxCall &) {
        Controller.OpenFile(opened, false);
        return answer;
    });
    auto closeModified = [&](const QString &openedMeanwhile) {
        Controller.OpenFile(asked, false);
        Controller.ActiveEditor()->SetSelTextW(QStringLiteral("X"));
        opened = File(openedMeanwhile, "");
        Controller.CloseActiveDocument();
    };

    closeModified(QStringLiteral("other.txt"));
    QFile saved(asked);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("Xasked"));
    EXPECT_EQ(Captions(), QStringList({QStringLiteral("&1: other.txt")}));
    EXPECT_EQ(waits, QList<bool>({true, false}));

    answer = IDNO;
    closeModified(QStringLiteral("third.txt"));
    EXPECT_EQ(Captions(), QStringList({QStringLiteral("&1: other.txt"), QStringLiteral("&2: third.txt")}));
    EXPECT_EQ(Controller.ActiveEditor()->FileName(), opened);
}

// No to a reload keeps the text, which is unsaved when the file now holds
// something else (not when it only got a new date); after No the file is
// not asked about again, however often it changes.
TEST_F(Tabs, DecliningAReloadLeavesTheTextUnsavedOnlyWhenTheFileDiffers)
{
    const QString name = File(QStringLiteral("watched.txt"), "mine\n");
    Controller.OpenFile(name, false);
    const cEditor &document = *Controller.ActiveEditor();
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDNO; });
    int later = 0;
    auto rewrite = [&](const QByteArray &bytes) {
        File(QStringLiteral("watched.txt"), bytes);
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::currentDateTime().addSecs(++later), QFileDevice::FileModificationTime);
        file.close();
        Controller.DiskWatch().CheckActive();
    };
    rewrite("mine\n");
    EXPECT_EQ(answerer.Calls().size(), 1);
    EXPECT_FALSE(document.Modified());
    rewrite("theirs\n");
    EXPECT_EQ(answerer.Calls().size(), 2);
    EXPECT_TRUE(document.Modified());
    rewrite("theirs, longer\n");
    rewrite("theirs, longer still\n");
    EXPECT_EQ(answerer.Calls().size(), 2);

    // A change seen while the program was busy is asked about once it is not.
    const QString other = File(QStringLiteral("other.txt"), "other\n");
    Controller.OpenFile(other, false);
    QFileSystemWatcher alongside({other});
    bool seen = false;
    QObject::connect(&alongside, &QFileSystemWatcher::fileChanged, [&] { seen = true; });
    QElapsedTimer waited;
    waited.start();
    {
        const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
        File(QStringLiteral("other.txt"), "changed while busy\n");
        // The program's watcher hears of it in the same turn as this one.
        while (!seen && waited.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_TRUE(seen);
        EXPECT_EQ(answerer.Calls().size(), 2);
    }
    while (answerer.Calls().size() == 2 && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(answerer.Calls().size(), 3);
}

TEST_F(Tabs, FontAndWrapKeepModifiedFlagsAndSelections)
{
    Controller.NewDocument();
    cEditor &doc = *Controller.ActiveEditor();
    doc.SetTextW(QStringLiteral("one two three"));
    doc.SetModified(false);
    doc.SetSelStart(4);
    doc.SetSelLength(3);
    QFont font(QStringLiteral("DejaVu Sans Mono"), 14);
    Controller.SetEditorFont(font);
    Controller.SetWordWrap(true);
    Controller.SetWordWrap(true);
    EXPECT_FALSE(doc.Modified());
    EXPECT_EQ(doc.GetSelStart(), 4);
    EXPECT_EQ(doc.GetSelLength(), 3);
    EXPECT_EQ(doc.font().pointSize(), 14);
    EXPECT_TRUE(doc.wordWrap());
}

TEST_F(Tabs, MacroPlaysIntoOneDocumentAsOneUndoAndIntoAll)
{
    Controller.NewDocument();
    cEditor *recorded = Controller.ActiveEditor();
    recorded->setFocus();
    Controller.StartMacroRecording();
    EXPECT_EQ(Bar.PinCount(), 1);
    QTest::keyClick(recorded, Qt::Key_A);
    QTest::keyClick(recorded, 'B', Qt::ShiftModifier);
    QTest::keyClick(recorded, Qt::Key_Return);
    Controller.StopMacroRecording();
    ASSERT_TRUE(Controller.HasMacro());
    Controller.NewDocument();
    cEditor *target = Controller.ActiveEditor();
    Controller.PlayMacro();
    EXPECT_EQ(target->GetTextW(), QStringLiteral("aB\r"));
    target->Undo();
    EXPECT_EQ(target->GetTextW(), QString());
    Controller.PlayMacroOnAll();
    EXPECT_EQ(recorded->GetTextW(), QStringLiteral("aB\raB\r"));
    EXPECT_EQ(target->GetTextW(), QStringLiteral("aB\r"));
}

// Keys of another layout and committed text reach every tab as typed.
TEST_F(Tabs, MacroOfNonUsKeysPlaysIntoEveryDocumentAsTyped)
{
    Controller.NewDocument();
    cEditor *recorded = Controller.ActiveEditor();
    recorded->setFocus();
    Controller.StartMacroRecording();
    QTest::sendKeyEvent(QTest::Click, recorded, Qt::Key_Odiaeresis, QStringLiteral("\u00f6"), {});
    QTest::sendKeyEvent(QTest::Click, recorded, Qt::Key_ssharp, QStringLiteral("\u00df"), {});
    QTest::sendKeyEvent(QTest::Click, recorded, Qt::Key(0x20AC), QStringLiteral("\u20ac"), {});
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u00e9"));
    QCoreApplication::sendEvent(recorded, &commit);
    Controller.StopMacroRecording();
    const QString typed = QStringLiteral("\u00f6\u00df\u20ac\u00e9");
    ASSERT_EQ(recorded->GetTextW(), typed);
    Controller.NewDocument();
    cEditor *other = Controller.ActiveEditor();
    Controller.PlayMacroOnAll();
    EXPECT_EQ(recorded->GetTextW().toStdString(), (typed + typed).toStdString());
    EXPECT_EQ(other->GetTextW().toStdString(), typed.toStdString());
}

TEST_F(Tabs, CtrlTabCyclesThroughTheTabs)
{
    for (int i = 0; i < 3; ++i)
        Controller.NewDocument();
    Controller.setCurrentIndex(2);
    QTest::keyClick(Controller.ActiveEditor(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Controller.currentIndex(), 0);
    QTest::keyClick(Controller.ActiveEditor(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Controller.currentIndex(), 2);
}

} // namespace
