// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/PersistentSettings.h"

#include "editor/editing/TextFiles.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstring>

namespace {

// Larger values are damage, not a choice anybody made.
constexpr int32_t MaxFontPoints = 1638;
constexpr qint64 MaxValueBytes = 1 << 20;

enum : uint8_t
{
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8
};
enum : uint8_t
{
    fpDefault = 0,
    fpVariable = 1,
    fpFixed = 2
};

[[noreturn]] void ReadError()
{
    throw EReadError(QStringLiteral("Stream read error"));
}

// The platform's MulDiv: rounds half away from zero.
int32_t MulDiv(int64_t number, int64_t numerator, int64_t denominator)
{
    const int64_t product = number * numerator;
    const int64_t half = denominator / 2;
    return int32_t(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

uint8_t StyleBits(const QFont &font)
{
    uint8_t style = 0;
    if (font.bold())
        style |= fsBold;
    if (font.italic())
        style |= fsItalic;
    if (font.underline())
        style |= fsUnderline;
    if (font.strikeOut())
        style |= fsStrikeOut;
    return style;
}

uint8_t PitchOf(const QFont &font)
{
    if (!(font.resolveMask() & QFont::FixedPitchResolved))
        return fpDefault;
    return font.fixedPitch() ? fpFixed : fpVariable;
}

int32_t PointSizeOf(const QFont &font, int dpi)
{
    if (font.pointSizeF() > 0)
        return std::max<int32_t>(1, int32_t(std::lround(font.pointSizeF())));
    return std::max(1, MulDiv(std::max(1, font.pixelSize()), 72, dpi));
}

void RemoveEmptyDirectory(const QString &path)
{
    QDir dir(path);
    if (dir.exists() && dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        QDir().rmdir(path);
}

} // namespace

int ScreenPixelsPerInch()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const int dpi = int(std::lround(screen->logicalDotsPerInchY()));
            if (dpi > 0)
                return dpi;
        }
    return 96;
}

// ---- cRegistryStream ------------------------------------------------------

void cRegistryStream::SetPosition(qsizetype position)
{
    FPosition = std::max<qsizetype>(0, position);
}

void cRegistryStream::Write(const void *buffer, qsizetype count)
{
    if (count <= 0)
        return;
    if (FPosition + count > FData.size())
        FData.resize(FPosition + count);
    std::memcpy(FData.data() + FPosition, buffer, size_t(count));
    FPosition += count;
}

void cRegistryStream::Read(void *buffer, qsizetype count)
{
    if (count < 0 || count > FData.size() - FPosition)
        ReadError();
    if (count > 0)
        std::memcpy(buffer, FData.constData() + FPosition, size_t(count));
    FPosition += count;
}

uint8_t cRegistryStream::ReadByte()
{
    uint8_t value = 0;
    Read(&value, 1);
    return value;
}

void cRegistryStream::WriteInt32(int32_t value)
{
    const auto u = uint32_t(value);
    const uint8_t bytes[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    Write(bytes, 4);
}

int32_t cRegistryStream::ReadInt32()
{
    uint8_t b[4];
    Read(b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

void cRegistryStream::WriteString(const QString &text)
{
    const QByteArray bytes = AnsiEncode(text);
    WriteInt32(int32_t(bytes.size()));
    Write(bytes.constData(), bytes.size());
}

QString cRegistryStream::ReadString()
{
    const int32_t length = ReadInt32();
    // Checked before allocating: a damaged length must not reserve gigabytes.
    if (length < 0 || length > FData.size() - FPosition)
        ReadError();
    QByteArray bytes(length, Qt::Uninitialized);
    Read(bytes.data(), length);
    return AnsiDecode(bytes);
}

void cRegistryStream::WriteBool(bool value)
{
    WriteByte(value ? '1' : '0');
}

bool cRegistryStream::ReadBool()
{
    return ReadByte() == '1';
}

void cRegistryStream::WriteFont(const QFont &font, const tFontAttributes &attributes)
{
    const int dpi = ScreenPixelsPerInch();
    const int32_t size = PointSizeOf(font, dpi);
    WriteString(font.family());
    WriteByte(attributes.Charset);
    WriteInt32(int32_t(attributes.Color));
    WriteInt32(-MulDiv(size, dpi, 72));
    WriteByte(PitchOf(font));
    WriteInt32(size);
    WriteByte(StyleBits(font));
}

tFontAttributes cRegistryStream::ReadFont(QFont &font)
{
    const QString name = ReadString();
    tFontAttributes attributes;
    attributes.Charset = ReadByte();
    attributes.Color = uint32_t(ReadInt32());
    const int32_t height = ReadInt32();
    const uint8_t pitch = ReadByte();
    const int32_t size = ReadInt32();
    const uint8_t style = ReadByte();
    if (size < 1 || size > MaxFontPoints)
        ReadError();

    // A stored font is fully described by these items: start from a blank one.
    QFont result;
    result.setFamily(name);
    if (height < 0 && height >= -MulDiv(MaxFontPoints, ScreenPixelsPerInch(), 72))
        result.setPixelSize(-height);
    if (pitch != fpDefault)
        result.setFixedPitch(pitch == fpFixed);
    result.setPointSize(size);
    result.setBold(style & fsBold);
    result.setItalic(style & fsItalic);
    result.setUnderline(style & fsUnderline);
    result.setStrikeOut(style & fsStrikeOut);
    font = result;
    return attributes;
}

void cRegistryStream::WriteRect(int left, int top, int width, int height)
{
    WriteInt32(left);
    WriteInt32(top);
    WriteInt32(width);
    WriteInt32(height);
}

tRectangle cRegistryStream::ReadRect()
{
    tRectangle rect;
    rect.Left = ReadInt32();
    rect.Top = ReadInt32();
    rect.Width = ReadInt32();
    rect.Height = ReadInt32();
    return rect;
}

// ---- cPersistencyManager --------------------------------------------------

cPersistencyManager::cPersistencyManager(const QString &company, const QString &product,
                                         const QString &valueName)
    : FCompany(company), FProduct(product), FValueName(valueName)
{
    QDir().mkpath(CompanyDirectory());
}

QString cPersistencyManager::ConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString cPersistencyManager::CompanyKeyName(const QString &company)
{
    QString name = company;
    name.replace(u'\\', u'_').replace(u'/', u'_');
    return name;
}

QString cPersistencyManager::CompanyDirectory() const
{
    return ConfigHome() + u'/' + CompanyKeyName(FCompany);
}

QString cPersistencyManager::ProductDirectory() const
{
    return CompanyDirectory() + u'/' + FProduct;
}

QString cPersistencyManager::ValueFileName() const
{
    return ProductDirectory() + u'/' + FValueName;
}

void cPersistencyManager::Save(IPersistentObject &object)
{
    cRegistryStream stream;
    object.Save(stream);

    const QString fileName = ValueFileName();
    if (!QDir().mkpath(ProductDirectory()))
        throw EFCreateError(
            QStringLiteral("Cannot create the settings folder \"%1\"").arg(ProductDirectory()));
    // As a document is saved: beside the old value and renamed over it once on
    // disk, and only ever into a regular file.
    WriteFileSafely(fileName, QByteArray(), stream.Data());
}

bool cPersistencyManager::Load(IPersistentObject &object)
{
    try {
        cRegistryStream stream;
        // Anything but a readable regular file of sane size counts as no value.
        QFile file(ValueFileName());
        const QFileInfo info(file.fileName());
        if (info.isFile() && info.size() <= MaxValueBytes && file.open(QIODevice::ReadOnly))
            stream = cRegistryStream(file.readAll());
        stream.Rewind();
        object.Load(stream);
        return true;
    } catch (...) {
        return false;
    }
}

void cPersistencyManager::Uninstall()
{
    // An empty product name would address the whole company directory.
    if (!FProduct.isEmpty()) {
        const QString product = ProductDirectory();
        // A link is removed itself, never what it points to.
        if (QFileInfo(product).isSymLink())
            QFile::remove(product);
        else
            QDir(product).removeRecursively();
    }
    RemoveEmptyDirectory(CompanyDirectory());
}
