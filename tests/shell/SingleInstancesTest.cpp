// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance hand-off, between real processes: each test runs its own
// copy of the stand-in program, so the copies' blocks never meet.
#include "editor/shell/SingleInstances.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr int HandedOff = 10;
constexpr int RanAlone = 11;
constexpr int Patience = 60000; // only a guard against a hung test

TEST(BlockName, IsBuiltFromTheUpperCasedExecutablePath)
{
    EXPECT_EQ(cApplicationSingleton::BuildBlockName(QStringLiteral("/opt/Tools/Editor")),
              QByteArray("Zelmar -- /OPT/TOOLS/EDITOR + F720AB4A-DFAB-4AD8-BD92-A21D0B6CDF15"));
    // Backslashes become slashes; only ASCII letters change case.
    EXPECT_EQ(cApplicationSingleton::BuildBlockName(QString::fromUtf8("/opt/\xC3\xA4x\\y")),
              QByteArray("Zelmar -- /OPT/\xC3\xA4X/Y + F720AB4A-DFAB-4AD8-BD92-A21D0B6CDF15"));
}

TEST(MakeFullName, PutsTheCurrentDirectoryBeforeRelativeNames)
{
    struct
    {
        const char *Name, *Directory, *Expected;
    } const cases[] = {
        {"a.txt", "/home/u/Work", "/home/u/Work/a.txt"},
        {"a.txt", "/", "/a.txt"},
        {"sub/a.txt", "/home/u/Work", "/home/u/Work/sub/a.txt"},
        {"../a.txt", "/home/u/Work", "/home/u/Work/../a.txt"},
        {"/etc/a.txt", "/home/u/Work", "/etc/a.txt"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(
            cApplicationSingleton::MakeFullName(QString::fromUtf8(c.Name), QString::fromUtf8(c.Directory)),
            QString::fromUtf8(c.Expected))
            << c.Name;
    EXPECT_EQ(cApplicationSingleton::MakeFullName(QStringLiteral("a.txt")),
              QDir::currentPath() + QStringLiteral("/a.txt"));
}

// Sockets the process holds.
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

bool WaitUntil(const std::function<bool()> &condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > Patience)
            return false;
        QThread::msleep(20);
    }
    return true;
}

QByteArray UniqueBlockName(const char *what)
{
    return "Zelmar test block " + QByteArray(what) + " " + QByteArray::number(qint64(::getpid()));
}

bool ObjectExists(const QByteArray &objectName)
{
    const int fd = ::shm_open(objectName.constData(), O_RDONLY, 0);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

TEST(SharedMem, FirstHolderOwnsAZeroBlockThatLaterHoldersShare)
{
    const QByteArray name = UniqueBlockName("share");
    auto owner = std::make_unique<cSharedMem>(name, shared_block::Size);
    ASSERT_NE(owner->View(), nullptr);
    EXPECT_TRUE(owner->IsNew());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(owner->View()), shared_block::Size),
              QByteArray(shared_block::Size, '\0'));
    owner->View()[shared_block::FileNameOffset] = 'x';
    {
        cSharedMem other(name, shared_block::Size);
        ASSERT_NE(other.View(), nullptr);
        EXPECT_FALSE(other.IsNew());
        EXPECT_EQ(other.View()[shared_block::FileNameOffset], 'x');
    }
    // A later holder going away leaves the block to its owner.
    EXPECT_TRUE(ObjectExists(owner->ObjectName()));
    owner.reset();
    EXPECT_FALSE(ObjectExists(cSharedMem::ObjectNameOf(name)));
    cSharedMem next(name, shared_block::Size);
    EXPECT_TRUE(next.IsNew());
    EXPECT_EQ(next.View()[shared_block::FileNameOffset], 0);
}

