// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/FileNames.h"

#include "editor/platform/AnsiCodePage.h"

#include <QDir>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char ByteOrderMark[] = "\xEF\xBB\xBF";

} // namespace

QString DecodeFileName(const QByteArray &bytes)
{
    // The UTF-8 decoder takes a leading mark for a signature; in a name it is
    // a character like any other.
    QString name;
    qsizetype start = 0;
    while (bytes.mid(start, 3) == ByteOrderMark) {
        name += QChar(0xFEFF);
        start += 3;
    }
    return name + Utf8DecodeLossless(bytes.constData() + start, bytes.size() - start);
}

QByteArray EncodeFileName(const QString &name)
{
    return Utf8EncodeLossless(name);
}

bool FileNameExists(const QString &name)
{
    struct stat info = {};
    return !name.isEmpty() && ::lstat(EncodeFileName(name).constData(), &info) == 0;
}

QString CurrentDirectory()
{
    QByteArray buffer(4096, '\0');
    while (!::getcwd(buffer.data(), size_t(buffer.size()))) {
        if (errno != ERANGE)
            return QDir::currentPath();
        buffer.resize(buffer.size() * 2);
    }
    return DecodeFileName(QByteArray(buffer.constData()));
}

QString AbsoluteFileName(const QString &name)
{
    if (name.startsWith(u'/'))
        return QDir::cleanPath(name);
    return QDir::cleanPath(CurrentDirectory() + u'/' + name);
}
