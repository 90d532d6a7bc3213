// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/e2e/E2eHarness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

namespace {

// Variables through which a program could reach a display, a session bus or
// a session manager other than the test's own.
const char *const OuterSessionVariables[] = {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY",
                                             "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER"};

QProcessEnvironment IsolatedEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : OuterSessionVariables)
        env.remove(QString::fromLatin1(name));
    return env;
}

// Display numbers well away from the ones desktops and people pick by hand;
// where a test starts among them depends on its process.
constexpr int FirstDisplay = 100;
constexpr int DisplayRange = 800;
constexpr int DisplayAttempts = 64;

} // namespace

cXvfb::cXvfb()
{
    // Nothing started by this test process may fall back to another display.
    for (const char *name : OuterSessionVariables)
        qunsetenv(name);
    const int start = int(::getpid() % DisplayRange);
    for (int attempt = 0; attempt < DisplayAttempts; ++attempt)
        if (Start(FirstDisplay + (start + attempt * 7) % DisplayRange))
            return;
    throw std::runtime_error("Xvfb found no free display");
}

// The server claims the display atomically or ends; -displayfd tells when it
// accepts connections. -noreset: a server that resets whenever its last
// client leaves refuses the next program started in that moment.
bool cXvfb::Start(int display)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    FServer.setProgram(QStringLiteral(XVFB_EXECUTABLE));
    FServer.setArguments({QStringLiteral(":%1").arg(display), QStringLiteral("-displayfd"),
                          QString::number(pipeFds[1]), QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                          QStringLiteral("-noreset")});
    FServer.setProcessEnvironment(IsolatedEnvironment());
    FServer.setStandardOutputFile(QProcess::nullDevice());
    FServer.setStandardErrorFile(QProcess::nullDevice());
    // Only the server keeps the writing end, so its end ends the read below.
    FServer.setChildProcessModifier([fd = pipeFds[1]] { ::fcntl(fd, F_SETFD, 0); });
    FServer.start();
    ::close(pipeFds[1]);
    if (!FServer.waitForStarted(30000)) {
        ::close(pipeFds[0]);
        throw std::runtime_error("Xvfb did not start");
    }
    QByteArray number;
    char c;
    ssize_t n;
    while ((n = ::read(pipeFds[0], &c, 1)) == 1 || (n == -1 && errno == EINTR))
        if (n == 1) {
            if (c == '\n')
                break;
            number += c;
        }
    ::close(pipeFds[0]);
    if (number == QByteArray::number(display) && FServer.state() != QProcess::NotRunning) {
        FDisplay = QStringLiteral(":") + QString::fromLatin1(number);
        return true;
    }
    FServer.kill();
    FServer.waitForFinished(5000);
    return false;
}

bool cXvfb::Running() const
{
    return FServer.state() != QProcess::NotRunning;
}

cXvfb::~cXvfb()
{
    FServer.terminate();
    if (!FServer.waitForFinished(5000))
        FServer.kill();
    FServer.waitForFinished(2000);
}

