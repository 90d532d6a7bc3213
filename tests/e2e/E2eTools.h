// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Message boxes, where a window sits, and drag and drop between programs,
// for the end-to-end tests.
#include "tests/e2e/E2eHarness.h"

#include <QPoint>
#include <QRect>

// A window's place on the screen; empty when it cannot be read.
QRect WindowGeometry(const cDesktop &desktop, const QString &window);

// Waits for a visible window captioned exactly "Zelmar" that is not the main
// window, i.e. a message box of the program; empty on time-out.
QString WaitForMessageBox(const cDesktop &desktop, const QString &mainWindow, int timeoutMs = 30000);
// Gives the box the focus, presses the key (xdotool syntax) and waits for
// the box to close; false if it stays.
bool AnswerMessageBox(const cDesktop &desktop, const QString &box, const QString &key);
// Opens the Find dialog with its key and closes it again, the main window
// focused after: by then the program has handled every key typed and every
// event that came before. False when the dialog did not come and go (a
// question came instead).
bool FindDialogCameAndWent(const cDesktop &desktop, const QString &mainWindow);

// The test's drag source program on the desktop's display: a small window
// that starts a drag of files (by name) or, with {"--text", TEXT}, of text.
class cDragSource
{
public:
    cDragSource(const cDesktop &desktop, const QStringList &args);
    ~cDragSource();
    cDragSource(const cDragSource &) = delete;
    cDragSource &operator=(const cDragSource &) = delete;

    struct tResult
    {
        bool Answered = false; // the window under the pointer answered the drag
        bool Accepted = false; // ... and would take the drop
        int Action = -1;       // the drop action the drag ended with; -1: it did not end
    };
    // Presses on the source, moves the pointer in steps to the screen point,
    // waits for the window there to answer, and releases the button.
    tResult DropAt(const QPoint &target);

private:
    // Reads the source's report lines until one starts with the prefix;
    // returns that line, empty on time-out.
    QByteArray WaitForLine(const QByteArray &prefix, int timeoutMs = 15000);

    const cDesktop &FDesktop;
    QProcess FProcess;
    QString FWindow;
    QByteArray FPending;
};
