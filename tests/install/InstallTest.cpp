// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/e2e/E2eHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct tRun
{
    int ExitCode = -1;
    QString Output; // standard output and error together
};

tRun RunTool(const QString &program, const QStringList &args,
             const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("timed out")};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

QString ReadText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The value of Key in the desktop entry's text.
QString EntryValue(const QString &entry, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(entry).captured(1);
}

const QString Id = QStringLiteral(QUORVEL_DESKTOP_ID);

// The build installed into a prefix of its own, as `cmake --install` does it.
class Installed : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        Prefix = FDir.path() + QStringLiteral("/usr");
        const tRun install = RunTool(QStringLiteral(CMAKE_EXECUTABLE),
                                     {QStringLiteral("--install"), QStringLiteral(QUORVEL_BINARY_DIR),
                                      QStringLiteral("--prefix"), Prefix});
        ASSERT_EQ(install.ExitCode, 0) << install.Output.toStdString();
    }

    QString Path(const QString &relative) const { return Prefix + u'/' + relative; }
    QString AppDir() const { return Path(QStringLiteral(INSTALL_APPDIR)); }
    QString Link() const { return Path(QStringLiteral(INSTALL_BINDIR "/quorvel")); }
    QString Data(const QString &relative) const
    {
        return Path(QStringLiteral(INSTALL_DATADIR "/") + relative);
    }

    QTemporaryDir FDir;
    QString Prefix;
};

TEST_F(Installed, TheProgramLivesWithItsPluginsBehindALinkInBin)
{
    const QFileInfo link(Link());
    ASSERT_TRUE(link.isSymLink());
    char target[4096];
    const ssize_t length = ::readlink(QFile::encodeName(Link()).constData(), target, sizeof target);
    ASSERT_GT(length, 0);
    EXPECT_NE(target[0], '/') << "the link is relative, so that the tree works under any prefix";
    EXPECT_EQ(link.canonicalFilePath(), QFileInfo(AppDir() + QStringLiteral("/quorvel")).canonicalFilePath());
    EXPECT_TRUE(QFileInfo(AppDir() + QStringLiteral("/quorvel")).isExecutable());
    for (const char *plugin : {"fennic.so", "tolvar.so"})
        EXPECT_TRUE(QFileInfo::exists(AppDir() + QStringLiteral("/plugins/") + QLatin1String(plugin)))
            << plugin;

    // Started through the link, as a user's shell does it, and with no display.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const tRun version = RunTool(Link(), {QStringLiteral("--version")}, env);
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Output, QStringLiteral("quorvel (Zelmar) " QUORVEL_VERSION "\n"));
}

TEST_F(Installed, TheLauncherAndTheMetainfoPassTheValidatorsAndAgree)
{
    ASSERT_STRNE(DESKTOP_FILE_VALIDATE, "") << "desktop-file-validate (desktop-file-utils) is missing";
    ASSERT_STRNE(APPSTREAMCLI, "") << "appstreamcli (appstream) is missing";
    const QString launcher = Data(QStringLiteral("applications/") + Id + QStringLiteral(".desktop"));
    const tRun desktopCheck = RunTool(QStringLiteral(DESKTOP_FILE_VALIDATE), {launcher});
    EXPECT_EQ(desktopCheck.ExitCode, 0);
    EXPECT_EQ(desktopCheck.Output.toStdString(), "");
    const QString metainfo = Data(QStringLiteral("metainfo/") + Id + QStringLiteral(".metainfo.xml"));
    const tRun metainfoCheck = RunTool(QStringLiteral(APPSTREAMCLI),
                                       {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    EXPECT_EQ(metainfoCheck.ExitCode, 0) << metainfoCheck.Output.toStdString();

    // The launcher starts the installed link with the files and shows the
    // installed icon; the metainfo names the launcher and this version.
    const QString entry = ReadText(launcher);
    EXPECT_EQ(EntryValue(entry, QStringLiteral("Exec")),
              QFileInfo(Link()).fileName() + QStringLiteral(" %F"));
    const QString icon = EntryValue(entry, QStringLiteral("Icon"));
    EXPECT_TRUE(QFileInfo::exists(Data(QStringLiteral("icons/hicolor/scalable/apps/%1.svg").arg(icon))));
    EXPECT_TRUE(EntryValue(entry, QStringLiteral("MimeType")).startsWith(QStringLiteral("text/plain;")));
    const QString info = ReadText(metainfo);
    EXPECT_TRUE(info.contains(QStringLiteral("<id>%1</id>").arg(Id)));
    EXPECT_TRUE(
        info.contains(QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(Id)));
    EXPECT_TRUE(info.contains(QStringLiteral("<release version=\"" QUORVEL_VERSION "\"")));

    const tRun unzipped =
        RunTool(QStringLiteral("gzip"),
                {QStringLiteral("-dc"), Path(QStringLiteral(INSTALL_MANDIR "/man1/quorvel.1.gz"))});
    ASSERT_EQ(unzipped.ExitCode, 0);
    const QString manual = unzipped.Output;
    EXPECT_TRUE(manual.startsWith(QStringLiteral(".TH QUORVEL 1 ")));
    EXPECT_TRUE(manual.contains(QStringLiteral(QUORVEL_VERSION)));
    EXPECT_FALSE(manual.contains(u'@')) << "a placeholder was left unfilled";
}

TEST_F(Installed, TheIconComesInTheThemesSizes)
{
    EXPECT_TRUE(QFileInfo::exists(Data(QStringLiteral("icons/hicolor/scalable/apps/quorvel.svg"))));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage image(Data(QStringLiteral("icons/hicolor/%1x%1/apps/quorvel.png").arg(size)));
        EXPECT_EQ(image.size(), QSize(size, size)) << size;
    }
}

TEST_F(Installed, TheInstalledProgramFindsItsPlugins)
{
    cDesktop desktop;
    QProcess program;
    program.setProcessEnvironment(desktop.Environment());
    program.setWorkingDirectory(desktop.WorkDir());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(Link(), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    // The text command of the one plug-in asks for a selection first.
    desktop.Keys({QStringLiteral("alt+p"), QStringLiteral("Return")});
    const QString question = desktop.WaitForWindow(QStringLiteral("^Correct typography$"));
    EXPECT_FALSE(question.isEmpty());
    if (!question.isEmpty()) {
        desktop.Focus(question);
        desktop.Keys({QStringLiteral("Return")});
    }
    // The import formats of the other make the Import item appear.
    desktop.Focus(window);
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("i")});
    EXPECT_FALSE(desktop.WaitForWindow(QStringLiteral("^Import As$")).isEmpty());
    program.kill();
    program.waitForFinished(5000);
}

