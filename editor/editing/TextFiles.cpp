// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/TextFiles.h"
#include "editor/editing/RecoveryJournal.h"

#include "editor/editing/Progress.h"

#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/FileNames.h"
#include "editor/platform/FileTargets.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/platform/VectorDecode.h"
#include "editor/textengine/TextBuffer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString OpenError(const QString &fileName, const QString &reason)
{
    return Format(QStringLiteral("Cannot open file \"%s\". %s"), {fileName, reason});
}

QString CreateError(const QString &fileName, const QString &reason)
{
    return Format(QStringLiteral("Cannot create file \"%s\". %s"), {fileName, reason});
}

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void ThrowOpenError(const QString &fileName, const QString &reason)
{
    throw EFOpenError(OpenError(fileName, reason));
}

[[noreturn]] void ThrowCreateError(const QString &fileName, const QString &reason)
{
    throw EFCreateError(CreateError(fileName, reason));
}

// Why a file that is no regular file cannot be a document.
QString NotRegularReason(mode_t mode)
{
    return QString::fromStdString(NotRegularFileReason(mode));
}

// A file descriptor closed on every path out.
class cFileHandle
{
public:
    explicit cFileHandle(int fd = -1) noexcept : FFd(fd) {}
    cFileHandle(const cFileHandle &) = delete;
    cFileHandle &operator=(const cFileHandle &) = delete;
    ~cFileHandle()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Get() const noexcept { return FFd; }
    bool Valid() const noexcept { return FFd >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept { return std::exchange(FFd, -1); }
    // Closes now; false (with errno) when close reports a late write error.
    bool Close() noexcept { return ::close(std::exchange(FFd, -1)) == 0; }

private:
    int FFd;
};

// The memory the system can still give without swapping, or -1 when unknown.
qint64 AvailableMemory()
{
    FILE *info = std::fopen("/proc/meminfo", "re");
    if (!info)
        return -1;
    qint64 result = -1;
    char line[256];
    while (std::fgets(line, sizeof line, info)) {
        long long kib;
        if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) {
            result = qint64(kib) * 1024;
            break;
        }
    }
    std::fclose(info);
    return result;
}

// Reads until Size bytes are in or the file ends; the count read.
qsizetype ReadFully(int fd, char *data, qsizetype size, const QString &fileName)
{
    qsizetype used = 0;
    while (used < size) {
        const ssize_t got = ::read(fd, data + used, size_t(size - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ThrowOpenError(fileName, SystemError(errno));
        if (got == 0)
            break;
        used += got;
    }
    return used;
}

// Reads to the end, refusing before it reads more than Limit bytes.
QByteArray ReadToEnd(int fd, qint64 sizeHint, qint64 limit, const QString &fileName, const QString &tooLarge)
{
    QByteArray bytes(qsizetype(std::min(sizeHint, limit)) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > limit)
                ThrowOpenError(fileName, tooLarge);
            bytes.resize(qsizetype(std::min<qint64>(qint64(bytes.size()) * 2, limit + 1)));
        }
        const qsizetype room = bytes.size() - used;
        const qsizetype got = ReadFully(fd, bytes.data() + used, room, fileName);
        used += got;
        if (got < room)
            break;
    }
    if (used > limit)
        ThrowOpenError(fileName, tooLarge);
    bytes.truncate(used);
    return bytes;
}

bool IsWide(tTextEncoding encoding)
{
    return encoding == teUnicode || encoding == teUnicodeBigEndian;
}

QString DecodeUtf16(const char *data, qsizetype size, bool bigEndian)
{
    QString text(size / 2, Qt::Uninitialized);
    CopyUtf16Units(data, text.size(), bigEndian, reinterpret_cast<char16_t *>(text.data()));
    return text;
}

QByteArray EncodeUtf16(const QString &text, bool bigEndian)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    std::memcpy(bytes.data(), text.utf16(), size_t(bytes.size()));
    if (bigEndian) {
        char *p = bytes.data();
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            std::swap(p[i], p[i + 1]);
    }
    return bytes;
}

} // namespace

tTextEncoding DetectEncoding(const QByteArray &head, qint64 fileSize)
{
    if (fileSize < 2 || head.size() < 2)
        return teAnsi;
    if (fileSize >= 3 && head.size() >= 3 && head.startsWith(BomTable[teUTF8]))
        return teUTF8;
    if (head.startsWith(BomTable[teUnicode]))
        return teUnicode;
    if (head.startsWith(BomTable[teUnicodeBigEndian]))
        return teUnicodeBigEndian;
    return teAnsi;
}

QString DecodeText(const char *data, qsizetype size, tTextEncoding encoding, QByteArray *oddByte)
{
    if (oddByte)
        oddByte->clear();
    if (oddByte && size % 2 != 0 && IsWide(encoding))
        *oddByte = QByteArray(data + size - 1, 1);
    switch (encoding) {
    case teUTF8:
        return Utf8DecodeLossless(data, size);
    case teUnicode:
        return DecodeUtf16(data, size, false);
    case teUnicodeBigEndian:
        return DecodeUtf16(data, size, true);
    case teAnsi:
        break;
    }
    return AnsiDecode(QByteArray::fromRawData(data, size));
}

