// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// Opens a document or address with the desktop's handler; a failure is silent.
void ShellOpen(const QString &target);
