// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/ProgramIdentity.h"

#include "editor/platform/Resources.h"
#include "editor/shell/CmdLinePlus.h"

#include <QApplication>

#if !defined(QUORVEL_VERSION) || !defined(QUORVEL_DESKTOP_ID)
#error "the build passes QUORVEL_VERSION and QUORVEL_DESKTOP_ID"
#endif

namespace {

// The option names as the command line keeps them: "--help" is the option
// "-HELP".
const QString HelpOption = QStringLiteral("-HELP");
const QString VersionOption = QStringLiteral("-VERSION");

} // namespace

QString ProgramName()
{
    return QStringLiteral("quorvel");
}

QString DesktopId()
{
    return QStringLiteral(QUORVEL_DESKTOP_ID);
}

QString ProgramVersion()
{
    return QStringLiteral(QUORVEL_VERSION);
}

QString UsageText()
{
    return QStringLiteral("Usage: %1 [OPTION]... [FILE]...\n"
                          "%2, a tabbed Unicode plain-text editor.\n"
                          "\n"
                          "Opens each FILE in a tab of its own. When the editor already runs, its\n"
                          "window comes to the front and opens the files instead.\n"
                          "\n"
                          "  +LINE[:COLUMN] FILE\n"
                          "              open FILE with the caret there (unless a file is named +LINE)\n"
                          "  -R:NAMES    also open NAMES read-only; names are separated by \";\" or blanks\n"
                          "  --help      print this help and exit\n"
                          "  --version   print the version and exit\n"
                          "\n"
                          "Options may also begin with \"/\", and their names ignore case. Other\n"
                          "options are accepted and ignored.\n")
        .arg(ProgramName(), LoadResString(res::ProductName));
}

QString VersionText()
{
    return QStringLiteral("%1 (%2) %3\n")
        .arg(ProgramName(), LoadResString(res::ProductName), ProgramVersion());
}

std::optional<int> AnswerInformationOption(const cCommandLine &commandLine, std::FILE *out)
{
    for (const tCommandLineOption &option : commandLine.Options) {
        if (option.Kind != clkSwitch || (option.Name != HelpOption && option.Name != VersionOption))
            continue;
        const QByteArray text = (option.Name == HelpOption ? UsageText() : VersionText()).toUtf8();
        const bool written =
            std::fwrite(text.constData(), 1, size_t(text.size()), out) == size_t(text.size()) &&
            std::fflush(out) == 0;
        return written ? 0 : 1;
    }
    return std::nullopt;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quorvel-%1.png").arg(size), QSize(size, size));
    return icon;
}

void SetApplicationIdentity()
{
    QCoreApplication::setApplicationName(ProgramName());
    QCoreApplication::setApplicationVersion(ProgramVersion());
    QGuiApplication::setDesktopFileName(DesktopId());
    QApplication::setWindowIcon(ApplicationIcon());
}
