// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/FileNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(FileNames, EveryByteSurvivesTheRoundTrip)
{
    const QByteArray names[] = {
        "plain.txt",
        "caf\xE9.txt", // Latin-1, not UTF-8
        "\xEF\xBB\xBF"
        "a.txt", // begins with U+FEFF
        "\xEF\xBB\xBF\xEF\xBB\xBF"
        "b.txt",                                   // twice
        "x\xEF\xBB\xBF",                           // U+FEFF elsewhere
        "d\xC3\xA9j\xC3\xA0 \xF0\x9F\x98\x80.txt", // UTF-8 with a character beyond the BMP
        "\xED\xA0\x80.txt",                        // an encoded surrogate is not UTF-8
        "\xC0\xAF\xFF\xFE",
    };
    for (const QByteArray &bytes : names)
        EXPECT_EQ(EncodeFileName(DecodeFileName(bytes)), bytes) << bytes.toHex().constData();
    EXPECT_EQ(DecodeFileName("\xEF\xBB\xBF"
                             "a.txt"),
              QChar(0xFEFF) + QStringLiteral("a.txt"));
    EXPECT_EQ(DecodeFileName("d\xC3\xA9j\xC3\xA0"), QString::fromUtf8("d\xC3\xA9j\xC3\xA0"));
}

TEST(FileNames, ExistenceIsTestedOnTheNamesOwnBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.path()) + "/caf\xE9.txt";
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(FileNameExists(DecodeFileName(path)));
    // Qt's own decoding turns the byte into U+FFFD: another name.
    EXPECT_FALSE(FileNameExists(QFile::decodeName(path)));
    EXPECT_FALSE(FileNameExists(dir.path() + QStringLiteral("/other.txt")));
    EXPECT_FALSE(FileNameExists(QString()));
}

} // namespace