QByteArray EncodeText(const QString &text, tTextEncoding encoding)
{
    switch (encoding) {
    case teUTF8:
        return Utf8EncodeLossless(text);
    case teUnicode:
        return EncodeUtf16(text, false);
    case teUnicodeBigEndian:
        return EncodeUtf16(text, true);
    case teAnsi:
        break;
    }
    return AnsiEncode(text);
}

namespace {

// A file's bytes with its encoding and the size of its mark.
struct tFileBytes
{
    QByteArray Bytes;
    tTextEncoding Encoding = teAnsi;
    qsizetype MarkSize = 0;
};

// Opens a regular file for reading; Info gets what fstat says of it.
int OpenRegularFile(const QString &fileName, struct stat &info)
{
    const QByteArray path = EncodeFileName(fileName);
    // Looked at before it is opened: opening a pipe waits for a writer, and
    // opening a device can act on it.
    if (::stat(path.constData(), &info) != 0)
        ThrowOpenError(fileName, SystemError(errno));
    if (!S_ISREG(info.st_mode))
        ThrowOpenError(fileName, NotRegularReason(info.st_mode));
    // Without waiting all the same, should it have been swapped meanwhile.
    cFileHandle file(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.Valid())
        ThrowOpenError(fileName, SystemError(errno));
    if (::fstat(file.Get(), &info) != 0)
        ThrowOpenError(fileName, SystemError(errno));
    if (!S_ISREG(info.st_mode))
        ThrowOpenError(fileName, NotRegularReason(info.st_mode));
    return file.Release();
}

// The most bytes a file may have to be read as a text of at most MaxUnits;
// Reason gets why a larger one is refused.
qint64 ReadLimit(const QString &fileName, qint64 fileSize, qsizetype maxUnits, QString &reason)
{
    // No encoding takes more than four bytes for a UTF-16 unit, so a larger
    // file can never fit. Reading takes the bytes and up to two bytes of text
    // for each: more than the free memory would only push the system into
    // swapping or the program out of memory.
    const QString tooLarge = SystemError(EFBIG);
    qint64 limit = 4 * qint64(maxUnits) + 4;
    if (fileSize > limit)
        ThrowOpenError(fileName, tooLarge);
    reason = tooLarge;
    const qint64 available = AvailableMemory();
    if (available >= 0 && available / 3 < limit) {
        limit = available / 3;
        reason = SystemError(ENOMEM);
    }
    if (fileSize > limit)
        ThrowOpenError(fileName, reason);
    return limit;
}

tFileBytes ReadFileBytes(const QString &fileName, qsizetype maxUnits)
{
    struct stat info;
    cFileHandle file(OpenRegularFile(fileName, info));
    QString beyondLimit;
    const qint64 limit = ReadLimit(fileName, info.st_size, maxUnits, beyondLimit);
    try {
        // Read, not mapped: a file cut short by another program meanwhile
        // would otherwise take the whole program down with SIGBUS.
        tFileBytes result;
        result.Bytes = ReadToEnd(file.Get(), info.st_size, limit, fileName, beyondLimit);
        file.Close();
        result.Encoding = DetectEncoding(result.Bytes.left(3), result.Bytes.size());
        result.MarkSize = BomTable[result.Encoding].size();
        return result;
    } catch (const std::bad_alloc &) {
        ThrowOpenError(fileName, SystemError(ENOMEM));
    }
}

[[noreturn]] void ThrowTooLarge(const QString &fileName)
{
    ThrowOpenError(fileName, SystemError(EFBIG));
}

bool IsUtf8Text(tTextEncoding encoding)
{
    if (encoding != teAnsi)
        return encoding == teUTF8;
    const QByteArray codePage = AnsiCodePageName().toUpper();
    return codePage == "UTF-8" || codePage == "UTF8";
}

} // namespace

tTextFile ReadTextFile(const QString &fileName, qsizetype maxUnits)
{
    const tFileBytes file = ReadFileBytes(fileName, maxUnits);
    try {
        tTextFile result;
        result.Encoding = file.Encoding;
        result.Text = DecodeText(file.Bytes.constData() + file.MarkSize, file.Bytes.size() - file.MarkSize,
                                 file.Encoding, &result.OddByte);
        if (result.Text.size() > maxUnits)
            ThrowTooLarge(fileName);
        return result;
    } catch (const std::bad_alloc &) {
        ThrowOpenError(fileName, SystemError(ENOMEM));
    }
}

namespace {

// Decodes from P into the buffer's load a piece of PieceUnits at a time; no
// sequence starts at or after Stop, none may need bytes past End. False, P
// where it stopped, at a code page's shift state.
bool DecodePieces(cTextBuffer &buffer, const char *&p, const char *stop, const char *end,
                  tTextEncoding encoding, qsizetype pieceUnits)
{
    // Room for the most one sequence decodes to.
    pieceUnits = std::max<qsizetype>(pieceUnits, 4);
    while (p < stop) {
        // No more room than the bytes left can take: asking beyond what the
        // load reserved would grow the whole text at its very end.
        const qsizetype roomUnits =
            std::min(pieceUnits, IsWide(encoding) ? qsizetype(stop - p) / 2 : qsizetype(end - p) + 4);
        char16_t *room = buffer.LoadRoom(roomUnits);
        qsizetype used;
        if (IsWide(encoding)) {
            used = roomUnits;
            CopyUtf16Units(p, used, encoding == teUnicodeBigEndian, room);
            p += 2 * used;
        } else if (encoding == teUTF8) {
            used = Utf8DecodeLosslessInto(p, stop, end, room, roomUnits);
        } else if ((used = AnsiDecodeInto(p, stop, end, room, roomUnits)) < 0) {
            return false;
        }
        buffer.CommitLoad(used);
    }
    return true;
}

} // namespace

