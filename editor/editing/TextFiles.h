// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading and writing the bytes of text files in the four encodings.
#include "editor/editing/TypedConstants.h"

#include <QByteArray>
#include <QString>

#include <climits>

class cTextBuffer;

// The encoding of a file from its first bytes and its size: a mark, or ANSI.
tTextEncoding DetectEncoding(const QByteArray &head, qint64 fileSize);

// The text of a file: its encoding from the mark, the bytes after the mark
// decoded. Undecodable bytes are kept as escapes (see AnsiCodePage.h), so a
// later save in the same encoding writes them back unchanged; so is the odd
// last byte of a UTF-16 file, in OddByte.
struct tTextFile
{
    tTextEncoding Encoding = teAnsi;
    QString Text;
    QByteArray OddByte;
};

// Only a regular file is read, and never more than a text of MaxUnits UTF-16
// units or the free memory can hold; a file that grows or shrinks meanwhile
// gives what it held when it was read. Throws EFOpenError
// "Cannot open file "%s". %s" naming the file and the reason.
tTextFile ReadTextFile(const QString &fileName, qsizetype maxUnits = INT_MAX - 1);

// ReadTextFile straight into a buffer's storage as the file is read, a piece
// of PieceUnits units at a time, without holding the whole file or a copy of
// the text; the text comes back empty. Buffer takes the text once the whole
// file is read and fits, and is untouched otherwise.
tTextFile ReadTextFileInto(const QString &fileName, cTextBuffer &buffer, qsizetype maxUnits = INT_MAX - 1,
                           qsizetype pieceUnits = 1 << 16);
// DecodeText into Buffer's storage that way (BeginLoad to EndLoad).
void DecodeTextInto(cTextBuffer &buffer, const char *data, qsizetype size, tTextEncoding encoding,
                    QByteArray *oddByte = nullptr, qsizetype pieceUnits = 1 << 16);

// The bytes of a text in an encoding, without its mark.
QByteArray EncodeText(const QString &text, tTextEncoding encoding);
// The odd last byte of UTF-16 goes to OddByte when given, else it is dropped.
QString DecodeText(const char *data, qsizetype size, tTextEncoding encoding, QByteArray *oddByte = nullptr);

// Writes Mark + Bytes as the file's new contents so that any failure leaves
// the old file complete: a new file replaces it once completely on disk,
// with the old one's permissions, owner and group. A file with other names
// (hard links), one whose owner could not be kept, or one in a folder that
// cannot be written is rewritten where it is, after the space is reserved,
// with its old contents put back when writing fails. A link is followed.
// Throws EFCreateError "Cannot create file "%s". %s" with the system's reason.
void WriteFileSafely(const QString &fileName, const QByteArray &mark, const QByteArray &bytes);
