// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading and writing the bytes of text files in the four encodings.
#include "editor/editing/TypedConstants.h"

#include <QByteArray>
#include <QString>

#include <climits>
#include <functional>
#include <memory>
#include <vector>

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

// The bytes of a file's new contents, made as they are written.
class cFileContents
{
public:
    virtual ~cFileContents() = default;
    // Calls Put with every byte in order, a block of at most about a MiB at a
    // time; an exception from Put ends it.
    virtual void Produce(const std::function<void(const char *, qsizetype)> &put) const = 0;
    // The number of bytes Produce gives (by default it counts them).
    [[nodiscard]] virtual qint64 Size() const;
    // A quick guess at Size for showing progress; 0 when none is cheap.
    [[nodiscard]] virtual qint64 SizeHint() const { return 0; }

protected:
    // Bytes made beforehand, in blocks that way.
    static void Produce(const QByteArray &bytes, const std::function<void(const char *, qsizetype)> &put);
};

// A buffer's text as a file in an encoding: the mark, each line with its own
// break, then Tail (the odd byte of a UTF-16 file). Encoded a piece of
// PieceUnits at a time into one reused block, never as a whole.
// Whether a file in a Unicode encoding starts with its byte-order mark.
enum class tMark
{
    With,
    Without
};

class cTextContents : public cFileContents
{
public:
    cTextContents(const cTextBuffer &buffer, tTextEncoding encoding, const QByteArray &tail,
                  tMark mark = tMark::With)
        : cTextContents(buffer, encoding, tail, 1 << 15, mark)
    {}
    cTextContents(const cTextBuffer &buffer, tTextEncoding encoding, const QByteArray &tail,
                  qsizetype pieceUnits, tMark mark = tMark::With);
    void Produce(const std::function<void(const char *, qsizetype)> &put) const override;
    [[nodiscard]] qint64 Size() const override;
    [[nodiscard]] qint64 SizeHint() const override;

private:
    const cTextBuffer &FBuffer;
    tTextEncoding FEncoding;
    QByteArray FTail;
    QByteArray FMark;
    qsizetype FPieceUnits;
};

// Whether the buffer's text, each line with its own break, does not come back
// unchanged from the ANSI code page (HasNonAnsiCharacters), found a piece at
// a time without a copy of the text.
[[nodiscard]] bool HasNonAnsiCharacters(const cTextBuffer &buffer, qsizetype pieceUnits = 1 << 15);

// Writes Contents as the file's new contents so that any failure leaves
// the old file complete: a new file replaces it once completely on disk,
// with the old one's permissions, owner, group and extended attributes. A
// file with other names (hard links), one whose owner could not be kept, or
// one in a folder that cannot be written is rewritten where it is, after the
// space is reserved, with its old contents put back when writing fails. A
// link is followed. Only a regular file the user may write is replaced: any
// other (FindWriteTarget) is refused and left as it is. Throws EFCreateError
// "Cannot create file "%s". %s" with the reason.
void WriteFileSafely(const QString &fileName, const cFileContents &contents);
void WriteFileSafely(const QString &fileName, const QByteArray &mark, const QByteArray &bytes);

// A rewrite in place that did not end: before a file is rewritten where it
// is, its complete new bytes and this record go to the recovery folder, and
// both are removed once the file holds them.
struct tUnfinishedWrite
{
    QString RecordPath, CopyPath;
    QByteArray Target; // the file being rewritten, as the file system spells it
    quint64 Device = 0, Inode = 0;
    qint64 Size = 0;
    int Fd = -1; // the copy, open and locked while this lives
    tUnfinishedWrite() = default;
    tUnfinishedWrite(const tUnfinishedWrite &) = delete;
    tUnfinishedWrite &operator=(const tUnfinishedWrite &) = delete;
    ~tUnfinishedWrite();
};
// The unfinished writes of instances that no longer run.
std::vector<std::unique_ptr<tUnfinishedWrite>> FindUnfinishedWrites();
// Rewrites the target, in place, with the copy, then removes copy and record.
// Throws EFCreateError when the target is gone or is another file now.
void CompleteUnfinishedWrite(tUnfinishedWrite &write);
// Removes the copy and its record.
void DiscardUnfinishedWrite(tUnfinishedWrite &write);
// For tests: called once a rewrite in place has put the new bytes at the
// start of the file, before it is cut to their size.
extern void (*InPlaceRewriteHook)();
