#include "tests/e2e/E2eHarness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

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

cXvfb::cXvfb()
{
    // -displayfd lets the server pick a free display and tell us its number.
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    FServer.setProgram(QStringLiteral(XVFB_EXECUTABLE));
    FServer.setArguments({QStringLiteral("-displayfd"), QString::number(pipeFds[1]),
                          QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    FServer.setChildProcessModifier([fd = pipeFds[0]] { ::close(fd); });
    FServer.start();
    ::close(pipeFds[1]);
    QByteArray number;
    char c;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(pipeFds[0]);
    if (number.isEmpty())
        throw std::runtime_error("Xvfb did not start");
    FDisplay = QStringLiteral(":") + QString::fromLatin1(number);
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
}

QProcessEnvironment cDesktop::Environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), Display());
    env.insert(QStringLiteral("HOME"), Home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigHome());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Home() + QStringLiteral("/run"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
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
    QProcess tool;
    tool.setProcessEnvironment(Environment());
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
