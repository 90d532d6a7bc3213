// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/DiskWatch.h"

#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/Application.h"
#include "editor/platform/FileNames.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScopedValueRollback>

#include <algorithm>
#include <utility>

#include <sys/stat.h>

namespace {

int Ask(const QString &text, unsigned flags)
{
    return MessageBox(ApplicationMainWindow(), text, LoadResString(res::ProductName), flags);
}

} // namespace

cDiskWatch::cDiskWatch(cEditorController &tabs) : QObject(&tabs), FTabs(tabs)
{
    connect(&FWatcher, &QFileSystemWatcher::fileChanged, this, &cDiskWatch::FileChanged);
    FRetry.setSingleShot(true);
    FRetry.setInterval(250);
    connect(&FRetry, &QTimer::timeout, this, &cDiskWatch::CheckActive);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &cDiskWatch::ApplicationStateChanged);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *window) {
        if (window)
            FLastFocus = window;
    });
}

// A file that keeps changing would ask again after every answer: a No holds
// until the user has been elsewhere and comes back. Closing a dialog of ours
// is no leaving, though the focus may go nowhere then (no window manager).
void cDiskWatch::ApplicationStateChanged(Qt::ApplicationState state)
{
    if (state != Qt::ApplicationActive) {
        if (FLastFocus && FLastFocus->isVisible())
            FLeft = true;
        return;
    }
    if (!std::exchange(FLeft, false))
        return;
    for (auto &[document, watched] : FDocuments)
        watched.Declined = false;
    // The window's own activation may have looked already.
    FTabs.ScheduleDiskCheck();
}

cDiskWatch::tStamp cDiskWatch::StampOf(const QString &fileName)
{
    struct stat info = {};
    if (fileName.isEmpty() || ::stat(EncodeFileName(fileName).constData(), &info) != 0)
        return {};
    return {true, qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            quint64(info.st_ino), quint64(info.st_dev)};
}

void cDiskWatch::Remember(cEditor &document)
{
    if (!FDocuments.count(&document))
        connect(&document, &QObject::destroyed, this,
                [this, key = &document] { FDocuments.erase(static_cast<const cEditor *>(key)); });
    tWatched &watched = FDocuments[&document];
    watched.FileName = document.FileName();
    watched.Stamp = StampOf(watched.FileName);
    watched.Declined = false;
    Watch(watched.FileName);
}

// A file replaced by renaming another over it is a new inode that the
// watcher no longer follows: every look renews the watch.
void cDiskWatch::Watch(const QString &fileName)
{
    if (!fileName.isEmpty() && !FWatcher.files().contains(fileName) && FileNameExists(fileName))
        FWatcher.addPath(fileName);
}

void cDiskWatch::FileChanged(const QString &fileName)
{
    // A file gone makes its text unsaved at once, also behind another tab:
    // leaving before that tab comes up must still ask about it. The question
    // comes with the tab.
    if (!StampOf(fileName).Exists)
        FTabs.ForEachDocument([&](cEditor &document, int) {
            const auto found = FDocuments.find(&document);
            if (found != FDocuments.end() && found->second.FileName == fileName && found->second.Stamp.Exists)
                document.SetModified(true);
        });
    cEditor *active = FTabs.ActiveEditor();
    if (active && active->FileName() == fileName)
        CheckActive();
    // Other documents are looked at when their tab comes up.
    Watch(fileName);
}

bool cDiskWatch::MayAskNow() const
{
    return !FAsking && !QApplication::activeModalWidget() && WaitStateSingleton().BusyCount() == 0;
}

void cDiskWatch::CheckActive()
{
    cEditor *document = FTabs.ActiveEditor();
    if (!document)
        return;
    const auto found = FDocuments.find(document);
    if (found == FDocuments.end() || found->second.FileName != document->FileName())
        return;
    if (MayAskNow()) {
        Check(*document, found->second);
        return;
    }
    // Busy or inside a dialog: a change seen now must not be forgotten.
    const tStamp now = StampOf(found->second.FileName);
    if (!FAsking && now != found->second.Stamp && !(now.Exists && found->second.Declined))
        FRetry.start();
}

void cDiskWatch::Check(cEditor &document, tWatched &watched)
{
    const tStamp now = StampOf(watched.FileName);
    Watch(watched.FileName);
    if (now == watched.Stamp || (now.Exists && watched.Declined))
        return;
    const QScopedValueRollback asking(FAsking, true);
    if (!now.Exists) {
        if (!watched.Stamp.Exists)
            return;
        // The text is all that is left of the file: it must not look saved.
        watched.Stamp = now;
        document.SetModified(true);
        Ask(Format(QStringLiteral("The file \"%s\" was deleted or moved by another program.\r\r"
                                  "The document stays open; save it to write the file again."),
                   {watched.FileName}),
            MB_OK | MB_ICONWARNING);
        return;
    }
    const bool reload =
        document.Modified()
            ? Ask(Format(QStringLiteral("The file \"%s\" was changed by another program, and this document "
                                        "has unsaved changes.\r\rDo you want to reload the file and lose "
                                        "your changes?"),
                         {watched.FileName}),
                  MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES
            : Ask(Format(QStringLiteral("The file \"%s\" was changed by another program.\r\r"
                                        "Do you want to reload it?"),
                         {watched.FileName}),
                  MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (!reload) {
        if (!document.Modified()) {
            // Taken before reading: a change after it is a newer version.
            const tStamp seen = StampOf(watched.FileName);
            if (document.MatchesFile()) {
                watched.Stamp = seen;
                return;
            }
            // The text kept is not what the file holds: leaving must ask,
            // and Save must write it.
            document.SetModified(true);
        }
        watched.Declined = true;
        return;
    }
    Reload(document);
}

void cDiskWatch::Reload(cEditor &document)
{
    const int caret = document.GetSelStart();
    try {
        document.LoadFromFile(document.FileName());
    } catch (...) {
        ShowCurrentException();
        return;
    }
    document.SetSelStart(std::min(caret, document.GetTextLen()));
    Remember(document);
}

bool cDiskWatch::ConfirmOverwrite(cEditor &document)
{
    const auto found = FDocuments.find(&document);
    if (found == FDocuments.end() || found->second.FileName != document.FileName())
        return true;
    const tStamp now = StampOf(document.FileName());
    // A file that is gone is simply written again.
    if (!now.Exists || now == found->second.Stamp)
        return true;
    const QScopedValueRollback asking(FAsking, true);
    return Ask(Format(QStringLiteral("The file \"%s\" was changed by another program since it was opened "
                                     "or saved.\r\rDo you want to overwrite it?"),
                      {document.FileName()}),
               MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