void DecodeTextInto(cTextBuffer &buffer, const char *data, qsizetype size, tTextEncoding encoding,
                    QByteArray *oddByte, qsizetype pieceUnits)
{
    const qsizetype odd = IsWide(encoding) ? size % 2 : 0;
    if (oddByte)
        *oddByte = odd ? QByteArray(data + size - 1, 1) : QByteArray();
    buffer.BeginLoad(IsWide(encoding) ? size / 2 : size);
    const char *p = data;
    if (!DecodePieces(buffer, p, data + size - odd, data + size, encoding, pieceUnits)) {
        // A code page with shift states is decoded whole, as soon as one shows.
        const QString text = AnsiDecode(QByteArray::fromRawData(data, size));
        buffer.BeginLoad(text.size());
        buffer.AppendLoad(text);
    }
    buffer.EndLoad();
}

namespace {

// The whole file read first, then decoded: for a text that only a count
// tells whether it fits, and for code pages with shift states.
tTextFile ReadWholeTextInto(const QString &fileName, cTextBuffer &buffer, qsizetype maxUnits,
                            qsizetype pieceUnits)
{
    tFileBytes file = ReadFileBytes(fileName, maxUnits);
    const char *data = file.Bytes.constData() + file.MarkSize;
    const qsizetype size = file.Bytes.size() - file.MarkSize;
    tTextFile result;
    result.Encoding = file.Encoding;
    try {
        if (IsWide(file.Encoding)) {
            if (size / 2 > maxUnits)
                ThrowTooLarge(fileName);
        } else if (IsUtf8Text(file.Encoding)) {
            if (size > maxUnits && Utf8LosslessLength(data, size) > maxUnits)
                ThrowTooLarge(fileName);
        } else if (size > maxUnits / 2 && AnsiDecodedLength(data, size) > maxUnits) {
            ThrowTooLarge(fileName);
        }
        cTextBuffer loaded;
        DecodeTextInto(loaded, data, size, file.Encoding, &result.OddByte, pieceUnits);
        buffer.Adopt(loaded);
    } catch (const std::bad_alloc &) {
        ThrowOpenError(fileName, SystemError(ENOMEM));
    }
    return result;
}

// Decodes the file as it is read, a window of bytes at a time, into Loaded;
// Window holds the first Have bytes after the mark, AtEnd when the file ends
// there. False for a code page that turns out to have shift states.
bool LoadInWindows(int fd, const QString &fileName, char *window, qsizetype windowSize, qsizetype have,
                   bool atEnd, tTextEncoding encoding, qsizetype maxUnits, qsizetype pieceUnits,
                   cTextBuffer &loaded, QByteArray &oddByte)
{
    // The most bytes a sequence takes: one starting closer than this to the
    // end of a window is left for the next.
    constexpr qsizetype Reach = 4;
    cProgress *const progress = cProgress::Current();
    qint64 read = have;
    for (;;) {
        if (progress)
            progress->Step(read);
        const char *p = window;
        const char *const end = window + have;
        const char *const stop = IsWide(encoding) ? end - have % 2 : atEnd ? end : end - Reach;
        if (!DecodePieces(loaded, p, stop, end, encoding, pieceUnits))
            return false;
        // The file may have grown since it was measured.
        if (loaded.Length() > maxUnits)
            ThrowTooLarge(fileName);
        if (atEnd) {
            if (p < end)
                oddByte = QByteArray(p, 1);
            break;
        }
        const qsizetype carry = end - p;
        std::memmove(window, p, size_t(carry));
        const qsizetype got = ReadFully(fd, window + carry, windowSize - carry, fileName);
        have = carry + got;
        read += got;
        atEnd = got < windowSize - carry;
    }
    loaded.EndLoad();
    return true;
}

} // namespace

