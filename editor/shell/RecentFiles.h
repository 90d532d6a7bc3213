// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The files the user worked on, most recent first: the program's own short
// list, kept in its state folder, and the desktop's shared list that file
// choosers and launchers show.
#include <QString>
#include <QStringList>

// $XDG_STATE_HOME (when absolute) or ~/.local/state, then company and
// product: where the recent files, the session and the recovery journal live.
QString StateDirectory();
// Removes StateDirectory with all it holds but the recovery folder (which
// cRecoveryJournals::RemoveFolder empties of what no running instance holds),
// and the company folder above it when nothing else is left there.
void RemoveStateDirectory();
// Replaces a file of the state folder whole (written beside, then renamed),
// creating the folder; false when that failed.
bool WriteStateFile(const QString &name, const QByteArray &bytes);
// Empty when the file is missing, not a regular file, or too large to be ours.
QByteArray ReadStateFile(const QString &name);

class cRecentFiles
{
public:
    static constexpr int MaxCount = 10;

    // Reads the list the last session left.
    cRecentFiles();

    const QStringList &Files() const noexcept { return FFiles; }
    // Puts the file first; it is dropped further down, and the eleventh goes.
    void Add(const QString &fileName);
    void Remove(const QString &fileName);
    void Clear();

private:
    void Save() const;
    QStringList FFiles;
};

// Adds the file to $XDG_DATA_HOME/recently-used.xbel as GTK and KDE programs
// do: under a lock, written beside and renamed over it. A list that cannot
// be read as XBEL is left alone. False when nothing was written.
bool AddToDesktopRecentFiles(const QString &fileName);
