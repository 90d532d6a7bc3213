// A stand-in for the editor in the hand-off tests, run as a real process.
//
//   instance -SERVE:<log> [-NOPUBLISH]
//     Runs HandOff and prints "first" (it keeps the block) or "independent".
//     Then records each request in <log>, one line each, in order:
//     "front", "open <name>", "error <message>" (a name ending in
//     "fails.txt" fails to open). Standard input: "publish" publishes fake
//     window handles and prints "published"; end of input releases the block
//     and ends the process.
//
//   instance <arguments...>
//     A later start: runs HandOff on its own command line and exits with
//     HandedOff or RanAlone.
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/SingleInstances.h"

#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int HandedOff = 10;
constexpr int RanAlone = 11;

QString LogPath;

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
    Record("open " + AnsiEncode(name));
    if (name.endsWith(QStringLiteral("fails.txt")))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\"").arg(name));
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
        if (QByteArray(buffer, n).contains("publish"))
            Publish();
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
        Record("error " + AnsiEncode(call.Text));
        return IDOK;
    });
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
