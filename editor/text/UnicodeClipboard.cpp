// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/text/UnicodeClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

QString cWClipboard::FGetClipboardString() const
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText())
        return {};
    QString text = data->text();
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

void cWClipboard::FSetClipboardString(const QString &s)
{
    if (s.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(s, QClipboard::Clipboard);
}

cWClipboard &WClipboard()
{
    static cWClipboard clipboard;
    return clipboard;
}
