// SPDX-License-Identifier: GPL-3.0-or-later
// A second start meeting the running editor in awkward moments, and names
// that only survive as bytes.
#include "tests/e2e/E2eHarness.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A Unix socket in the file system: it exists, but no open() gets through.
bool MakeSocketFile(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    sockaddr_un address = {};
    if (bytes.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

// Sockets the process holds: one more once it has accepted a connection.
int SocketCount(qint64 pid)
{
    int count = 0;
    const QByteArray directory = "/proc/" + QByteArray::number(pid) + "/fd/";
    const QDir fds(QString::fromLatin1(directory));
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        char target[64] = {};
        if (::readlink((directory + fd.toLatin1()).constData(), target, sizeof(target) - 1) > 0 &&
            std::strncmp(target, "socket:", 7) == 0)
            ++count;
    }
    return count;
}

// Files by their bytes: QFile would take the names as UTF-8.
bool WriteRaw(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    ::close(fd);
    return written;
}

QByteArray ReadRaw(const QByteArray &path)
{
    QByteArray bytes;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "(missing)";
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof(buffer))) > 0)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

TEST(HandOff, ASecondStartDyingWhileItsErrorBoxIsShownLeavesTheEditorRunning)
{
    cDesktop desktop;
    ASSERT_TRUE(MakeSocketFile(desktop.WorkDir() + QStringLiteral("/sock.txt")));
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b");
    cQuorvel first(desktop, {});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    for (int round = 0; round < 2; ++round) {
        cQuorvel second(desktop, {QStringLiteral("sock.txt")});
        // The running editor reports the file while the second start waits.
        const QString box = desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), window);
        ASSERT_FALSE(box.isEmpty());
        second.Kill();
        desktop.Focus(box);
        desktop.Keys({QStringLiteral("Return")});
        ASSERT_TRUE(WaitUntil(
            [&] { return desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), window, 0).isEmpty(); }));
    }
    // Still there, and still taking files.
    cQuorvel third(desktop, {QStringLiteral("b.txt")});
    ASSERT_TRUE(third.WaitForExit());
    EXPECT_EQ(third.Process().exitCode(), 0);
    EXPECT_TRUE(desktop.TitleBecomes(window, b + QStringLiteral(" - Zelmar")));
    EXPECT_EQ(first.Process().state(), QProcess::Running);
}

TEST(HandOff, AFileHandedOverWhileTheEditorClosesOpensInAWindowOfItsOwn)
{
    cDesktop desktop;
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b");
    cQuorvel first(desktop, {});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    desktop.Type(QStringLiteral("unsaved"));
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")}); // File, Exit: "save changes?"
    const QString question = desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), window);
    ASSERT_FALSE(question.isEmpty());
    const int sockets = SocketCount(first.Process().processId());
    cQuorvel second(desktop, {QStringLiteral("b.txt")});
    // The editor has taken the second start's connection.
    ASSERT_TRUE(WaitUntil([&] { return SocketCount(first.Process().processId()) > sockets; }));
    desktop.Focus(question);
    desktop.Keys({QStringLiteral("alt+n")}); // No: close without saving
    ASSERT_TRUE(first.WaitForExit());
    EXPECT_EQ(first.Process().exitCode(), 0);
    // The second start did not hand its file to a window that was going away:
    // it shows a window of its own.
    const QString own = desktop.MainWindow();
    ASSERT_FALSE(own.isEmpty());
    desktop.Focus(own);
    EXPECT_TRUE(desktop.TitleBecomes(own, b + QStringLiteral(" - Zelmar")));
    EXPECT_EQ(second.Process().state(), QProcess::Running);
}

