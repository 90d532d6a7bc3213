// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/JournalRecord.h"

#include "editor/editing/TextFiles.h"
#include "editor/platform/FileDescriptor.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>

#include <fcntl.h>
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
