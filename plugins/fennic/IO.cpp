#include "plugins/fennic/IO.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string OpenError(const std::string &fileName)
{
    return "Cannot open file \"" + fileName + "\". " + std::strerror(errno);
}

std::string CreateError(const std::string &fileName)
{
    return "Cannot create file \"" + fileName + "\". " + std::strerror(errno);
}

const char *const ReadError = "Stream read error";
const char *const WriteError = "Stream write error";

// A file descriptor closed on every path out.
class cFileHandle
{
public:
    explicit cFileHandle(int fd) noexcept : FFd(fd) {}
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

void WriteAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw eStreamError(WriteError);
        done += static_cast<size_t>(written);
    }
}

std::optional<struct stat> StatOf(const std::string &fileName)
{
    struct stat info;
    if (::stat(fileName.c_str(), &info) != 0)
        return std::nullopt;
    return info;
}

// The file a link points to is the one replaced, not the link.
std::string ResolvedTarget(const std::string &fileName)
{
    char *real = ::realpath(fileName.c_str(), nullptr);
    if (real == nullptr)
        return fileName;
    std::string result(real);
    std::free(real);
    return result;
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

// The new contents go to a temporary file beside the target, which replaces
// the target only once completely written: a failed export never destroys the
// user's existing file.
class cReplacement
{
public:
    cReplacement(const std::string &target, const std::optional<struct stat> &existing) : FTarget(target)
    {
        static unsigned counter = 0;
        const std::string stem = DirectoryOf(target) + "/." + BaseNameOf(target) + ".~";
        for (int attempt = 0; attempt < 100 && !FHandle.Valid(); ++attempt) {
            // snprintf, not std::to_string: that would export a library symbol
            // and keep the plug-in from being unloaded.
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, "%ld.%u", static_cast<long>(::getpid()), ++counter);
            FName = stem + suffix;
            FHandle.Reset(::open(FName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (!FHandle.Valid() && errno != EEXIST)
                break;
        }
        if (!FHandle.Valid())
            throw eStreamError(CreateError(target));
        if (existing)
            KeepAttributes(*existing);
    }
    cReplacement(const cReplacement &) = delete;
    cReplacement &operator=(const cReplacement &) = delete;
    ~cReplacement()
    {
        if (!FCommitted)
            ::unlink(FName.c_str());
    }

    int Handle() const noexcept { return FHandle.Get(); }

    void Commit()
    {
        if (::fsync(FHandle.Get()) != 0 || !FHandle.Close())
            throw eStreamError(WriteError);
        if (::rename(FName.c_str(), FTarget.c_str()) != 0)
            throw eStreamError(CreateError(FTarget));
        FCommitted = true;
    }

private:
    // The replaced file keeps its permissions; its owner only where the writer
    // may change owners, otherwise it becomes the writer's.
    void KeepAttributes(const struct stat &existing) noexcept
    {
        [[maybe_unused]] const int ownerKept = ::fchown(FHandle.Get(), existing.st_uid, existing.st_gid);
        ::fchmod(FHandle.Get(), existing.st_mode & 07777);
    }

    std::string FTarget;
    std::string FName;
    cFileHandle FHandle{-1};
    bool FCommitted = false;
};

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
    cFileHandle file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid())
        throw eStreamError(OpenError(fileName));
    struct stat info;
    if (::fstat(file.Get(), &info) != 0)
        throw eStreamError(ReadError);
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
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

void cIO::WriteBytes(const std::string &fileName, const std::string &bytes)
{
    if (bytes.empty())
        return;
    const std::string target = ResolvedTarget(fileName);
    const auto existing = StatOf(target);
    if (existing && !S_ISREG(existing->st_mode)) {
        // A device or pipe is written into, never replaced.
        cFileHandle file(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (!file.Valid())
            throw eStreamError(CreateError(fileName));
        WriteAll(file.Get(), bytes);
        if (!file.Close())
            throw eStreamError(WriteError);
        return;
    }
    cReplacement replacement(target, existing);
    WriteAll(replacement.Handle(), bytes);
    replacement.Commit();
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
