// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the real program under its own Xvfb and drives it with xdotool, the
// way a user at a bare X server would.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// Polls Condition every 50 ms until it holds or the time is up.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 15000);

// One private X server for one test, on a display it found free; stopped on
// destruction. From its construction on, this test process and everything it
// starts know no other display (nor the outer session's bus).
class cXvfb
{
public:
    cXvfb();
    ~cXvfb();
    cXvfb(const cXvfb &) = delete;
    cXvfb &operator=(const cXvfb &) = delete;

    QString Display() const { return FDisplay; }
    bool Running() const;

private:
    bool Start(int display);

    QProcess FServer;
    QString FDisplay;
};

// A sandbox: its own X server, configuration home and working directory.
class cDesktop
{
public:
    cDesktop();

    QString Home() const { return FHome.path(); }
    QString WorkDir() const { return FHome.path() + QStringLiteral("/work"); }
    QString ConfigHome() const { return FHome.path() + QStringLiteral("/config"); }
    QString StateHome() const { return FHome.path() + QStringLiteral("/state"); }
    QString Display() const { return FServer.Display(); }
    bool ServerRunning() const { return FServer.Running(); }
    // This desktop's own copy of the program and its plug-ins: the running
    // instance of one test must never take the files of another.
    QString Program() const { return FHome.path() + QStringLiteral("/bin/quorvel"); }
    QProcessEnvironment Environment() const;

    // Writes bytes to a file below WorkDir() and returns its full path.
    QString WriteFile(const QString &name, const QByteArray &bytes) const;
    QByteArray ReadFile(const QString &name) const;

    // Runs xdotool with the arguments and returns its standard output, trimmed.
    QString Xdotool(const QStringList &args, int timeoutMs = 15000) const;
    // The same on another X display.
    QString XdotoolOn(const QString &display, const QStringList &args, int timeoutMs = 15000) const;
    // Waits until a visible window whose name matches the regular expression
    // exists and returns its id; empty on time-out.
    QString WaitForWindow(const QString &namePattern, int timeoutMs = 30000) const;
    // Gives the window the focus, which activates it on a bare X server.
    void Focus(const QString &window) const;
    // Types keys (xdotool key syntax, e.g. "ctrl+s") into the focused window.
    void Keys(const QStringList &keys) const;
    void Type(const QString &text) const;
    QString WindowName(const QString &window) const;
    // Waits for a visible window matching the pattern other than Except.
    QString WaitForOtherWindow(const QString &namePattern, const QString &except,
                               int timeoutMs = 30000) const;
    // The program's main window, captioned "Zelmar" or "<file> - Zelmar".
    QString MainWindow() const { return WaitForWindow(QStringLiteral("Zelmar$")); }
    bool TitleBecomes(const QString &window, const QString &title) const
    {
        return WaitUntil([&] { return WindowName(window) == title; }, 10000);
    }

private:
    void ReportAnEndedServer(const QString &found) const;

    QTemporaryDir FHome;
    cXvfb FServer;
};

// The program under test, started in a desktop.
class cQuorvel
{
public:
    cQuorvel(const cDesktop &desktop, const QStringList &args);
    // Arguments as bytes, passed on unchanged (QProcess would encode them).
    struct tRawArguments
    {};
    static constexpr tRawArguments Raw{};
    cQuorvel(const cDesktop &desktop, tRawArguments, const QList<QByteArray> &args);
    // Started in the desktop's session but showing on another X display.
    cQuorvel(const cDesktop &desktop, const QStringList &args, const QString &display);
    ~cQuorvel();
    cQuorvel(const cQuorvel &) = delete;
    cQuorvel &operator=(const cQuorvel &) = delete;

    QProcess &Process() { return FProcess; }
    // Waits for the process to end by itself; false on time-out.
    bool WaitForExit(int timeoutMs = 15000);
    void Kill();

private:
    QProcess FProcess;
    std::vector<QByteArray> FRawArguments;
    std::vector<char *> FArgv;
    std::vector<QByteArray> FRawEnvironment;
    std::vector<char *> FEnvp;
};
