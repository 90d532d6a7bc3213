// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Owns a POSIX file descriptor: closed when the owner goes, unless released.
#include <unistd.h>

#include <utility>

class cFileDescriptor
{
public:
    explicit cFileDescriptor(int fd) noexcept : FFd(fd) {}
    ~cFileDescriptor()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    cFileDescriptor(const cFileDescriptor &) = delete;
    cFileDescriptor &operator=(const cFileDescriptor &) = delete;
    int Get() const noexcept { return FFd; }
    int Release() noexcept { return std::exchange(FFd, -1); }

private:
    int FFd;
};