// The bytes are never held whole: a window of them is read and decoded into
// a buffer of its own, which takes the place of the old text once the file
// is read through.
tTextFile ReadTextFileInto(const QString &fileName, cTextBuffer &buffer, qsizetype maxUnits,
                           qsizetype pieceUnits)
{
    pieceUnits = std::max<qsizetype>(pieceUnits, 4);
    {
        struct stat info;
        cFileHandle file(OpenRegularFile(fileName, info));
        QString beyondLimit;
        ReadLimit(fileName, info.st_size, maxUnits, beyondLimit);
        try {
            const qsizetype windowSize = 16 * pieceUnits;
            const std::unique_ptr<char[]> window(new char[size_t(windowSize)]);
            qsizetype have = ReadFully(file.Get(), window.get(), windowSize, fileName);
            const bool atEnd = have < windowSize;
            tTextFile result;
            result.Encoding =
                DetectEncoding(QByteArray::fromRawData(window.get(), std::min<qsizetype>(have, 3)), have);
            const qsizetype mark = BomTable[result.Encoding].size();
            std::memmove(window.get(), window.get() + mark, size_t(have - mark));
            have -= mark;
            const qint64 textBytes = qint64(info.st_size) - mark;
            bool fits;
            if (IsWide(result.Encoding)) {
                if (textBytes / 2 > maxUnits)
                    ThrowTooLarge(fileName);
                fits = true;
            } else {
                // Otherwise only a count would tell.
                fits = textBytes <= (IsUtf8Text(result.Encoding) ? maxUnits : maxUnits / 2);
            }
            if (fits) {
                cProgress progress(Format(QStringLiteral("Opening %s"), {QFileInfo(fileName).fileName()}),
                                   textBytes);
                cTextBuffer loaded;
                loaded.BeginLoad(qsizetype(IsWide(result.Encoding) ? textBytes / 2 : textBytes));
                if (LoadInWindows(file.Get(), fileName, window.get(), windowSize, have, atEnd,
                                  result.Encoding, maxUnits, pieceUnits, loaded, result.OddByte)) {
                    buffer.Adopt(loaded);
                    return result;
                }
            }
        } catch (const std::bad_alloc &) {
            ThrowOpenError(fileName, SystemError(ENOMEM));
        }
    }
    return ReadWholeTextInto(fileName, buffer, maxUnits, pieceUnits);
}

qint64 cFileContents::Size() const
{
    qint64 size = 0;
    Produce([&size](const char *, qsizetype count) { size += count; });
    return size;
}

void cFileContents::Produce(const QByteArray &bytes, const std::function<void(const char *, qsizetype)> &put)
{
    // Pieces that a write takes in one go, and that leave room to fail between.
    constexpr qsizetype Block = 1 << 20;
    for (qsizetype at = 0; at < bytes.size(); at += Block)
        put(bytes.constData() + at, std::min(Block, bytes.size() - at));
}

namespace {

// Mark and bytes made beforehand.
class cBytesContents : public cFileContents
{
public:
    cBytesContents(const QByteArray &mark, const QByteArray &bytes) : FMark(mark), FBytes(bytes) {}
    void Produce(const std::function<void(const char *, qsizetype)> &put) const override
    {
        cFileContents::Produce(FMark, put);
        cFileContents::Produce(FBytes, put);
    }
    qint64 Size() const override { return FMark.size() + FBytes.size(); }

private:
    const QByteArray &FMark;
    const QByteArray &FBytes;
};

// The encoded bytes are gathered into one block, reused, and handed on
// when it holds this many.
constexpr size_t BlockBytes = 1 << 20;

// A buffer's text in an encoding, a piece at a time, into Put.
void EncodePieces(const cTextBuffer &buffer, tTextEncoding encoding, qsizetype pieceUnits, std::string &block,
                  const std::function<void(const char *, qsizetype)> &put)
{
    const bool wide = IsWide(encoding);
    std::optional<cPieceEncoder> encoder;
    if (!wide)
        encoder.emplace(encoding == teAnsi);
    auto handOn = [&] {
        put(block.data(), qsizetype(block.size()));
        block.clear();
    };
    buffer.ForEachPiece(
        [&](QStringView piece) {
            if (wide) {
                const size_t start = block.size();
                block.resize(start + 2 * size_t(piece.size()));
                CopyUtf16Units(reinterpret_cast<const char *>(piece.utf16()), piece.size(),
                               encoding == teUnicodeBigEndian,
                               reinterpret_cast<char16_t *>(block.data() + start));
            } else {
                encoder->Encode(piece, false, block);
            }
            if (block.size() >= BlockBytes)
                handOn();
        },
        pieceUnits);
    if (encoder)
        encoder->Encode(QStringView(), true, block);
    if (!block.empty())
        handOn();
}

class cWriteFailure
{
public:
    int Error;
};

bool WriteAllAt(int fd, const char *data, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= size_t(written);
        offset += written;
    }
    return true;
}

// Writes the contents at the start of Fd; false with errno when a write
// fails. Written gets the number of bytes.
bool WriteContents(int fd, const cFileContents &contents, qint64 *written = nullptr)
{
    // The disk is set to work on what is written while more is made, so the
    // final sync has little left to wait for.
    constexpr off_t SyncStep = 8 << 20;
    off_t offset = 0, started = 0;
    try {
        contents.Produce([&](const char *data, qsizetype size) {
            if (!WriteAllAt(fd, data, size_t(size), offset))
                throw cWriteFailure{errno};
            offset += size;
            if (cProgress *progress = cProgress::Current())
                progress->Step(offset);
            if (offset - started >= SyncStep) {
                ::sync_file_range(fd, started, offset - started, SYNC_FILE_RANGE_WRITE);
                started = offset;
            }
        });
    } catch (const cWriteFailure &failure) {
        errno = failure.Error;
        return false;
    }
    if (written)
        *written = offset;
    return true;
}

