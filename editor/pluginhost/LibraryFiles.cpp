// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/pluginhost/LibraryFiles.h"

#include "editor/platform/FileDescriptor.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using tHeader = ElfW(Ehdr);
using tProgramHeader = ElfW(Phdr);

bool ReadAt(int fd, void *buffer, size_t size, uint64_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, static_cast<char *>(buffer) + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Overflow-safe: Length units from Offset end at or before Size.
bool Inside(uint64_t offset, uint64_t length, uint64_t size)
{
    return offset <= size && length <= size - offset;
}

bool IsElf(const tHeader &header)
{
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0;
}

// The program's own image, as mapped: a library must match its machine.
const tHeader *OwnHeader()
{
    static const char anchor = 0;
    Dl_info info{};
    if (::dladdr(&anchor, &info) == 0 || info.dli_fbase == nullptr)
        return nullptr;
    const auto *header = static_cast<const tHeader *>(info.dli_fbase);
    return IsElf(*header) ? header : nullptr;
}

bool IsForThisMachine(const tHeader &header)
{
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr unsigned char byteOrder = ELFDATA2LSB;
#else
    constexpr unsigned char byteOrder = ELFDATA2MSB;
#endif
    constexpr unsigned char elfClass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
    if (!IsElf(header) || header.e_ident[EI_CLASS] != elfClass || header.e_ident[EI_DATA] != byteOrder ||
        header.e_ident[EI_VERSION] != EV_CURRENT || header.e_version != EV_CURRENT)
        return false;
    static const tHeader *const own = OwnHeader();
    return own == nullptr || header.e_machine == own->e_machine;
}

bool SegmentsLieInside(int fd, const tHeader &header, uint64_t size)
{
    // PN_XNUM would move the count into a section header; no library needs it.
    if (header.e_type != ET_DYN || header.e_phentsize != sizeof(tProgramHeader) || header.e_phnum == 0 ||
        header.e_phnum == PN_XNUM)
        return false;
    const uint64_t tableSize = uint64_t(header.e_phnum) * sizeof(tProgramHeader);
    if (!Inside(header.e_phoff, tableSize, size))
        return false;
    std::vector<tProgramHeader> table(header.e_phnum);
    if (!ReadAt(fd, table.data(), size_t(tableSize), header.e_phoff))
        return false;
    for (const tProgramHeader &segment : table)
        if (segment.p_type == PT_LOAD && !Inside(segment.p_offset, segment.p_filesz, size))
            return false;
    return true;
}

} // namespace

bool IsLoadableLibraryFile(const QByteArray &fileName)
{
    // The type is known before anything opens the file: a FIFO would block,
    // a device could do anything.
    struct stat st;
    if (::stat(fileName.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const cFileDescriptor file(::open(fileName.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    // Checked again on what was opened, in case the name changed hands.
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const uint64_t size = uint64_t(st.st_size);
    tHeader header;
    if (size < sizeof header || !ReadAt(file.Get(), &header, sizeof header, 0))
        return false;
    return IsForThisMachine(header) && SegmentsLieInside(file.Get(), header, size);
}
