// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Options beyond the settings value, whose layout is fixed: a small file of
// their own beside it ("Preferences"), written the same safe way.
struct tPreferences
{
    bool ReopenFilesAtStart = false;
};

// Defaults for whatever is missing or unreadable.
tPreferences LoadPreferences();
// Raises the settings store's errors, naming the file.
void SavePreferences(const tPreferences &preferences);