QByteArray DirectoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// A new file beside Target, removed again unless it is kept.
class cFileBeside
{
public:
    // Invalid (see Error) when the folder does not take a new file.
    explicit cFileBeside(const QByteArray &target)
    {
        static unsigned counter = 0;
        const qsizetype slash = target.lastIndexOf('/');
        // Short enough for any name the folder takes.
        const QByteArray stem = DirectoryOf(target) + "/." + target.mid(slash + 1).left(100) + ".~";
        for (int attempt = 0; attempt < 100; ++attempt) {
            FName = stem + QByteArray::number(qint64(::getpid())) + '.' + QByteArray::number(++counter);
            const int fd = ::open(FName.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            FError = fd < 0 ? errno : 0;
            FHandle = std::make_unique<cFileHandle>(fd);
            if (fd >= 0 || FError != EEXIST)
                break;
        }
        if (!FHandle->Valid())
            FName.clear();
    }
    cFileBeside(const cFileBeside &) = delete;
    cFileBeside &operator=(const cFileBeside &) = delete;
    ~cFileBeside()
    {
        if (!FName.isEmpty())
            ::unlink(FName.constData());
    }
    bool Valid() const noexcept { return FHandle->Valid(); }
    int Error() const noexcept { return FError; }
    int Get() const noexcept { return FHandle->Get(); }
    const QByteArray &Name() const noexcept { return FName; }
    bool Close() noexcept { return FHandle->Close(); }
    void Keep() noexcept { FName.clear(); }

private:
    QByteArray FName;
    int FError = 0;
    std::unique_ptr<cFileHandle> FHandle;
};

void SyncDirectory(const QByteArray &directory)
{
    cFileHandle dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid())
        ::fsync(dir.Get());
}