// The answer to a tab's "save changes?" goes to the document asked about;
// a file handed over meanwhile opens once the question is over.
TEST(HandOff, AFileHandedOverDuringATabsCloseQuestionWaitsForTheAnswer)
{
    cDesktop desktop;
    desktop.WriteFile(QStringLiteral("first.txt"), "first");
    const QString keep = desktop.WriteFile(QStringLiteral("keep.txt"), "keep");
    const QString base = desktop.WriteFile(QStringLiteral("base.txt"), "base");
    cQuorvel program(desktop,
                     {QStringLiteral("first.txt"), QStringLiteral("keep.txt"), QStringLiteral("base.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, base + QStringLiteral(" - Zelmar")));
    // Types into the document on show and closes it, handing over Other
    // while "save changes?" is up, and answers with Key.
    auto closeHandingOver = [&](const QString &other, const QString &key) {
        const QString path = desktop.WriteFile(other, "other");
        desktop.Type(QStringLiteral("X"));
        desktop.Keys({QStringLiteral("ctrl+w")});
        const QString question = desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), window);
        ASSERT_FALSE(question.isEmpty());
        const int sockets = SocketCount(program.Process().processId());
        cQuorvel second(desktop, {other});
        // Taken and waiting; or, where nothing makes it wait, handled.
        ASSERT_TRUE(WaitUntil([&] {
            return SocketCount(program.Process().processId()) > sockets ||
                   second.Process().state() == QProcess::NotRunning;
        }));
        desktop.Focus(question);
        desktop.Keys({key});
        ASSERT_TRUE(second.WaitForExit());
        EXPECT_EQ(second.Process().exitCode(), 0);
        desktop.Focus(window);
        EXPECT_TRUE(desktop.TitleBecomes(window, path + QStringLiteral(" - Zelmar")));
    };

    ASSERT_NO_FATAL_FAILURE(closeHandingOver(QStringLiteral("other.txt"), QStringLiteral("alt+n")));
    EXPECT_EQ(desktop.ReadFile(base), QByteArray("base"));
    // first.txt, keep.txt, other.txt: base.txt went, nothing else.
    desktop.Keys({QStringLiteral("ctrl+shift+Tab")});
    ASSERT_TRUE(desktop.TitleBecomes(window, keep + QStringLiteral(" - Zelmar")));

    ASSERT_NO_FATAL_FAILURE(closeHandingOver(QStringLiteral("other2.txt"), QStringLiteral("alt+y")));
    EXPECT_EQ(desktop.ReadFile(keep), QByteArray("Xkeep"));
}

TEST(HandOff, ANameBeginningWithAMarkIsNotTakenForAnother)
{
    cDesktop desktop;
    const QByteArray work = QFile::encodeName(desktop.WorkDir()) + '/';
    const QByteArray marked = "\xEF\xBB\xBF"
                              "a.txt";
    const QByteArray markedTwice = "\xEF\xBB\xBF\xEF\xBB\xBF"
                                   "b.txt";
    ASSERT_TRUE(WriteRaw(work + marked, "marked"));
    ASSERT_TRUE(WriteRaw(work + markedTwice, "twice"));
    desktop.WriteFile(QStringLiteral("a.txt"), "plain");
    desktop.WriteFile(QStringLiteral("b.txt"), "plain");
    cQuorvel first(desktop, cQuorvel::Raw, {marked});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, QString::fromUtf8(work + marked) + QStringLiteral(" - Zelmar")));
    // Typed and saved: the change reaches the marked file, not a.txt.
    desktop.Type(QStringLiteral("X"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return ReadRaw(work + marked) == "Xmarked"; }));
    EXPECT_EQ(ReadRaw(work + "a.txt"), QByteArray("plain"));

    // Handed over by a second start, the name arrives whole too.
    cQuorvel second(desktop, cQuorvel::Raw, {markedTwice});
    ASSERT_TRUE(second.WaitForExit());
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_TRUE(
        desktop.TitleBecomes(window, QString::fromUtf8(work + markedTwice) + QStringLiteral(" - Zelmar")));
    desktop.Type(QStringLiteral("Y"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return ReadRaw(work + markedTwice) == "Ytwice"; }));
    EXPECT_EQ(ReadRaw(work + "b.txt"), QByteArray("plain"));
}

// Qt's own encoding of names would turn the byte into U+FFFD on the way to
// open(), in the command line, the hand-off and the loader alike.
TEST(HandOff, ANameThatIsNoUtf8OpensOnTheCommandLineAndWhenHandedOver)
{
    cDesktop desktop;
    const QByteArray work = QFile::encodeName(desktop.WorkDir()) + '/';
    const QByteArray first = "caf\xE9.txt";
    const QByteArray second = "\xFF.txt";
    ASSERT_TRUE(WriteRaw(work + first, "first"));
    ASSERT_TRUE(WriteRaw(work + second, "second"));
    cQuorvel program(desktop, cQuorvel::Raw, {first});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(
        WaitUntil([&] { return desktop.WindowName(window).startsWith(QFile::decodeName(work + "caf")); }));
    desktop.Type(QStringLiteral("X"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return ReadRaw(work + first) == "Xfirst"; }));

    cQuorvel later(desktop, cQuorvel::Raw, {second});
    ASSERT_TRUE(later.WaitForExit());
    EXPECT_EQ(later.Process().exitCode(), 0);
    ASSERT_TRUE(
        WaitUntil([&] { return !desktop.WindowName(window).startsWith(QFile::decodeName(work + "caf")); }));
    desktop.Type(QStringLiteral("Y"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return ReadRaw(work + second) == "Ysecond"; }));
    // No error box came up on the way.
    EXPECT_TRUE(desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), window, 0).isEmpty());
}

TEST(HandOff, AFileDirectlyUnderTheRootIsNoOption)
{
    const QString name = QStringLiteral("/quorvel-e2e-%1.txt").arg(::getpid());
    if (!QFile(name).open(QIODevice::WriteOnly))
        GTEST_SKIP() << "the root directory is not writable here";
    struct tRemove
    {
        QString Name;
        ~tRemove() { QFile::remove(Name); }
    } const remove{name};
    cDesktop desktop;
    cQuorvel program(desktop, {name});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    EXPECT_TRUE(desktop.TitleBecomes(window, name + QStringLiteral(" - Zelmar")));
}

} // namespace
