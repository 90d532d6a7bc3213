#include "editor/editing/TextFiles.h"

#include "editor/editing/Utilities.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class TextFiles : public ::testing::Test
{
protected:
    void SetUp() override { SetAnsiCodePage("WINDOWS-1252"); }
    void TearDown() override { SetAnsiCodePage({}); }

    QString Write(const QString &name, const QByteArray &bytes)
    {
        const QString path = Dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QByteArray Read(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    QTemporaryDir Dir;
};

TEST_F(TextFiles, MarksDecideTheEncoding)
{
    struct tCase
    {
        QByteArray Bytes;
        tTextEncoding Encoding;
        QString Text;
    } cases[] = {
        {QByteArray(), teAnsi, QString()},
        {QByteArray("A"), teAnsi, QStringLiteral("A")},
        {QByteArray("\xFF\xFE", 2), teUnicode, QString()},
        {QByteArray("\xFE\xFF", 2), teUnicodeBigEndian, QString()},
        {QByteArray("\xEF\xBB", 2), teAnsi, QString::fromUtf8("ï»")},
        {QByteArray("\xEF\xBB\xBF", 3), teUTF8, QString()},
        {QByteArray("\xEF\xBB\xBF\xC3\xA9", 5), teUTF8, QString::fromUtf8("é")},
        {QByteArray("\xFF\xFE\x41\x00\x42", 5), teUnicode, QStringLiteral("A")},
        {QByteArray("\xFE\xFF\x00\x41\x04\x16\x00", 7), teUnicodeBigEndian, QString::fromUtf8("AЖ")},
        {QByteArray("caf\xE9", 4), teAnsi, QString::fromUtf8("café")},
    };
    int n = 0;
    for (const tCase &c : cases) {
        const tTextFile file = ReadTextFile(Write(QStringLiteral("f%1").arg(n++), c.Bytes));
        EXPECT_EQ(file.Encoding, c.Encoding) << c.Bytes.toHex().constData();
        EXPECT_EQ(file.Text, c.Text) << c.Bytes.toHex().constData();
    }
}

TEST_F(TextFiles, EveryEncodingWritesBackWhatItRead)
{
    const QString text = QStringLiteral("Line one\r\nZeile zwei \u00e4\u00f6\u00fc\r\n") + QChar(u'\0') +
                         QStringLiteral("\u4e2d\U0001F600");
    for (tTextEncoding enc : {teUTF8, teUnicode, teUnicodeBigEndian}) {
        const QString path = Dir.filePath(QStringLiteral("enc%1").arg(int(enc)));
        WriteFileSafely(path, BomTable[enc], EncodeText(text, enc));
        const tTextFile back = ReadTextFile(path);
        EXPECT_EQ(back.Encoding, enc);
        EXPECT_EQ(back.Text, text);
    }
}

TEST_F(TextFiles, MalformedUtf8AfterAMarkLoadsAndSavesByteForByte)
{
    const QByteArray bytes("\xEF\xBB\xBFok \xC3( \xFF\r\nend \xE2\x82", 19);
    const tTextFile file = ReadTextFile(Write(QStringLiteral("bad.txt"), bytes));
    EXPECT_EQ(file.Encoding, teUTF8);
    EXPECT_TRUE(file.Text.startsWith(QStringLiteral("ok ")));
    const QString copy = Dir.filePath(QStringLiteral("copy.txt"));
    WriteFileSafely(copy, BomTable[teUTF8], EncodeText(file.Text, teUTF8));
    EXPECT_EQ(Read(copy), bytes);
}

TEST_F(TextFiles, AnsiFileWithUndefinedBytesRoundTrips)
{
    const QByteArray bytes("a\x81\x8D\x90z\xE9", 6);
    const tTextFile file = ReadTextFile(Write(QStringLiteral("ansi.txt"), bytes));
    EXPECT_EQ(EncodeText(file.Text, teAnsi), bytes);
}

TEST_F(TextFiles, MissingFileNamesTheFileAndTheReason)
{
    const QString path = Dir.filePath(QStringLiteral("nope.txt"));
    try {
        ReadTextFile(path);
        FAIL();
    } catch (const EFOpenError &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(path)));
        EXPECT_GT(e.Message().size(), QStringLiteral("Cannot open file \"%1\". ").arg(path).size());
    }
}

TEST_F(TextFiles, FailedWriteKeepsTheOldFile)
{
    const QString sub = Dir.filePath(QStringLiteral("gone"));
    QDir().mkpath(sub);
    const QString path = sub + QStringLiteral("/keep.txt");
    Write(QStringLiteral("gone/keep.txt"), QByteArray("old"));
    // A directory the program may not write into: the replacement cannot be
    // made beside the file.
    QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (geteuid() != 0) {
        EXPECT_THROW(WriteFileSafely(path, {}, QByteArray("new")), EFCreateError);
        EXPECT_EQ(Read(path), QByteArray("old"));
    }
    QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // A directory that vanished fails for every user.
    const QString vanished = Dir.filePath(QStringLiteral("vanished/x.txt"));
    try {
        WriteFileSafely(vanished, {}, QByteArray("new"));
        FAIL();
    } catch (const EFCreateError &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(vanished)));
    }
}

TEST_F(TextFiles, ReplacingKeepsPermissionsAndFollowsLinks)
{
    const QString path = Write(QStringLiteral("script.sh"), QByteArray("old"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString link = Dir.filePath(QStringLiteral("link.sh"));
    ASSERT_TRUE(QFile::link(path, link));
    WriteFileSafely(link, {}, QByteArray("new"));
    EXPECT_EQ(Read(path), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::ExeOwner);
}

TEST(SpecialCharacters, CaretEscapes)
{
    EXPECT_EQ(ExpandSpecialChars(QStringLiteral("a^pb")), QStringLiteral("a\rb"));
    EXPECT_EQ(ExpandSpecialChars(QStringLiteral("^t")), QStringLiteral("\t"));
    EXPECT_EQ(ExpandSpecialChars(QStringLiteral("^^p")), QStringLiteral("^p"));
    EXPECT_EQ(ExpandSpecialChars(QStringLiteral("end^")), QStringLiteral("end"));
    EXPECT_EQ(ExpandSpecialChars(QStringLiteral("^x^n^m^w")), QStringLiteral("\u2013\u2014 "));
    EXPECT_EQ(ExpandSpecialChars(QStringLiteral("^P")), QString());
}

} // namespace
