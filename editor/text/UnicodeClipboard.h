// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UTF-16 text on the system clipboard; the only way document text goes there.
#include <QString>

class cWClipboard
{
public:
    // The clipboard's text up to its first U+0000; empty when it holds none.
    QString FGetClipboardString() const;
    // An empty text leaves the clipboard as it was.
    void FSetClipboardString(const QString &s);
};

// The shared instance, made on first use.
cWClipboard &WClipboard();
