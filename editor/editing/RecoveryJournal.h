// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal at run time: each modified document's record written on a
// timer by one writing thread, the folder, and the records other instances
// left behind. What a record holds and how it is read is JournalRecord's.
#include "editor/editing/JournalRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

class cEditor;

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
