// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/pluginhost/PathIterators.h"

#include <QFile>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <vector>

namespace {

struct tEntry
{
    QByteArray Name;
    bool IsDirectory = false; // a real directory, not a link to one
};

bool IsRealDirectory(const QByteArray &fullName, unsigned char type)
{
    if (type == DT_DIR)
        return true;
    if (type != DT_UNKNOWN)
        return false;
    struct stat st;
    return ::lstat(fullName.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The whole listing is read before anything is reported, so a deep tree never
// holds more than one directory stream open.
std::vector<tEntry> ListDirectory(const QByteArray &directory)
{
    std::vector<tEntry> entries;
    DIR *dir = ::opendir(directory.isEmpty() ? "/" : directory.constData());
    if (!dir)
        return entries;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        entries.push_back({name, IsRealDirectory(directory + '/' + name, entry->d_type)});
    }
    ::closedir(dir);
    return entries;
}

} // namespace

void cPathIterator::Iterate(const tCallback &callback)
{
    DirCount = 0;
    FileCount = 0;
    FVisited.clear();
    const qsizetype slash = Path.lastIndexOf(u'/');
    // "/prog/quorvel" starts in "/prog"; "/quorvel" in the root, spelt "".
    const QString start = slash < 0 ? QStringLiteral(".") : Path.left(slash);
    ProcessDirectory(QFile::encodeName(start), callback);
    FVisited.clear();
}

void cPathIterator::ProcessDirectory(const QByteArray &directory, const tCallback &callback)
{
    struct stat st;
    if (::stat(directory.isEmpty() ? "/" : directory.constData(), &st) == 0 &&
        !FVisited.insert({st.st_dev, st.st_ino}).second)
        return;
    const QByteArray mask = QFile::encodeName(Mask);
    const std::vector<tEntry> entries = ListDirectory(directory);
    for (const tEntry &entry : entries)
        if (::fnmatch(mask.constData(), entry.Name.constData(), 0) == 0) {
            callback(QFile::decodeName(directory + '/' + entry.Name));
            ++FileCount;
        }
    ++DirCount;
    if (!Recursive)
        return;
    for (const tEntry &entry : entries)
        if (entry.IsDirectory && !entry.Name.startsWith('.'))
            ProcessDirectory(directory + '/' + entry.Name, callback);
}
