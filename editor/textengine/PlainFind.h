// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding a plain needle in a large text at the speed of the vector units:
// places are first picked by their first and last unit, eight at a time, and
// only those are compared. Finds exactly what QStringMatcher (forward) and
// QStringView::lastIndexOf (backward) find, case-insensitive included.
#include <QString>
#include <QStringMatcher>
#include <QStringView>

class cPlainFind
{
public:
    cPlainFind(const QString &needle, Qt::CaseSensitivity cs);

    // The first place at or after From where the needle stands, or -1.
    [[nodiscard]] qsizetype IndexIn(QStringView text, qsizetype from) const;
    // The last place at or before From (0 <= From) where it stands, or -1.
    [[nodiscard]] qsizetype LastIndexIn(QStringView text, qsizetype from) const;

    // The units a needle's unit matches (at most Max); empty when there are
    // more, or when the unit is a surrogate under case folding.
    static constexpr int Max = 4;
    struct tUnits
    {
        char16_t Unit[Max] = {};
        int Count = 0;
    };
    [[nodiscard]] static tUnits UnitsMatching(char16_t unit, Qt::CaseSensitivity cs);

private:
    [[nodiscard]] bool At(QStringView text, qsizetype pos, bool forward) const;

    QString FNeedle;
    Qt::CaseSensitivity FCs;
    QStringMatcher FMatcher;
    tUnits FFirst, FLast;
    bool FScan = false; // whether the places can be picked by their ends
};
