// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/fennic/IO.h"

#include "editor/platform/FileTargets.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string OpenError(const std::string &fileName, const std::string &reason)
{
    return "Cannot open file \"" + fileName + "\". " + reason;
}

std::string CreateError(const std::string &fileName, const std::string &reason)
{
    return "Cannot create file \"" + fileName + "\". " + reason;
}

const char *const ReadError = "Stream read error";
const char *const WriteError = "Stream write error";

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
    void Reset(int fd) noexcept
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }
    int Get() const noexcept { return FFd; }
    bool Valid() const noexcept { return FFd >= 0; }
    // Closes now, reporting what close reports (a late write error).
    bool Close() noexcept { return ::close(std::exchange(FFd, -1)) == 0; }

private:
    int FFd;
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
        size -= static_cast<size_t>(written);
        offset += written;
    }
    return true;
}

bool WriteAll(int fd, const std::string &bytes)
{
    return WriteAllAt(fd, bytes.data(), bytes.size(), 0);
}

std::string DirectoryOf(const std::string &fileName)
{
    const auto slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

std::string BaseNameOf(const std::string &fileName)
{
    const auto slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

// A new file beside a target, removed again unless it is kept.
class cFileBeside
{
public:
    // Invalid (see Error) when the folder takes no new file.
    explicit cFileBeside(const std::string &target)
    {
        static unsigned counter = 0;
        // Short enough for any name the folder takes.
        const std::string stem = DirectoryOf(target) + "/." + BaseNameOf(target).substr(0, 100) + ".~";
        for (int attempt = 0; attempt < 100 && !FHandle.Valid(); ++attempt) {
            // snprintf, not std::to_string: that would export a library symbol
            // and keep the plug-in from being unloaded.
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, "%ld.%u", static_cast<long>(::getpid()), ++counter);
            FName = stem + suffix;
            const int fd = ::open(FName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            FError = fd < 0 ? errno : 0;
            FHandle.Reset(fd);
            if (fd < 0 && FError != EEXIST)
                break;
        }
        if (!FHandle.Valid())
            FName.clear();
    }
    cFileBeside(const cFileBeside &) = delete;
    cFileBeside &operator=(const cFileBeside &) = delete;
    ~cFileBeside()
    {
        if (!FName.empty())
            ::unlink(FName.c_str());
    }
    bool Valid() const noexcept { return FHandle.Valid(); }
    int Error() const noexcept { return FError; }
    int Get() const noexcept { return FHandle.Get(); }
    const std::string &Name() const noexcept { return FName; }
    bool Close() noexcept { return FHandle.Close(); }
    void Keep() noexcept { FName.clear(); }

private:
    std::string FName;
    int FError = 0;
    cFileHandle FHandle;
};

void SyncDirectory(const std::string &directory)
{
    cFileHandle dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid())
        ::fsync(dir.Get());
}

// Rewrites the existing file in place, so that its inode with every name,
// owner, group and permission stays. The space is reserved first; should
// writing fail all the same, the old contents are put back.
void WriteThrough(const std::string &fileName, const std::string &target, const std::string &bytes,
                  bool copyBeside)
{
    cFileHandle file(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.Valid())
        throw eStreamError(CreateError(fileName, std::strerror(errno)));
    struct stat info;
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw eStreamError(WriteError);
    std::string old(static_cast<size_t>(info.st_size), '\0');
    size_t got = 0;
    while (got < old.size()) {
        const ssize_t n = ::pread(file.Get(), old.data() + got, old.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw eStreamError(ReadError);
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    old.resize(got);

    // The new text safely on disk before the old one is touched: should the
    // program die while rewriting, it is still there.
    std::optional<cFileBeside> copy;
    if (copyBeside) {
        copy.emplace(target);
        if (copy->Valid() && (!WriteAll(copy->Get(), bytes) || ::fsync(copy->Get()) != 0 || !copy->Close()))
            throw eStreamError(WriteError);
    }
    if (bytes.size() > old.size() &&
        ::fallocate(file.Get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        [[maybe_unused]] const int freed = ::ftruncate(file.Get(), static_cast<off_t>(old.size()));
        throw eStreamError(WriteError);
    }
    if (!WriteAll(file.Get(), bytes) || ::ftruncate(file.Get(), static_cast<off_t>(bytes.size())) != 0 ||
        ::fsync(file.Get()) != 0) {
        const bool restored = WriteAll(file.Get(), old) &&
                              ::ftruncate(file.Get(), static_cast<off_t>(old.size())) == 0 &&
                              ::fsync(file.Get()) == 0;
        // Should even that fail, the copy holds the new text.
        if (!restored && copy && copy->Valid())
            copy->Keep();
        throw eStreamError(WriteError);
    }
    if (!file.Close())
        throw eStreamError(WriteError);
}

// Writes a new file beside the old one and puts it in its place; false when
// the file must be rewritten where it is instead.
bool Replace(const std::string &fileName, const std::string &target, const std::optional<struct stat> &old,
             const std::string &bytes)
{
    cFileBeside replacement(target);
    if (!replacement.Valid()) {
        // A folder that cannot be written: the file itself may be.
        const int error = replacement.Error();
        if (old && (error == EACCES || error == EPERM || error == EROFS || error == ENAMETOOLONG))
            return false;
        throw eStreamError(CreateError(fileName, std::strerror(error)));
    }
    if (old) {
        struct stat made;
        if (::fstat(replacement.Get(), &made) == 0 &&
            (made.st_uid != old->st_uid || made.st_gid != old->st_gid) &&
            ::fchown(replacement.Get(), old->st_uid, old->st_gid) != 0 && ::access(target.c_str(), W_OK) == 0)
            return false; // keeps the owner this program may not give
        CopyExtendedAttributes(target, replacement.Get());
        // After the owner: changing it clears the set-user-ID bits.
        ::fchmod(replacement.Get(), old->st_mode & 07777);
    }
    if (!WriteAll(replacement.Get(), bytes) || ::fsync(replacement.Get()) != 0 || !replacement.Close())
        throw eStreamError(WriteError);
    if (::rename(replacement.Name().c_str(), target.c_str()) != 0)
        throw eStreamError(CreateError(fileName, std::strerror(errno)));
    replacement.Keep();
    SyncDirectory(DirectoryOf(target));
    return true;
}

std::u16string DecodeUTF8(const std::string &bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    const size_t size = bytes.size();
    // The low six bits of the continuation byte at `at`, or nothing.
    auto continuation = [&](size_t at) -> std::optional<unsigned> {
        if (at >= size)
            return std::nullopt;
        const unsigned c = static_cast<unsigned char>(bytes[at]);
        if ((c & 0xC0) != 0x80)
            return std::nullopt;
        return c & 0x3F;
    };
    size_t i = 0;
    while (i < size) {
        const unsigned b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            text += static_cast<char16_t>(b);
            ++i;
        } else if (b & 0x20) {
            const auto c1 = continuation(i + 1);
            const auto c2 = c1 ? continuation(i + 2) : std::nullopt;
            if (!c2)
                return {};
            text += static_cast<char16_t>((((b & 0x3F) << 12) | (*c1 << 6) | *c2) & 0xFFFF);
            i += 3;
        } else {
            const auto c = continuation(i + 1);
            if (!c)
                return {};
            text += static_cast<char16_t>(((b & 0x3F) << 6) | *c);
            i += 2;
        }
    }
    return text;
}

std::string EncodeUTF8(const std::u16string &text)
{
    std::string bytes;
    bytes.reserve(text.size() * 3);
    for (const char16_t unit : text) {
        if (unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (unit < 0x800) {
            bytes += static_cast<char>(0xC0 | (unit >> 6));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (unit >> 12));
            bytes += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return bytes;
}

} // namespace

std::string cIO::ReadBytes(const std::string &fileName)
{
    // Looked at before it is opened: opening a pipe waits for a writer, and
    // opening a device can act on it.
    struct stat info;
    if (::stat(fileName.c_str(), &info) != 0)
        throw eStreamError(OpenError(fileName, std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        throw eStreamError(OpenError(fileName, NotRegularFileReason(info.st_mode)));
    cFileHandle file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.Valid())
        throw eStreamError(OpenError(fileName, std::strerror(errno)));
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw eStreamError(ReadError);
    // No text the host can take is longer: a wide string counts its bytes in
    // 32 bits.
    if (static_cast<uint64_t>(info.st_size) > UINT32_MAX)
        throw eStreamError(OpenError(fileName, std::strerror(EFBIG)));
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        // A file cut short meanwhile is a read error too.
        if (got <= 0)
            throw eStreamError(ReadError);
        done += static_cast<size_t>(got);
    }
    return bytes;
}

std::u16string cIO::ReadUTF16(const std::string &fileName)
{
    const std::string bytes = ReadBytes(fileName);
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return text;
}

// As the editor saves: any failure leaves the old file complete. A file with
// other names (hard links), one whose owner could not be kept, or one in a
// folder that cannot be written is rewritten where it is; any other is
// replaced by a new file with its permissions, owner and group.
void cIO::WriteBytes(const std::string &fileName, const std::string &bytes)
{
    if (bytes.empty())
        return;
    // Only a regular file the user may write, as the editor's own files.
    tWriteTarget found;
    const std::string refused = FindWriteTarget(fileName, found);
    if (!refused.empty())
        throw eStreamError(CreateError(fileName, refused));
    const std::string &target = found.Path;
    std::optional<struct stat> existing;
    if (found.Exists)
        existing = found.Info;
    if (existing && existing->st_nlink > 1)
        WriteThrough(fileName, target, bytes, true);
    else if (!Replace(fileName, target, existing, bytes))
        WriteThrough(fileName, target, bytes, false);
}

void cIO::WriteUTF16(const std::string &fileName, const std::u16string &text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    WriteBytes(fileName, bytes);
}

std::u16string cIO::ReadUTF8(const std::string &fileName)
{
    return DecodeUTF8(ReadBytes(fileName));
}

void cIO::WriteUTF8(const std::string &fileName, const std::u16string &text)
{
    WriteBytes(fileName, EncodeUTF8(text));
}

void cIO::SwapBytes(std::u16string &text)
{
    for (char16_t &unit : text)
        unit = static_cast<char16_t>((unit << 8) | (unit >> 8));
}
