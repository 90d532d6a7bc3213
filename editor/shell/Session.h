// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The documents open when the program ended, with where each was looked at,
// so that the next start can bring them back ("Reopen Files at Start").
#include <QList>
#include <QString>

class cEditorController;

struct tSessionDocument
{
    QString FileName;
    bool ReadOnly = false;
    int Anchor = 0; // the selection, caret last
    int Caret = 0;
    int TopScroll = 0; // the scroll bars' values
    int LeftScroll = 0;
    bool operator==(const tSessionDocument &) const = default;
};

struct tSession
{
    QList<tSessionDocument> Documents; // tab order
    int Active = -1;
    bool operator==(const tSession &) const = default;
};

// The named documents of the tabs; untitled ones have nothing to reopen.
tSession CaptureSession(const cEditorController &tabs);
void SaveSession(const tSession &session);
tSession LoadSession();
// Opens the session's files that still exist, puts back the selections and,
// once laid out, the scroll positions, and shows the tab that was active.
// An error in opening one is reported, and the next one is opened.
void RestoreSession(const tSession &session, cEditorController &tabs);