class HandOff : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Program = Dir.filePath(QStringLiteral("instance"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVEL_FAKE_INSTANCE), Program));
        QFile::setPermissions(Program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("sub")));
        for (const char *name : {"a.txt", "c.txt", "sub/b.txt", "with blank.txt", "x.txt", "fails.txt"})
            Touch(QString::fromUtf8(name));
    }

    void TearDown() override
    {
        if (Running.state() != QProcess::NotRunning) {
            Running.closeWriteChannel();
            if (!Running.waitForFinished(Patience))
                Running.kill();
        }
    }

    void Touch(const QString &name)
    {
        QFile file(Dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QString Path(const char *name) const { return Dir.filePath(QString::fromUtf8(name)); }

    // Starts the running instance; its answer tells whether it keeps a block.
    QByteArray Serve(const char *log, bool publish = true, const QStringList &options = {})
    {
        QStringList arguments{QStringLiteral("-SERVE:") + Path(log)};
        if (!publish)
            arguments.append(QStringLiteral("-NOPUBLISH"));
        arguments += options;
        Running.setProgram(Program);
        Running.setArguments(arguments);
        // Freed memory is overwritten at once, so a use after free shows.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MALLOC_PERTURB_"), QStringLiteral("165"));
        Running.setProcessEnvironment(environment);
        Running.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Running.start();
        if (!Running.waitForStarted(Patience))
            return "not started";
        const QByteArray answer = Line();
        if (publish && Line() != "published")
            return "not published";
        return answer;
    }

    QByteArray Line()
    {
        while (!Running.canReadLine())
            if (!Running.waitForReadyRead(Patience))
                return "no answer";
        return Running.readLine().trimmed();
    }

    void Publish() { Command("publish", "published"); }

    void Command(const char *command, const char *answer)
    {
        Running.write(QByteArray(command) + '\n');
        ASSERT_EQ(Line(), answer);
    }

    // A later start left running; Finish() gives its exit code.
    void Launch(QProcess &later, const QStringList &arguments)
    {
        later.setProgram(Program);
        later.setArguments(arguments);
        later.setWorkingDirectory(Dir.path());
        later.setProcessChannelMode(QProcess::ForwardedChannels);
        later.start();
    }

    static int Finish(QProcess &later)
    {
        if (!later.waitForFinished(Patience) || later.exitStatus() != QProcess::NormalExit)
            return -1;
        return later.exitCode();
    }

    // A later start in the test's directory; its exit code.
    int Start(const QStringList &arguments)
    {
        QProcess later;
        later.setProgram(Program);
        later.setArguments(arguments);
        later.setWorkingDirectory(Dir.path());
        later.setProcessChannelMode(QProcess::ForwardedChannels);
        later.start();
        if (!later.waitForFinished(Patience) || later.exitStatus() != QProcess::NormalExit)
            return -1;
        return later.exitCode();
    }

    QList<QByteArray> Log(const char *log) const
    {
        QFile file(Path(log));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = file.readAll().split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

    QByteArray Opened(const char *name) const { return "open " + QFile::encodeName(Path(name)); }

    QTemporaryDir Dir;
    QString Program;
    QProcess Running;
};

TEST_F(HandOff, ExistingFilesArriveInOrderAndTheLaterStartEnds)
{
    ASSERT_EQ(Serve("log"), "first");
    EXPECT_EQ(Start({"a.txt", "missing.txt", "c.txt"}), HandedOff);
    EXPECT_EQ(Log("log"), (QList<QByteArray>{"front", Opened("a.txt"), Opened("c.txt")}));
}

TEST_F(HandOff, NamesArriveAbsoluteAndUnsplit)
{
    ASSERT_EQ(Serve("log"), "first");
    EXPECT_EQ(Start({"with blank.txt", "", "sub/b.txt", Path("x.txt")}), HandedOff);
    EXPECT_EQ(Log("log"),
              (QList<QByteArray>{"front", Opened("with blank.txt"), Opened("sub/b.txt"), Opened("x.txt")}));
}

TEST_F(HandOff, WithoutFilesTheInstanceOnlyComesToTheFront)
{
    ASSERT_EQ(Serve("log"), "first");
    EXPECT_EQ(Start({}), HandedOff);
    EXPECT_EQ(Start({"-R:x.txt"}), HandedOff);
    EXPECT_EQ(Log("log"), (QList<QByteArray>{"front", "front"}));
}

TEST_F(HandOff, SimultaneousLaterStartsEachDeliverEveryFile)
{
    ASSERT_EQ(Serve("log"), "first");
    QStringList names[2];
    QList<QByteArray> expected{"front", "front"};
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i);
        Touch(name);
        names[i % 2].append(name);
        expected.append("open " + QFile::encodeName(Dir.filePath(name)));
    }
    QProcess later[2];
    for (int i = 0; i < 2; ++i) {
        later[i].setWorkingDirectory(Dir.path());
        later[i].start(Program, names[i]);
    }
    for (QProcess &process : later) {
        ASSERT_TRUE(process.waitForFinished(Patience));
        EXPECT_EQ(process.exitCode(), HandedOff);
    }
    QList<QByteArray> log = Log("log");
    std::sort(log.begin(), log.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(log, expected);
}

TEST_F(HandOff, AFailingOpenIsReportedAndTheNextFileStillArrives)
{
    ASSERT_EQ(Serve("log"), "first");
    EXPECT_EQ(Start({"a.txt", "fails.txt", "c.txt"}), HandedOff);
    const QByteArray error = "error Cannot open file \"" + QFile::encodeName(Path("fails.txt")) + "\"";
    EXPECT_EQ(Log("log"),
              (QList<QByteArray>{"front", Opened("a.txt"), Opened("fails.txt"), error, Opened("c.txt")}));
}

TEST_F(HandOff, ASenderThatDiesWhileItsFileOpensLeavesTheInstanceServing)
{
    Touch(QStringLiteral("wait.txt"));
    ASSERT_EQ(Serve("log"), "first");
    // The open runs a nested event loop, as an error box does; the sender dies
    // meanwhile and its connection goes away under it.
    for (int round = 0; round < 3; ++round) {
        QProcess later;
        Launch(later, {QStringLiteral("wait.txt")});
        ASSERT_EQ(Line(), "waiting");
        const int sockets = SocketCount(Running.processId());
        later.kill();
        ASSERT_TRUE(later.waitForFinished(Patience));
        // The instance has seen the connection go before the open ends.
        ASSERT_TRUE(WaitUntil([&] { return SocketCount(Running.processId()) < sockets; }));
        Command("continue", "continued");
    }
    EXPECT_EQ(Start({"a.txt"}), HandedOff);
    EXPECT_EQ(Running.state(), QProcess::Running);
    const QList<QByteArray> log = Log("log");
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.last(), Opened("a.txt"));
}

