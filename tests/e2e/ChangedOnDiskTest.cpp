// SPDX-License-Identifier: GPL-3.0-or-later
// Another program changes or deletes a file the real program has open: the
// user is asked, and no answer loses text that was not given up.
#include "tests/e2e/E2eTools.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class ChangedOnDisk : public testing::Test
{
protected:
    // Starts the program on a.txt with the bytes, and on more files behind
    // it, and waits until the last one is on show.
    void Open(const QByteArray &bytes, const QStringList &more = {})
    {
        FFile = FDesktop.WriteFile(QStringLiteral("a.txt"), bytes);
        FProgram = std::make_unique<cQuorvel>(FDesktop, QStringList{QStringLiteral("a.txt")} + more);
        FWindow = FDesktop.MainWindow();
        ASSERT_FALSE(FWindow.isEmpty());
        FDesktop.Focus(FWindow);
        const QString last = more.isEmpty() ? FFile : FDesktop.WorkDir() + QLatin1Char('/') + more.last();
        ASSERT_TRUE(FDesktop.TitleBecomes(FWindow, last + QStringLiteral(" - Zelmar")));
    }
    // As editors and tools that save safely do: a new file renamed over the old.
    void ReplaceByRename(const QByteArray &bytes)
    {
        const QString temporary = FDesktop.WriteFile(QStringLiteral("a.txt.new"), bytes);
        ASSERT_EQ(std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(FFile).constData()),
                  0);
    }
    // Answers the next message box with the key; false if none came or it stayed.
    bool Answer(const QString &key)
    {
        const QString box = WaitForMessageBox(FDesktop, FWindow);
        if (box.isEmpty() || !AnswerMessageBox(FDesktop, box, key))
            return false;
        FDesktop.Focus(FWindow);
        return true;
    }
    // Leaving asks about a modified document; Cancel stays. Once asked, every
    // key typed before has reached the document.
    bool AsksOnExit()
    {
        FDesktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        return Answer(QStringLiteral("Escape")) && FProgram->Process().state() == QProcess::Running;
    }
    // A dialog up and closed again: by then the program has handled what
    // another program did before. False if a question came instead.
    bool SeenByNow() { return FindDialogCameAndWent(FDesktop, FWindow); }
    void TypeAndSave(const QString &text)
    {
        FDesktop.Type(text);
        FDesktop.Keys({QStringLiteral("ctrl+s")});
    }
    bool FileBecomes(const QByteArray &bytes)
    {
        return WaitUntil([&] { return FDesktop.ReadFile(FFile) == bytes; });
    }

    cDesktop FDesktop;
    std::unique_ptr<cQuorvel> FProgram;
    QString FFile;
    QString FWindow;
};

TEST_F(ChangedOnDisk, AnUnmodifiedDocumentReloadsTheNewVersionWhenTheUserSaysYes)
{
    ASSERT_NO_FATAL_FAILURE(Open("old\r\n"));
    FDesktop.WriteFile(QStringLiteral("a.txt"), "new text\r\n");
    ASSERT_TRUE(Answer(QStringLiteral("y")));
    // Saving writes what was reloaded, with the key typed into it.
    TypeAndSave(QStringLiteral("X"));
    EXPECT_TRUE(FileBecomes("Xnew text\r\n"));

    // A file replaced by another is still watched, also after a save.
    ASSERT_NO_FATAL_FAILURE(ReplaceByRename("third\r\n"));
    ASSERT_TRUE(Answer(QStringLiteral("y")));
    FDesktop.Keys({QStringLiteral("ctrl+End")});
    TypeAndSave(QStringLiteral("Z"));
    EXPECT_TRUE(FileBecomes("third\r\nZ"));
}

