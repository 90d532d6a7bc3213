// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What must hold of a file before the dynamic loader maps it. The loader
// trusts the file's headers: a library cut short kills the program with
// SIGBUS once a page past its end is touched, and opening a FIFO blocks.
#include <QByteArray>

// True when FileName names a regular file holding a shared object of this
// program's class, byte order and machine, whose program header table and
// loadable segments all lie inside the file. Never blocks; special files are
// never opened.
bool IsLoadableLibraryFile(const QByteArray &fileName);
