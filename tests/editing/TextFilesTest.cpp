// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/TextFiles.h"

#include "editor/editing/FileEncodings.h"
#include "editor/editing/Utilities.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/textengine/TextBuffer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include <grp.h>
#include <iconv.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

class TextFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetAnsiCodePage("WINDOWS-1252");
        // Copies of writes in place go here, not to the user's own folder.
        qputenv("XDG_STATE_HOME", QFile::encodeName(State.path()));
    }
    void TearDown() override
    {
        SetAnsiCodePage({});
        qunsetenv("XDG_STATE_HOME");
    }

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

    QString OpenFailure(const QString &path, qsizetype maxUnits = INT_MAX - 1)
    {
        try {
            ReadTextFile(path, maxUnits);
        } catch (const EFOpenError &e) {
            return e.Message();
        }
        return QStringLiteral("<no error>");
    }

    QTemporaryDir Dir, State;
};

const uid_t Nobody = 65534;

bool Put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
const gid_t NoGroup = 65534;

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

ino_t InodeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// Runs Body as an ordinary user: root may write into any folder, which would
// hide what the program does for everyone else. True when Body returned true.
bool AsOrdinaryUser(const std::function<bool()> &body)
{
    if (::geteuid() != 0)
        return body();
    const pid_t child = ::fork();
    if (child == 0) {
        bool ok = false;
        try {
            ok = ::setgroups(0, nullptr) == 0 && ::setgid(NoGroup) == 0 && ::setuid(Nobody) == 0 && body();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// A folder the ordinary user owns, below a test folder it may enter.
QString FolderOfOrdinaryUser(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(path);
    if (::geteuid() == 0) {
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        EXPECT_EQ(::chown(QFile::encodeName(path).constData(), Nobody, NoGroup), 0);
    }
    return path;
}

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

// ---------------------------------------------------------------------------
// Reading

TEST_F(TextFiles, OnlyRegularFilesAreReadAndOthersAreRefusedAtOnce)
{
    const QString fifo = Dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening a pipe would wait for a writer: the test would hang here.
    EXPECT_EQ(OpenFailure(fifo),
              QStringLiteral("Cannot open file \"%1\". Is a named pipe, not a regular file").arg(fifo));
    const QString link = Dir.filePath(QStringLiteral("link-to-fifo"));
    ASSERT_TRUE(QFile::link(fifo, link));
    EXPECT_TRUE(OpenFailure(link).endsWith(QStringLiteral(". Is a named pipe, not a regular file")));

    const QString socketName = Dir.filePath(QStringLiteral("sock"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(socketName).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    EXPECT_EQ(OpenFailure(socketName),
              QStringLiteral("Cannot open file \"%1\". Is a socket, not a regular file").arg(socketName));
    ::close(sock);

    EXPECT_EQ(OpenFailure(Dir.path()),
              QStringLiteral("Cannot open file \"%1\". %2").arg(Dir.path(), Reason(EISDIR)));
    // An endless device is never read.
    if (QFile::exists(QStringLiteral("/dev/zero"))) {
        EXPECT_EQ(OpenFailure(QStringLiteral("/dev/zero")),
                  QStringLiteral("Cannot open file \"/dev/zero\". Is a device, not a regular file"));
    }
}

TEST_F(TextFiles, AFileWhoseTextCannotFitIsRefused)
{
    const QString tooLarge = QStringLiteral("Cannot open file \"%1\". ") + Reason(EFBIG);
    // More bytes than any encoding needs for the units: refused unread.
    const QString big = Write(QStringLiteral("big.txt"), QByteArray(21, 'x'));
    EXPECT_EQ(OpenFailure(big, 4), tooLarge.arg(big));
    const QString five = Write(QStringLiteral("five.txt"), QByteArray("12345"));
    EXPECT_EQ(OpenFailure(five, 4), tooLarge.arg(five));
    EXPECT_EQ(ReadTextFile(five, 5).Text, QStringLiteral("12345"));
    const QString wide = Write(QStringLiteral("wide.txt"), QByteArray("\xFF\xFE"
                                                                      "a\0b\0c\0d\0e\0",
                                                                      12));
    EXPECT_EQ(OpenFailure(wide, 4), tooLarge.arg(wide));
    EXPECT_EQ(ReadTextFile(wide, 5).Text, QStringLiteral("abcde"));
}

// Another program truncating the file while it is read must not take the
// program down: a mapped file would raise SIGBUS here.
TEST_F(TextFiles, AFileCutShortWhileItIsReadDoesNotKillTheProgram)
{
    QByteArray bytes;
    for (int i = 0; i < 4 * 1024 * 1024 / 16; ++i)
        bytes += "caf\xE9 \xFF\xFE text \x81\r\n";
    const QString path = Write(QStringLiteral("shrinking.txt"), bytes);
    std::atomic<bool> done{false};
    std::thread cutter([&] {
        const QByteArray name = QFile::encodeName(path);
        while (!done) {
            ::truncate(name.constData(), 0);
            ::truncate(name.constData(), bytes.size());
        }
    });
    for (int i = 0; i < 30; ++i) {
        try {
            const tTextFile file = ReadTextFile(path);
            EXPECT_LE(file.Text.size(), bytes.size());
        } catch (const EFOpenError &) {
        }
    }
    done = true;
    cutter.join();
}

TEST_F(TextFiles, TheOddLastByteOfUtf16IsKeptApart)
{
    const tTextFile big =
        ReadTextFile(Write(QStringLiteral("be"), QByteArray("\xFE\xFF\x00\x41\x00\x42\x00", 7)));
    EXPECT_EQ(big.Text, QStringLiteral("AB"));
    EXPECT_EQ(big.OddByte, QByteArray(1, '\0'));
    const tTextFile little = ReadTextFile(Write(QStringLiteral("le"), QByteArray("\xFF\xFE\x41\x00\x42", 5)));
    EXPECT_EQ(little.Text, QStringLiteral("A"));
    EXPECT_EQ(little.OddByte, QByteArray("B"));
    EXPECT_TRUE(
        ReadTextFile(Write(QStringLiteral("even"), QByteArray("\xFF\xFE\x41\x00", 4))).OddByte.isEmpty());
    EXPECT_TRUE(ReadTextFile(Write(QStringLiteral("ansi"), QByteArray("abc"))).OddByte.isEmpty());
}

// What the buffer holds after a load, line by line with each break.
QString Lines(cTextBuffer &buffer)
{
    QString out;
    for (int line = 0; line < buffer.LineCount(); ++line)
        out += buffer.LineText(line) + QChar(u'0' + int(buffer.LineBreak(line))) + u'|';
    return out;
}

// Pieces of every small size put their ends inside multi-byte sequences, inside
// surrogate pairs and between a CR and its LF: the text must be what decoding
// the whole file gives, and it must save back byte for byte.
TEST_F(TextFiles, DecodingInPiecesGivesTheWholeDecodedText)
{
    const QString text = QStringLiteral("a\r\nb\u00e9\r\r\n\u4e2d\U0001F600\n\u2029\uFDD0\uFDD1\uFFFE\r") +
                         QStringLiteral("x\r\n\U0001F600\r\n\r\ny");
    QByteArray malformed("ok \xC3( \xFF\r\n\xF0\x9F\x98\r\xED\xA0\x80 \xE2\x82", 19);
    // Code pages of one, two and four bytes a character, one with duplicate
    // mappings and one with shift states (decoded whole once one shows).
    const QString eastern = QStringLiteral("\u4e2d\u6587 text\r\n\u65e5\u672c\r\u00e9?");
    const std::pair<const char *, QByteArray> codePages[] = {
        {"WINDOWS-1252", QByteArray("a\r\n\x81\x8D\r\r\n\x90z\xE9\r", 12) + malformed},
        {"UTF-8", QByteArray("a\r\n\x81\x8D\r\r\n\x90z\xE9\r", 12) + malformed},
        {"CP932", QByteArray("\x93\xFA\x96\x7B\r\n\xED\x41 \x81\r\x82\xA0\xFF", 17)},
        {"GB18030", QByteArray("\xD6\xD0\x81\x30\x81\x30\r\n\x81\x30\r\xFF\x95\x32\x82\x36", 18)},
        {"ISO-2022-JP", QByteArray("ab\r\n\x1B$B$\"\x1B(B\r\ncd\x80", 17)},
    };
    for (size_t run = 0; run < std::size(codePages); ++run) {
        SetAnsiCodePage(codePages[run].first);
        struct tCase
        {
            tTextEncoding Encoding;
            QByteArray Bytes;
        };
        std::vector<tCase> cases = {{teAnsi, codePages[run].second}};
        if (run >= 2)
            cases.push_back({teAnsi, AnsiEncode(eastern)});
        if (run < 2) {
            cases.push_back({teUTF8, EncodeText(text, teUTF8)});
            cases.push_back({teUTF8, malformed});
            cases.push_back({teUnicode, EncodeText(text, teUnicode) + 'z'});
            cases.push_back({teUnicodeBigEndian, EncodeText(text, teUnicodeBigEndian)});
        }
        for (const tCase &c : cases) {
            QByteArray wholeOdd;
            cTextBuffer whole;
            whole.SetText(DecodeText(c.Bytes.constData(), c.Bytes.size(), c.Encoding, &wholeOdd));
            for (qsizetype piece : {1, 2, 3, 4, 5, 7, 1 << 16}) {
                SCOPED_TRACE(testing::Message() << "encoding " << int(c.Encoding) << " piece " << piece
                                                << " code page " << codePages[run].first);
                cTextBuffer buffer;
                buffer.SetText(QStringLiteral("old\ntext"));
                QByteArray odd("?");
                DecodeTextInto(buffer, c.Bytes.constData(), c.Bytes.size(), c.Encoding, &odd, piece);
                EXPECT_EQ(Lines(buffer), Lines(whole));
                EXPECT_EQ(odd, wholeOdd);
                EXPECT_EQ(EncodeText(buffer.TextWithBreaks(), c.Encoding) + odd, c.Bytes);
            }
        }
    }
}

TEST_F(TextFiles, ReadingIntoTheBufferChecksTheFileFirst)
{
    const QString path =
        Write(QStringLiteral("doc"), QByteArray("\xEF\xBB\xBFone\r\ntwo \xC3\xA9\n\xFF", 16));
    cTextBuffer buffer;
    const tTextFile file = ReadTextFileInto(path, buffer, INT_MAX - 1, 3);
    EXPECT_EQ(file.Encoding, teUTF8);
    EXPECT_TRUE(file.Text.isEmpty());
    EXPECT_EQ(buffer.TextWithBreaks(), ReadTextFile(path).Text);

    // A text too long for the limit, or a missing file, leaves the old text.
    buffer.SetText(QStringLiteral("kept"));
    EXPECT_THROW(ReadTextFileInto(path, buffer, 9), EFOpenError);
    EXPECT_THROW(ReadTextFileInto(Write(QStringLiteral("wide"), QByteArray("\xFF\xFE"
                                                                           "a\0b\0c\0",
                                                                           8)),
                                  buffer, 2),
                 EFOpenError);
    EXPECT_THROW(ReadTextFileInto(Write(QStringLiteral("ansi"), QByteArray("abcd")), buffer, 3), EFOpenError);
    EXPECT_THROW(ReadTextFileInto(Dir.filePath(QStringLiteral("missing")), buffer), EFOpenError);
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("kept"));
    // Multi-byte sequences make fewer units than bytes: what fits is read.
    const QString dense =
        Write(QStringLiteral("dense"), QByteArray("\xEF\xBB\xBF\xE4\xB8\xAD\xE4\xB8\xAD", 9));
    ReadTextFileInto(dense, buffer, 2);
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("\u4e2d\u4e2d"));
}

// The file is decoded as it is read, a window of 16 pieces at a time: windows
// of 64 to 112 bytes end inside sequences of every length, inside surrogate
// pairs, between a CR and its LF and on the odd byte of UTF-16. The text must
// be what reading the whole file gives, breaks and odd byte included.
TEST_F(TextFiles, ReadingInWindowsGivesWhatReadingWholeGives)
{
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("line \u00e9\u4e2d\U0001F600%1\r\n\r\n\n\r").arg(i).left(12 + i % 9);
    const QByteArray malformed("ok \xC3( \xFF\r\n\xF0\x9F\x98\r\xED\xA0\x80 \xE2\x82", 19);
    struct tCase
    {
        const char *CodePage;
        QByteArray Bytes;
    };
    const tCase cases[] = {
        {"UTF-8", BomTable[teUTF8] + EncodeText(text, teUTF8) + malformed},
        {"UTF-8", (EncodeText(text, teUTF8) + malformed).repeated(3)},
        {"UTF-8", BomTable[teUnicode] + EncodeText(text, teUnicode) + 'z'},
        {"UTF-8", BomTable[teUnicodeBigEndian] + EncodeText(text, teUnicodeBigEndian)},
        {"WINDOWS-1252", QByteArray("a\r\n\x81\x8D\r\r\n\x90z\xE9\r", 12).repeated(20) + malformed},
        {"CP932", QByteArray("\x93\xFA\x96\x7B\r\n\xED\x41 \x81\r\x82\xA0\xFF", 17).repeated(15)},
        {"GB18030",
         QByteArray("\xD6\xD0\x81\x30\x81\x30\r\n\x81\x30\r\xFF\x95\x32\x82\x36", 18).repeated(15)},
        // Shift states show only after the first windows: read again whole.
        {"ISO-2022-JP", QByteArray(300, 'a') + QByteArray("\r\n\x1B$B$\"\x1B(B\r\ncd\x80", 15)},
    };
    for (const tCase &c : cases) {
        SetAnsiCodePage(c.CodePage);
        const QString path = Write(QStringLiteral("windows.txt"), c.Bytes);
        const tTextFile whole = ReadTextFile(path);
        for (qsizetype piece : {4, 5, 6, 7, 1 << 16}) {
            SCOPED_TRACE(testing::Message()
                         << c.CodePage << " piece " << piece << " bytes " << c.Bytes.size());
            cTextBuffer buffer;
            buffer.SetText(QStringLiteral("old\ntext"));
            const tTextFile file = ReadTextFileInto(path, buffer, INT_MAX - 1, piece);
            EXPECT_EQ(file.Encoding, whole.Encoding);
            EXPECT_EQ(file.OddByte, whole.OddByte);
            EXPECT_EQ(buffer.TextWithBreaks(), whole.Text);
            cTextBuffer expected;
            expected.SetText(whole.Text);
            EXPECT_EQ(Lines(buffer), Lines(expected));
        }
    }
}

// ---------------------------------------------------------------------------
// Writing

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
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
}

TEST_F(TextFiles, HardLinksKeepSharingTheNewText)
{
    const QString a = Write(QStringLiteral("a.txt"), QByteArray("old text"));
    const QString b = Dir.filePath(QStringLiteral("b.txt"));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
    const ino_t inode = InodeOf(a);
    WriteFileSafely(a, QByteArray("\xEF\xBB\xBF"), QByteArray("new"));
    EXPECT_EQ(Read(b), QByteArray("\xEF\xBB\xBFnew"));
    EXPECT_EQ(InodeOf(a), inode);
    WriteFileSafely(b, {}, QByteArray("a longer text than before"));
    EXPECT_EQ(Read(a), QByteArray("a longer text than before"));
    // Nothing is left beside them.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
}

// Saves in a child that dies (kill -9 alike) once the new bytes are at the
// start of the file but before it is cut to their size.
bool KilledWhileRewriting(const QString &path, const QByteArray &bytes)
{
    const pid_t child = ::fork();
    if (child == 0) {
        InPlaceRewriteHook = [] { ::_exit(9); };
        try {
            WriteFileSafely(path, {}, bytes);
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 9;
}

// Hard links and a folder that cannot be written: a save killed halfway
// leaves new text before old, nothing beside the file, and a copy in the
// recovery folder from which the write is completed in place.
TEST_F(TextFiles, AnInterruptedRewriteInPlaceIsCompleted)
{
    const QByteArray oldBytes("the old text, longer than the new one\n"), newBytes("new \xC3\xA9 text\n");
    const QByteArray torn = newBytes + oldBytes.mid(newBytes.size());
    auto completes = [&](const QString &path, const QString &other) {
        const QString folder = QFileInfo(path).path();
        const qsizetype entries =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size();
        const ino_t inode = InodeOf(path);
        bool ok = KilledWhileRewriting(path, newBytes);
        EXPECT_TRUE(ok);
        EXPECT_EQ(Read(other), torn);
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                  entries);
        auto found = FindUnfinishedWrites();
        EXPECT_EQ(found.size(), 1u);
        if (found.size() != 1)
            return false;
        EXPECT_EQ(QFile::decodeName(found[0]->Target), path);
        CompleteUnfinishedWrite(*found[0]);
        found.clear();
        EXPECT_EQ(Read(path), newBytes);
        EXPECT_EQ(Read(other), newBytes);
        EXPECT_EQ(InodeOf(path), inode);
        EXPECT_TRUE(FindUnfinishedWrites().empty());
        return ok && Read(other) == newBytes && FindUnfinishedWrites().empty();
    };

    const QString a = Write(QStringLiteral("a.txt"), oldBytes);
    const QString b = Dir.filePath(QStringLiteral("b.txt"));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
    EXPECT_TRUE(completes(a, b));
    const QDir recovery(State.path() + QStringLiteral("/Varnholt/Zelmar/recovery"));
    EXPECT_TRUE(recovery.isEmpty());
    // Cut short while the copy was written, before the file was touched: a
    // record not yet written, or torn in the file's name; nothing is offered
    // and nothing is left behind.
    const QByteArray tornRecord = "Zelmar unfinished write 1\ndevice 1\ninode 2\nsize 3\npath " +
                                  QFile::encodeName(b).toHex().chopped(4);
    for (const QByteArray &record : {QByteArray(), tornRecord}) {
        ASSERT_TRUE(Put(recovery.filePath(QStringLiteral("write-1-1.text")), newBytes.left(3)));
        ASSERT_TRUE(Put(recovery.filePath(QStringLiteral("write-1-1.record")), record));
        EXPECT_TRUE(FindUnfinishedWrites().empty());
        EXPECT_TRUE(recovery.isEmpty());
    }

    // As an ordinary user: root may write into any folder.
    const QString user = FolderOfOrdinaryUser(Dir, QStringLiteral("user"));
    const QString locked = user + QStringLiteral("/locked");
    const QString inLocked = locked + QStringLiteral("/file.txt");
    qputenv("XDG_STATE_HOME", QFile::encodeName(user + QStringLiteral("/state")));
    EXPECT_TRUE(AsOrdinaryUser([&] {
        bool ok = ::mkdir(QFile::encodeName(locked).constData(), 0755) == 0 && Put(inLocked, oldBytes);
        ok &= ::chmod(QFile::encodeName(locked).constData(), 0555) == 0;
        return ok && completes(inLocked, inLocked);
    }));
    EXPECT_EQ(Read(inLocked), newBytes);
    ::chmod(QFile::encodeName(locked).constData(), 0755); // so that it can be removed
}

// With no copy of the new text in the recovery folder, no file is rewritten
// in place: a hard-linked file is replaced by a new one and the user is told
// why; a file in a folder that cannot be written is not saved at all.
TEST_F(TextFiles, NoFileIsRewrittenInPlaceWithoutACopy)
{
    // No folder can be made below a file.
    const QString notAFolder = Write(QStringLiteral("state"), QByteArray("x"));
    qputenv("XDG_STATE_HOME", QFile::encodeName(notAFolder));
    const QString recovery =
        QStringLiteral("\"%1/Varnholt/Zelmar/recovery\". %2.").arg(notAFolder, Reason(ENOTDIR));
    const QString a = Write(QStringLiteral("a.txt"), QByteArray("old text"));
    const QString b = Dir.filePath(QStringLiteral("b.txt"));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
    {
        const cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
        WriteFileSafely(a, {}, QByteArray("new"));
        EXPECT_EQ(Read(a), QByteArray("new"));
        EXPECT_EQ(Read(b), QByteArray("old text"));
        ASSERT_EQ(answerer.Calls().size(), 1);
        EXPECT_TRUE(answerer.Calls()[0].Text.contains(recovery)) << answerer.Calls()[0].Text.toStdString();
    }

    // As an ordinary user: root may write into any folder.
    const QString folder = FolderOfOrdinaryUser(Dir, QStringLiteral("locked"));
    const QString path = folder + QStringLiteral("/keep.txt");
    EXPECT_TRUE(AsOrdinaryUser([&] {
        bool ok = Put(path, QByteArray("old")) && ::chmod(QFile::encodeName(folder).constData(), 0555) == 0;
        try {
            WriteFileSafely(path, {}, QByteArray("new and longer"));
            ok = false;
        } catch (const EFCreateError &e) {
            ok &= e.Message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)) &&
                  e.Message().endsWith(recovery);
            if (!ok)
                std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        }
        return ok && Read(path) == QByteArray("old");
    }));
    ::chmod(QFile::encodeName(folder).constData(), 0755); // so that it can be removed
}

TEST_F(TextFiles, OwnerAndGroupAreKept)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    const QString path = Write(QStringLiteral("theirs.txt"), QByteArray("old"));
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(::chown(name.constData(), Nobody, NoGroup), 0);
    ASSERT_EQ(::chmod(name.constData(), 0640), 0);
    WriteFileSafely(path, {}, QByteArray("new"));
    struct stat info;
    ASSERT_EQ(::stat(name.constData(), &info), 0);
    EXPECT_EQ(info.st_uid, Nobody);
    EXPECT_EQ(info.st_gid, NoGroup);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Read(path), QByteArray("new"));
}

