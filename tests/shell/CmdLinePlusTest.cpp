// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/CmdLinePlus.h"

#include "editor/platform/Exceptions.h"
#include "editor/platform/FileNames.h"

#include <gtest/gtest.h>

namespace {

QStringList Strings(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

tCommandLineOption Option(tCommandLineOptionKind kind, const char *name, const char *value = "")
{
    return {kind, QString::fromUtf8(name), QString::fromUtf8(value)};
}

TEST(ParseArgument, ClassifiesEveryForm)
{
    struct
    {
        const char *Argument;
        bool IsOption, Malformed;
        tCommandLineOption Expected;
    } const cases[] = {
        {"a.txt", false, false, {}},
        {"-r:b.txt;c.txt", true, false, Option(clkValue, "R", "b.txt;c.txt")},
        {"/x", true, false, Option(clkSwitch, "X")},
        {"-R:", true, false, Option(clkSwitch, "R")},
        {"-R+", true, false, Option(clkSwitchOn, "R")},
        {"/r-", true, false, Option(clkSwitchOff, "R")},
        {"-X+:v", true, false, Option(clkValue, "X", "v")},
        {"-R:C:\\a.txt", true, false, Option(clkValue, "R", "C:\\a.txt")},
        {"-r:Mixed.Txt", true, false, Option(clkValue, "R", "Mixed.Txt")},
        {"-\xC3\xA4x", true, false, Option(clkSwitch, "\xC3\xA4X")}, // only ASCII is upper-cased
        {"-R:/home/u/a.txt", true, false, Option(clkValue, "R", "/home/u/a.txt")},
        {"-R:x.txt-", true, true, {}},
        {"-R:x.txt+", true, true, {}},
        {"-", true, true, {}},
        {"/", true, true, {}},
        {"-:x", true, true, {}},
        {"/home/u/a.txt", false, false, {}}, // an absolute path is a file
        {"/home/u/a:b.txt", false, false, {}},
    };
    for (const auto &c : cases) {
        tCommandLineOption option = Option(clkValue, "stale", "stale");
        bool malformed = !c.Malformed;
        EXPECT_EQ(cCommandLine::ParseArgument(QString::fromUtf8(c.Argument), option, malformed), c.IsOption)
            << c.Argument;
        EXPECT_EQ(malformed, c.Malformed) << c.Argument;
        if (!c.Malformed) {
            EXPECT_EQ(option, c.Expected) << c.Argument;
        }
    }
}

TEST(CommandLine, KeepsFilesAndWellFormedOptionsInOrder)
{
    const cCommandLine commandLine(
        Strings({"a.txt", "-r:b.txt;c.txt", "/", "-R:x.txt-", "", "/x", "d.txt", "/tmp/e.txt", "-"}));
    EXPECT_EQ(commandLine.FileCount, 3);
    EXPECT_EQ(commandLine.Files, Strings({"a.txt", "d.txt", "/tmp/e.txt"}));
    EXPECT_EQ(commandLine.OptionCount, 2);
    EXPECT_EQ(commandLine.Options,
              (QList<tCommandLineOption>{Option(clkValue, "R", "b.txt;c.txt"), Option(clkSwitch, "X")}));
}

TEST(CommandLine, LooksUpByIndexAndByNameIgnoringCase)
{
    const cCommandLine commandLine(Strings({"-x", "one", "-R", "/r:later.txt"}));
    EXPECT_EQ(commandLine.GetFile(0), "one");
    EXPECT_EQ(commandLine.GetFile(1), QString());
    EXPECT_EQ(commandLine.GetOption(1), Option(clkSwitch, "R"));
    EXPECT_EQ(commandLine.GetOption(3), tCommandLineOption());
    EXPECT_EQ(commandLine.GetOption(-1), tCommandLineOption());
    // The first option of the name wins, whatever its form.
    EXPECT_EQ(commandLine.FindOption(QStringLiteral("r")), Option(clkSwitch, "R"));
    EXPECT_EQ(commandLine.FindOption(QStringLiteral("X")), Option(clkSwitch, "X"));
    EXPECT_EQ(commandLine.FindOption(QStringLiteral("y")).Kind, clkAbsent);
}

TEST(CommandLine, FileNamesKeepEveryByte)
{
    const QByteArray names[] = {
        "caf\xE9-\xFF.txt", // not UTF-8
        "\xEF\xBB\xBF"
        "a.txt", // a name that begins with U+FEFF
        "\xEF\xBB\xBF\xEF\xBB\xBF"
        "b.txt",                  // twice
        "d\xC3\xA9j\xC3\xA0.txt", // UTF-8
    };
    const cCommandLine commandLine(QList<QByteArray>(std::begin(names), std::end(names)) << "-r:\xFE.txt");
    ASSERT_EQ(commandLine.FileCount, int(std::size(names)));
    for (int i = 0; i < commandLine.FileCount; ++i)
        EXPECT_EQ(EncodeFileName(commandLine.GetFile(i)), names[i]) << i;
    EXPECT_EQ(commandLine.GetFile(1), QChar(0xFEFF) + QStringLiteral("a.txt"));
    EXPECT_EQ(commandLine.GetFile(3), QString::fromUtf8("d\xC3\xA9j\xC3\xA0.txt"));
    EXPECT_EQ(EncodeFileName(commandLine.FindOption(QStringLiteral("R")).Value), QByteArray("\xFE.txt"));
}

TEST(CommandLine, AnExistingEntryDirectlyUnderTheRootIsAFile)
{
    // "/x" stays an option as long as no such entry exists.
    ASSERT_FALSE(FileNameExists(QStringLiteral("/x")));
    const cCommandLine commandLine(Strings({"/tmp", "/x", "/R:/tmp"}));
    EXPECT_EQ(commandLine.Files, Strings({"/tmp"}));
    EXPECT_EQ(commandLine.Options,
              (QList<tCommandLineOption>{Option(clkSwitch, "X"), Option(clkValue, "R", "/tmp")}));
}

TEST(SplitList, SeparatesAtBlanksSemicolonsAndLineBreaks)
{
    struct
    {
        const char *Text;
        QStringList Expected;
    } const cases[] = {
        {"b.txt;c.txt", Strings({"b.txt", "c.txt"})},
        {"  a.txt  b.txt ;; c.txt;", Strings({"a.txt", "b.txt", "c.txt"})},
        {"a.txt\r\nb.txt\nc.txt\rd.txt", Strings({"a.txt", "b.txt", "c.txt", "d.txt"})},
        {"\ta.txt\t;\x01", Strings({"a.txt"})},
        {"; ;", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SplitList(QString::fromUtf8(c.Text)), c.Expected) << c.Text;
}

// Documents as the tabs would hold them; a name starting with "bad" fails.
struct tFakeTabs
{
    QStringList Opened;
    QStringList Errors;
    int NewDocuments = 0;

    void Open(const cCommandLine &commandLine)
    {
        OpenCommandLineDocuments(
            commandLine,
            [this](const QString &name, bool readOnly) {
                Opened.append(name + (readOnly ? " (read-only)" : ""));
                if (name.startsWith(QStringLiteral("bad")))
                    throw EFOpenError(QStringLiteral("Cannot open file \"%1\"").arg(name));
                if (name.startsWith(QStringLiteral("std")))
                    throw std::runtime_error("out of memory");
            },
            [this] { return int(Opened.size()) + NewDocuments; }, [this] { ++NewDocuments; },
            [this](const QString &message) { Errors.append(message); });
    }
};

TEST(OpenCommandLineDocuments, OpensFilesThenReadOnlyNames)
{
    tFakeTabs tabs;
    tabs.Open(cCommandLine(Strings({"a.txt", "-r:b.txt;c.txt", "/x", "d.txt"})));
    EXPECT_EQ(tabs.Opened, Strings({"a.txt", "d.txt", "b.txt (read-only)", "c.txt (read-only)"}));
    EXPECT_EQ(tabs.NewDocuments, 0);
    EXPECT_TRUE(tabs.Errors.isEmpty());
}

TEST(OpenCommandLineDocuments, OnlyTheFirstROptionsValueCounts)
{
    for (const QStringList &arguments : {Strings({"-R", "-R:x.txt"}), Strings({"-R:", "-R:x.txt"}),
                                         Strings({"-R:\x01 ", "-R:x.txt"}), Strings({})}) {
        tFakeTabs tabs;
        tabs.Open(cCommandLine(arguments));
        EXPECT_TRUE(tabs.Opened.isEmpty()) << arguments.join(u' ').toStdString();
        EXPECT_EQ(tabs.NewDocuments, 1) << arguments.join(u' ').toStdString();
    }
    tFakeTabs tabs;
    tabs.Open(cCommandLine(Strings({"-R+:  x.txt  y.txt ", "-R:z.txt"})));
    EXPECT_EQ(tabs.Opened, Strings({"x.txt (read-only)", "y.txt (read-only)"}));
}

TEST(OpenCommandLineDocuments, ReportsEachFailureAndGoesOn)
{
    tFakeTabs tabs;
    tabs.Open(cCommandLine(Strings({"bad1.txt", "std.txt", "a.txt", "-R:bad2.txt;b.txt"})));
    EXPECT_EQ(tabs.Opened,
              Strings({"bad1.txt", "std.txt", "a.txt", "bad2.txt (read-only)", "b.txt (read-only)"}));
    EXPECT_EQ(tabs.Errors,
              Strings({"Cannot open file \"bad1.txt\"", "out of memory", "Cannot open file \"bad2.txt\""}));
    EXPECT_EQ(tabs.NewDocuments, 0);
}

} // namespace
