// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/RecoveryJournal.h"

#include "editor/editing/Editors.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/platform/Application.h"
#include "editor/platform/FileDescriptor.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Files

namespace {

bool WriteAll(int fd, const char *data, qsizetype size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, std::size_t(std::min<qsizetype>(size, 1 << 30)), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool ReadAll(int fd, QByteArray &bytes)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    bytes.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, std::size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return true;
}

// Locks the file open as Fd for this process alone. A lock is held on a
// file, a name is removed: the lock counts only while Path still names the
// file locked, which a record rewritten meanwhile under its name does not.
bool LockNamed(int fd, const QByteArray &path, bool wait)
{
    struct stat locked, named;
    return ::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &locked) == 0 &&
           ::stat(path.constData(), &named) == 0 && locked.st_dev == named.st_dev &&
           locked.st_ino == named.st_ino;
}

} // namespace

bool RecoverDocument(const QByteArray &bytes, const tJournalRecord &record,
                     const std::function<cEditor &()> &open, QString &reason)
{
    const tJournalMeta &meta = *record.Meta;
    cTextBuffer text;
    const auto loadBase = [&meta](const tJournalBase &base, cTextBuffer &into, QString &why) {
        return LoadJournalBase(meta.FileName, base, into, why);
    };
    if (!RebuildJournalText(bytes, text, loadBase, reason))
        return false;
    cEditor &document = open();
    {
        const cUpdateBracket noRedraw(document.WLines());
        document.LoadText([&text](cTextBuffer &buffer) { buffer.Adopt(text); });
    }
    document.AdoptRecovered(QFile::decodeName(meta.FileName), meta.Coding(), meta.OddByte);
    const int length = document.GetTextLen();
    document.SetSel(std::clamp(meta.Anchor, 0, length), std::clamp(meta.Caret, 0, length));
    return true;
}

// ---------------------------------------------------------------------------
// The writing thread: every file operation of every record, in the order
// they were handed over, so the user's typing never waits for the disk.

struct tJournalFile
{
    QByteArray Path; // the record's name, chosen when it is first written
    int Fd = -1;     // open and locked while the record belongs to this process
    qint64 Size = 0;
    std::atomic<bool> Failed = false; // the record on disk is not whole: write it anew

    void SetReason(const QString &reason)
    {
        const std::lock_guard lock(FLock);
        FReason = reason;
    }
    QString Reason()
    {
        const std::lock_guard lock(FLock);
        return FReason;
    }

private:
    std::mutex FLock;
    QString FReason; // why the last write failed
};

namespace {

void Report(tJournalFile &file, const char *what)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    file.SetReason(reason);
    std::fprintf(stderr, "quorvel: cannot %s the recovery record %s: %s\n", what, file.Path.constData(),
                 qPrintable(reason));
}

// Once per run: a record that cannot be written leaves the user's typing
// unprotected, which the user must know.
void TellUser(const QString &name, const QString &reason)
{
    static bool told = false;
    if (std::exchange(told, true))
        return;
    QMetaObject::invokeMethod(
        qApp,
        [name, reason] {
            MessageBox(ApplicationMainWindow(),
                       QStringLiteral("Cannot keep the recovery record \"%1\". %2\r\rWhat you type is not "
                                      "protected against a crash until it is saved.")
                           .arg(name, reason.endsWith(u'.') ? reason : reason + u'.'),
                       LoadResString(res::ProductName), MB_OK | MB_ICONWARNING);
        },
        Qt::QueuedConnection);
}

void SyncFolderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const cFileDescriptor dir(
        ::open(path.left(std::max<qsizetype>(slash, 1)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

// A whole new record in place of the old, or none: written beside it and
// renamed over it once on disk.
void WriteRecord(tJournalFile &file, const QByteArray &bytes)
{
    const QByteArray temporary = file.Path + ".new";
    // Another instance may take the new file, not yet locked, for a rewrite
    // left unfinished and remove it: then it is made again.
    int made = -1;
    for (int attempt = 0; attempt < 3 && made < 0; ++attempt) {
        cFileDescriptor candidate(
            ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (candidate.Get() < 0)
            break;
        if (LockNamed(candidate.Get(), temporary, true))
            made = candidate.Release();
    }
    cFileDescriptor fd(made);
    if (fd.Get() < 0 || !WriteAll(fd.Get(), bytes.constData(), bytes.size(), 0) ||
        ::fdatasync(fd.Get()) != 0 || ::rename(temporary.constData(), file.Path.constData()) != 0) {
        Report(file, "write");
        ::unlink(temporary.constData());
        file.Failed = true;
        return;
    }
    SyncFolderOf(file.Path);
    if (file.Fd >= 0)
        ::close(file.Fd);
    file.Fd = fd.Release();
    file.Size = bytes.size();
    file.Failed = false;
}

void AppendRecord(tJournalFile &file, const QByteArray &bytes)
{
    if (file.Fd < 0 || file.Failed) {
        file.Failed = true;
        return;
    }
    if (!WriteAll(file.Fd, bytes.constData(), bytes.size(), file.Size) || ::fdatasync(file.Fd) != 0) {
        Report(file, "append to");
        // A torn entry would end the record there: everything after it is lost.
        if (::ftruncate(file.Fd, file.Size) != 0)
            Report(file, "truncate");
        file.Failed = true;
        return;
    }
    file.Size += bytes.size();
}

void RemoveRecord(tJournalFile &file, bool keep)
{
    if (file.Fd < 0)
        return;
    if (!keep)
        ::unlink(file.Path.constData());
    ::close(file.Fd);
    file.Fd = -1;
    file.Size = 0;
}

class cJournalWriter
{
public:
    cJournalWriter() : FThread([this] { Run(); }) {}
    ~cJournalWriter()
    {
        {
            const std::lock_guard lock(FMutex);
            FStop = true;
        }
        FWake.notify_all();
        FThread.join();
    }
    void Post(std::function<void()> job)
    {
        {
            const std::lock_guard lock(FMutex);
            FJobs.push_back(std::move(job));
        }
        FWake.notify_all();
    }
    void Wait()
    {
        std::unique_lock lock(FMutex);
        FIdle.wait(lock, [this] { return FJobs.empty() && !FBusy; });
    }

private:
    void Run()
    {
        std::unique_lock lock(FMutex);
        for (;;) {
            FWake.wait(lock, [this] { return FStop || !FJobs.empty(); });
            if (FJobs.empty())
                return;
            std::function<void()> job = std::move(FJobs.front());
            FJobs.pop_front();
            FBusy = true;
            lock.unlock();
            job();
            lock.lock();
            FBusy = false;
            if (FJobs.empty())
                FIdle.notify_all();
        }
    }

    std::mutex FMutex;
    std::condition_variable FWake, FIdle;
    std::deque<std::function<void()>> FJobs;
    bool FBusy = false, FStop = false;
    std::thread FThread;
};

cJournalWriter &Writer()
{
    static cJournalWriter writer;
    return writer;
}

std::vector<cRecoveryJournal *> &Journals()
{
    static std::vector<cRecoveryJournal *> journals;
    return journals;
}

bool TheKeeping = false;  // records outlive the program (ended by a signal)
bool TheDisabled = false; // the folder was removed: nothing is written any more
constexpr int WriteDelayMs = 500;
constexpr int SnapshotOnlyBelow = 4 << 20; // units

bool EnsureFolder(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    // Only the user may read what was typed.
    return ::chmod(QFile::encodeName(folder).constData(), 0700) == 0;
}

QByteArray NewRecordPath()
{
    static int counter = 0;
    const QString name =
        QStringLiteral("%1-%2-%3.journal")
            .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz")))
            .arg(::getpid())
            .arg(++counter);
    return QFile::encodeName(cRecoveryJournals::Folder() + u'/' + name);
}

} // namespace

// ---------------------------------------------------------------------------
// One document's record

cRecoveryJournal::cRecoveryJournal(cEditor &document)
    : QObject(&document), FDocument(document), FFile(std::make_shared<tJournalFile>())
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &cRecoveryJournal::Flush);
    connect(&document, &cEditor::ModifiedChanged, this, &cRecoveryJournal::ModifiedChanged);
    document.buffer().AddListener(this);
    Journals().push_back(this);
}

// The buffer is gone by now (the view owned it): only the file is touched.
cRecoveryJournal::~cRecoveryJournal()
{
    std::erase(Journals(), this);
    if (FStarted)
        Writer().Post([file = FFile, keep = TheKeeping] { RemoveRecord(*file, keep); });
}

QString cRecoveryJournal::RecordPath() const
{
    return FStarted ? QFile::decodeName(FFile->Path) : QString();
}

void cRecoveryJournal::TextChanged(const tTextChange &change, QStringView, const std::vector<tLineBreak> &)
{
    if (TheDisabled)
        return;
    Arm();
    if (FNeedsSnapshot)
        return;
    const cTextBuffer &text = FDocument.buffer();
    // A change as large as the text is cheaper to write as the text.
    if (change.InsertedLength > 4096 && change.InsertedLength > text.Length() / 2) {
        FNeedsSnapshot = true;
        FRunStart = -1;
        FPending.clear();
        return;
    }
    const int runEnd = FRunStart + int(FRunText.size());
    if (FRunStart >= 0 && change.RemovedLength == 0 && change.Position == runEnd) {
        // Typing on: the run grows.
    } else if (FRunStart >= 0 && change.InsertedLength == 0 && change.RemovedLength == 1 &&
               change.Position == runEnd - 1 && !FRunText.isEmpty() && change.LinesRemoved == 0) {
        FRunText.chop(1); // a typo taken back
        return;
    } else {
        AppendPendingChange();
        FRunStart = change.Position;
        FRunRemoved = change.RemovedLength;
    }
    if (change.InsertedLength > 0) {
        FRunText += text.Text(change.Position, change.Position + change.InsertedLength);
        for (int i = 0; i < change.LinesInserted; ++i)
            FRunBreaks.push_back(text.LineBreak(change.FirstLine + i));
    }
}

void cRecoveryJournal::AppendPendingChange()
{
    if (FRunStart < 0)
        return;
    if (FRunRemoved > 0 || !FRunText.isEmpty())
        journal::AppendChange(FPending, FRunStart, FRunRemoved, FRunText, FRunBreaks);
    FRunStart = -1;
    FRunRemoved = 0;
    FRunText.clear();
    FRunBreaks.clear();
}

void cRecoveryJournal::TextReset()
{
    FNeedsSnapshot = true;
    FBaseIsFile = false;
    FRunStart = -1;
    FRunText.clear();
    FRunBreaks.clear();
    FPending.clear();
    if (FDocument.Modified())
        Arm();
}

void cRecoveryJournal::Arm()
{
    if (!FTimer.isActive() && !TheDisabled)
        FTimer.start(WriteDelayMs);
}

void cRecoveryJournal::FileIsBase()
{
    Discard();
    const QByteArray name = QFile::encodeName(FDocument.FileName());
    const std::optional<tJournalBase> identity = IdentifyFile(name);
    FBaseIsFile = identity.has_value();
    FNeedsSnapshot = !FBaseIsFile;
    if (!identity)
        return;
    FBase = *identity;
    const tFileCoding coding = FDocument.Coding();
    FBase.Encoding = coding.Encoding;
    FBase.CodePage = coding.CodePage;
    FBase.Markless = coding.Encoding != teAnsi && !coding.Mark;
    FBase.Units = std::uint32_t(FDocument.buffer().Length());
    FBase.Marks = std::uint32_t(FDocument.buffer().LineCount() - 1);
    FHashing = {};
}

void cRecoveryJournal::ModifiedChanged(bool modified)
{
    if (modified) {
        // The file is read once, and only for a document that is edited.
        if (FBaseIsFile && !FHashing.valid() && FBase.Hash == 0)
            FHashing = std::async(std::launch::async, HashFile, QFile::encodeName(FDocument.FileName()));
        Arm();
        return;
    }
    Discard();
    FBaseIsFile = false;
    // Saved: the file is the new base once the save has named it (a load
    // names its base itself). A saved file need not read back as the same
    // text (a code page without a character, a CR line before an empty LF
    // line), so a text small enough for a snapshot is not trusted to it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!FBaseIsFile && !FDocument.Modified() && !FDocument.FileName().isEmpty() &&
                FDocument.Encoding() != teAnsi && FDocument.buffer().Length() >= SnapshotOnlyBelow)
                FileIsBase();
        },
        Qt::QueuedConnection);
}