TEST_F(TextFiles, AFileInAFolderThatCannotBeWrittenIsRewrittenWhereItIs)
{
    const QString folder = FolderOfOrdinaryUser(Dir, QStringLiteral("locked"));
    const QString path = folder + QStringLiteral("/keep.txt");
    const QString fresh = folder + QStringLiteral("/new.txt");
    // A copy of the new text goes to a recovery folder the user may write.
    qputenv("XDG_STATE_HOME", QFile::encodeName(FolderOfOrdinaryUser(Dir, QStringLiteral("state"))));
    EXPECT_TRUE(AsOrdinaryUser([&] {
        bool ok = true;
        ok &= Put(path, QByteArray("old"));
        ok &= ::chmod(QFile::encodeName(folder).constData(), 0555) == 0;
        WriteFileSafely(path, {}, QByteArray("new and longer"));
        ok &= Read(path) == QByteArray("new and longer");
        // A new file cannot be made there at all.
        try {
            WriteFileSafely(fresh, {}, QByteArray("x"));
            ok = false;
        } catch (const EFCreateError &e) {
            ok &= e.Message() == QStringLiteral("Cannot create file \"%1\". %2").arg(fresh, Reason(EACCES));
        }
        return ok;
    }));
    EXPECT_EQ(Read(path), QByteArray("new and longer"));
    EXPECT_FALSE(QFile::exists(fresh));
    ::chmod(QFile::encodeName(folder).constData(), 0755); // so that it can be removed
}