TEST(Package, TheDebianPackageHoldsTheTreeAndNamesItsDependencies)
{
    ASSERT_STRNE(DPKG_DEB, "") << "dpkg-deb is missing";
    QTemporaryDir out;
    const tRun cpack =
        RunTool(QStringLiteral(CPACK_EXECUTABLE),
                {QStringLiteral("--config"), QStringLiteral(QUORVEL_BINARY_DIR "/CPackConfig.cmake"),
                 QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path()});
    ASSERT_EQ(cpack.ExitCode, 0) << cpack.Output.toStdString();
    const QStringList debs =
        QDir(out.path()).entryList({QStringLiteral("quorvel_" QUORVEL_VERSION "_*.deb")});
    ASSERT_EQ(debs.size(), 1);
    const QString deb = out.path() + u'/' + debs.first();

    const tRun depends =
        RunTool(QStringLiteral(DPKG_DEB), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
    ASSERT_EQ(depends.ExitCode, 0);
    for (const char *library :
         {"libqt6widgets6", "libqt6printsupport6", "libqt6network6", "libpcre2-16-0", "libc6"})
        EXPECT_TRUE(depends.Output.contains(QLatin1String(library)))
            << library << " in " << depends.Output.toStdString();

    const tRun contents = RunTool(QStringLiteral(DPKG_DEB), {QStringLiteral("-c"), deb});
    ASSERT_EQ(contents.ExitCode, 0);
    const QString appDir = QStringLiteral("./usr/" INSTALL_APPDIR);
    for (const QString &path :
         {appDir + QStringLiteral("/quorvel"), appDir + QStringLiteral("/plugins/fennic.so"),
          appDir + QStringLiteral("/plugins/tolvar.so"),
          QStringLiteral("./usr/" INSTALL_BINDIR "/quorvel -> "),
          QStringLiteral("./usr/" INSTALL_DATADIR "/applications/") + Id + QStringLiteral(".desktop"),
          QStringLiteral("./usr/" INSTALL_DATADIR "/metainfo/") + Id + QStringLiteral(".metainfo.xml"),
          QStringLiteral("./usr/" INSTALL_DATADIR "/icons/hicolor/48x48/apps/quorvel.png"),
          QStringLiteral("./usr/" INSTALL_MANDIR "/man1/quorvel.1.gz"),
          QStringLiteral("./usr/" INSTALL_DATADIR "/doc/quorvel/copyright"),
          QStringLiteral("./usr/" INSTALL_DATADIR "/doc/quorvel/changelog.gz")})
        EXPECT_TRUE(contents.Output.contains(path)) << path.toStdString();

    const tRun recommends =
        RunTool(QStringLiteral(DPKG_DEB), {QStringLiteral("-f"), deb, QStringLiteral("Recommends")});
    EXPECT_EQ(recommends.Output.trimmed(), QStringLiteral("qt6-wayland"));
}

} // namespace