TEST_F(ChangedOnDisk, TheOldTextDeclinedToBeReplacedIsSavedOnlyWhenTheUserSaysOverwrite)
{
    ASSERT_NO_FATAL_FAILURE(Open("old\r\n"));
    FDesktop.WriteFile(QStringLiteral("a.txt"), "theirs\r\n");
    ASSERT_TRUE(Answer(QStringLiteral("n")));
    TypeAndSave(QStringLiteral("X"));
    ASSERT_TRUE(Answer(QStringLiteral("n"))); // do not overwrite
    EXPECT_EQ(FDesktop.ReadFile(FFile), QByteArray("theirs\r\n"));
    FDesktop.Keys({QStringLiteral("ctrl+s")});
    ASSERT_TRUE(Answer(QStringLiteral("y")));
    EXPECT_TRUE(FileBecomes("Xold\r\n"));
    // Once written, the file is the document's own again: no more questions.
    TypeAndSave(QStringLiteral("Y"));
    EXPECT_TRUE(FileBecomes("XYold\r\n"));
}

// No to the reload keeps the document's text, which the file no longer
// holds: it is unsaved, so leaving asks and Save writes it back.
TEST_F(ChangedOnDisk, TheTextKeptInsteadOfTheNewVersionIsUnsaved)
{
    QByteArray lines;
    for (int i = 1; i <= 100; ++i)
        lines += "line " + QByteArray::number(i) + "\n";
    ASSERT_NO_FATAL_FAILURE(Open(lines));
    FDesktop.WriteFile(QStringLiteral("a.txt"), QByteArray()); // : > a.txt
    ASSERT_TRUE(Answer(QStringLiteral("n")));
    FDesktop.Keys({QStringLiteral("ctrl+q")});
    ASSERT_TRUE(Answer(QStringLiteral("y"))); // save it
    ASSERT_TRUE(Answer(QStringLiteral("y"))); // over the other program's version
    EXPECT_TRUE(FProgram->WaitForExit());
    EXPECT_EQ(FDesktop.ReadFile(FFile), lines);
}

// A file another program keeps writing to: one question at a time, and
// after No none until the user has been elsewhere and comes back.
TEST_F(ChangedOnDisk, AGrowingFileIsAskedAboutAgainOnlyWhenTheUserComesBack)
{
    QByteArray grown = "log\n";
    ASSERT_NO_FATAL_FAILURE(Open(grown));
    auto grow = [&] {
        grown += "more\n";
        FDesktop.WriteFile(QStringLiteral("a.txt"), grown);
    };
    grow();
    const QString question = WaitForMessageBox(FDesktop, FWindow);
    ASSERT_FALSE(question.isEmpty());
    grow();
    grow();
    ASSERT_TRUE(AnswerMessageBox(FDesktop, question, QStringLiteral("n")));
    FDesktop.Focus(FWindow);
    for (int i = 0; i < 3; ++i) {
        grow();
        ASSERT_TRUE(SeenByNow()) << i;
    }

    // The user works in another program for a while and comes back. A busy
    // machine may hand the program the coming back together with the
    // leaving, which is no leaving: then again, for longer.
    const cDragSource elsewhere(FDesktop, {});
    const QString other = FDesktop.WaitForWindow(QStringLiteral("^Drag source$"));
    QString box;
    for (int away = 1; away <= 6 && box.isEmpty(); ++away) {
        FDesktop.Focus(other);
        FDesktop.Type(QString(away * 4, u'x'));
        FDesktop.Focus(FWindow);
        box = WaitForMessageBox(FDesktop, FWindow, 3000);
    }
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(FDesktop, box, QStringLiteral("y")));
    FDesktop.Focus(FWindow);
    FDesktop.Keys({QStringLiteral("ctrl+End")});
    TypeAndSave(QStringLiteral("end"));
    EXPECT_TRUE(FileBecomes(grown + "end"));
}

TEST_F(ChangedOnDisk, AModifiedDocumentKeepsItsTextUnlessTheUserGivesItUp)
{
    ASSERT_NO_FATAL_FAILURE(Open("old\r\n"));
    FDesktop.Type(QStringLiteral("X"));
    ASSERT_TRUE(AsksOnExit());
    FDesktop.WriteFile(QStringLiteral("a.txt"), "theirs\r\n");
    // The safe answer is the default one: Return keeps the typed text.
    ASSERT_TRUE(Answer(QStringLiteral("Return")));
    FDesktop.Keys({QStringLiteral("ctrl+s")});
    ASSERT_TRUE(Answer(QStringLiteral("Return"))); // not overwritten either
    EXPECT_EQ(FDesktop.ReadFile(FFile), QByteArray("theirs\r\n"));
    FDesktop.Keys({QStringLiteral("ctrl+s")});
    ASSERT_TRUE(Answer(QStringLiteral("y")));
    EXPECT_TRUE(FileBecomes("Xold\r\n"));

    // Yes to the reload gives the typed text up for the other version.
    FDesktop.Type(QStringLiteral("Y"));
    ASSERT_TRUE(AsksOnExit());
    FDesktop.WriteFile(QStringLiteral("a.txt"), "fourth\r\n");
    ASSERT_TRUE(Answer(QStringLiteral("y")));
    FDesktop.Keys({QStringLiteral("ctrl+Home")});
    TypeAndSave(QStringLiteral("Z"));
    EXPECT_TRUE(FileBecomes("Zfourth\r\n"));
}

