// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of any arguments: every argument is a file or an option,
// a file's name comes back as the bytes it arrived as, whatever the ANSI code
// page, and opening the documents asks for each name once. The first input
// byte chooses the code page, the second which opens fail; the rest are the
// arguments, separated by NUL as the kernel records them.
#include "FuzzSupport.h"

#include "editor/platform/AnsiCodePage.h"
#include "editor/shell/CmdLinePlus.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

QList<QByteArray> Arguments(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
}

QString LowerCaseAscii(const QString &text)
{
    QString lower = text;
    for (QChar &c : lower)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    return lower;
}

// Names reach open() as UTF-8, the escapes of undecodable bytes turned back
// into the bytes.
QByteArray NameBytes(const QString &name)
{
    return Utf8EncodeLossless(name);
}

bool IsOptionLike(const QByteArray &argument)
{
    return argument.startsWith('-') || argument.startsWith('/');
}

// Files keep the arguments' order; what is not a file looks like an option.
void CheckFiles(const QList<QByteArray> &arguments, const cCommandLine &commandLine)
{
    if (commandLine.FileCount != commandLine.Files.size() ||
        commandLine.OptionCount != commandLine.Options.size())
        fuzz::Finding("the counts do not match the lists");
    qsizetype next = 0;
    for (const QByteArray &argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (next < commandLine.Files.size() && NameBytes(commandLine.Files[next]) == argument) {
            ++next;
            continue;
        }
        if (!IsOptionLike(argument))
            fuzz::Finding("an argument became neither a file of the same bytes nor an option",
                          "argument " + fuzz::Hex(argument) + "\nnext file " +
                              fuzz::Hex(NameBytes(commandLine.GetFile(int(next)))));
    }
    if (next != commandLine.Files.size())
        fuzz::Finding("a file name does not come back as its argument's bytes",
                      "file " + fuzz::Hex(commandLine.Files[next]) + " saved as " +
                          fuzz::Hex(NameBytes(commandLine.Files[next])));
    if (!commandLine.GetFile(commandLine.FileCount).isEmpty() || !commandLine.GetFile(-1).isEmpty())
        fuzz::Finding("a file beyond the list is not empty");
}

void CheckOptions(const cCommandLine &commandLine)
{
    for (const tCommandLineOption &option : commandLine.Options) {
        const bool switchKind =
            option.Kind == clkSwitch || option.Kind == clkSwitchOn || option.Kind == clkSwitchOff;
        if (!(switchKind && option.Value.isEmpty()) && !(option.Kind == clkValue && !option.Value.isEmpty()))
            fuzz::Finding("an option's kind does not fit its value", fuzz::Hex(option.Name));
        if (option.Name != UpperCaseAscii(option.Name))
            fuzz::Finding("an option's name is not upper case", fuzz::Hex(option.Name));
        if (commandLine.FindOption(LowerCaseAscii(option.Name)).Kind == clkAbsent)
            fuzz::Finding("an option given is not found by its name in lower case", fuzz::Hex(option.Name));
    }
    if (commandLine.GetOption(commandLine.OptionCount).Kind != clkAbsent)
        fuzz::Finding("an option beyond the list is not the empty record");
}

// Every name is opened once, in order, a failing one reported and passed by;
// a "+LINE" before a file is not opened but moves the caret in that file, once
// it opened; a new document appears only when nothing opened.
void CheckOpening(const cCommandLine &commandLine, uint8_t failures)
{
    QStringList readOnlyNames = SplitList(TrimControls(commandLine.FindOption(QStringLiteral("R")).Value));
    for (const QString &name : readOnlyNames)
        if (name.isEmpty() || name != TrimControls(name) || name.contains(u' ') || name.contains(u';'))
            fuzz::Finding("a read-only name is empty or holds a separator", fuzz::Hex(name));
    QStringList expected;
    QList<bool> positioned; // whether the file opened as expected[i] has a position before it
    bool pending = false;
    for (qsizetype index = 0; index < commandLine.Files.size(); ++index) {
        const QString &name = commandLine.Files[index];
        if (index + 1 < commandLine.Files.size() && CaretPositionArgument(name)) {
            pending = true;
            continue;
        }
        expected.append(name);
        positioned.append(pending);
        pending = false;
    }
    expected += readOnlyNames;

    QStringList opened;
    int documents = 0, reported = 0, created = 0, call = 0;
    bool lastOpened = false;
    OpenCommandLineDocuments(
        commandLine,
        [&](const QString &name, bool readOnly) {
            opened.append(name);
            lastOpened = false;
            if (readOnly != (opened.size() > positioned.size()))
                fuzz::Finding("a name was opened with the wrong access", fuzz::Hex(name));
            if (failures & (1u << (call++ % 8)))
                throw std::runtime_error("cannot open");
            lastOpened = true;
            ++documents;
        },
        [&] { return documents; }, [&] { ++created; }, [&](const QString &) { ++reported; },
        [&](tCaretPosition) {
            const qsizetype last = opened.size() - 1;
            if (!lastOpened || last < 0 || last >= positioned.size() || !positioned[last])
                fuzz::Finding("a position went to a file it did not precede, or to one that failed");
            positioned[last] = false;
        });
    if (opened != expected)
        fuzz::Finding("the names opened are not the files and read-only names in order");
    if (documents + reported != opened.size() || created != (documents == 0 ? 1 : 0))
        fuzz::Finding("failures were not reported once each, or the new document is wrong");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    SetAnsiCodePage(fuzz::CodePages[data[0] % fuzz::CodePageCount]);
    const uint8_t failures = data[1];
    const QList<QByteArray> arguments = Arguments(data + 2, size - 2);
    const cCommandLine commandLine(arguments);
    CheckFiles(arguments, commandLine);
    CheckOptions(commandLine);
    CheckOpening(commandLine, failures);
    return 0;
}
