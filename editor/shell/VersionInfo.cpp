// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/VersionInfo.h"

#include "editor/platform/Application.h"
#include "editor/shell/VersionRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <optional>

namespace {

// The version record is a few hundred bytes; anything far larger is not one.
constexpr qint64 MaxRecordSize = 64 * 1024;

constexpr qint64 ElfHeaderSize = 64;
constexpr qint64 ElfSectionHeaderSize = 64;
constexpr qint64 MaxSectionNamesSize = 1024 * 1024;
constexpr std::uint32_t SHT_NOBITS = 8;

template <typename T> T LittleEndianAt(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<T>(bytes.data() + at);
}

QByteArray ReadAt(QFile &file, quint64 offset, quint64 size)
{
    if (offset > quint64(file.size()) || size > quint64(file.size()) - offset || !file.seek(qint64(offset)))
        return {};
    QByteArray bytes = file.read(qint64(size));
    return quint64(bytes.size()) == size ? bytes : QByteArray();
}

// ELF identification: magic, 64-bit class, little-endian data.
bool IsElf64LittleEndian(QByteArrayView header)
{
    constexpr char magic[] = {0x7f, 'E', 'L', 'F'};
    return header.size() >= ElfHeaderSize && header.startsWith(QByteArrayView(magic, 4)) && header[4] == 2 &&
           header[5] == 1;
}

// The bytes of the version section of an ELF program; empty when the file has
// none or the section is empty (the platform's size 0).
QByteArray ReadVersionSection(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray header = ReadAt(file, 0, ElfHeaderSize);
    if (!IsElf64LittleEndian(header))
        return {};
    const auto sectionsAt = LittleEndianAt<quint64>(header, 0x28);
    const auto entrySize = LittleEndianAt<quint16>(header, 0x3A);
    const auto count = LittleEndianAt<quint16>(header, 0x3C);
    const auto namesIndex = LittleEndianAt<quint16>(header, 0x3E);
    if (entrySize < ElfSectionHeaderSize || namesIndex >= count)
        return {};
    const QByteArray sections = ReadAt(file, sectionsAt, quint64(count) * entrySize);
    if (sections.isEmpty())
        return {};
    auto section = [&](int index) { return QByteArrayView(sections).sliced(qsizetype(index) * entrySize); };
    const quint64 namesAt = LittleEndianAt<quint64>(section(namesIndex), 24);
    const quint64 namesSize = LittleEndianAt<quint64>(section(namesIndex), 32);
    const QByteArray names = ReadAt(file, namesAt, std::min<quint64>(namesSize, MaxSectionNamesSize));
    const QByteArrayView wanted(VersionSectionName);
    for (int i = 0; i < count; ++i) {
        const QByteArrayView entry = section(i);
        const auto nameAt = LittleEndianAt<quint32>(entry, 0);
        if (nameAt >= quint64(names.size()))
            continue;
        const QByteArrayView name(names.constData() + nameAt); // up to its terminating zero
        if (name != wanted || LittleEndianAt<quint32>(entry, 4) == SHT_NOBITS)
            continue;
        const auto size = LittleEndianAt<quint64>(entry, 32);
        if (size == 0 || size > quint64(MaxRecordSize))
            return {};
        return ReadAt(file, LittleEndianAt<quint64>(entry, 24), size);
    }
    return {};
}

// A block whose header holds together: the magic, and a size that fits.
bool IsVersionRecord(QByteArrayView block)
{
    if (block.size() < qsizetype(VersionRecordStringsAt) ||
        !block.startsWith(QByteArrayView(VersionRecordMagic, 8)))
        return false;
    const auto size = LittleEndianAt<quint32>(block, VersionRecordSizeAt);
    return size >= VersionRecordStringsAt && size <= quint64(block.size());
}

QString TranslationKey(QByteArrayView translation)
{
    const auto byte = [&](int i) { return unsigned(static_cast<unsigned char>(translation[i])); };
    return QString::asprintf("%.2x%.2x%.2x%.2x", byte(1), byte(0), byte(3), byte(2));
}

// The named string of the record's string table; none when it is missing or
// the table breaks off before it.
std::optional<QByteArrayView> StringOfRecord(QByteArrayView record, QStringView name)
{
    const auto count = LittleEndianAt<quint16>(record, VersionRecordStringCountAt);
    qsizetype at = VersionRecordStringsAt;
    auto text = [&]() -> std::optional<QByteArrayView> {
        if (at + 2 > record.size())
            return std::nullopt;
        const auto length = LittleEndianAt<quint16>(record, at);
        at += 2;
        if (at + length > record.size())
            return std::nullopt;
        const QByteArrayView value = record.sliced(at, length);
        at += length;
        return value;
    };
    for (int i = 0; i < count; ++i) {
        const auto entryName = text();
        const auto value = text();
        if (!entryName || !value)
            return std::nullopt;
        if (QString::fromUtf8(*entryName).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

// The platform's query of a version block by path: "\" for the fixed
// versions, "\VarFileInfo\Translation", "\StringFileInfo\<key>\<name>".
std::optional<QByteArrayView> VerQueryValue(const QByteArray &block, QStringView subBlock)
{
    const QByteArrayView record =
        QByteArrayView(block).first(LittleEndianAt<quint32>(block, VersionRecordSizeAt));
    const QByteArrayView translation = record.sliced(VersionRecordTranslationAt, 4);
    if (subBlock == u"\\")
        return record.sliced(VersionRecordFixedAt, VersionRecordFixedSize);
    if (subBlock.compare(u"\\VarFileInfo\\Translation", Qt::CaseInsensitive) == 0)
        return translation;
    const QStringView strings = u"\\StringFileInfo\\";
    if (!subBlock.startsWith(strings, Qt::CaseInsensitive))
        return std::nullopt;
    const QStringView path = subBlock.sliced(strings.size());
    const qsizetype slash = path.indexOf(u'\\');
    if (slash < 0 || path.first(slash).compare(TranslationKey(translation), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return StringOfRecord(record, path.sliced(slash + 1));
}

void FillFixedInformation(QByteArrayView fixed, tFileVersionInformation &info)
{
    const auto part = [&](int i) { return std::int32_t(LittleEndianAt<quint16>(fixed, i * 2)); };
    info.FileMajor = part(0);
    info.FileMinor = part(1);
    info.FileRelease = part(2);
    info.FileBuild = part(3);
    info.ProductMajor = part(4);
    info.ProductMinor = part(5);
    info.ProductRelease = part(6);
    info.ProductBuild = part(7);
}

} // namespace

bool GetVersionInformation(const QString &fileName, tFileVersionInformation &info)
{
    info = {};
    if (!QFileInfo(fileName).isFile())
        return false;
    const QByteArray block = ReadVersionSection(fileName);
    if (block.isEmpty() || !IsVersionRecord(block))
        return false;
    const auto fixed = VerQueryValue(block, u"\\");
    if (!fixed)
        return false;
    FillFixedInformation(*fixed, info);
    const auto translation = VerQueryValue(block, u"\\VarFileInfo\\Translation");
    if (!translation)
        return false;
    const QString key = TranslationKey(*translation);
    const std::array<std::pair<QStringView, QString *>, 6> strings = {{
        {u"CompanyName", &info.CompanyName},
        {u"FileDescription", &info.FileDescription},
        {u"InternalName", &info.InternalName},
        {u"LegalCopyright", &info.LegalCopyright},
        {u"OriginalFilename", &info.OriginalFilename},
        {u"ProductName", &info.ProductName},
    }};
    for (const auto &[name, field] : strings) {
        const auto value = VerQueryValue(block, QStringLiteral("\\StringFileInfo\\%1\\%2").arg(key, name));
        if (!value)
            return false;
        *field = QString::fromUtf8(*value);
    }
    return true;
}

bool GetOwnVersionInformation(tFileVersionInformation &info)
{
    static_cast<void>(ProgramVersionRecord()); // keeps the record in the program
    return GetVersionInformation(ExecutablePath(), info);
}