bool cRecoveryJournal::BaseReady(bool wait)
{
    if (FBase.Hash != 0)
        return true;
    if (!FHashing.valid())
        FHashing = std::async(std::launch::async, HashFile, QFile::encodeName(FDocument.FileName()));
    if (!wait && FHashing.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    const std::optional<tJournalBase> hashed = FHashing.get();
    if (hashed && hashed->SameFile(FBase))
        FBase.Hash = hashed->Hash | 1; // never 0, which means not yet hashed
    else
        FNeedsSnapshot = true;
    return true;
}

tJournalMeta cRecoveryJournal::Meta() const
{
    tJournalMeta meta;
    meta.FileName = QFile::encodeName(FDocument.FileName());
    meta.Encoding = FDocument.Encoding();
    meta.OddByte = FDocument.OddByte();
    meta.ReadOnly = FDocument.isReadOnly();
    const tFileCoding coding = FDocument.Coding();
    meta.CodePage = coding.CodePage;
    meta.Markless = coding.Encoding != teAnsi && !coding.Mark;
    FDocument.GetSel(meta.Anchor, meta.Caret);
    meta.ChangedAt = QDateTime::currentMSecsSinceEpoch();
    return meta;
}

void cRecoveryJournal::Flush()
{
    Write(false);
}

void cRecoveryJournal::Write(bool waitForBase)
{
    FTimer.stop();
    if (TheDisabled || !FDocument.Modified())
        return;
    if (FFile->Failed)
        TellUser(QFile::decodeName(FFile->Path), FFile->Reason());
    AppendPendingChange();
    const cTextBuffer &text = FDocument.buffer();
    bool rewrite = !FStarted || FNeedsSnapshot || FFile->Failed || FCompactDue ||
                   FLogBytes > std::max<qint64>(qint64(text.Length()) * 2, 64 << 10);
    // A log is worth nothing once its file has changed under it.
    if (FStarted && FRecordOnFile && !rewrite) {
        const std::optional<tJournalBase> now = IdentifyFile(QFile::encodeName(FDocument.FileName()));
        rewrite = !now || !now->SameFile(FBase);
    }
    if (!rewrite) {
        journal::AppendMeta(FPending, Meta());
        FLogBytes += FPending.size();
        Writer().Post([file = FFile, bytes = std::move(FPending)] { AppendRecord(*file, bytes); });
        FPending.clear();
        return;
    }
    const bool onFile = !FStarted && !FNeedsSnapshot && FBaseIsFile;
    if (onFile && !BaseReady(waitForBase)) {
        FTimer.start(100); // the file is still being read for its hash
        return;
    }
    QByteArray bytes = journal::Header();
    journal::AppendMeta(bytes, Meta());
    if (onFile && !FNeedsSnapshot) {
        journal::AppendBase(bytes, FBase);
        bytes += FPending;
        FLogBytes = FPending.size();
        FRecordOnFile = true;
    } else {
        journal::AppendSnapshot(bytes, text);
        FLogBytes = 0;
        FRecordOnFile = false;
    }
    FPending.clear();
    FNeedsSnapshot = false;
    FCompactDue = false;
    if (!EnsureFolder(cRecoveryJournals::Folder())) {
        TellUser(cRecoveryJournals::Folder(), QString::fromLocal8Bit(std::strerror(errno)));
        FNeedsSnapshot = true;
        return;
    }
    if (!FStarted)
        FFile->Path = NewRecordPath();
    FStarted = true;
    Writer().Post([file = FFile, bytes = std::move(bytes)] { WriteRecord(*file, bytes); });
}

void cRecoveryJournal::Compact()
{
    FCompactDue = true;
    Arm();
}

void cRecoveryJournal::Discard()
{
    FTimer.stop();
    if (FStarted)
        Writer().Post([file = FFile] { RemoveRecord(*file, false); });
    FFile = std::make_shared<tJournalFile>();
    FStarted = false;
    FRecordOnFile = false;
    FNeedsSnapshot = true;
    FLogBytes = 0;
    FPending.clear();
    FRunStart = -1;
    FRunText.clear();
    FRunBreaks.clear();
}

void cRecoveryJournal::Continue(int fd, const QString &path, const tJournalRecord &record)
{
    Discard();
    FFile->Path = QFile::encodeName(path);
    FFile->Fd = fd;
    FFile->Size = record.ValidSize;
    // A torn last entry would end every entry after it.
    Writer().Post([file = FFile] {
        if (::ftruncate(file->Fd, file->Size) != 0)
            file->Failed = true;
    });
    FStarted = true;
    FNeedsSnapshot = false;
    FRecordOnFile = record.Base.has_value();
    if (record.Base)
        FBase = *record.Base;
    FLogBytes = record.ValidSize;
    Arm();
}

// ---------------------------------------------------------------------------
// Every record of this process

QString cRecoveryJournals::Folder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Varnholt/Zelmar/recovery");
}