TEST_F(ChangedOnDisk, AChangeBehindAnotherTabIsAskedAboutWhenItsTabComesUp)
{
    const QString b = FDesktop.WriteFile(QStringLiteral("b.txt"), "b\r\n");
    ASSERT_NO_FATAL_FAILURE(Open("old\r\n", {QStringLiteral("b.txt")}));
    FDesktop.WriteFile(QStringLiteral("a.txt"), "new text\r\n");
    // Nothing is said about a document that is not on show.
    ASSERT_TRUE(SeenByNow());
    FDesktop.Focus(FWindow);
    FDesktop.Keys({QStringLiteral("ctrl+Tab")});
    ASSERT_TRUE(FDesktop.TitleBecomes(FWindow, FFile + QStringLiteral(" - Zelmar")));
    ASSERT_TRUE(Answer(QStringLiteral("y")));
    TypeAndSave(QStringLiteral("X"));
    EXPECT_TRUE(FileBecomes("Xnew text\r\n"));
    EXPECT_EQ(FDesktop.ReadFile(b), QByteArray("b\r\n"));
}

// No window manager here gives the window back its activation when the
// dialog closes: the closing itself must bring the question.
TEST_F(ChangedOnDisk, AChangeWhileADialogIsUpIsAskedAboutOnceItCloses)
{
    ASSERT_NO_FATAL_FAILURE(Open("old\r\n"));
    FDesktop.Keys({QStringLiteral("ctrl+f")});
    const QString find = FDesktop.WaitForWindow(QStringLiteral("^Find Text$"));
    ASSERT_FALSE(find.isEmpty());
    FDesktop.WriteFile(QStringLiteral("a.txt"), "new text\r\n");
    FDesktop.Focus(find);
    FDesktop.Keys({QStringLiteral("Escape")});
    const QString box = WaitForMessageBox(FDesktop, FWindow);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(FDesktop, box, QStringLiteral("y")));
    FDesktop.Focus(FWindow);
    TypeAndSave(QStringLiteral("X"));
    EXPECT_TRUE(FileBecomes("Xnew text\r\n"));
}

TEST_F(ChangedOnDisk, ADeletedFileKeepsItsDocumentModifiedToBeSavedAgain)
{
    ASSERT_NO_FATAL_FAILURE(Open("kept\r\n"));
    ASSERT_TRUE(QFile::remove(FFile));
    ASSERT_TRUE(Answer(QStringLiteral("Return")));
    EXPECT_FALSE(QFile::exists(FFile));
    EXPECT_EQ(FDesktop.WindowName(FWindow), FFile + QStringLiteral(" - Zelmar"));
    EXPECT_TRUE(AsksOnExit()); // modified
    FDesktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(FileBecomes("kept\r\n"));
}

TEST_F(ChangedOnDisk, AFileDeletedBehindAnotherTabIsAskedAboutOnLeaving)
{
    FDesktop.WriteFile(QStringLiteral("b.txt"), "b\r\n");
    ASSERT_NO_FATAL_FAILURE(Open("kept\r\n", {QStringLiteral("b.txt")}));
    ASSERT_TRUE(QFile::remove(FFile));
    ASSERT_TRUE(SeenByNow());
    FDesktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
    ASSERT_TRUE(Answer(QStringLiteral("y"))); // save it
    EXPECT_TRUE(FProgram->WaitForExit());
    EXPECT_EQ(FDesktop.ReadFile(FFile), QByteArray("kept\r\n"));
}

} // namespace
