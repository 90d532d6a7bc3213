// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads the version record of a program file.
#include <QString>

#include <cstdint>

struct tFileVersionInformation
{
    QString CompanyName;
    QString FileDescription;
    std::int32_t FileMajor = 0;
    std::int32_t FileMinor = 0;
    std::int32_t FileRelease = 0;
    std::int32_t FileBuild = 0;
    QString InternalName;
    QString LegalCopyright;
    QString OriginalFilename;
    QString ProductName;
    std::int32_t ProductMajor = 0;
    std::int32_t ProductMinor = 0;
    std::int32_t ProductRelease = 0;
    std::int32_t ProductBuild = 0;
};

// True when the file's whole version information was read. Info is cleared
// first; on a partial record it keeps what was read before the first gap.
bool GetVersionInformation(const QString &fileName, tFileVersionInformation &info);

// GetVersionInformation of the running program's own file.
bool GetOwnVersionInformation(tFileVersionInformation &info);