cDesktop::cDesktop()
{
    QDir(FHome.path()).mkpath(QStringLiteral("work"));
    QDir(FHome.path()).mkpath(QStringLiteral("config"));
    QDir(FHome.path()).mkpath(QStringLiteral("bin/plugins"));
    QDir(FHome.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(FHome.path() + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QFileInfo program(QStringLiteral(QUORVEL_EXECUTABLE));
    if (!QFile::copy(program.filePath(), Program()))
        throw std::runtime_error("cannot copy the program");
    const QDir plugins(program.path() + QStringLiteral("/plugins"));
    for (const QFileInfo &library : plugins.entryInfoList({QStringLiteral("*.so")}, QDir::Files))
        QFile::copy(library.filePath(), FHome.path() + QStringLiteral("/bin/plugins/") + library.fileName());
    if (!WaitUntil([this] { return !Xdotool({QStringLiteral("getdisplaygeometry")}).isEmpty(); }))
        throw std::runtime_error("the test's X server does not answer");
}

QProcessEnvironment cDesktop::Environment() const
{
    QProcessEnvironment env = IsolatedEnvironment();
    env.insert(QStringLiteral("DISPLAY"), Display());
    env.insert(QStringLiteral("HOME"), Home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigHome());
    env.insert(QStringLiteral("XDG_STATE_HOME"), StateHome());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Home() + QStringLiteral("/run"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QString cDesktop::WriteFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = WorkDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return path;
}

QByteArray cDesktop::ReadFile(const QString &name) const
{
    QFile file(name.startsWith(QLatin1Char('/')) ? name : WorkDir() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString cDesktop::Xdotool(const QStringList &args, int timeoutMs) const
{
    return XdotoolOn(Display(), args, timeoutMs);
}

QString cDesktop::XdotoolOn(const QString &display, const QStringList &args, int timeoutMs) const
{
    QProcess tool;
    QProcessEnvironment env = Environment();
    env.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(XDOTOOL_EXECUTABLE), args);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

QString cDesktop::WaitForWindow(const QString &namePattern, int timeoutMs) const
{
    QString found;
    WaitUntil(
        [&] {
            const QStringList ids = Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), namePattern})
                                        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (ids.isEmpty())
                return false;
            found = ids.first();
            return true;
        },
        timeoutMs);
    ReportAnEndedServer(found);
    return found;
}

void cDesktop::ReportAnEndedServer(const QString &found) const
{
    // Say so, rather than leave a test to fail for want of a window.
    if (found.isEmpty() && !ServerRunning())
        ADD_FAILURE() << "the test's X server " << Display().toStdString() << " has ended";
}

QString cDesktop::WaitForOtherWindow(const QString &namePattern, const QString &except, int timeoutMs) const
{
    QString found;
    WaitUntil(
        [&] {
            const QStringList ids = Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), namePattern})
                                        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const QString &id : ids)
                if (id != except)
                    found = id;
            return !found.isEmpty();
        },
        timeoutMs);
    ReportAnEndedServer(found);
    return found;
}

void cDesktop::Focus(const QString &window) const
{
    Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
}

void cDesktop::Keys(const QStringList &keys) const
{
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")};
    args += keys;
    Xdotool(args);
}

void cDesktop::Type(const QString &text) const
{
    Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

QString cDesktop::WindowName(const QString &window) const
{
    return Xdotool({QStringLiteral("getwindowname"), window});
}

cQuorvel::cQuorvel(const cDesktop &desktop, const QStringList &args)
{
    FProcess.setProcessEnvironment(desktop.Environment());
    FProcess.setWorkingDirectory(desktop.WorkDir());
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start(desktop.Program(), args);
    if (!FProcess.waitForStarted(10000))
        throw std::runtime_error("quorvel did not start");
}

cQuorvel::cQuorvel(const cDesktop &desktop, const QStringList &args, const QString &display)
{
    QProcessEnvironment env = desktop.Environment();
    env.insert(QStringLiteral("DISPLAY"), display);
    FProcess.setProcessEnvironment(env);
    FProcess.setWorkingDirectory(desktop.WorkDir());
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start(desktop.Program(), args);
    if (!FProcess.waitForStarted(10000))
        throw std::runtime_error("quorvel did not start");
}

cQuorvel::cQuorvel(const cDesktop &desktop, tRawArguments, const QList<QByteArray> &args)
{
    FRawArguments.push_back(QFile::encodeName(desktop.Program()));
    FRawArguments.insert(FRawArguments.end(), args.begin(), args.end());
    for (QByteArray &arg : FRawArguments)
        FArgv.push_back(arg.data());
    FArgv.push_back(nullptr);
    for (const QString &variable : desktop.Environment().toStringList())
        FRawEnvironment.push_back(variable.toLocal8Bit());
    for (QByteArray &variable : FRawEnvironment)
        FEnvp.push_back(variable.data());
    FEnvp.push_back(nullptr);
    FProcess.setWorkingDirectory(desktop.WorkDir());
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.setProgram(desktop.Program());
    // Replaces the child before QProcess would exec it with encoded arguments.
    // Only async-signal-safe calls here.
    FProcess.setChildProcessModifier([argv = FArgv.data(), envp = FEnvp.data()] {
        ::execve(argv[0], argv, envp);
        ::_exit(127);
    });
    FProcess.start();
    if (!FProcess.waitForStarted(10000))
        throw std::runtime_error("quorvel did not start");
}

cQuorvel::~cQuorvel()
{
    Kill();
}

bool cQuorvel::WaitForExit(int timeoutMs)
{
    if (FProcess.state() == QProcess::NotRunning)
        return true;
    return FProcess.waitForFinished(timeoutMs);
}

void cQuorvel::Kill()
{
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }
}
