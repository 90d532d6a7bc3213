// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a file again in an encoding the user names, whatever its first
// bytes say, and the code pages offered for it.
#include "editor/editing/TypedConstants.h"

#include <QByteArray>
#include <QList>
#include <QString>

class cTextBuffer;

// How a document's file is coded: one of the four encodings; for teAnsi the
// iconv code page (empty: the locale's); whether the file carries the mark.
struct tFileCoding
{
    tTextEncoding Encoding = teAnsi;
    QByteArray CodePage;
    bool Mark = true;
    bool operator==(const tFileCoding &) const = default;
};

// Code pages of one part of the world, each known to this system's iconv.
struct tCodePageGroup
{
    QString Region;
    QString Caption; // the region with its menu letter
    QList<QByteArray> CodePages;
};
// Built once; regions with no code page iconv knows are left out.
const QList<tCodePageGroup> &CodePageGroups();

// Switches the ANSI code page for a scope (a read or a write in a code page
// the document chose) and puts the previous one back; an empty name changes
// nothing.
class cCodePageScope
{
public:
    explicit cCodePageScope(const QByteArray &codePage);
    ~cCodePageScope();
    cCodePageScope(const cCodePageScope &) = delete;
    cCodePageScope &operator=(const cCodePageScope &) = delete;

private:
    QByteArray FPrevious;
    bool FSwitched = false;
};

// Reads the file into Buffer as Coding.Encoding (in Coding.CodePage for
// teAnsi); a mark of that encoding at the start is skipped. Returns the
// coding with Mark telling whether the file had one; OddByte as for
// ReadTextFile. Throws EFOpenError naming the file and the reason.
tFileCoding ReadTextFileAs(const QString &fileName, const tFileCoding &coding, cTextBuffer &buffer,
                           qsizetype maxUnits, QByteArray &oddByte);
