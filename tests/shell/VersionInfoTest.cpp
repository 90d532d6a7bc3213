// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/VersionInfo.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>

#ifndef QUORVEL_EXECUTABLE
#error "the build passes the path of the built program"
#endif

namespace {

void ExpectProgramsStrings(const tFileVersionInformation &info)
{
    EXPECT_EQ(info.CompanyName, QStringLiteral("Varnholt"));
    EXPECT_EQ(info.FileDescription, QStringLiteral("Unicode Editor"));
    EXPECT_EQ(info.InternalName, QStringLiteral("quorvel"));
    EXPECT_EQ(info.LegalCopyright, QStringLiteral("Copyright \u00A9 2026 Varnholt"));
    EXPECT_EQ(info.OriginalFilename, QStringLiteral("Quorvel"));
    EXPECT_EQ(info.ProductName, QStringLiteral("Zelmar Unicode Editor"));
}

void ExpectEmpty(const tFileVersionInformation &info)
{
    EXPECT_TRUE(info.CompanyName.isEmpty());
    EXPECT_TRUE(info.ProductName.isEmpty());
    EXPECT_EQ(info.FileMajor, 0);
    EXPECT_EQ(info.ProductBuild, 0);
}

tFileVersionInformation Filled()
{
    tFileVersionInformation info;
    info.CompanyName = QStringLiteral("stale");
    info.ProductName = QStringLiteral("stale");
    info.FileMajor = 9;
    info.ProductBuild = 9;
    return info;
}

QByteArray ProgramBytes()
{
    QFile file(QStringLiteral(QUORVEL_EXECUTABLE));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// Where the record starts in the program file: its magic followed by the
// file version 3.1.0.32 (the reader's own copy of the magic is not).
qsizetype RecordOffset(const QByteArray &bytes)
{
    const QByteArray version("\x03\x00\x01\x00\x00\x00\x20\x00", 8);
    for (qsizetype at = bytes.indexOf("QVRSINFO"); at >= 0; at = bytes.indexOf("QVRSINFO", at + 1))
        if (bytes.mid(at + 12, 8) == version)
            return at;
    return -1;
}

// A copy of the program changed by Patch, read back.
class VersionRecordOfACopy : public ::testing::Test
{
protected:
    bool ReadPatched(const std::function<void(QByteArray &, qsizetype record)> &patch)
    {
        QByteArray bytes = ProgramBytes();
        const qsizetype record = RecordOffset(bytes);
        EXPECT_GT(record, 0);
        patch(bytes, record);
        QFile copy(Dir.filePath(QStringLiteral("copy")));
        EXPECT_TRUE(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        copy.write(bytes);
        copy.close();
        Info = Filled();
        return GetVersionInformation(copy.fileName(), Info);
    }

    QTemporaryDir Dir;
    tFileVersionInformation Info;
};

TEST(VersionInformation, BuiltProgramCarriesItsVersionRecord)
{
    tFileVersionInformation info = Filled();
    ASSERT_TRUE(GetVersionInformation(QStringLiteral(QUORVEL_EXECUTABLE), info));
    EXPECT_EQ(info.FileMajor, 3);
    EXPECT_EQ(info.FileMinor, 1);
    EXPECT_EQ(info.FileRelease, 0);
    EXPECT_EQ(info.FileBuild, 32);
    EXPECT_EQ(info.ProductMajor, 3);
    EXPECT_EQ(info.ProductMinor, 1);
    EXPECT_EQ(info.ProductRelease, 0);
    EXPECT_EQ(info.ProductBuild, 32);
    ExpectProgramsStrings(info);
}

TEST(VersionInformation, OwnVersionIsReadFromTheRunningProgramsFile)
{
    tFileVersionInformation info;
    ASSERT_TRUE(GetOwnVersionInformation(info)); // this test links the record too
    EXPECT_EQ(info.FileMajor, 3);
    ExpectProgramsStrings(info);
}

TEST(VersionInformation, FilesWithoutARecordGiveNothing)
{
    QTemporaryDir dir;
    QFile text(dir.filePath(QStringLiteral("text")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("\x7f"
               "ELF but not really");
    text.close();
    for (const QString &name : {dir.filePath(QStringLiteral("missing")), text.fileName(), dir.path()}) {
        tFileVersionInformation info = Filled();
        EXPECT_FALSE(GetVersionInformation(name, info)) << name.toStdString();
        ExpectEmpty(info);
    }
}

TEST_F(VersionRecordOfACopy, ProgramWithoutTheSectionGivesNothing)
{
    EXPECT_FALSE(ReadPatched(
        [](QByteArray &bytes, qsizetype) { bytes.replace(".quorvel_version", ".quorvel_versioX"); }));
    ExpectEmpty(Info);
}

TEST_F(VersionRecordOfACopy, WrongMagicOrSizeGivesNothing)
{
    EXPECT_FALSE(ReadPatched([](QByteArray &bytes, qsizetype record) { bytes[record] = 'X'; }));
    ExpectEmpty(Info);
    EXPECT_FALSE(ReadPatched([](QByteArray &bytes, qsizetype record) {
        qToLittleEndian<quint32>(0x10000, bytes.data() + record + 8); // larger than the section
    }));
    ExpectEmpty(Info);
}

TEST_F(VersionRecordOfACopy, ProgramCutInsideTheRecordGivesNothing)
{
    EXPECT_FALSE(ReadPatched([](QByteArray &bytes, qsizetype record) { bytes.truncate(record + 40); }));
    ExpectEmpty(Info);
}

TEST_F(VersionRecordOfACopy, MissingStringKeepsTheOnesReadBeforeIt)
{
    EXPECT_FALSE(ReadPatched([](QByteArray &bytes, qsizetype record) {
        const qsizetype name = bytes.indexOf("InternalName", record);
        bytes[name + 11] = 'X';
    }));
    EXPECT_EQ(Info.FileMajor, 3);
    EXPECT_EQ(Info.ProductBuild, 32);
    EXPECT_EQ(Info.CompanyName, QStringLiteral("Varnholt"));
    EXPECT_EQ(Info.FileDescription, QStringLiteral("Unicode Editor"));
    EXPECT_TRUE(Info.InternalName.isEmpty());
    EXPECT_TRUE(Info.ProductName.isEmpty());
}

TEST_F(VersionRecordOfACopy, StringRunningPastTheRecordEndsTheReading)
{
    EXPECT_FALSE(ReadPatched([](QByteArray &bytes, qsizetype record) {
        const qsizetype name = bytes.indexOf("LegalCopyright", record);
        qToLittleEndian<quint16>(0xFFFF, bytes.data() + name + 14); // the value's length
    }));
    EXPECT_EQ(Info.InternalName, QStringLiteral("quorvel"));
    EXPECT_TRUE(Info.LegalCopyright.isEmpty());
    EXPECT_TRUE(Info.ProductName.isEmpty());
}

} // namespace
