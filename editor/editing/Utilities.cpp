// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/Utilities.h"

QString ExpandSpecialChars(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit != u'^') {
            out += QChar(unit);
            continue;
        }
        if (++i >= text.size())
            break;
        const char16_t escape = text[i].unicode();
        for (const tSpecialChar &special : SpecialCharTable) {
            if (special.Escape == escape) {
                out += QChar(special.Result);
                break;
            }
        }
    }
    return out;
}
