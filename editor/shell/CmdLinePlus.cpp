// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/CmdLinePlus.h"

#include "editor/platform/Exceptions.h"
#include "editor/platform/FileNames.h"

#include <QFile>
#include <QRegularExpression>

namespace {

bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= u' ';
}

// "/" also begins every absolute path: an argument whose name part (up to the
// first ":") holds a second "/", or one that names an existing entry directly
// under the root ("/notes.txt"), is a file, not an option.
bool IsAbsolutePath(const QString &argument)
{
    if (argument[0] != u'/')
        return false;
    const qsizetype colon = argument.indexOf(u':');
    const qsizetype slash = argument.indexOf(u'/', 1);
    return (slash > 0 && (colon < 0 || slash < colon)) || (argument.size() > 1 && FileNameExists(argument));
}

// The arguments the kernel recorded for this process, its own path dropped.
QList<QByteArray> ProcessArguments()
{
    QFile file(QStringLiteral("/proc/self/cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> arguments = file.readAll().split('\0');
    // The text ends with a NUL, which leaves one empty piece behind it.
    if (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    return arguments;
}

// Decoded as file names are, whatever the locale: the names then reach
// open() as the very bytes given here.
QStringList DecodeArguments(const QList<QByteArray> &arguments)
{
    QStringList decoded;
    decoded.reserve(arguments.size());
    for (const QByteArray &argument : arguments)
        decoded.append(DecodeFileName(argument));
    return decoded;
}

void OpenGuarded(const std::function<void()> &open, const std::function<void(const QString &)> &reportError)
{
    try {
        open();
    } catch (const eCancel &) {
        // The user abandoned this one; go on with the next.
    } catch (const eException &error) {
        reportError(error.Message());
    } catch (const std::exception &error) {
        reportError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error"));
    }
}

} // namespace

const cCommandLine CommandLine;

cCommandLine::cCommandLine() : cCommandLine(ProcessArguments()) {}

cCommandLine::cCommandLine(const QList<QByteArray> &arguments) : cCommandLine(DecodeArguments(arguments)) {}

cCommandLine::cCommandLine(const QStringList &arguments)
{
    for (const QString &argument : arguments)
        if (!argument.isEmpty())
            Add(argument);
    FileCount = int(Files.size());
    OptionCount = int(Options.size());
}

void cCommandLine::Add(const QString &argument)
{
    tCommandLineOption option;
    bool malformed = false;
    if (!ParseArgument(argument, option, malformed))
        Files.append(argument);
    else if (!malformed)
        Options.append(option);
}

bool cCommandLine::ParseArgument(const QString &argument, tCommandLineOption &option, bool &malformed)
{
    option = {};
    malformed = false;
    if (argument.isEmpty() || (argument[0] != u'-' && argument[0] != u'/') || IsAbsolutePath(argument))
        return false;
    const QString body = argument.mid(1);
    if (body.isEmpty()) {
        malformed = true;
        return true;
    }
    const qsizetype colon = body.indexOf(u':');
    if (colon < 0) {
        option.Name = UpperCaseAscii(body);
    } else {
        option.Name = UpperCaseAscii(body.left(colon));
        option.Value = body.mid(colon + 1);
        if (option.Name.isEmpty()) {
            malformed = true;
            return true;
        }
    }
    malformed = !ClassifyOption(option);
    if (option.Name.endsWith(u'+') || option.Name.endsWith(u'-'))
        option.Name.chop(1);
    return true;
}

bool cCommandLine::ClassifyOption(tCommandLineOption &option)
{
    option.Kind = clkValue;
    const QString *examined = &option.Value;
    if (option.Value.isEmpty()) {
        option.Kind = clkSwitch;
        examined = &option.Name;
    }
    if (examined->isEmpty())
        return false;
    if (examined->endsWith(u'+')) {
        if (option.Kind == clkValue)
            return false;
        option.Kind = clkSwitchOn;
    } else if (examined->endsWith(u'-')) {
        if (option.Kind == clkValue)
            return false;
        option.Kind = clkSwitchOff;
    }
    return true;
}

QString cCommandLine::GetFile(int index) const
{
    return index >= 0 && index < Files.size() ? Files[index] : QString();
}

tCommandLineOption cCommandLine::GetOption(int index) const
{
    return index >= 0 && index < Options.size() ? Options[index] : tCommandLineOption();
}

tCommandLineOption cCommandLine::FindOption(const QString &name) const
{
    const QString wanted = UpperCaseAscii(name);
    for (const tCommandLineOption &option : Options)
        if (option.Name == wanted)
            return option;
    return {};
}

QStringList SplitList(const QString &text)
{
    QString lines = text;
    lines.replace(u' ', u'\r').replace(u';', u'\r').replace(u'\n', u'\r');
    QStringList names;
    for (const QString &line : lines.split(u'\r')) {
        const QString name = TrimControls(line);
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

QString TrimControls(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlankOrControl(text[first]))
        ++first;
    while (last > first && IsBlankOrControl(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

QString UpperCaseAscii(const QString &text)
{
    QString upper = text;
    for (QChar &c : upper)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    return upper;
}

std::optional<tCaretPosition> CaretPositionArgument(const QString &argument)
{
    static const QRegularExpression form(QStringLiteral("^\\+(\\d{1,9})(?::(\\d{1,9}))?$"));
    const QRegularExpressionMatch match = form.match(argument);
    if (!match.hasMatch() || FileNameExists(argument))
        return std::nullopt;
    return tCaretPosition{match.captured(1).toInt(), match.captured(2).toInt()};
}

void OpenCommandLineDocuments(const cCommandLine &commandLine,
                              const std::function<void(const QString &name, bool readOnly)> &openFile,
                              const std::function<int()> &documentCount,
                              const std::function<void()> &newDocument,
                              const std::function<void(const QString &message)> &reportError,
                              const std::function<void(tCaretPosition position)> &goTo)
{
    std::optional<tCaretPosition> position;
    for (int index = 0; index < commandLine.FileCount; ++index) {
        const QString name = commandLine.GetFile(index);
        if (index + 1 < commandLine.FileCount)
            if (const std::optional<tCaretPosition> found = CaretPositionArgument(name)) {
                position = found;
                continue;
            }
        bool opened = false;
        OpenGuarded(
            [&] {
                openFile(name, false);
                opened = true;
            },
            reportError);
        if (opened && position && goTo)
            goTo(*position);
        position.reset();
    }
    const QString readOnlyNames = TrimControls(commandLine.FindOption(QStringLiteral("R")).Value);
    if (!readOnlyNames.isEmpty())
        for (const QString &name : SplitList(readOnlyNames))
            OpenGuarded([&] { openFile(name, true); }, reportError);
    if (documentCount() == 0)
        newDocument();
}