TEST_F(TextFiles, NeitherPipesNorMissingFoldersAreWritten)
{
    const QString fifo = Dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    try {
        WriteFileSafely(fifo, {}, QByteArray("new"));
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Cannot create file \"%1\". Is a named pipe, not a regular file").arg(fifo));
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    const QString vanished = Dir.filePath(QStringLiteral("vanished/x.txt"));
    try {
        WriteFileSafely(vanished, {}, QByteArray("new"));
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot create file \"%1\". %2").arg(vanished, Reason(ENOENT)));
    }
}

// Whatever the file name leads to, only a regular file is replaced: any
// other target is refused with the reason and left exactly as it was.
TEST_F(TextFiles, OnlyRegularFilesAreEverReplaced)
{
    auto path = [&](const char *name) { return Dir.filePath(QString::fromLatin1(name)); };
    const QByteArray fifo = QFile::encodeName(path("fifo"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(path("socket"));
    std::strncpy(address.sun_path, socketName.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_TRUE(QFile::link(path("fifo"), path("to-fifo")));
    ASSERT_TRUE(QFile::link(path("nowhere"), path("dangling")));
    ASSERT_TRUE(QFile::link(path("loop"), path("loop")));
    const std::pair<const char *, QString> cases[] = {
        {"to-fifo", QStringLiteral("Is a named pipe, not a regular file")},
        {"socket", QStringLiteral("Is a socket, not a regular file")},
        {"dangling", QStringLiteral("Is a link to a file that does not exist, not a regular file")},
        {"loop", Reason(ELOOP)},
    };
    for (const auto &[name, reason] : cases) {
        try {
            WriteFileSafely(path(name), {}, QByteArray("new"));
            ADD_FAILURE() << name << " was written";
        } catch (const EFCreateError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot create file \"%1\". %2").arg(path(name), reason));
        }
    }
    ::close(sock);
    EXPECT_EQ(QFileInfo(path("to-fifo")).symLinkTarget(), path("fifo"));
    EXPECT_EQ(QFileInfo(path("dangling")).symLinkTarget(), path("nowhere"));
    EXPECT_FALSE(QFileInfo::exists(path("nowhere")));
    struct stat info;
    ASSERT_EQ(::stat(fifo.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(::stat(socketName.constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    // Nothing was made beside them either.
    EXPECT_EQ(QDir(Dir.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                  .size(),
              5);
}

// The folder would let the file be replaced, but the file itself may not be
// written: the user's own read-only file, and another user's file.
TEST_F(TextFiles, AFileTheUserMayNotWriteIsLeftAlone)
{
    const QString folder = FolderOfOrdinaryUser(Dir, QStringLiteral("mine"));
    const QString readOnly = folder + QStringLiteral("/read-only.txt");
    const QString theirs = folder + QStringLiteral("/theirs.txt");
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(Put(readOnly, QByteArray("old")));
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    QStringList refused{readOnly};
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(readOnly).constData(), Nobody, NoGroup), 0);
        ASSERT_TRUE(Put(theirs, QByteArray("root's")));
        ASSERT_EQ(::chmod(QFile::encodeName(theirs).constData(), 0644), 0);
        refused << theirs;
    }
    const ino_t inode = InodeOf(readOnly), theirInode = InodeOf(theirs);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        bool ok = true;
        for (const QString &path : refused) {
            try {
                WriteFileSafely(path, {}, QByteArray("new"));
                ok = false;
            } catch (const EFCreateError &e) {
                ok &=
                    e.Message() == QStringLiteral("Cannot create file \"%1\". %2").arg(path, Reason(EACCES));
            }
        }
        return ok;
    }));
    EXPECT_EQ(Read(readOnly), QByteArray("old"));
    EXPECT_EQ(InodeOf(readOnly), inode);
    if (root) {
        EXPECT_EQ(Read(theirs), QByteArray("root's"));
        EXPECT_EQ(InodeOf(theirs), theirInode);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              refused.size());
}