// The old contents of a file about to be rewritten where it is.
QByteArray ReadForRestore(const QString &fileName, int fd, qint64 size)
{
    QByteArray old(qsizetype(size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < old.size()) {
        const ssize_t n = ::pread(fd, old.data() + got, size_t(old.size() - got), off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowCreateError(fileName, SystemError(errno));
        if (n == 0)
            break;
        got += n;
    }
    old.truncate(got);
    return old;
}

const QByteArray WriteRecordMagic = QByteArrayLiteral("Zelmar unfinished write 1\n");

QByteArray RecordOf(const QByteArray &target, const struct stat &info, qint64 size)
{
    return WriteRecordMagic + "device " + QByteArray::number(quint64(info.st_dev)) + "\ninode " +
           QByteArray::number(quint64(info.st_ino)) + "\nsize " + QByteArray::number(size) + "\npath " +
           target.toHex() + '\n';
}

bool SyncedFile(int fd, const QByteArray &bytes)
{
    return WriteAllAt(fd, bytes.constData(), size_t(bytes.size()), 0) && ::fdatasync(fd) == 0;
}

// The complete new text of a file about to be rewritten where it is, with
// the record of that write, both synced in the recovery folder: a rewrite cut
// short can then be completed at the next start. The copy stays locked while
// the write goes on, which tells a running instance's write from one that
// ended. Removed again unless kept.
class cWriteCopy
{
public:
    // Invalid, with the reason, when the folder or the copy cannot be made.
    cWriteCopy(const QByteArray &target, const struct stat &info, const cFileContents &contents)
    {
        static unsigned counter = 0;
        const QString folder = cRecoveryJournals::Folder();
        errno = 0;
        if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0) {
            Fail();
            return;
        }
        // A name of its own: a copy left by an earlier process of the same
        // number is the new text of another save.
        for (int attempt = 0; attempt < 100 && FFd < 0; ++attempt) {
            const QString stem = folder + QStringLiteral("/write-%1-%2").arg(::getpid()).arg(++counter);
            FCopy = QFile::encodeName(stem + QStringLiteral(".text"));
            FRecord = QFile::encodeName(stem + QStringLiteral(".record"));
            FFd = ::open(FCopy.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
            if (FFd < 0 && errno != EEXIST)
                break;
        }
        if (FFd < 0) {
            FCopy.clear();
            FRecord.clear();
            Fail();
            return;
        }
        // Another instance may have taken the copy, not yet locked, for one
        // whose save ended before it was complete, and removed it.
        struct stat locked, named;
        if (::flock(FFd, LOCK_EX | LOCK_NB) != 0 || ::fstat(FFd, &locked) != 0 ||
            ::stat(FCopy.constData(), &named) != 0 || locked.st_ino != named.st_ino ||
            locked.st_dev != named.st_dev) {
            Fail();
            return;
        }
        qint64 written = 0;
        cFileHandle record(
            ::open(FRecord.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600));
        // The record after the copy: a record names a complete copy.
        if (!WriteContents(FFd, contents, &written) || ::fdatasync(FFd) != 0 || !record.Valid() ||
            !SyncedFile(record.Get(), RecordOf(target, info, written))) {
            Fail();
            return;
        }
        SyncDirectory(QFile::encodeName(folder));
    }
    cWriteCopy(const cWriteCopy &) = delete;
    cWriteCopy &operator=(const cWriteCopy &) = delete;
    ~cWriteCopy()
    {
        if (!FKeep)
            Drop();
        else if (FFd >= 0)
            ::close(FFd);
    }
    bool Valid() const noexcept { return FFd >= 0; }
    // Why the copy cannot be made.
    const QString &Reason() const noexcept { return FReason; }
    void Keep() noexcept { FKeep = true; }

private:
    void Fail()
    {
        FReason = errno ? SystemError(errno) : QStringLiteral("It cannot be written");
        Drop();
    }
    void Drop() noexcept
    {
        // The record first: a copy without one is never offered.
        if (!FRecord.isEmpty())
            ::unlink(FRecord.constData());
        if (!FCopy.isEmpty())
            ::unlink(FCopy.constData());
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
        FRecord.clear();
        FCopy.clear();
    }

    QByteArray FCopy, FRecord;
    QString FReason;
    int FFd = -1;
    bool FKeep = false;
};

// Rewrites the existing file in place, so that its inode with every name,
// owner, group and permission stays. The space is reserved first; should
// writing fail all the same, the old contents are put back. Without a
// complete copy of the new text in the recovery folder the file is not
// touched: false, with the reason the copy cannot be made.
bool WriteThrough(const QString &fileName, const QByteArray &target, const cFileContents &contents,
                  QString &noCopy)
{
    cFileHandle file(::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.Valid())
        ThrowCreateError(fileName, SystemError(errno));
    struct stat info;
    if (::fstat(file.Get(), &info) != 0)
        ThrowCreateError(fileName, SystemError(errno));
    if (!S_ISREG(info.st_mode))
        ThrowCreateError(fileName, NotRegularReason(info.st_mode));
    const QByteArray old = ReadForRestore(fileName, file.Get(), info.st_size);

    // The new text safely on disk before the old one is touched: should the
    // program die while rewriting, the next start can complete the write.
    cWriteCopy copy(target, info, contents);
    if (!copy.Valid()) {
        noCopy = copy.Reason();
        return false;
    }
    const qint64 size = contents.Size();
    if (size > old.size() && ::fallocate(file.Get(), FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        const int error = errno;
        ::ftruncate(file.Get(), off_t(old.size()));
        ThrowCreateError(fileName, SystemError(error));
    }
    auto restore = [&] {
        const bool restored = WriteAllAt(file.Get(), old.constData(), size_t(old.size()), 0) &&
                              ::ftruncate(file.Get(), off_t(old.size())) == 0 && ::fsync(file.Get()) == 0;
        // Should even that fail, the copy holds the new text.
        if (!restored && copy.Valid())
            copy.Keep();
    };
    qint64 written = 0;
    bool done;
    try {
        done = WriteContents(file.Get(), contents, &written);
        if (done && InPlaceRewriteHook)
            InPlaceRewriteHook();
        done = done && ::ftruncate(file.Get(), off_t(written)) == 0 && ::fsync(file.Get()) == 0;
    } catch (...) {
        restore();
        throw;
    }
    if (!done) {
        const int error = errno;
        restore();
        ThrowCreateError(fileName, SystemError(error));
    }
    if (!file.Close())
        ThrowCreateError(fileName, SystemError(errno));
    return true;
}

enum class tReplaced
{
    Done,
    WriteThrough, // the file must be rewritten where it is
};

// Writes a new file beside the old one and puts it in its place, with the
// old one's owner, group, extended attributes and permissions (the owner
// only where it can be given, unless KeepOwner asks for a write in place).
tReplaced Replace(const QString &fileName, const QByteArray &target, const struct stat *old,
                  const cFileContents &contents, bool keepOwner = true)
{
    cFileBeside replacement(target);
    if (!replacement.Valid()) {
        // A folder that cannot be written: the file itself may be.
        const int error = replacement.Error();
        if (old && (error == EACCES || error == EPERM || error == EROFS || error == ENAMETOOLONG))
            return tReplaced::WriteThrough;
        ThrowCreateError(fileName, SystemError(error));
    }
    if (old) {
        struct stat made;
        if (::fstat(replacement.Get(), &made) == 0 &&
            (made.st_uid != old->st_uid || made.st_gid != old->st_gid) &&
            ::fchown(replacement.Get(), old->st_uid, old->st_gid) != 0 && keepOwner &&
            ::access(target.constData(), W_OK) == 0)
            return tReplaced::WriteThrough; // keeps the owner this program may not give
        // After the owner (changing it drops security.capability), while the
        // new file may still be written.
        CopyExtendedAttributes(target.toStdString(), replacement.Get());
        // After the owner: changing it clears the set-user-ID bits.
        ::fchmod(replacement.Get(), old->st_mode & 07777);
    }
    if (!WriteContents(replacement.Get(), contents) || ::fsync(replacement.Get()) != 0 ||
        !replacement.Close())
        ThrowCreateError(fileName, SystemError(errno));
    if (::rename(replacement.Name().constData(), target.constData()) != 0)
        ThrowCreateError(fileName, SystemError(errno));
    replacement.Keep();
    SyncDirectory(DirectoryOf(target));
    return tReplaced::Done;
}

} // namespace

void WriteFileSafely(const QString &fileName, const cFileContents &contents)
{
    cProgress progress(Format(QStringLiteral("Saving %s"), {QFileInfo(fileName).fileName()}),
                       contents.SizeHint());
    const QByteArray name = EncodeFileName(fileName);
    tWriteTarget found;
    const std::string refused = FindWriteTarget(name.toStdString(), found);
    if (!refused.empty())
        ThrowCreateError(fileName, QString::fromLocal8Bit(refused.data(), qsizetype(refused.size())));
    // The file a link points to is the one rewritten; the link stays.
    const QByteArray target = QByteArray::fromStdString(found.Path);
    const struct stat *old = found.Exists ? &found.Info : nullptr;
    // Replacing would part the file from its other names.
    if ((old && old->st_nlink > 1) || Replace(fileName, target, old, contents) == tReplaced::WriteThrough) {
        QString noCopy;
        if (WriteThrough(fileName, target, contents, noCopy))
            return;
        // A rewrite cut short with no copy anywhere would leave the file half
        // new, half old: a new file in its place, if one can be made there,
        // is the lesser harm, and the user is told.
        const QString folder = cRecoveryJournals::Folder();
        if (Replace(fileName, target, old, contents, false) == tReplaced::WriteThrough)
            ThrowCreateError(fileName,
                             QStringLiteral("It must be rewritten in place, which is done only with a "
                                            "copy of the new text kept first in the recovery folder "
                                            "\"%1\". %2.")
                                 .arg(folder, noCopy));
        const QString parted = old && old->st_nlink > 1
                                   ? QStringLiteral("its other names (hard links) keep the old text.")
                                   : QStringLiteral("it now belongs to you, no longer to its owner.");
        MessageBox(ApplicationMainWindow(),
                   QStringLiteral("A copy of the new text of \"%1\" cannot be kept in the recovery folder "
                                  "\"%2\". %3.\r\rSo the file was not rewritten in place but saved as a new "
                                  "file: %4")
                       .arg(fileName, folder, noCopy, parted),
                   LoadResString(res::ProductName), MB_OK | MB_ICONWARNING);
    }
}

void WriteFileSafely(const QString &fileName, const QByteArray &mark, const QByteArray &bytes)
{
    WriteFileSafely(fileName, cBytesContents(mark, bytes));
}

void (*InPlaceRewriteHook)() = nullptr;

tUnfinishedWrite::~tUnfinishedWrite()
{
    if (Fd >= 0)
        ::close(Fd);
}

std::vector<std::unique_ptr<tUnfinishedWrite>> FindUnfinishedWrites()
{
    std::vector<std::unique_ptr<tUnfinishedWrite>> found;
    const QDir folder(cRecoveryJournals::Folder());
    for (const QString &name :
         folder.entryList({QStringLiteral("write-*.record")}, QDir::Files, QDir::Name)) {
        auto write = std::make_unique<tUnfinishedWrite>();
        write->RecordPath = folder.filePath(name);
        write->CopyPath = write->RecordPath.chopped(int(qstrlen(".record"))) + QStringLiteral(".text");
        QFile record(write->RecordPath);
        if (!record.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = record.read(64 * 1024);
        // Torn, the path could name another file: only a whole record counts.
        const bool whole = bytes.startsWith(WriteRecordMagic) && bytes.endsWith('\n');
        for (const QByteArray &line :
             whole ? bytes.mid(WriteRecordMagic.size()).split('\n') : QByteArrayList()) {
            const qsizetype space = line.indexOf(' ');
            const QByteArray key = line.left(space), value = line.mid(space + 1);
            if (key == "device")
                write->Device = value.toULongLong();
            else if (key == "inode")
                write->Inode = value.toULongLong();
            else if (key == "size")
                write->Size = value.toLongLong();
            else if (key == "path")
                write->Target = QByteArray::fromHex(value);
        }
        write->Fd = ::open(QFile::encodeName(write->CopyPath).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        // A copy still locked belongs to a write going on now.
        if (write->Fd < 0 || ::flock(write->Fd, LOCK_EX | LOCK_NB) != 0)
            continue;
        // The record is written once the copy is complete, and the file is
        // touched only after that: a save cut short before leaves nothing to do.
        if (write->Target.isEmpty()) {
            QFile::remove(write->RecordPath);
            QFile::remove(write->CopyPath);
            continue;
        }
        found.push_back(std::move(write));
    }
    // A copy without a record was cut short before its file was touched.
    for (const QString &name : folder.entryList({QStringLiteral("write-*.text")}, QDir::Files)) {
        const QString path = folder.filePath(name);
        if (QFileInfo::exists(path.chopped(int(qstrlen(".text"))) + QStringLiteral(".record")))
            continue;
        cFileHandle copy(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (copy.Valid() && ::flock(copy.Get(), LOCK_EX | LOCK_NB) == 0)
            QFile::remove(path);
    }
    return found;
}

void CompleteUnfinishedWrite(tUnfinishedWrite &write)
{
    const QString fileName = QFile::decodeName(write.Target);
    cFileHandle file(::open(write.Target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.Valid())
        ThrowCreateError(fileName, SystemError(errno));
    struct stat info;
    if (::fstat(file.Get(), &info) != 0)
        ThrowCreateError(fileName, SystemError(errno));
    if (quint64(info.st_dev) != write.Device || quint64(info.st_ino) != write.Inode)
        ThrowCreateError(fileName, QStringLiteral("It is no longer the file that was being saved."));
    const QByteArray bytes = ReadForRestore(fileName, write.Fd, write.Size);
    if (bytes.size() != write.Size)
        ThrowCreateError(fileName,
                         QStringLiteral("Its saved copy \"%1\" is incomplete.").arg(write.CopyPath));
    if (!WriteAllAt(file.Get(), bytes.constData(), size_t(bytes.size()), 0) ||
        ::ftruncate(file.Get(), off_t(bytes.size())) != 0 || ::fsync(file.Get()) != 0 || !file.Close())
        ThrowCreateError(fileName, SystemError(errno));
    DiscardUnfinishedWrite(write);
}

void DiscardUnfinishedWrite(tUnfinishedWrite &write)
{
    QFile::remove(write.RecordPath);
    QFile::remove(write.CopyPath);
    SyncDirectory(QFile::encodeName(cRecoveryJournals::Folder()));
}

cTextContents::cTextContents(const cTextBuffer &buffer, tTextEncoding encoding, const QByteArray &tail,
                             qsizetype pieceUnits, tMark mark)
    : FBuffer(buffer), FEncoding(encoding), FTail(tail),
      FMark(mark == tMark::With ? BomTable[encoding] : QByteArray()), FPieceUnits(pieceUnits)
{}

void cTextContents::Produce(const std::function<void(const char *, qsizetype)> &put) const
{
    std::string block;
    block.reserve(BlockBytes + 3 * size_t(FPieceUnits) + 64);
    block.append(FMark.constData(), size_t(FMark.size()));
    EncodePieces(FBuffer, FEncoding, FPieceUnits, block, put);
    cFileContents::Produce(FTail, put);
}

qint64 cTextContents::SizeHint() const
{
    // One byte a unit is near enough for mostly Latin text.
    return IsWide(FEncoding) ? Size() : FMark.size() + FBuffer.Length() + FTail.size();
}

qint64 cTextContents::Size() const
{
    // Two bytes a unit, a CR LF two units: no need to encode.
    if (IsWide(FEncoding)) {
        qint64 units = FBuffer.Length();
        for (int line = 0; line + 1 < FBuffer.LineCount(); ++line)
            units += FBuffer.LineBreak(line) == tLineBreak::CRLF ? 1 : 0;
        return FMark.size() + 2 * units + FTail.size();
    }
    return cFileContents::Size();
}

namespace {

bool HasSurrogates(const cTextBuffer &buffer)
{
    bool found = false;
    // Breaks hold no surrogates: the units as stored tell.
    buffer.ForEachRun([&found](QStringView piece) {
        // Without a branch per unit, so that the compiler can look at many at once.
        const char16_t *units = reinterpret_cast<const char16_t *>(piece.utf16());
        unsigned any = 0;
        for (qsizetype i = 0; i < piece.size(); ++i)
            any |= (units[i] & 0xF800) == 0xD800;
        found = found || any;
    });
    return found;
}

// Decodes the ANSI bytes of a text as they come and compares them with the
// text they were made from, as AnsiDecode of the whole would.
class cAnsiRoundTrip
{
public:
    // Text: the units the next bytes were encoded from.
    void Expect(QStringView text) { FPending.append(text.utf16(), size_t(text.size())); }
    // Decodes Bytes up to where a sequence may go on in the next (all when
    // AtEnd) and takes them off. False for a code page that must be decoded
    // whole.
    bool Decode(std::string &bytes, bool atEnd)
    {
        const char *p = bytes.data();
        const char *const end = p + bytes.size();
        constexpr qsizetype Reach = 4;
        const char *const stop = atEnd ? end : end - std::min<qsizetype>(Reach, end - p);
        while (p < stop && !FDiffers) {
            const qsizetype got = AnsiDecodeInto(p, stop, end, FRoom, std::size(FRoom));
            if (got < 0)
                return false;
            Compare(got);
        }
        bytes.erase(0, size_t(p - bytes.data()));
        FPending.erase(0, FMatched);
        FMatched = 0;
        return true;
    }
    [[nodiscard]] bool Mismatched() const noexcept { return FDiffers; }
    // At the end: whether anything did not come back.
    [[nodiscard]] bool Differs() const noexcept { return FDiffers || !FPending.empty(); }

private:
    void Compare(qsizetype count)
    {
        if (size_t(count) > FPending.size() - FMatched ||
            std::memcmp(FRoom, FPending.data() + FMatched, size_t(count) * sizeof(char16_t)) != 0)
            FDiffers = true;
        else
            FMatched += size_t(count);
    }

    std::u16string FPending;
    size_t FMatched = 0;
    bool FDiffers = false;
    char16_t FRoom[1 << 14];
};

} // namespace

bool HasNonAnsiCharacters(const cTextBuffer &buffer, qsizetype pieceUnits)
{
    // Text without surrogates always comes back from UTF-8.
    if (IsUtf8Text(teAnsi) && !HasSurrogates(buffer))
        return false;
    // Nor does text of characters a code page of single bytes holds.
    bool kept = AnsiKeepsAll(u"\r\n");
    buffer.ForEachRun([&kept](QStringView run) { kept = kept && AnsiKeepsAll(run); });
    if (kept)
        return false;
    cPieceEncoder encoder(true);
    const auto check = std::make_unique<cAnsiRoundTrip>();
    std::string bytes;
    bool decodable = true;
    buffer.ForEachPiece(
        [&](QStringView piece) {
            if (!decodable || check->Mismatched())
                return;
            encoder.Encode(piece, false, bytes);
            check->Expect(piece);
            decodable = check->Decode(bytes, false);
        },
        pieceUnits);
    if (decodable) {
        encoder.Encode(QStringView(), true, bytes);
        decodable = check->Decode(bytes, true);
    }
    // A code page with shift states is only read whole.
    if (!decodable)
        return HasNonAnsiCharacters(buffer.TextWithBreaks());
    return check->Differs();
}
