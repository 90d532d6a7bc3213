// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program tells the shell and the desktop about itself: the answers
// to --help and --version, and the name, version, launcher and icon by which
// the desktop matches its windows to the installed launcher.
#include <QIcon>
#include <QString>

#include <cstdio>
#include <optional>

class cCommandLine;

// The executable's name, and the launcher's id (<id>.desktop).
QString ProgramName();
QString DesktopId();
QString ProgramVersion();

QString UsageText();
QString VersionText();

// When the command line holds --help or --version (the first of them counts),
// writes its answer to Out and gives the exit code: 0, or 1 when the text
// could not be written. Needs no application object and no display, so the
// program entry asks it before anything else, a running instance included.
std::optional<int> AnswerInformationOption(const cCommandLine &commandLine, std::FILE *out);

// The application icon in every size it is drawn in.
QIcon ApplicationIcon();

// Name, version, desktop file name and window icon of the running application;
// every window and the About box take the icon from here.
void SetApplicationIdentity();