TEST_F(TextFiles, ExtendedAttributesGoWithTheNewFile)
{
    const QString path = Write(QStringLiteral("tagged.txt"), QByteArray("old"));
    const QByteArray name = QFile::encodeName(path);
    if (::setxattr(name.constData(), "user.tag", "blue", 4, 0) != 0)
        GTEST_SKIP() << "the file system here keeps no user attributes: " << std::strerror(errno);
    ASSERT_EQ(::setxattr(name.constData(), "user.empty", "", 0, 0), 0);
    const ino_t inode = InodeOf(path);
    WriteFileSafely(path, {}, QByteArray("new"));
    ASSERT_NE(InodeOf(path), inode) << "not replaced: the attributes would stay anyway";
    char value[16] = {};
    EXPECT_EQ(::getxattr(name.constData(), "user.tag", value, sizeof value), 4);
    EXPECT_STREQ(value, "blue");
    EXPECT_EQ(::getxattr(name.constData(), "user.empty", value, sizeof value), 0);
    // Where the system permits it, the other namespaces too.
    if (::geteuid() == 0 && ::setxattr(name.constData(), "trusted.origin", "x", 1, 0) == 0) {
        WriteFileSafely(path, {}, QByteArray("newer"));
        EXPECT_EQ(::getxattr(name.constData(), "trusted.origin", value, sizeof value), 1);
    }
}

