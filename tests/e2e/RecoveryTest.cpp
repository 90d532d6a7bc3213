// SPDX-License-Identifier: GPL-3.0-or-later
// The program is killed with documents unsaved: the next start offers them
// back, and saving them writes exactly what had been typed.
#include "tests/e2e/E2eTools.h"

#include "editor/editing/RecoveryJournal.h"
#include "editor/editing/TextFiles.h"
#include "editor/textengine/TextBuffer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray Utf16(const QString &text)
{
    return QByteArray("\xFF\xFE", 2) +
           QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

class Recovery : public ::testing::Test
{
protected:
    Recovery() { MapKeys(); }
    // Gives the characters the tests type keys of their own: xdotool would
    // otherwise map a spare key for each while typing, and a busy program can
    // read the key with the map already restored.
    void MapKeys() const
    {
        const QString file = FDesktop.Home() + QStringLiteral("/keymap.xkb");
        const auto xkbcomp = [this](const QStringList &args) {
            QProcess tool;
            tool.setProcessEnvironment(FDesktop.Environment());
            tool.start(QStringLiteral("xkbcomp"), args);
            return tool.waitForFinished(15000) && tool.exitCode() == 0;
        };
        if (!xkbcomp({FDesktop.Display(), file}))
            return;
        QFile keymap(file);
        if (!keymap.open(QIODevice::ReadWrite))
            return;
        QString text = QString::fromUtf8(keymap.readAll());
        const char *symbols[] = {"eacute", "Greek_OMEGA", "ssharp", "udiaeresis", "idiaeresis"};
        for (int i = 0; i < 5; ++i)
            text.replace(QRegularExpression(QStringLiteral("key <FK%1> \\{[^}]*\\};").arg(13 + i)),
                         QStringLiteral("key <FK%1> { [ %2 ] };").arg(13 + i).arg(QLatin1String(symbols[i])));
        keymap.resize(0);
        keymap.write(text.toUtf8());
        keymap.close();
        xkbcomp({file, FDesktop.Display()});
    }

    QString Folder() const { return FDesktop.StateHome() + QStringLiteral("/Varnholt/Zelmar/recovery"); }
    QStringList Records() const
    {
        return QDir(Folder()).entryList({QStringLiteral("*.journal")}, QDir::Files);
    }
    // The texts the records on disk rebuild to, every line with its break.
    QStringList RecordTexts() const
    {
        QStringList texts;
        for (const QString &name : Records()) {
            QFile file(Folder() + u'/' + name);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            const tJournalRecord record = ReadJournal(bytes);
            cTextBuffer text;
            QString reason;
            const auto loadBase = [&record](const tJournalBase &base, cTextBuffer &into, QString &why) {
                return LoadJournalBase(record.Meta->FileName, base, into, why);
            };
            texts << (RebuildJournalText(bytes, text, loadBase, reason) ? text.TextWithBreaks() : reason);
        }
        texts.sort();
        return texts;
    }
    bool RecordsBecome(QStringList texts) const
    {
        texts.sort();
        return WaitUntil([&] { return RecordTexts() == texts; });
    }
    void Start(const QStringList &args)
    {
        FProgram = std::make_unique<cQuorvel>(FDesktop, args);
        FWindow = FDesktop.MainWindow();
        ASSERT_FALSE(FWindow.isEmpty());
        FDesktop.Focus(FWindow);
    }
    // The next start shows the records; Return recovers them all.
    void StartAndRecover()
    {
        FProgram = std::make_unique<cQuorvel>(FDesktop, QStringList{});
        const QString dialog = FDesktop.WaitForWindow(QStringLiteral("^Recover Documents - Zelmar$"));
        ASSERT_FALSE(dialog.isEmpty());
        FDesktop.Focus(dialog);
        FDesktop.Keys({QStringLiteral("Return")});
        FWindow = FDesktop.MainWindow();
        ASSERT_FALSE(FWindow.isEmpty());
        FDesktop.Focus(FWindow);
    }
    QString Path(const QString &name) const { return FDesktop.WorkDir() + u'/' + name; }
    bool Shows(const QString &name)
    {
        return FDesktop.TitleBecomes(FWindow, name.isEmpty() ? QStringLiteral("Zelmar")
                                                             : Path(name) + QStringLiteral(" - Zelmar"));
    }
    // Every key typed before has reached the document once a dialog that a
    // later key opens is up; it is closed again and the document has the focus.
    bool KeysTakenIn() { return FindDialogCameAndWent(FDesktop, FWindow); }
    // Goes back one tab and waits until it is on show.
    bool Previous(const QString &name)
    {
        FDesktop.Keys({QStringLiteral("ctrl+shift+Tab")});
        return Shows(name);
    }

    cDesktop FDesktop;
    std::unique_ptr<cQuorvel> FProgram;
    QString FWindow;
};

TEST_F(Recovery, AKilledProgramOffersEveryDocumentAndSavingWritesWhatWasTyped)
{
    FDesktop.WriteFile(QStringLiteral("lf.txt"), "\xEF\xBB\xBFone\ntwo\n");
    FDesktop.WriteFile(QStringLiteral("crlf.txt"), "a\r\nb\r\n");
    FDesktop.WriteFile(QStringLiteral("u16.txt"), Utf16(QStringLiteral("x\r\ny")));
    ASSERT_NO_FATAL_FAILURE(
        Start({QStringLiteral("lf.txt"), QStringLiteral("crlf.txt"), QStringLiteral("u16.txt")}));
    ASSERT_TRUE(Shows(QStringLiteral("u16.txt")));
    FDesktop.Type(QStringLiteral("\u00e9\u03a9"));
    FDesktop.Keys({QStringLiteral("Return")});
    ASSERT_TRUE(Previous(QStringLiteral("crlf.txt")));
    FDesktop.Type(QStringLiteral("X"));
    FDesktop.Keys({QStringLiteral("Return")});
    ASSERT_TRUE(Previous(QStringLiteral("lf.txt")));
    FDesktop.Type(QStringLiteral("\u00df"));
    FDesktop.Keys({QStringLiteral("Return")});
    FDesktop.Keys({QStringLiteral("ctrl+n")});
    ASSERT_TRUE(Shows(QString()));
    FDesktop.Type(QStringLiteral("Hello \u00fcn\u00ef"));
    FDesktop.Keys({QStringLiteral("Return")});
    FDesktop.Type(QStringLiteral("end"));

    // Within a second of the last key, everything is on disk.
    ASSERT_TRUE(
        RecordsBecome({QStringLiteral("\u00e9\u03a9\r\nx\r\ny"), QStringLiteral("X\r\na\r\nb\r\n"),
                       QStringLiteral("\u00df\none\ntwo\n"), QStringLiteral("Hello \u00fcn\u00ef\nend")}))
        << RecordTexts().join(u'|').toStdString();
    FProgram->Kill();

    ASSERT_NO_FATAL_FAILURE(StartAndRecover());
    // The untitled document is saved under a name of the user's.
    ASSERT_TRUE(Shows(QString()));
    FDesktop.Keys({QStringLiteral("ctrl+s")});
    const QString saveAs = FDesktop.WaitForOtherWindow(QStringLiteral("Save"), FWindow);
    ASSERT_FALSE(saveAs.isEmpty());
    FDesktop.Focus(saveAs);
    FDesktop.Type(Path(QStringLiteral("new.txt")));
    FDesktop.Keys({QStringLiteral("Return")});
    // A new document is UTF-8 without a mark where the locale's code page is UTF-8.
    EXPECT_TRUE(WaitUntil([&] {
        return FDesktop.ReadFile(QStringLiteral("new.txt")) == "Hello \xC3\xBCn\xC3\xAF\nend";
    })) << FDesktop.ReadFile(QStringLiteral("new.txt")).toHex().toStdString();
    FDesktop.Focus(FWindow);

    const struct
    {
        const char *Name;
        QByteArray Bytes;
    } files[] = {{"lf.txt", "\xEF\xBB\xBF\xC3\x9F\none\ntwo\n"},
                 {"crlf.txt", "X\r\na\r\nb\r\n"},
                 {"u16.txt", Utf16(QStringLiteral("\u00e9\u03a9\r\nx\r\ny"))}};
    for (const auto &file : files) {
        ASSERT_TRUE(Previous(QString::fromLatin1(file.Name))) << file.Name;
        FDesktop.Keys({QStringLiteral("ctrl+s")});
        EXPECT_TRUE(WaitUntil([&] {
            return FDesktop.ReadFile(QString::fromLatin1(file.Name)) == file.Bytes;
        })) << file.Name
            << ": " << FDesktop.ReadFile(QString::fromLatin1(file.Name)).toHex().toStdString();
    }
    // Saved documents keep no records.
    EXPECT_TRUE(WaitUntil([&] { return Records().isEmpty(); })) << Records().join(u' ').toStdString();
}

TEST_F(Recovery, TerminatedProgramKeepsEverythingTyped)
{
    FDesktop.WriteFile(QStringLiteral("a.txt"), "old\n");
    ASSERT_NO_FATAL_FAILURE(Start({QStringLiteral("a.txt")}));
    ASSERT_TRUE(Shows(QStringLiteral("a.txt")));
    FDesktop.Type(QStringLiteral("new "));
    FDesktop.Keys({QStringLiteral("ctrl+n")});
    ASSERT_TRUE(Shows(QString()));
    FDesktop.Type(QStringLiteral("abc"));
    FDesktop.Keys({QStringLiteral("Return")});
    FDesktop.Type(QStringLiteral("d\u00e9f"));
    ASSERT_TRUE(KeysTakenIn());
    ::kill(FProgram->Process().processId(), SIGTERM);
    ASSERT_TRUE(FProgram->WaitForExit());
    EXPECT_EQ(RecordTexts(), (QStringList{QStringLiteral("abc\nd\u00e9f"), QStringLiteral("new old\n")}));

    // A log whose file changed since is not applied, and kept; so is a record
    // that cannot be read.
    FDesktop.WriteFile(QStringLiteral("a.txt"), "other\n");
    {
        QFile junk(Folder() + QStringLiteral("/junk.journal"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not a record");
    }
    // Closing normally after saying No leaves nothing behind but that.
    ASSERT_NO_FATAL_FAILURE(StartAndRecover());
    EXPECT_EQ(Records().size(), 3);
    FDesktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
    const QString box = WaitForMessageBox(FDesktop, FWindow);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(FDesktop, box, QStringLiteral("n")));
    ASSERT_TRUE(FProgram->WaitForExit());
    EXPECT_EQ(Records().size(), 2);
    EXPECT_TRUE(Records().contains(QStringLiteral("junk.journal")));
    EXPECT_EQ(FDesktop.ReadFile(QStringLiteral("a.txt")), "other\n");
}

// Killed at random moments while typing goes on, again and again: each start
// gives back a text the user typed, never less than the start before gave,
// and everything the program had taken in a second or more before the kill;
// the record goes on from there.
TEST_F(Recovery, RepeatedKillsNeverLoseWhatARecordHeld)
{
    using namespace std::chrono;
    ASSERT_NO_FATAL_FAILURE(Start({}));
    FDesktop.Type(QStringLiteral("start"));
    FDesktop.Keys({QStringLiteral("Return")});
    QString held = QStringLiteral("start\n");
    ASSERT_TRUE(RecordsBecome({held})) << RecordTexts().join(u'|').toStdString();
    std::mt19937 random(std::random_device{}());
    int aged = 0;
    for (int round = 0; round < 20; ++round) {
        if (round > 0) {
            ASSERT_NO_FATAL_FAILURE(StartAndRecover());
        }
        FDesktop.Keys({QStringLiteral("ctrl+End")});
        const QString line = QStringLiteral("%1 \u00e9%2").arg(round).arg(random() % 1000);
        FDesktop.Type(line);
        FDesktop.Keys({QStringLiteral("Return")});
        const QString taken = held + line + u'\n';
        ASSERT_TRUE(KeysTakenIn()) << round;
        const auto takenAt = steady_clock::now();
        // Typing goes on while the kill comes, within the second after the
        // keys above were taken in or after it, at a random moment.
        const QString more =
            QStringLiteral("more \u00df\u00fc %1 typed on while the program is killed, on and on").arg(round);
        QProcess typing;
        QProcessEnvironment environment = FDesktop.Environment();
        environment.insert(QStringLiteral("DISPLAY"), FDesktop.Display());
        typing.setProcessEnvironment(environment);
        typing.start(QStringLiteral(XDOTOOL_EXECUTABLE),
                     {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), more});
        ASSERT_TRUE(typing.waitForStarted());
        std::this_thread::sleep_until(takenAt + milliseconds((round % 2) * 1000 + random() % 1000));
        const auto age = duration_cast<milliseconds>(steady_clock::now() - takenAt);
        FProgram->Kill();
        // Ended mid-key, it could leave the key down for the next start.
        ASSERT_TRUE(typing.waitForFinished(30000));

        const QStringList texts = RecordTexts();
        ASSERT_EQ(texts.size(), 1) << round;
        ASSERT_TRUE((taken + more).startsWith(texts[0])) << round << ": " << texts[0].toStdString();
        ASSERT_GE(texts[0].size(), held.size()) << round;
        if (age >= seconds(1)) {
            ++aged;
            ASSERT_TRUE(texts[0].startsWith(taken))
                << round << ", killed " << age.count() << " ms after: " << texts[0].toStdString();
        }
        held = texts[0];
    }
    EXPECT_GE(aged, 10);
    // The record goes on after the last start.
    ASSERT_NO_FATAL_FAILURE(StartAndRecover());
    FDesktop.Keys({QStringLiteral("ctrl+End")});
    FDesktop.Type(QStringLiteral("end"));
    ASSERT_TRUE(RecordsBecome({held + QStringLiteral("end")})) << RecordTexts().join(u'|').toStdString();
}

// A save of a hard-linked file killed halfway through its rewrite in place:
// the next start asks, and either completes the write (both names hold the
// new text) or opens the new text as the file's document.
TEST_F(Recovery, AnInterruptedSaveInPlaceIsCompletedOrOpened)
{
    qputenv("XDG_STATE_HOME", QFile::encodeName(FDesktop.StateHome()));
    const QByteArray oldBytes("old text, longer than the new text\n"), newBytes("new \xC3\xA9 text\n");
    const auto interrupted = [&](const QString &name) {
        const QString path = FDesktop.WriteFile(name, oldBytes);
        if (::link(QFile::encodeName(path).constData(),
                   QFile::encodeName(path + QStringLiteral(".2")).constData()) != 0)
            return false;
        const pid_t child = ::fork();
        if (child == 0) {
            InPlaceRewriteHook = [] { ::_exit(9); };
            try {
                WriteFileSafely(path, {}, newBytes);
            } catch (...) {
            }
            ::_exit(0);
        }
        int status = 0;
        return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 9 && FDesktop.ReadFile(name) != newBytes;
    };
    const auto answer = [&](const QString &key) {
        FProgram = std::make_unique<cQuorvel>(FDesktop, QStringList{});
        FWindow = FDesktop.MainWindow();
        ASSERT_FALSE(FWindow.isEmpty());
        const QString box = FDesktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), FWindow);
        ASSERT_FALSE(box.isEmpty());
        FDesktop.Focus(box);
        FDesktop.Keys({key});
    };

    ASSERT_TRUE(interrupted(QStringLiteral("a.txt")));
    ASSERT_NO_FATAL_FAILURE(answer(QStringLiteral("Return")));
    EXPECT_TRUE(WaitUntil([&] {
        return FDesktop.ReadFile(QStringLiteral("a.txt")) == newBytes &&
               FDesktop.ReadFile(QStringLiteral("a.txt.2")) == newBytes;
    }));
    EXPECT_TRUE(WaitUntil([&] { return QDir(Folder()).entryList(QDir::Files).isEmpty(); }));
    FProgram->Kill();

    ASSERT_TRUE(interrupted(QStringLiteral("b.txt")));
    ASSERT_NO_FATAL_FAILURE(answer(QStringLiteral("n")));
    ASSERT_TRUE(Shows(QStringLiteral("b.txt")));
    FDesktop.Focus(FWindow);
    FDesktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] {
        return FDesktop.ReadFile(QStringLiteral("b.txt")) == newBytes &&
               FDesktop.ReadFile(QStringLiteral("b.txt.2")) == newBytes;
    }));
    // Only the document's own record may remain, and it goes once saved.
    EXPECT_TRUE(WaitUntil([&] { return QDir(Folder()).entryList(QDir::Files).isEmpty(); }));
    // Nothing hidden beside the files.
    EXPECT_EQ(
        QDir(FDesktop.WorkDir()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".~")).size(),
        0);
    qunsetenv("XDG_STATE_HOME");
}

} // namespace
