// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Walks a directory tree, reporting every entry that matches a mask.
#include <QString>

#include <QByteArray>

#include <sys/types.h>

#include <functional>
#include <set>
#include <utility>

class cPathIterator
{
public:
    using tCallback = std::function<void(const QString &fileName)>;

    explicit cPathIterator(const QString &path) : Path(path) {}

    // Depth first from the directory part of Path (everything up to its last
    // "/"). In each directory every entry whose name matches Mask is reported,
    // hidden ones included, in the order the system lists them; then its
    // sub-directories are entered, except hidden ones and those reached
    // through a symbolic link, so no link can make the walk go round.
    void Iterate(const tCallback &callback);

    bool Recursive = true;
    QString Mask;
    QString Path;
    int DirCount = 0;  // directories whose entries were listed
    int FileCount = 0; // entries reported

private:
    void ProcessDirectory(const QByteArray &directory, const tCallback &callback);

    // Directories already walked, by device and inode: a bind mount of a
    // parent below itself must not make the walk endless either.
    std::set<std::pair<dev_t, ino_t>> FVisited;
};