// The text goes to the file straight from the buffer, a piece at a time; the
// bytes are those of the whole text encoded at once, however the pieces fall
// between surrogate pairs, escapes, breaks and a code page's sequences, and
// so is the answer whether the code page loses anything.
TEST_F(TextFiles, WritingInPiecesGivesTheWholeEncodedText)
{
    const QString fragments[] = {
        QStringLiteral("a"),    QStringLiteral("text "),     QString::fromUtf8("é"), QString::fromUtf8("€"),
        QString::fromUtf8("ж"), QString::fromUtf8("中"),     QStringLiteral("\r\n"), QStringLiteral("\r"),
        QStringLiteral("\n"),   QString::fromUtf8("😀"),      QString(QChar(0xD800)), QString(QChar(0xDC10)),
        QString(QChar(0xDC81)), QString(QChar(0xDCE9)),      QString(QChar(0xDCC3)), QString(QChar(0xDCA9)),
        QString(QChar(0x0301)), QString::fromUtf8("\u2028"), QString(QChar(0xFEFF)), QString(QChar(0)),
    };
    std::mt19937 random(20);
    for (const char *codePage : {"WINDOWS-1252", "UTF-8", "CP932", "GB18030", "ISO-2022-JP", "CP1258"}) {
        SetAnsiCodePage(codePage);
        for (int round = 0; round < 12; ++round) {
            QString text;
            const int count = int(random() % 40);
            for (int i = 0; i < count; ++i)
                text += fragments[random() % std::size(fragments)];
            // Also texts that come back from the code page unchanged.
            if (round % 3 == 0)
                text = AnsiDecode(AnsiEncode(text));
            cTextBuffer buffer;
            buffer.SetText(text);
            const QString withBreaks = buffer.TextWithBreaks();
            const bool loses = HasNonAnsiCharacters(withBreaks);
            for (tTextEncoding encoding : {teUTF8, teUnicode, teUnicodeBigEndian, teAnsi}) {
                const QByteArray tail = encoding == teUnicode ? QByteArray("z") : QByteArray();
                const QByteArray expected = BomTable[encoding] + EncodeText(withBreaks, encoding) + tail;
                for (qsizetype piece : {1, 2, 3, 5, 64}) {
                    SCOPED_TRACE(testing::Message()
                                 << codePage << " encoding " << int(encoding) << " piece " << piece
                                 << " text " << withBreaks.toUtf8().toHex().constData());
                    const cTextContents contents(buffer, encoding, tail, piece);
                    QByteArray bytes;
                    contents.Produce(
                        [&bytes](const char *data, qsizetype size) { bytes.append(data, size); });
                    EXPECT_EQ(bytes.toHex(), expected.toHex());
                    EXPECT_EQ(contents.Size(), expected.size());
                    if (encoding == teAnsi) {
                        EXPECT_EQ(HasNonAnsiCharacters(buffer, piece), loses);
                    }
                }
            }
        }
    }
}

