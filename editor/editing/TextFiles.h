#pragma once
// Reading and writing the bytes of text files in the four encodings.
#include "editor/editing/TypedConstants.h"

#include <QByteArray>
#include <QString>

// The encoding of a file from its first bytes and its size: a mark, or ANSI.
tTextEncoding DetectEncoding(const QByteArray &head, qint64 fileSize);

// The text of a file: its encoding from the mark, the bytes after the mark
// decoded. Undecodable bytes are kept as escapes (see AnsiCodePage.h), so a
// later save in the same encoding writes them back unchanged. Throws
// EFOpenError "Cannot open file "%s". %s" naming the file and the reason.
struct tTextFile
{
    tTextEncoding Encoding = teAnsi;
    QString Text;
};
tTextFile ReadTextFile(const QString &fileName);

// The bytes of a text in an encoding, without its mark.
QByteArray EncodeText(const QString &text, tTextEncoding encoding);
QString DecodeText(const char *data, qsizetype size, tTextEncoding encoding);

// Replaces the file with Mark + Bytes only once they are completely written
// beside it, keeping the old file's permissions; on any failure the old file
// stays as it was and EFCreateError "Cannot create file "%s". %s" is thrown.
void WriteFileSafely(const QString &fileName, const QByteArray &mark, const QByteArray &bytes);