void cRecoveryJournals::Attach(cEditor &document)
{
    new cRecoveryJournal(document);
}

cRecoveryJournal *cRecoveryJournals::JournalOf(const cEditor &document)
{
    return document.findChild<cRecoveryJournal *>(QString(), Qt::FindDirectChildrenOnly);
}

void cRecoveryJournals::FlushAllAndKeep()
{
    TheKeeping = true;
    FlushAll();
}

void cRecoveryJournals::FlushAll()
{
    for (cRecoveryJournal *journal : Journals())
        journal->Write(true);
    WaitForWriter();
}

void cRecoveryJournals::DiscardAll()
{
    for (cRecoveryJournal *journal : Journals())
        journal->Discard();
    WaitForWriter();
}

void cRecoveryJournals::WaitForWriter()
{
    Writer().Wait();
}

bool cRecoveryJournals::KeepingRecords()
{
    return TheKeeping;
}

void cRecoveryJournals::RemoveFolder()
{
    DiscardAll();
    TheDisabled = true;
    const QString folder = Folder();
    const QDir dir(folder);
    bool empty = true;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        // The record of a save in place going on now is held through the lock
        // on its copy.
        const QByteArray held =
            name.startsWith(QStringLiteral("write-")) && name.endsWith(QStringLiteral(".record"))
                ? path.chopped(int(qstrlen(".record"))) + ".text"
                : path;
        const cFileDescriptor fd(::open(held.constData(), O_RDONLY | O_CLOEXEC));
        // Another running instance's record is its user's unsaved work.
        if (fd.Get() >= 0 && !LockNamed(fd.Get(), held, false)) {
            empty = false;
            continue;
        }
        ::unlink(path.constData());
    }
    if (!empty)
        return;
    QDir parent(folder);
    parent.rmdir(folder);
    // The product's and the maker's folders go when nothing else is in them.
    for (int i = 0; i < 2 && parent.cdUp(); ++i)
        if (!parent.rmdir(parent.absolutePath()))
            break;
}