TEST_F(HandOff, AnInstanceThatNoLongerOpensFilesRefusesThemAndTheSenderRunsAlone)
{
    ASSERT_EQ(Serve("log", true, {QStringLiteral("-NOOPEN")}), "first");
    EXPECT_EQ(Start({"a.txt"}), RanAlone);
    // Nothing to open: coming to the front is still answered.
    EXPECT_EQ(Start({}), HandedOff);
    EXPECT_EQ(Log("log"), (QList<QByteArray>{"front", "front"}));
}

TEST_F(HandOff, HeldRequestsAreHandledOnResumeAndRefusedOnceAnsweringStops)
{
    ASSERT_EQ(Serve("log"), "first");
    Command("hold", "held");
    QProcess waiting;
    Launch(waiting, {QStringLiteral("a.txt")});
    Command("resume", "resumed");
    EXPECT_EQ(Finish(waiting), HandedOff);
    EXPECT_EQ(Log("log"), (QList<QByteArray>{"front", Opened("a.txt")}));

    // The window is closing: whatever waits, and whatever comes later, opens
    // in a window of its own.
    Command("hold", "held");
    QProcess refused;
    Launch(refused, {QStringLiteral("c.txt")});
    Command("stop", "stopped");
    EXPECT_EQ(Finish(refused), RanAlone);
    EXPECT_EQ(Start({"c.txt"}), RanAlone);
    EXPECT_EQ(Log("log"), (QList<QByteArray>{"front", Opened("a.txt")}));
}

TEST_F(HandOff, NamesKeepTheirBytes)
{
    const QByteArray names[] = {"caf\xE9.txt", "\xEF\xBB\xBF"
                                               "a.txt"};
    for (const QByteArray &name : names) {
        const int fd = ::open((QFile::encodeName(Dir.path()) + '/' + name).constData(),
                              O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    ASSERT_EQ(Serve("log"), "first");
    // QProcess would encode the arguments; the shell passes the bytes.
    QProcess later;
    later.setWorkingDirectory(Dir.path());
    later.setProcessChannelMode(QProcess::ForwardedChannels);
    later.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
                                            QStringLiteral("exec \"$0\" \"$(printf 'caf\\351.txt')\" "
                                                           "\"$(printf '\\357\\273\\277a.txt')\""),
                                            Program});
    EXPECT_EQ(Finish(later), HandedOff);
    const QByteArray directory = QFile::encodeName(Dir.path()) + '/';
    EXPECT_EQ(Log("log"),
              (QList<QByteArray>{"front", "open " + directory + names[0], "open " + directory + names[1]}));
}

TEST_F(HandOff, BeforePublishingALaterStartRunsAlone)
{
    ASSERT_EQ(Serve("log", false), "first");
    EXPECT_EQ(Start({"a.txt"}), RanAlone);
    EXPECT_TRUE(Log("log").isEmpty());
    // The block stayed with the first instance.
    Publish();
    EXPECT_EQ(Start({"c.txt"}), HandedOff);
    EXPECT_EQ(Log("log"), (QList<QByteArray>{"front", Opened("c.txt")}));
}

TEST_F(HandOff, AKilledInstanceIsReplacedByTheNextStart)
{
    ASSERT_EQ(Serve("old"), "first");
    Running.kill();
    ASSERT_TRUE(Running.waitForFinished(Patience));
    // Nobody is handed anything by the dead instance's block.
    EXPECT_EQ(Start({"c.txt"}), RanAlone);
    ASSERT_EQ(Serve("new"), "first");
    EXPECT_EQ(Start({"a.txt"}), HandedOff);
    EXPECT_TRUE(Log("old").isEmpty());
    EXPECT_EQ(Log("new"), (QList<QByteArray>{"front", Opened("a.txt")}));
}

TEST_F(HandOff, AnEndedInstanceLeavesNoBlock)
{
    ASSERT_EQ(Serve("log"), "first");
    const QByteArray blockName =
        cApplicationSingleton::BuildBlockName(QFileInfo(Program).canonicalFilePath());
    EXPECT_TRUE(ObjectExists(cSharedMem::ObjectNameOf(blockName)));
    Running.closeWriteChannel();
    ASSERT_TRUE(Running.waitForFinished(Patience));
    EXPECT_EQ(Running.exitCode(), 0);
    EXPECT_FALSE(ObjectExists(cSharedMem::ObjectNameOf(blockName)));
    EXPECT_EQ(Start({"a.txt"}), RanAlone);
    EXPECT_TRUE(Log("log").isEmpty());
}

} // namespace
