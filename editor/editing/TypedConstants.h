// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fixed tables of the editing subsystem.
#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// The order is also the order of the Save As filters: filter index = value + 1.
enum tTextEncoding : std::uint8_t
{
    teUTF8 = 0,
    teUnicode = 1,          // UTF-16 little endian
    teUnicodeBigEndian = 2, // UTF-16 big endian
    teAnsi = 3,             // the ANSI code page, no mark
};
inline constexpr int TextEncodingCount = 4;

// The byte-order mark written before the text of each encoding.
inline const std::array<QByteArray, TextEncodingCount> BomTable = {
    QByteArray("\xEF\xBB\xBF", 3),
    QByteArray("\xFF\xFE", 2),
    QByteArray("\xFE\xFF", 2),
    QByteArray(),
};

// One dialog filter string of the four encodings, "|"-separated pairs.
inline const QString EncodingFilter =
    QStringLiteral("UTF-8 files (*.*)|*.*|Unicode files (*.*)|*.*|"
                   "Unicode big endian files (*.*)|*.*|ANSI files (*.*)|*.*");

inline const std::array<QString, TextEncodingCount> DefaultExtensions = {
    QStringLiteral("txt"), QStringLiteral("txt"), QStringLiteral("txt"), QStringLiteral("txt")};

// Captions of the Change Case to command by case index 1..4 (index 0 unused).
inline const std::array<QString, 5> ChangeCaseToCaptions = {
    QString(), QStringLiteral("Change Case t&o lower"), QStringLiteral("Change Case t&o UPPER"),
    QStringLiteral("Change Case t&o Title"), QStringLiteral("t&OGGLE cASE")};
