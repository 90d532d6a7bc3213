// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/VersionRecord.h"

#include <cstdint>
#include <string_view>

#if !defined(QUORVEL_VERSION_MAJOR) || !defined(QUORVEL_VERSION_MINOR) || !defined(QUORVEL_VERSION_PATCH) || \
    !defined(QUORVEL_VERSION_TWEAK)
#error "the build passes the project version as QUORVEL_VERSION_MAJOR ... QUORVEL_VERSION_TWEAK"
#endif

namespace {

struct tVersionString
{
    std::string_view Name;
    std::string_view Value;
};

constexpr tVersionString Strings[] = {
    {"CompanyName", "Varnholt"},     {"FileDescription", "Unicode Editor"},
    {"InternalName", "quorvel"},     {"LegalCopyright", "Copyright \xC2\xA9 2026 Varnholt"},
    {"OriginalFilename", "Quorvel"}, {"ProductName", "Zelmar Unicode Editor"},
};

constexpr std::uint16_t Version[4] = {QUORVEL_VERSION_MAJOR, QUORVEL_VERSION_MINOR, QUORVEL_VERSION_PATCH,
                                      QUORVEL_VERSION_TWEAK};
constexpr std::uint16_t LanguageUsEnglish = 0x0409;
constexpr std::uint16_t CodePageUtf8 = 65001;

constexpr std::size_t RecordSize()
{
    std::size_t size = VersionRecordStringsAt;
    for (const tVersionString &s : Strings)
        size += 2 + s.Name.size() + 2 + s.Value.size();
    return size;
}

} // namespace

struct tVersionRecord
{
    unsigned char Bytes[RecordSize()];
};

namespace {

constexpr tVersionRecord BuildRecord()
{
    tVersionRecord record{};
    std::size_t at = 0;
    auto put8 = [&](unsigned value) { record.Bytes[at++] = static_cast<unsigned char>(value); };
    auto put16 = [&](unsigned value) {
        put8(value & 0xFF);
        put8(value >> 8);
    };
    auto putText = [&](std::string_view text) {
        put16(unsigned(text.size()));
        for (const char c : text)
            put8(static_cast<unsigned char>(c));
    };
    for (const char c : VersionRecordMagic)
        put8(static_cast<unsigned char>(c));
    put16(RecordSize() & 0xFFFF);
    put16(RecordSize() >> 16);
    for (int copy = 0; copy < 2; ++copy) // file version, then product version
        for (const std::uint16_t part : Version)
            put16(part);
    put16(LanguageUsEnglish);
    put16(CodePageUtf8);
    put16(unsigned(std::size(Strings)));
    for (const tVersionString &s : Strings) {
        putText(s.Name);
        putText(s.Value);
    }
    return record;
}

} // namespace

static_assert(std::string_view(VersionSectionName) == ".quorvel_version");

// Named without mangling, so that the program's link can ask for it.
extern "C" {
extern const tVersionRecord QuorvelVersionRecord;
[[gnu::section(".quorvel_version"), gnu::used]] const tVersionRecord QuorvelVersionRecord = BuildRecord();
}

const void *ProgramVersionRecord() noexcept
{
    return &QuorvelVersionRecord;
}