cRecoveryJournals::tOrphan::~tOrphan()
{
    if (Fd >= 0)
        ::close(Fd);
}

std::vector<std::unique_ptr<cRecoveryJournals::tOrphan>> cRecoveryJournals::FindOrphans()
{
    std::vector<std::unique_ptr<tOrphan>> orphans;
    const QDir dir(Folder());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        cFileDescriptor fd(::open(path.constData(), O_RDWR | O_CLOEXEC));
        if (fd.Get() < 0 || !LockNamed(fd.Get(), path, false))
            continue; // held by a running instance
        if (name.endsWith(QStringLiteral(".journal.new"))) {
            ::unlink(path.constData()); // a rewrite that never finished; the record is whole
            continue;
        }
        if (!name.endsWith(QStringLiteral(".journal")))
            continue;
        auto orphan = std::make_unique<tOrphan>();
        orphan->Path = dir.filePath(name);
        if (!ReadAll(fd.Get(), orphan->Bytes)) {
            orphan->Problem = QString::fromLocal8Bit(std::strerror(errno));
        } else {
            orphan->Record = ReadJournal(orphan->Bytes);
            orphan->Problem = orphan->Record.Problem;
        }
        orphan->Fd = fd.Release();
        orphan->FileSize = orphan->Bytes.size();
        const QFileInfo info(orphan->Path);
        orphan->Changed = orphan->Record.Meta && orphan->Record.Meta->ChangedAt > 0
                              ? QDateTime::fromMSecsSinceEpoch(orphan->Record.Meta->ChangedAt)
                              : info.lastModified();
        if (orphan->Problem.isEmpty() && orphan->Record.Base) {
            const std::optional<tJournalBase> now = HashFile(orphan->Record.Meta->FileName);
            orphan->BaseChanged =
                !now || !now->SameFile(*orphan->Record.Base) || (now->Hash | 1) != orphan->Record.Base->Hash;
        }
        orphans.push_back(std::move(orphan));
    }
    return orphans;
}

void cRecoveryJournals::DeleteOrphan(tOrphan &orphan)
{
    ::unlink(QFile::encodeName(orphan.Path).constData());
    if (orphan.Fd >= 0)
        ::close(orphan.Fd);
    orphan.Fd = -1;
}