// Iconv's own bytes for one unit, "?" where it has none.
QByteArray IconvBytesOf(iconv_t cd, char16_t unit)
{
    char in[2] = {char(unit & 0xFF), char(unit >> 8)};
    char out[16];
    char *pin = in, *pout = out;
    size_t inLeft = 2, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &pin, &inLeft, &pout, &outLeft) == size_t(-1))
        return QByteArrayLiteral("?");
    iconv(cd, nullptr, nullptr, &pout, &outLeft);
    return QByteArray(out, qsizetype(sizeof out - outLeft));
}

// Single-byte code pages are written through a table of their own, with
// ASCII taken many units at a time: every unit must still come out as iconv
// writes it, and the check for lost characters must agree with iconv too.
TEST_F(TextFiles, EveryUnitIsWrittenInASingleByteCodePageAsIconvWritesIt)
{
    int tested = 0;
    for (const tCodePageGroup &group : CodePageGroups()) {
        for (const QByteArray &codePage : group.CodePages) {
            const iconv_t encoder = iconv_open(codePage.constData(), "UTF-16LE");
            const iconv_t decoder = iconv_open("UTF-16LE", codePage.constData());
            ASSERT_NE(encoder, iconv_t(-1));
            ASSERT_NE(decoder, iconv_t(-1));
            QString all, held;
            QByteArray expected;
            bool singleByte = true;
            for (char32_t u = 0; u < 0x10000 && singleByte; ++u) {
                if (QChar::isSurrogate(u))
                    continue;
                const QByteArray bytes = IconvBytesOf(encoder, char16_t(u));
                singleByte = bytes.size() == 1;
                all += QChar(char16_t(u));
                expected += bytes;
                char in = bytes[0], back[8];
                char *pin = &in, *pout = back;
                size_t inLeft = 1, outLeft = sizeof back;
                iconv(decoder, nullptr, nullptr, nullptr, nullptr);
                if (bytes != "?" && iconv(decoder, &pin, &inLeft, &pout, &outLeft) == 0 &&
                    outLeft == sizeof back - 2 && char16_t(uchar(back[0]) | uchar(back[1]) << 8) == u)
                    held += QChar(char16_t(u));
            }
            iconv_close(encoder);
            iconv_close(decoder);
            if (!singleByte)
                continue;
            ++tested;
            SetAnsiCodePage(codePage);
            SCOPED_TRACE(codePage.constData());
            cTextBuffer buffer;
            buffer.SetText(all);
            ASSERT_EQ(buffer.TextWithBreaks(), all);
            const cTextContents contents(buffer, teAnsi, {}, 4096);
            QByteArray bytes;
            contents.Produce([&bytes](const char *data, qsizetype size) { bytes.append(data, size); });
            ASSERT_EQ(bytes.size(), expected.size());
            for (qsizetype i = 0; i < bytes.size(); ++i)
                ASSERT_EQ(uchar(bytes[i]), uchar(expected[i]))
                    << "unit " << std::hex << int(all[i].unicode());
            EXPECT_TRUE(HasNonAnsiCharacters(buffer));
            buffer.SetText(held);
            EXPECT_FALSE(HasNonAnsiCharacters(buffer));
        }
    }
    EXPECT_GE(tested, 20);
}

