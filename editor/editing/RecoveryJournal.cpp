// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/RecoveryJournal.h"

#include "editor/editing/Editors.h"
#include "editor/editing/TextFiles.h"
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
// Hash

namespace {

constexpr std::uint64_t P1 = 0x9E3779B185EBCA87ULL, P2 = 0xC2B2AE3D27D4EB4FULL, P3 = 0x165667B19E3779F9ULL;

inline std::uint64_t Rotl(std::uint64_t x, int r) noexcept
{
    return (x << r) | (x >> (64 - r));
}

inline std::uint64_t Round(std::uint64_t lane, std::uint64_t word) noexcept
{
    return Rotl(lane ^ (word * P2), 31) * P1;
}

inline std::uint64_t Word(const char *p) noexcept
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

} // namespace

// Four independent lanes keep the multiplier busy; the tail and the length
// go through one lane, then everything is mixed down.
std::uint64_t Hash64(const char *data, qsizetype size, std::uint64_t seed) noexcept
{
    std::uint64_t a = seed + P1, b = seed ^ P2, c = seed + P3, d = ~seed;
    qsizetype i = 0;
    for (; i + 32 <= size; i += 32) {
        a = Round(a, Word(data + i));
        b = Round(b, Word(data + i + 8));
        c = Round(c, Word(data + i + 16));
        d = Round(d, Word(data + i + 24));
    }
    std::uint64_t h = Rotl(a, 1) + Rotl(b, 7) + Rotl(c, 12) + Rotl(d, 18);
    for (; i + 8 <= size; i += 8)
        h = Round(h, Word(data + i));
    std::uint64_t last = 0;
    if (size > i)
        std::memcpy(&last, data + i, std::size_t(size - i));
    h = Round(h, last ^ std::uint64_t(size));
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    h *= P3;
    h ^= h >> 32;
    return h;
}

// ---------------------------------------------------------------------------
// Files

namespace {

constexpr qsizetype HashChunk = 1 << 20;

std::optional<tJournalBase> IdentityOf(const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    tJournalBase base;
    base.Size = std::uint64_t(st.st_size);
    base.MtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    base.Inode = st.st_ino;
    base.Device = st.st_dev;
    return base;
}

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

std::optional<tJournalBase> IdentifyFile(const QByteArray &fileName)
{
    struct stat st;
    if (::stat(fileName.constData(), &st) != 0)
        return std::nullopt;
    return IdentityOf(st);
}

std::optional<tJournalBase> HashFile(const QByteArray &fileName)
{
    const cFileDescriptor fd(::open(fileName.constData(), O_RDONLY | O_CLOEXEC));
    struct stat before, after;
    if (fd.Get() < 0 || ::fstat(fd.Get(), &before) != 0)
        return std::nullopt;
    std::optional<tJournalBase> base = IdentityOf(before);
    if (!base)
        return std::nullopt;
    std::vector<char> chunk(HashChunk);
    std::uint64_t hash = 0;
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        hash = Hash64(chunk.data(), n, hash);
    }
    if (::fstat(fd.Get(), &after) != 0 || !IdentityOf(after) || !base->SameFile(*IdentityOf(after)))
        return std::nullopt;
    base->Hash = hash;
    return base;
}

// ---------------------------------------------------------------------------
// Entries: [u64 length][u8 type][body][u32 check of type and body]

namespace {

const QByteArray Magic("QVJRNL1\n", 8);
constexpr qsizetype FrameOverhead = 8 + 1 + 4;

enum tEntry : char
{
    eMeta = 'M',
    eBase = 'B',
    eSnapshot = 'S',
    eChange = 'C',
};

template <typename T> void Put(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T)); // the machine's order: records never leave it
    out.append(bytes, sizeof(T));
}

void PutBytes(QByteArray &out, const QByteArray &bytes)
{
    Put<std::uint32_t>(out, std::uint32_t(bytes.size()));
    out.append(bytes);
}

// Starts an entry; Finish fills its length and check.
qsizetype Begin(QByteArray &out, tEntry type)
{
    const qsizetype start = out.size();
    Put<std::uint64_t>(out, 0);
    out.append(char(type));
    return start;
}

