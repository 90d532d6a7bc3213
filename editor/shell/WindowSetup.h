// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Setting up the main window's parts: its file dialogs and the View options
// kept in the preferences.
#include "editor/textengine/ViewDecorations.h"

#include <QString>
#include <QStringList>

class QAction;
class QCheckBox;
class QFileDialog;
class cEditorController;
class cPreferences;

// "desc|mask|desc|mask" as Qt name filters, one per pair.
QStringList DialogNameFilters(const QString &filter);
// Qt's file dialog has no read-only box: this adds one, kept in step with
// ImportReadOnlyProperty of the dialog.
QCheckBox *AddReadOnlyBox(QFileDialog &dialog);
// Open, Save As, Import and Export as the window uses them: Qt's own
// dialogs, watching their folder only while shown.
void PrepareFileDialogs(QFileDialog &open, QFileDialog &saveAs, QFileDialog &import, QFileDialog &exportTo);

// The View options as the preferences keep them.
tViewOptions StoredViewOptions(const cPreferences &preferences);
// Flips one view option for every document and stores it at once.
void ToggleViewOption(cEditorController &tabs, cPreferences &preferences, QAction *action, bool execute,
                      bool tViewOptions::*option);