// A disk that fills up while the new text is written. Every way of writing
// must leave the old file complete and name the reason.
class FullDisk : public TextFiles
{
protected:
    void TearDown() override
    {
        if (!Mounted.isEmpty())
            ::umount2(QFile::encodeName(Mounted).constData(), MNT_DETACH);
        TextFiles::TearDown();
    }

    // A folder on a 64 KiB file system, or empty when it cannot be mounted.
    QString SmallDisk()
    {
        const QString path = FolderOfOrdinaryUser(Dir, QStringLiteral("disk"));
        if (::geteuid() != 0 ||
            ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, "size=64k,mode=0755") != 0)
            return {};
        Mounted = path;
        EXPECT_EQ(::chown(QFile::encodeName(path).constData(), Nobody, NoGroup), 0);
        return path;
    }

    // Writes Old, then tries New over it in the three ways of writing: by
    // replacement, through a file with a second name, and through a file in
    // a folder that cannot be written.
    void ExpectEveryWayToFail(const QString &folder, const QByteArray &oldBytes, const QByteArray &newBytes,
                              int error)
    {
        const QString plain = folder + QStringLiteral("/plain.txt");
        const QString linked = folder + QStringLiteral("/linked.txt");
        const QString locked = folder + QStringLiteral("/locked");
        const QString inLocked = locked + QStringLiteral("/file.txt");
        auto fails = [&](const QString &path) {
            try {
                WriteFileSafely(path, QByteArray("\xEF\xBB\xBF"), newBytes);
            } catch (const EFCreateError &e) {
                // The reason may be the copy's that a write in place needs first.
                return e.Message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)) &&
                       e.Message().contains(Reason(error)) && Read(path) == oldBytes;
            }
            return false;
        };
        // The copy of a write in place goes to a folder the user may write, on
        // a disk with room.
        qputenv("XDG_STATE_HOME", QFile::encodeName(FolderOfOrdinaryUser(Dir, QStringLiteral("state"))));
        EXPECT_TRUE(AsOrdinaryUser([&] {
            bool ok = Put(plain, oldBytes) && Put(linked, oldBytes);
            ok &= ::link(QFile::encodeName(linked).constData(),
                         QFile::encodeName(linked + "2").constData()) == 0;
            ok &= ::mkdir(QFile::encodeName(locked).constData(), 0755) == 0 && Put(inLocked, oldBytes);
            ok &= ::chmod(QFile::encodeName(locked).constData(), 0555) == 0;
            ok &= fails(plain);
            ok &= fails(linked);
            ok &= fails(inLocked);
            return ok;
        }));
        EXPECT_EQ(Read(plain), oldBytes);
        EXPECT_EQ(Read(linked + "2"), oldBytes);
        EXPECT_EQ(Read(inLocked), oldBytes);
        // Nothing is left beside them.
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 4);
        EXPECT_EQ(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
        ::chmod(QFile::encodeName(locked).constData(), 0755); // so that it can be removed
    }

    QString Mounted;
};

TEST_F(FullDisk, NoSpaceLeftOnDeviceLeavesTheOldFile)
{
    const QString disk = SmallDisk();
    if (disk.isEmpty())
        GTEST_SKIP() << "no small file system can be mounted here";
    ExpectEveryWayToFail(disk, QByteArray(12 * 1024, 'o'), QByteArray(80 * 1024, 'n'), ENOSPC);
}

// The size limit of a process stops a write as a full disk does, also after
// part of the file was rewritten in place.
TEST_F(FullDisk, AWriteCutShortLeavesTheOldFile)
{
    const QString folder = FolderOfOrdinaryUser(Dir, QStringLiteral("limited"));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 16 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    ExpectEveryWayToFail(folder, QByteArray(12 * 1024, 'o'), QByteArray(40 * 1024, 'n'), EFBIG);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
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
