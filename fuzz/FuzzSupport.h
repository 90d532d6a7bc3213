// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets share: a private folder for the files the readers
// read, the ANSI code pages worth covering, and a failure that shows its
// evidence before it stops the run.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fuzz {

// Code pages whose multi-byte forms and duplicate mappings differ most.
inline constexpr const char *CodePages[] = {"UTF-8", "WINDOWS-1252", "CP932", "BIG5", "GB18030"};
inline constexpr std::size_t CodePageCount = std::size(CodePages);

// A failure to prepare an input is the harness's fault, never a finding.
[[noreturn]] inline void HarnessError(const char *what)
{
    std::perror(what);
    std::abort();
}

// Created on first use, removed when the run ends normally. The name is
// never destroyed: the removal runs after static destructors may have run.
inline const std::string &ScratchDirectory()
{
    static const std::string *const path = [] {
        const char *tmp = std::getenv("TMPDIR");
        auto *pattern = new std::string(std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvel-fuzz-XXXXXX");
        if (!mkdtemp(pattern->data()))
            HarnessError("mkdtemp");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDirectory(), ignored);
        });
        return pattern;
    }();
    return *path;
}

inline std::string ScratchFile(const char *name)
{
    return ScratchDirectory() + "/" + name;
}

inline void WriteFile(const std::string &path, const void *data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        HarnessError(path.c_str());
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, p, size);
        if (written <= 0)
            HarnessError(path.c_str());
        p += written;
        size -= std::size_t(written);
    }
    ::close(fd);
}

inline QByteArray ReadFile(const std::string &path)
{
    QByteArray bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        HarnessError(path.c_str());
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    ::close(fd);
    if (got < 0)
        HarnessError(path.c_str());
    return bytes;
}

inline QByteArray Hex(const QByteArray &bytes)
{
    return bytes.toHex(' ');
}

inline QByteArray Hex(const QString &text)
{
    QByteArray units;
    for (const QChar c : text)
        units += QByteArray::number(c.unicode(), 16).rightJustified(4, '0') + ' ';
    return units.trimmed();
}

// Stops the run as a finding, so the input that broke the rule is kept.
[[noreturn]] inline void Finding(const char *rule, const QByteArray &detail = {})
{
    std::fprintf(stderr, "\n*** %s\n%s\n", rule, detail.constData());
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz
