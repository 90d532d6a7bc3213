// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's version record. It lives in an ELF section of its own, so
// that the version reader finds it in the program file without running it.
//
// Layout, little endian:
//    0  8  VersionRecordMagic
//    8  4  size of the whole record in bytes
//   12  8  file version: four 16-bit parts, major, minor, release, build
//   20  8  product version, the same way
//   28  4  translation: language identifier, code page (16 bits each)
//   32  2  number of strings
//   34     each string: 16-bit name length, UTF-8 name, 16-bit value length,
//          UTF-8 value
#include <cstddef>

inline constexpr char VersionSectionName[] = ".quorvel_version";
inline constexpr char VersionRecordMagic[8] = {'Q', 'V', 'R', 'S', 'I', 'N', 'F', 'O'};

inline constexpr std::size_t VersionRecordSizeAt = 8;
inline constexpr std::size_t VersionRecordFixedAt = 12;
inline constexpr std::size_t VersionRecordFixedSize = 16;
inline constexpr std::size_t VersionRecordTranslationAt = 28;
inline constexpr std::size_t VersionRecordStringCountAt = 32;
inline constexpr std::size_t VersionRecordStringsAt = 34;

// The record compiled into this program. Whoever reads the own version refers
// to it, which makes the linker take it from the library.
const void *ProgramVersionRecord() noexcept;
