// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's command line: file names, and options that begin with "-" or
// "/". It is parsed once, before the program's entry runs, and never changes.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

enum tCommandLineOptionKind : std::uint8_t
{
    clkAbsent,    // the empty record of an option that was not given
    clkSwitch,    // -X
    clkSwitchOn,  // -X+
    clkSwitchOff, // -X-
    clkValue      // -X:value
};

struct tCommandLineOption
{
    tCommandLineOptionKind Kind = clkAbsent;
    QString Name;  // upper-cased (ASCII only), without sign, ":" and value
    QString Value; // after the first ":", case kept
    bool operator==(const tCommandLineOption &) const = default;
};

class cCommandLine
{
public:
    // The arguments of this process, its own path excluded.
    cCommandLine();
    // Arguments as the system delivers them (bytes); they are decoded as file
    // names are (FileNames.h), so a name reaches open() as the same bytes.
    explicit cCommandLine(const QList<QByteArray> &arguments);
    explicit cCommandLine(const QStringList &arguments);

    // Result: the argument is an option. A file name leaves Option empty.
    static bool ParseArgument(const QString &argument, tCommandLineOption &option, bool &malformed);
    // Sets Option.Kind; result: the option is well formed.
    static bool ClassifyOption(tCommandLineOption &option);

    // Empty beyond the last file.
    QString GetFile(int index) const;
    // The empty record (clkAbsent) beyond the last option.
    tCommandLineOption GetOption(int index) const;
    // The first option of that name (compared upper-cased), or the empty record.
    tCommandLineOption FindOption(const QString &name) const;

    int FileCount = 0;
    QStringList Files;
    int OptionCount = 0;
    QList<tCommandLineOption> Options;

private:
    void Add(const QString &argument);
};

// The command line of this process, built during static initialisation.
extern const cCommandLine CommandLine;

// Names separated by blanks, ";" or line breaks; empty names dropped.
QStringList SplitList(const QString &text);

// Removes blanks and control characters from both ends.
QString TrimControls(const QString &text);

// Upper-cases the ASCII letters a-z only.
QString UpperCaseAscii(const QString &text);

// "+LINE" or "+LINE:COLUMN" before a file name puts the caret there, as in
// vi and gedit. One-based; Column 0 when not given.
struct tCaretPosition
{
    int Line = 0;
    int Column = 0;
};
// The position such an argument names; none for anything else, and for the
// name of a file that exists (a file may be called "+1").
std::optional<tCaretPosition> CaretPositionArgument(const QString &argument);

// Opens the command line's documents at the main window's first activation:
// the files writable, then the names of the first "R" option read-only, then
// one new document when none is open. A failing open is reported with its
// message and the next name is opened. A position argument before a file is
// given to GoTo once that file is open (and to nobody when it is last).
void OpenCommandLineDocuments(const cCommandLine &commandLine,
                              const std::function<void(const QString &name, bool readOnly)> &openFile,
                              const std::function<int()> &documentCount,
                              const std::function<void()> &newDocument,
                              const std::function<void(const QString &message)> &reportError,
                              const std::function<void(tCaretPosition position)> &goTo = {});
