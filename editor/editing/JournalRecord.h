// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Recovery records: every modified document keeps, in the user's state
// folder, what is needed to rebuild it after the program was killed. A record
// is an append-only log of the buffer's changes against a base (the file as
// loaded, known by its identity and a hash, or a snapshot of the text), each
// entry framed with its length and checksum so that a torn last entry is
// seen and ignored.
#include "editor/editing/FileEncodings.h"
#include "editor/editing/TypedConstants.h"
#include "editor/textengine/TextBuffer.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// A fast 64-bit hash of bytes (not cryptographic): it tells a file from one
// that was changed, and a whole journal entry from a torn one.
[[nodiscard]] std::uint64_t Hash64(const char *data, qsizetype size, std::uint64_t seed = 0) noexcept;

// What a document is besides its text.
struct tJournalMeta
{
    QByteArray FileName; // as the file system spells it; empty for an untitled document
    tTextEncoding Encoding = teUTF8;
    QByteArray OddByte;
    bool ReadOnly = false;
    int Anchor = 0, Caret = 0;
    qint64 ChangedAt = 0; // ms since the epoch, the last change written
    // A coding the user chose; a record written before these were kept has
    // neither, which reads as the coding found from the file's first bytes.
    QByteArray CodePage; // teAnsi in this code page; empty: the locale's
    bool Markless = false;

    [[nodiscard]] tFileCoding Coding() const { return {Encoding, CodePage, !Markless}; }
};

// The file a log applies to: the text as decoded from it when loaded.
struct tJournalBase
{
    std::uint64_t Size = 0;
    std::int64_t MtimeNs = 0;
    std::uint64_t Inode = 0, Device = 0;
    std::uint64_t Hash = 0;
    tTextEncoding Encoding = teUTF8;
    std::uint32_t Units = 0, Marks = 0;
    // How the file was read when it was not by its first bytes.
    QByteArray CodePage;
    bool Markless = false;

    bool SameFile(const tJournalBase &other) const noexcept
    {
        return Size == other.Size && MtimeNs == other.MtimeNs && Inode == other.Inode &&
               Device == other.Device;
    }
};

// Size, time and node of a file; nullopt when it cannot be read.
[[nodiscard]] std::optional<tJournalBase> IdentifyFile(const QByteArray &fileName);
// Its identity and the hash of its bytes, read in one pass; nullopt when the
// file cannot be read or changed while it was read.
[[nodiscard]] std::optional<tJournalBase> HashFile(const QByteArray &fileName);

// Building records.
namespace journal {
QByteArray Header();
void AppendMeta(QByteArray &out, const tJournalMeta &meta);
void AppendBase(QByteArray &out, const tJournalBase &base);
void AppendSnapshot(QByteArray &out, const cTextBuffer &text);
// Length units at Position gave way to Text (marks as CR) whose marks have
// Breaks.
void AppendChange(QByteArray &out, int position, int length, QStringView text,
                  const std::vector<tLineBreak> &breaks);
} // namespace journal

// A record as read back: everything up to the first entry that is torn or
// damaged, which ends it.
struct tJournalRecord
{
    std::optional<tJournalMeta> Meta;
    std::optional<tJournalBase> Base; // the log applies to this file
    bool HasSnapshot = false;         // ... or to the last snapshot
    qsizetype ValidSize = 0;          // bytes up to the end of the last whole entry
    qsizetype ChangeCount = 0;
    QString Problem; // why the record cannot be read; empty when it can
};

// Reads a record's entries; the result holds no reference to Bytes.
[[nodiscard]] tJournalRecord ReadJournal(const QByteArray &bytes);

// Loads the base file of a record into Text; false (with Reason) when it is
// not the file the record was written against.
using tBaseLoader = std::function<bool(const tJournalBase &base, cTextBuffer &text, QString &reason)>;
// The base's file, checked against its identity and hash, decoded.
bool LoadJournalBase(const QByteArray &fileName, const tJournalBase &base, cTextBuffer &text,
                     QString &reason);

// Rebuilds the text a record describes into Text. A log is applied only to
// the text it was written against; false with Reason otherwise.
bool RebuildJournalText(const QByteArray &bytes, cTextBuffer &text, const tBaseLoader &loadBase,
                        QString &reason);
