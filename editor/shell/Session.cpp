// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/Session.h"

#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/platform/Application.h"
#include "editor/shell/RecentFiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace {

const QString SessionName = QStringLiteral("Session");

} // namespace

tSession CaptureSession(const cEditorController &tabs)
{
    tSession session;
    for (int i = 0; i < tabs.DocumentCount(); ++i) {
        const cEditor *document = tabs.Editors(i);
        if (!document || document->FileName().isEmpty())
            continue;
        if (i == tabs.currentIndex())
            session.Active = int(session.Documents.size());
        session.Documents.append({document->FileName(), document->isReadOnly(), document->anchorPosition(),
                                  document->cursorPosition(), document->verticalScrollBar()->value(),
                                  document->horizontalScrollBar()->value()});
    }
    return session;
}

void SaveSession(const tSession &session)
{
    QJsonArray documents;
    for (const tSessionDocument &document : session.Documents)
        documents.append(QJsonObject{{QStringLiteral("file"), document.FileName},
                                     {QStringLiteral("readOnly"), document.ReadOnly},
                                     {QStringLiteral("anchor"), document.Anchor},
                                     {QStringLiteral("caret"), document.Caret},
                                     {QStringLiteral("top"), document.TopScroll},
                                     {QStringLiteral("left"), document.LeftScroll}});
    WriteStateFile(SessionName, QJsonDocument(QJsonObject{{QStringLiteral("documents"), documents},
                                                          {QStringLiteral("active"), session.Active}})
                                    .toJson());
}

tSession LoadSession()
{
    const QJsonObject root = QJsonDocument::fromJson(ReadStateFile(SessionName)).object();
    tSession session;
    for (const QJsonValue &value : root.value(QStringLiteral("documents")).toArray()) {
        const QJsonObject document = value.toObject();
        const QString fileName = document.value(QStringLiteral("file")).toString();
        if (fileName.isEmpty())
            continue;
        session.Documents.append({fileName, document.value(QStringLiteral("readOnly")).toBool(),
                                  document.value(QStringLiteral("anchor")).toInt(),
                                  document.value(QStringLiteral("caret")).toInt(),
                                  document.value(QStringLiteral("top")).toInt(),
                                  document.value(QStringLiteral("left")).toInt()});
    }
    session.Active = root.value(QStringLiteral("active")).toInt(-1);
    return session;
}

void RestoreSession(const tSession &session, cEditorController &tabs)
{
    int active = -1;
    QList<std::pair<QPointer<cEditor>, tSessionDocument>> opened;
    for (qsizetype i = 0; i < session.Documents.size(); ++i) {
        const tSessionDocument &entry = session.Documents[i];
        // A file that is gone since is simply not reopened.
        if (!QFileInfo(entry.FileName).isFile())
            continue;
        try {
            tabs.OpenFile(entry.FileName, entry.ReadOnly);
        } catch (...) {
            ShowCurrentException();
            continue;
        }
        cEditor *document = tabs.ActiveEditor();
        const int length = document->GetTextLen();
        document->setSelection(std::clamp(entry.Anchor, 0, length), std::clamp(entry.Caret, 0, length));
        opened.append({document, entry});
        if (i == session.Active)
            active = tabs.currentIndex();
    }
    if (active >= 0)
        tabs.setCurrentIndex(active);
    // The scroll ranges are known once the documents are laid out.
    QTimer::singleShot(0, &tabs, [opened] {
        for (const auto &[document, entry] : opened)
            if (document) {
                document->verticalScrollBar()->setValue(entry.TopScroll);
                document->horizontalScrollBar()->setValue(entry.LeftScroll);
            }
    });
}
