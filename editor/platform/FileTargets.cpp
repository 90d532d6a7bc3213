// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/FileTargets.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

std::string SystemError(int error)
{
    return std::strerror(error);
}

// Names of the attributes of a file, or none when it has none or the file
// system keeps none.
std::vector<char> AttributeNames(const std::string &path)
{
    std::vector<char> names;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
        if (size <= 0)
            return {};
        names.resize(size_t(size));
        const ssize_t got = ::listxattr(path.c_str(), names.data(), names.size());
        if (got >= 0) {
            names.resize(size_t(got));
            return names;
        }
        if (errno != ERANGE) // ERANGE: another program added one meanwhile
            return {};
    }
    return {};
}

// ACLs are the folder's business (its defaults) and follow from the mode.
bool IsCopied(const char *name)
{
    return std::strncmp(name, "system.", 7) != 0;
}

} // namespace

std::string NotRegularFileReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return SystemError(EISDIR);
    if (S_ISFIFO(mode))
        return "Is a named pipe, not a regular file";
    if (S_ISSOCK(mode))
        return "Is a socket, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "Is a device, not a regular file";
    return "Not a regular file";
}

std::string FindWriteTarget(const std::string &name, tWriteTarget &target)
{
    target = tWriteTarget();
    struct stat entry;
    if (::lstat(name.c_str(), &entry) != 0) {
        // No file yet: it is made where the name says, should the folder take it.
        target.Path = name;
        return errno == ENOENT ? std::string() : SystemError(errno);
    }
    target.Path = name;
    if (S_ISLNK(entry.st_mode)) {
        char *real = ::realpath(name.c_str(), nullptr);
        if (!real) {
            // A link to nothing would be replaced by a file, or make one
            // wherever it points.
            if (errno == ENOENT)
                return "Is a link to a file that does not exist, not a regular file";
            return SystemError(errno);
        }
        target.Path = real;
        std::free(real);
    }
    if (::stat(target.Path.c_str(), &target.Info) != 0)
        return SystemError(errno);
    target.Exists = true;
    // A device or pipe would be replaced by a file, or block the program.
    if (!S_ISREG(target.Info.st_mode))
        return NotRegularFileReason(target.Info.st_mode);
    // The folder may let a file be replaced that the user may not write.
    if (::faccessat(AT_FDCWD, target.Path.c_str(), W_OK, AT_EACCESS) != 0)
        return SystemError(errno);
    return {};
}

void CopyExtendedAttributes(const std::string &from, int to)
{
    const std::vector<char> names = AttributeNames(from);
    std::vector<char> value;
    for (size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        const char *name = names.data() + at;
        if (!IsCopied(name))
            continue;
        const ssize_t size = ::getxattr(from.c_str(), name, nullptr, 0);
        if (size < 0)
            continue;
        value.resize(size_t(size));
        const ssize_t got = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (got >= 0)
            ::fsetxattr(to, name, value.data(), size_t(got), 0);
    }
}