void Finish(QByteArray &out, qsizetype start)
{
    const std::uint64_t length = std::uint64_t(out.size() - start - 9);
    std::memcpy(out.data() + start, &length, 8);
    Put<std::uint32_t>(out, std::uint32_t(Hash64(out.constData() + start + 8, qsizetype(length) + 1)));
}

void PutUnits(QByteArray &out, QStringView text)
{
    Put<std::uint32_t>(out, std::uint32_t(text.size()));
    out.append(reinterpret_cast<const char *>(text.data()), text.size() * 2);
}

void PutBreaks(QByteArray &out, const std::vector<tLineBreak> &breaks)
{
    Put<std::uint32_t>(out, std::uint32_t(breaks.size()));
    out.append(reinterpret_cast<const char *>(breaks.data()), qsizetype(breaks.size()));
}

// Reads the fields of one entry's body; any read past its end fails it.
class cReader
{
public:
    explicit cReader(QByteArrayView body) : FBody(body) {}
    template <typename T> T Get()
    {
        T value{};
        if (Need(sizeof(T))) {
            std::memcpy(&value, FBody.data() + FPos, sizeof(T));
            FPos += sizeof(T);
        }
        return value;
    }
    QByteArray Bytes()
    {
        const auto size = Get<std::uint32_t>();
        if (!Need(size))
            return {};
        QByteArray result(FBody.data() + FPos, size);
        FPos += size;
        return result;
    }
    QStringView Units()
    {
        const auto size = qsizetype(Get<std::uint32_t>());
        if (!Need(size * 2))
            return {};
        // Entries are read from a copy of the file, whose data is suitably aligned
        // only by chance; QStringView needs no more than char16_t's alignment,
        // which the entry layout does not promise: copy when misaligned.
        const char *p = FBody.data() + FPos;
        FPos += size * 2;
        if (reinterpret_cast<std::uintptr_t>(p) % alignof(char16_t) == 0)
            return QStringView(reinterpret_cast<const char16_t *>(p), size);
        FCopy = QString(size, Qt::Uninitialized);
        std::memcpy(FCopy.data(), p, std::size_t(size) * 2);
        return FCopy;
    }
    std::vector<tLineBreak> Breaks()
    {
        const auto size = Get<std::uint32_t>();
        std::vector<tLineBreak> breaks;
        if (!Need(size))
            return breaks;
        breaks.resize(size);
        std::memcpy(breaks.data(), FBody.data() + FPos, size);
        FPos += size;
        for (tLineBreak b : breaks)
            if (b == tLineBreak::None || std::uint8_t(b) > std::uint8_t(tLineBreak::CRLF))
                FFailed = true;
        return breaks;
    }
    bool Ok() const noexcept { return !FFailed && FPos == FBody.size(); }
    // Fields added later are missing from older records.
    bool AtEnd() const noexcept { return FPos == FBody.size(); }

private:
    bool Need(qsizetype size)
    {
        if (size < 0 || FBody.size() - FPos < size) {
            FFailed = true;
            return false;
        }
        return true;
    }

    QByteArrayView FBody;
    qsizetype FPos = 0;
    bool FFailed = false;
    QString FCopy;
};

// Calls Visit for each whole entry in order, stopping at the first torn or
// damaged one; returns the bytes up to the end of the last whole entry, or
// -1 when the bytes are no record at all.
qsizetype ForEachEntry(const QByteArray &bytes,
                       const std::function<bool(tEntry, QByteArrayView, qsizetype)> &visit)
{
    if (!bytes.startsWith(Magic))
        return -1;
    qsizetype pos = Magic.size();
    while (bytes.size() - pos >= FrameOverhead) {
        std::uint64_t length;
        std::memcpy(&length, bytes.constData() + pos, 8);
        if (length > std::uint64_t(bytes.size() - pos - FrameOverhead))
            break;
        const qsizetype body = pos + 9;
        std::uint32_t check;
        std::memcpy(&check, bytes.constData() + body + qsizetype(length), 4);
        if (check != std::uint32_t(Hash64(bytes.constData() + pos + 8, qsizetype(length) + 1)))
            break;
        const auto type = tEntry(bytes[pos + 8]);
        if (!visit(type, QByteArrayView(bytes.constData() + body, qsizetype(length)), pos))
            break;
        pos = body + qsizetype(length) + 4;
    }
    return pos;
}

