// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/FileEncodings.h"

#include "editor/editing/TextFiles.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/Resources.h"

#include <QFile>
#include <QFileInfo>

#include <iconv.h>

namespace {

bool IconvKnows(const char *codePage)
{
    const iconv_t probe = iconv_open("UTF-16LE", codePage);
    if (probe == iconv_t(-1))
        return false;
    iconv_close(probe);
    return true;
}

[[noreturn]] void ThrowOpenError(const QString &fileName, const QString &reason)
{
    throw EFOpenError(Format(QStringLiteral("Cannot open file \"%s\". %s"), {fileName, reason}));
}

} // namespace

const QList<tCodePageGroup> &CodePageGroups()
{
    static const QList<tCodePageGroup> groups = [] {
        // Menu letters unique among the regions and the encodings above them
        // (UTF-&8, UTF-16 &LE and &BE, the locale's Code &Page).
        const QList<std::pair<const char *, QList<QByteArray>>> wanted = {
            {"&Western European", {"ISO-8859-1", "ISO-8859-15", "WINDOWS-1252", "CP850", "MACINTOSH"}},
            {"C&entral European", {"ISO-8859-2", "WINDOWS-1250", "CP852", "ISO-8859-16"}},
            {"&South European", {"ISO-8859-3"}},
            {"B&altic", {"ISO-8859-4", "ISO-8859-13", "WINDOWS-1257"}},
            {"Cel&tic", {"ISO-8859-14"}},
            {"C&yrillic", {"KOI8-R", "KOI8-U", "WINDOWS-1251", "ISO-8859-5", "CP866"}},
            {"&Greek", {"ISO-8859-7", "WINDOWS-1253"}},
            {"T&urkish", {"ISO-8859-9", "WINDOWS-1254"}},
            {"&Hebrew", {"ISO-8859-8", "WINDOWS-1255"}},
            {"A&rabic", {"ISO-8859-6", "WINDOWS-1256"}},
            {"Tha&i", {"TIS-620", "CP874"}},
            {"&Vietnamese", {"WINDOWS-1258"}},
            {"Chinese Si&mplified", {"GB18030", "GBK", "GB2312"}},
            {"Chinese Traditi&onal", {"BIG5", "BIG5-HKSCS"}},
            {"&Japanese", {"SHIFT_JIS", "CP932", "EUC-JP", "ISO-2022-JP"}},
            {"&Korean", {"EUC-KR", "CP949"}},
        };
        QList<tCodePageGroup> known;
        for (const auto &[caption, codePages] : wanted) {
            tCodePageGroup group{QString::fromLatin1(caption).remove(u'&'), QString::fromLatin1(caption), {}};
            for (const QByteArray &codePage : codePages)
                if (IconvKnows(codePage.constData()))
                    group.CodePages.append(codePage);
            if (!group.CodePages.isEmpty())
                known.append(group);
        }
        return known;
    }();
    return groups;
}

cCodePageScope::cCodePageScope(const QByteArray &codePage)
{
    if (codePage.isEmpty())
        return;
    FPrevious = AnsiCodePageName();
    SetAnsiCodePage(codePage);
    FSwitched = true;
}

cCodePageScope::~cCodePageScope()
{
    if (!FSwitched)
        return;
    // The previous code page was in force a moment ago: iconv knows it.
    try {
        SetAnsiCodePage(FPrevious);
    } catch (...) {
    }
}

tFileCoding ReadTextFileAs(const QString &fileName, const tFileCoding &coding, cTextBuffer &buffer,
                           qsizetype maxUnits, QByteArray &oddByte)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        ThrowOpenError(fileName, QStringLiteral("No such file or directory"));
    if (!info.isFile())
        ThrowOpenError(fileName, QStringLiteral("Not a regular file"));
    // Decoded, every byte becomes at most one unit.
    if (info.size() >
        maxUnits * (coding.Encoding == teUnicode || coding.Encoding == teUnicodeBigEndian ? 2 : 1))
        ThrowOpenError(fileName, QStringLiteral("The file is too large"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        ThrowOpenError(fileName, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        ThrowOpenError(fileName, file.errorString());

    tFileCoding found = coding;
    const QByteArray &mark = BomTable[coding.Encoding];
    found.Mark = !mark.isEmpty() && bytes.startsWith(mark);
    const qsizetype skip = found.Mark ? mark.size() : 0;
    const cCodePageScope codePage(coding.Encoding == teAnsi ? coding.CodePage : QByteArray());
    DecodeTextInto(buffer, bytes.constData() + skip, bytes.size() - skip, coding.Encoding, &oddByte);
    return found;
}
