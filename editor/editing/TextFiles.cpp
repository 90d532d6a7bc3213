#include "editor/editing/TextFiles.h"

#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/Resources.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

namespace {

QString OpenError(const QString &fileName, const QString &reason)
{
    return Format(QStringLiteral("Cannot open file \"%s\". %s"), {fileName, reason});
}

QString CreateError(const QString &fileName, const QString &reason)
{
    return Format(QStringLiteral("Cannot create file \"%s\". %s"), {fileName, reason});
}

QString DecodeUtf16(const char *data, qsizetype size, bool bigEndian)
{
    QString text(size / 2, Qt::Uninitialized);
    std::memcpy(text.data(), data, size_t(text.size()) * 2);
    if (bigEndian) {
        char16_t *p = reinterpret_cast<char16_t *>(text.data());
        for (qsizetype i = 0; i < text.size(); ++i)
            p[i] = char16_t((p[i] >> 8) | (p[i] << 8));
    }
    return text;
}

QByteArray EncodeUtf16(const QString &text, bool bigEndian)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    std::memcpy(bytes.data(), text.utf16(), size_t(bytes.size()));
    if (bigEndian) {
        char *p = bytes.data();
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            std::swap(p[i], p[i + 1]);
    }
    return bytes;
}

} // namespace

tTextEncoding DetectEncoding(const QByteArray &head, qint64 fileSize)
{
    if (fileSize < 2 || head.size() < 2)
        return teAnsi;
    if (fileSize >= 3 && head.size() >= 3 && head.startsWith(BomTable[teUTF8]))
        return teUTF8;
    if (head.startsWith(BomTable[teUnicode]))
        return teUnicode;
    if (head.startsWith(BomTable[teUnicodeBigEndian]))
        return teUnicodeBigEndian;
    return teAnsi;
}

QString DecodeText(const char *data, qsizetype size, tTextEncoding encoding)
{
    switch (encoding) {
    case teUTF8:
        return Utf8DecodeLossless(data, size);
    case teUnicode:
        return DecodeUtf16(data, size, false);
    case teUnicodeBigEndian:
        return DecodeUtf16(data, size, true);
    case teAnsi:
        break;
    }
    return AnsiDecode(QByteArray::fromRawData(data, size));
}

QByteArray EncodeText(const QString &text, tTextEncoding encoding)
{
    switch (encoding) {
    case teUTF8:
        return Utf8EncodeLossless(text);
    case teUnicode:
        return EncodeUtf16(text, false);
    case teUnicodeBigEndian:
        return EncodeUtf16(text, true);
    case teAnsi:
        break;
    }
    return AnsiEncode(text);
}

tTextFile ReadTextFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(OpenError(fileName, file.errorString()));
    const qint64 size = file.size();
    // Mapping avoids a second copy of a large file; a pipe or special file is
    // read the ordinary way.
    const uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
    QByteArray buffer;
    const char *data;
    qsizetype length;
    if (mapped) {
        data = reinterpret_cast<const char *>(mapped);
        length = qsizetype(size);
    } else {
        buffer = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw EFOpenError(OpenError(fileName, file.errorString()));
        data = buffer.constData();
        length = buffer.size();
    }
    tTextFile result;
    result.Encoding = DetectEncoding(QByteArray::fromRawData(data, qMin<qsizetype>(length, 3)), length);
    const qsizetype markSize = BomTable[result.Encoding].size();
    result.Text = DecodeText(data + markSize, length - markSize, result.Encoding);
    return result;
}

void WriteFileSafely(const QString &fileName, const QByteArray &mark, const QByteArray &bytes)
{
    const QFileInfo old(fileName);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(CreateError(fileName, file.errorString()));
    if (file.write(mark) != mark.size() || file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw EFCreateError(CreateError(fileName, reason));
    }
    if (old.exists())
        file.setPermissions(old.permissions());
    if (!file.commit())
        throw EFCreateError(CreateError(fileName, file.errorString()));
}