std::optional<tJournalMeta> ReadMeta(QByteArrayView body)
{
    cReader in(body);
    tJournalMeta meta;
    meta.FileName = in.Bytes();
    meta.Encoding = tTextEncoding(in.Get<std::uint8_t>());
    meta.OddByte = in.Bytes();
    meta.ReadOnly = in.Get<std::uint8_t>() != 0;
    meta.Anchor = in.Get<std::int32_t>();
    meta.Caret = in.Get<std::int32_t>();
    meta.ChangedAt = in.Get<std::int64_t>();
    if (!in.AtEnd()) {
        meta.CodePage = in.Bytes();
        meta.Markless = in.Get<std::uint8_t>() != 0;
    }
    if (!in.Ok() || meta.Encoding >= TextEncodingCount)
        return std::nullopt;
    return meta;
}

std::optional<tJournalBase> ReadBase(QByteArrayView body)
{
    cReader in(body);
    tJournalBase base;
    base.Size = in.Get<std::uint64_t>();
    base.MtimeNs = in.Get<std::int64_t>();
    base.Inode = in.Get<std::uint64_t>();
    base.Device = in.Get<std::uint64_t>();
    base.Hash = in.Get<std::uint64_t>();
    base.Encoding = tTextEncoding(in.Get<std::uint8_t>());
    base.Units = in.Get<std::uint32_t>();
    base.Marks = in.Get<std::uint32_t>();
    if (!in.AtEnd()) {
        base.CodePage = in.Bytes();
        base.Markless = in.Get<std::uint8_t>() != 0;
    }
    if (!in.Ok() || base.Encoding >= TextEncodingCount)
        return std::nullopt;
    return base;
}

int CountMarks(QStringView text)
{
    return int(std::count(text.begin(), text.end(), cTextBuffer::Mark));
}

} // namespace

namespace journal {

QByteArray Header()
{
    return Magic;
}

void AppendMeta(QByteArray &out, const tJournalMeta &meta)
{
    const qsizetype start = Begin(out, eMeta);
    PutBytes(out, meta.FileName);
    Put<std::uint8_t>(out, meta.Encoding);
    PutBytes(out, meta.OddByte);
    Put<std::uint8_t>(out, meta.ReadOnly ? 1 : 0);
    Put<std::int32_t>(out, meta.Anchor);
    Put<std::int32_t>(out, meta.Caret);
    Put<std::int64_t>(out, meta.ChangedAt);
    PutBytes(out, meta.CodePage);
    Put<std::uint8_t>(out, meta.Markless ? 1 : 0);
    Finish(out, start);
}

void AppendBase(QByteArray &out, const tJournalBase &base)
{
    const qsizetype start = Begin(out, eBase);
    Put(out, base.Size);
    Put(out, base.MtimeNs);
    Put(out, base.Inode);
    Put(out, base.Device);
    Put(out, base.Hash);
    Put<std::uint8_t>(out, base.Encoding);
    Put(out, base.Units);
    Put(out, base.Marks);
    PutBytes(out, base.CodePage);
    Put<std::uint8_t>(out, base.Markless ? 1 : 0);
    Finish(out, start);
}

void AppendSnapshot(QByteArray &out, const cTextBuffer &text)
{
    const std::vector<tLineBreak> breaks = text.Breaks();
    out.reserve(out.size() + qsizetype(text.Length()) * 2 + qsizetype(breaks.size()) + 32);
    const qsizetype start = Begin(out, eSnapshot);
    Put<std::uint32_t>(out, std::uint32_t(text.Length()));
    // In pieces: the text is never held twice over.
    constexpr int piece = 1 << 20;
    for (int at = 0; at < text.Length(); at += piece) {
        const QString units = text.Text(at, std::min(at + piece, text.Length()));
        out.append(reinterpret_cast<const char *>(units.data()), units.size() * 2);
    }
    PutBreaks(out, breaks);
    Finish(out, start);
}

void AppendChange(QByteArray &out, int position, int length, QStringView text,
                  const std::vector<tLineBreak> &breaks)
{
    const qsizetype start = Begin(out, eChange);
    Put<std::uint32_t>(out, std::uint32_t(position));
    Put<std::uint32_t>(out, std::uint32_t(length));
    PutUnits(out, text);
    PutBreaks(out, breaks);
    Finish(out, start);
}

} // namespace journal

