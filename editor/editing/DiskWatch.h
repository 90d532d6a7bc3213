// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Notices when another program changes or deletes a document's file, and
// asks before anything the user typed or the other program wrote is lost.
#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWindow>

#include <map>

class cEditor;
class cEditorController;

class cDiskWatch : public QObject
{
    Q_OBJECT
public:
    explicit cDiskWatch(cEditorController &tabs);

    // The file as it is now on disk is the document's own (after a load or
    // a save).
    void Remember(cEditor &document);
    // Asks about the active document's file if it changed since Remember.
    // Waits while a modal dialog is up or a command is busy: the next
    // activation of the window or the tab asks. A file the user declined to
    // reload is not asked about again until Remember, or until the user
    // comes back to the program after leaving it.
    void CheckActive();
    // Before a save over the document's own file: false when it changed on
    // disk and the user keeps the other program's version.
    bool ConfirmOverwrite(cEditor &document);

    // What identifies one version of a file.
    struct tStamp
    {
        bool Exists = false;
        qint64 Size = 0;
        qint64 ModifiedNs = 0;
        quint64 Inode = 0;
        quint64 Device = 0;
        bool operator==(const tStamp &) const = default;
    };
    static tStamp StampOf(const QString &fileName);

private:
    struct tWatched
    {
        QString FileName;
        tStamp Stamp;          // the version the document holds
        bool Declined = false; // the user chose not to load a newer one
    };
    void FileChanged(const QString &fileName);
    void Check(cEditor &document, tWatched &watched);
    void Reload(cEditor &document);
    void Watch(const QString &fileName);
    bool MayAskNow() const;
    void ApplicationStateChanged(Qt::ApplicationState state);

    cEditorController &FTabs;
    QFileSystemWatcher FWatcher;
    std::map<const cEditor *, tWatched> FDocuments;
    bool FAsking = false;
    bool FLeft = false; // the user went to another program
    // A change seen while the program could not ask is looked at again once
    // it can; runs only while such a change waits.
    QTimer FRetry;
    QPointer<QWindow> FLastFocus; // the last window of ours with the focus
};
