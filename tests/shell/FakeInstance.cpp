// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the editor in the hand-off tests, run as a real process.
//
//   instance -SERVE:<log> [-NOPUBLISH] [-NOOPEN]
//     Runs HandOff and prints "first" (it keeps the block) or "independent".
//     Then records each request in <log>, one line each, in order:
//     "front", "open <name>", "error <message>" (a name ending in
//     "fails.txt" fails to open; one ending in "wait.txt" prints "waiting"
//     and runs a nested event loop until "continue" arrives, as a modal box
//     would). -NOOPEN sets no open handler. Standard input: "publish"
//     publishes fake window handles, "hold", "resume" and "stop" hold,
//     resume and stop the requests; each prints its past tense. End of input
//     releases the block and ends the process.
//
//   instance <arguments...>
//     A later start: runs HandOff on its own command line and exits with
//     HandedOff or RanAlone.
#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/FileNames.h"
#include "editor/platform/MessageBox.h"
#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/SingleInstances.h"

#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int HandedOff = 10;
constexpr int RanAlone = 11;

QString LogPath;
QEventLoop *Waiting = nullptr;

void Record(const QByteArray &line)
{
    QFile log(LogPath);
    if (log.open(QIODevice::Append))
        log.write(line + '\n');
}

void Say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void OpenFile(const QString &name)
{
    Record("open " + EncodeFileName(name));
    if (name.endsWith(QStringLiteral("fails.txt")))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\"").arg(name));
    if (name.endsWith(QStringLiteral("wait.txt"))) {
        QEventLoop loop;
        Waiting = &loop;
        Say("waiting");
        loop.exec();
        Waiting = nullptr;
        Say("continued");
    }
}

void Publish()
{
    cApplicationSingleton::PublishWindows(0x00C0FFEE, 0x00BEEF01);
    Say("published");
}

// Reads commands from standard input; its end stops the event loop.
void WatchInput(QSocketNotifier &notifier)
{
    QObject::connect(&notifier, &QSocketNotifier::activated, [&notifier] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
        if (n <= 0) {
            notifier.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        const QByteArray command(buffer, n);
        if (command.contains("publish"))
            Publish();
        if (command.contains("hold")) {
            cApplicationSingleton::HoldRequests(true);
            Say("held");
        }
        if (command.contains("resume")) {
            cApplicationSingleton::HoldRequests(false);
            Say("resumed");
        }
        if (command.contains("stop")) {
            cApplicationSingleton::StopAnswering();
            Say("stopped");
        }
        if (command.contains("continue") && Waiting)
            Waiting->quit();
    });
}

int Serve(int &argc, char **argv)
{
    LogPath = CommandLine.FindOption(QStringLiteral("SERVE")).Value;
    const bool first = !cApplicationSingleton::HandOff() && cApplicationSingleton::HoldsBlock();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    cApplication app(argc, argv);
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &call) {
        Record("error " + EncodeFileName(call.Text));
        return IDOK;
    });
    if (CommandLine.FindOption(QStringLiteral("NOOPEN")).Kind == clkAbsent)
        cApplicationSingleton::SetOpenFileHandler(OpenFile);
    cApplicationSingleton::SetBringToFrontHandler([] { Record("front"); });
    Say(first ? "first" : "independent");
    if (CommandLine.FindOption(QStringLiteral("NOPUBLISH")).Kind == clkAbsent)
        Publish();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    WatchInput(input);
    const int exitCode = app.exec();
    cApplicationSingleton::Release();
    return exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    if (CommandLine.FindOption(QStringLiteral("SERVE")).Kind == clkValue)
        return Serve(argc, argv);
    return cApplicationSingleton::HandOff() ? HandedOff : RanAlone;
}