tJournalRecord ReadJournal(const QByteArray &bytes)
{
    tJournalRecord record;
    bool damaged = false;
    const qsizetype valid = ForEachEntry(bytes, [&](tEntry type, QByteArrayView body, qsizetype) {
        switch (type) {
        case eMeta:
            if (auto meta = ReadMeta(body))
                record.Meta = meta;
            else
                damaged = true;
            break;
        case eBase:
            record.Base = ReadBase(body);
            record.HasSnapshot = false;
            record.ChangeCount = 0;
            damaged = !record.Base;
            break;
        case eSnapshot:
            record.Base.reset();
            record.HasSnapshot = true;
            record.ChangeCount = 0;
            break;
        case eChange:
            ++record.ChangeCount;
            break;
        default:
            damaged = true;
        }
        return !damaged;
    });
    record.ValidSize = std::max<qsizetype>(valid, 0);
    if (valid < 0)
        record.Problem = QStringLiteral("It is not a recovery record.");
    else if (damaged)
        record.Problem = QStringLiteral("The record is damaged.");
    else if (!record.Meta || (!record.Base && !record.HasSnapshot))
        record.Problem = QStringLiteral("The record is incomplete.");
    return record;
}

bool LoadJournalBase(const QByteArray &fileName, const tJournalBase &base, cTextBuffer &text, QString &reason)
{
    const std::optional<tJournalBase> now = HashFile(fileName);
    if (!now || !now->SameFile(base) || (now->Hash | 1) != base.Hash) {
        reason = now ? QStringLiteral("The file changed on disk since.")
                     : QStringLiteral("The file cannot be read.");
        return false;
    }
    try {
        const QString name = QFile::decodeName(fileName);
        bool sameCoding;
        // Read as it was: in the coding the user chose, or by its first bytes.
        if (!base.CodePage.isEmpty() || base.Markless) {
            QByteArray oddByte;
            const tFileCoding coding{base.Encoding, base.CodePage, !base.Markless};
            const tFileCoding found = ReadTextFileAs(name, coding, text, INT_MAX - 1, oddByte);
            sameCoding = base.Encoding == teAnsi || found.Mark == coding.Mark;
        } else {
            sameCoding = ReadTextFileInto(name, text).Encoding == base.Encoding;
        }
        if (!sameCoding || std::uint32_t(text.Length()) != base.Units ||
            std::uint32_t(text.LineCount() - 1) != base.Marks) {
            reason = QStringLiteral("The file reads differently now.");
            return false;
        }
    } catch (const std::exception &error) {
        reason = QString::fromUtf8(error.what());
        return false;
    }
    return true;
}

bool RebuildJournalText(const QByteArray &bytes, cTextBuffer &text, const tBaseLoader &loadBase,
                        QString &reason)
{
    const tJournalRecord record = ReadJournal(bytes);
    if (!record.Problem.isEmpty()) {
        reason = record.Problem;
        return false;
    }
    // Only the entries after the last base or snapshot count.
    qsizetype from = 0;
    ForEachEntry(bytes, [&](tEntry type, QByteArrayView, qsizetype at) {
        if (type == eBase || type == eSnapshot)
            from = at;
        return true;
    });
    bool ok = true;
    ForEachEntry(bytes, [&](tEntry type, QByteArrayView body, qsizetype at) {
        if (at < from)
            return true;
        cReader in(body);
        if (type == eBase) {
            ok = loadBase(*ReadBase(body), text, reason);
        } else if (type == eSnapshot) {
            const QStringView all = in.Units();
            const std::vector<tLineBreak> breaks = in.Breaks();
            ok = in.Ok() && qsizetype(breaks.size()) == CountMarks(all);
            if (ok)
                text.SetText(all, breaks);
            else
                reason = QStringLiteral("The record is damaged.");
        } else if (type == eChange) {
            const auto position = qsizetype(in.Get<std::uint32_t>());
            const auto length = qsizetype(in.Get<std::uint32_t>());
            const QStringView inserted = in.Units();
            const std::vector<tLineBreak> breaks = in.Breaks();
            ok = in.Ok() && position + length <= text.Length() &&
                 qsizetype(breaks.size()) == CountMarks(inserted);
            if (ok)
                text.Restore(int(position), int(length), inserted, breaks);
            else
                reason = QStringLiteral("The record does not fit its text.");
        }
        return ok;
    });
    return ok;
}

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
