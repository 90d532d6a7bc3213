// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

void ShellOpen(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target);
    if (url.isValid())
        QDesktopServices::openUrl(url);
}
