// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What may take the bytes of a file the program writes: the one rule shared
// by documents, settings and the plug-ins' exports. Plain POSIX, no Qt, so a
// plug-in can build it in.
#include <string>

#include <sys/stat.h>

// The file about to be written: its name with every link followed, and what
// is there now.
struct tWriteTarget
{
    std::string Path;
    bool Exists = false;
    struct stat Info = {};
};

// Follows links to the file that will take the bytes. Only a regular file
// the user may write, or no file yet, is a target: anything else (a device,
// a pipe, a socket, a folder, a link to nothing or a loop of links, a file
// without write permission) gives the reason it is refused; an empty result
// means Target may be written.
[[nodiscard]] std::string FindWriteTarget(const std::string &name, tWriteTarget &target);

// Why a file that is no regular file is neither read nor written.
[[nodiscard]] std::string NotRegularFileReason(mode_t mode);

// Puts the extended attributes of the file From on the open file To: the
// user's own, and those of other namespaces where the system permits it.
// A file system without them, or an attribute that is refused, is skipped:
// the text matters more than its tags.
void CopyExtendedAttributes(const std::string &from, int to);
