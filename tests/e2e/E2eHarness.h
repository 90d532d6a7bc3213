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

// Polls Condition every 50 ms until it holds or the time is up.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 15000);

// One private X server for one test; stopped on destruction.
class cXvfb
{
public:
    cXvfb();
    ~cXvfb();
    cXvfb(const cXvfb &) = delete;
    cXvfb &operator=(const cXvfb &) = delete;

    QString Display() const { return FDisplay; }

private:
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
    QString Display() const { return FServer.Display(); }
    // This desktop's own copy of the program and its plug-ins: the running
    // instance of one test must never take the files of another.
    QString Program() const { return FHome.path() + QStringLiteral("/bin/quorvel"); }
    QProcessEnvironment Environment() const;

    // Writes bytes to a file below WorkDir() and returns its full path.
    QString WriteFile(const QString &name, const QByteArray &bytes) const;
    QByteArray ReadFile(const QString &name) const;

    // Runs xdotool with the arguments and returns its standard output, trimmed.
    QString Xdotool(const QStringList &args, int timeoutMs = 15000) const;
    // Waits until a visible window whose name matches the regular expression
    // exists and returns its id; empty on time-out.
    QString WaitForWindow(const QString &namePattern, int timeoutMs = 30000) const;
    // Gives the window the focus, which activates it on a bare X server.
    void Focus(const QString &window) const;
    // Types keys (xdotool key syntax, e.g. "ctrl+s") into the focused window.
    void Keys(const QStringList &keys) const;
    void Type(const QString &text) const;
    QString WindowName(const QString &window) const;
    // The program's main window, captioned "Zelmar" or "<file> - Zelmar".
    QString MainWindow() const { return WaitForWindow(QStringLiteral("Zelmar$")); }
    bool TitleBecomes(const QString &window, const QString &title) const
    {
        return WaitUntil([&] { return WindowName(window) == title; }, 10000);
    }

private:
    QTemporaryDir FHome;
    cXvfb FServer;
};

// The program under test, started in a desktop.
class cQuorvel
{
public:
    cQuorvel(const cDesktop &desktop, const QStringList &args);
    ~cQuorvel();
    cQuorvel(const cQuorvel &) = delete;
    cQuorvel &operator=(const cQuorvel &) = delete;

    QProcess &Process() { return FProcess; }
    // Waits for the process to end by itself; false on time-out.
    bool WaitForExit(int timeoutMs = 15000);
    void Kill();

private:
    QProcess FProcess;
};
