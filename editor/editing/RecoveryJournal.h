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
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

class cEditor;

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

// Rebuilds the document a readable record describes. Once its text is
// rebuilt, Open gives a new empty document, which takes the text, file name,
// coding and caret, modified: saved, it writes what the lost one would have.
// False with Reason, and nothing opened, when the text cannot be rebuilt.
bool RecoverDocument(const QByteArray &bytes, const tJournalRecord &record,
                     const std::function<cEditor &()> &open, QString &reason);

// One record's file, shared by the document and the writing thread.
struct tJournalFile;

// The record of one document: fed by its buffer, written on a single-shot
// timer shortly after a change, in a thread of its own.
class cRecoveryJournal : public QObject, public ITextBufferListener
{
    Q_OBJECT
public:
    explicit cRecoveryJournal(cEditor &document);
    ~cRecoveryJournal() override;

    void TextChanged(const tTextChange &change, QStringView removed,
                     const std::vector<tLineBreak> &removedBreaks) override;
    void TextReset() override;
    [[nodiscard]] bool WantsRemoved() const noexcept override { return false; }

    // The document's file was just loaded or written: its text is the base.
    void FileIsBase();
    // Writes what is pending now (the writing thread does it in order).
    void Flush();
    // The next write replaces the log with a snapshot of the text.
    void Compact();
    // Drops the record; the next change starts a new one.
    void Discard();
    // Continues a recovered record (its file open and locked, its entries
    // valid up to ValidSize) whose text the document has just taken.
    void Continue(int fd, const QString &path, const tJournalRecord &record);
    [[nodiscard]] QString RecordPath() const;

private:
    void ModifiedChanged(bool modified);
    void Arm();
    [[nodiscard]] tJournalMeta Meta() const;
    // Whether the base file's hash is known; false while it is being read.
    [[nodiscard]] bool BaseReady(bool wait);
    void Write(bool waitForBase);
    friend class cRecoveryJournals;
    void AppendPendingChange();

    cEditor &FDocument;
    std::shared_ptr<tJournalFile> FFile;
    bool FStarted = false;      // the record file exists
    bool FNeedsSnapshot = true; // no usable base: the next write is a snapshot
    bool FBaseIsFile = false;   // FBase describes the document's file
    bool FRecordOnFile = false; // the record on disk is a log against that file
    bool FCompactDue = false;
    tJournalBase FBase;
    std::future<std::optional<tJournalBase>> FHashing;
    QByteArray FPending;  // change entries not yet handed to the writer
    qint64 FLogBytes = 0; // change entries in the record since its base
    // The change being typed, kept open so that a run of keys is one entry.
    int FRunStart = -1;
    QString FRunText;
    std::vector<tLineBreak> FRunBreaks;
    int FRunRemoved = 0;
    QTimer FTimer;
};

// The folder and every record of this process.
class cRecoveryJournals
{
public:
    // $XDG_STATE_HOME/Varnholt/Zelmar/recovery, or ~/.local/state/... .
    static QString Folder();
    // Gives a new document its record; called as it is created.
    static void Attach(cEditor &document);
    static cRecoveryJournal *JournalOf(const cEditor &document);
    // Writes every pending change and waits until all are on disk.
    static void FlushAll();
    // The same, and the records stay behind when the program ends from here on.
    static void FlushAllAndKeep();
    // Drops every record of this process (the user answered every question).
    static void DiscardAll();
    // Stops journaling and removes the folder with every record that no other
    // running instance holds.
    static void RemoveFolder();
    // Waits until the writing thread has done everything handed to it.
    static void WaitForWriter();
    [[nodiscard]] static bool KeepingRecords();

    // A record left behind by an instance that no longer runs; its file
    // stays open and locked while this object lives, or until handed on.
    struct tOrphan
    {
        QString Path;
        int Fd = -1;
        QByteArray Bytes;
        tJournalRecord Record;
        qint64 FileSize = 0;
        QDateTime Changed;
        bool BaseChanged = false; // the log's base file is not what it was
        QString Problem;          // why it cannot be recovered; empty when it can
        ~tOrphan();
        tOrphan() = default;
        tOrphan(const tOrphan &) = delete;
        tOrphan &operator=(const tOrphan &) = delete;
    };
    // Records in the folder that no running instance holds, oldest first.
    static std::vector<std::unique_ptr<tOrphan>> FindOrphans();
    // Deletes the orphan's record.
    static void DeleteOrphan(tOrphan &orphan);
};
