// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/ProgramIdentity.h"

#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/dfAbout.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

struct tAnswer
{
    std::optional<int> ExitCode;
    std::string Text;
};

tAnswer Answer(const QStringList &arguments)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> out(std::tmpfile(), &std::fclose);
    tAnswer answer;
    answer.ExitCode = AnswerInformationOption(cCommandLine(arguments), out.get());
    std::rewind(out.get());
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out.get())) > 0;)
        answer.Text.append(buffer, n);
    return answer;
}

TEST(InformationOption, HelpAndVersionAnswerAndEndTheStart)
{
    const tAnswer help = Answer({QStringLiteral("a.txt"), QStringLiteral("--help")});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_EQ(help.Text, UsageText().toStdString());
    EXPECT_TRUE(help.Text.starts_with("Usage: quorvel [OPTION]... [FILE]...\n"));
    EXPECT_NE(help.Text.find("-R:NAMES"), std::string::npos);

    const tAnswer version = Answer({QStringLiteral("--version")});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Text, "quorvel (Zelmar) " + ProgramVersion().toStdString() + "\n");
    EXPECT_FALSE(ProgramVersion().isEmpty());
}

TEST(InformationOption, TheFirstOneCountsAndNamesIgnoreCase)
{
    EXPECT_EQ(Answer({QStringLiteral("--VERSION"), QStringLiteral("--help")}).Text,
              VersionText().toStdString());
    EXPECT_EQ(
        Answer({QStringLiteral("-r:x.txt"), QStringLiteral("--Help"), QStringLiteral("--version")}).Text,
        UsageText().toStdString());
}

TEST(InformationOption, EveryOtherCommandLineStartsTheEditor)
{
    // Other forms of the names stay options without effect, as any other option.
    for (const QStringList &arguments :
         {QStringList{}, QStringList{QStringLiteral("a.txt"), QStringLiteral("-R:b.txt")},
          QStringList{QStringLiteral("-help")}, QStringList{QStringLiteral("/help")},
          QStringList{QStringLiteral("--help+")}, QStringList{QStringLiteral("--help-")},
          QStringList{QStringLiteral("--version:x")}, QStringList{QStringLiteral("--helpme")}}) {
        const tAnswer answer = Answer(arguments);
        EXPECT_FALSE(answer.ExitCode.has_value()) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(answer.Text.empty());
    }
}

TEST(InformationOption, AnAnswerThatCannotBeWrittenFails)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> readOnly(std::fopen("/dev/null", "r"),
                                                                    &std::fclose);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(AnswerInformationOption(cCommandLine(QStringList{QStringLiteral("--version")}), readOnly.get()),
              1);
}

TEST(ApplicationIdentity, TheDesktopMatchesTheWindowsToTheLauncherAndIcon)
{
    SetApplicationIdentity();
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.example.quorvel"));
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("quorvel"));
    EXPECT_EQ(QCoreApplication::applicationVersion(), ProgramVersion());
    const QList<QSize> sizes = QGuiApplication::windowIcon().availableSizes();
    for (const int size : {16, 32, 48, 256})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    // Every size is drawn, none is a stand-in scaled from another.
    for (const QSize &size : sizes)
        EXPECT_EQ(QGuiApplication::windowIcon().pixmap(size).size(), size);

    TFormAbout about;
    EXPECT_EQ(about.ImageIcon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              ApplicationIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32));
}

} // namespace
