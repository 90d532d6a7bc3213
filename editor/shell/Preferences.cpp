// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/Preferences.h"

#include "editor/platform/Resources.h"
#include "editor/shell/PersistentSettings.h"

namespace {

// Items are read in the order they are written; one added later goes last,
// so an older file leaves it at its default.
class cPreferencesValue final : public IPersistentObject
{
public:
    explicit cPreferencesValue(tPreferences &preferences) : FPreferences(preferences) {}
    void Save(cRegistryStream &stream) override { stream.WriteBool(FPreferences.ReopenFilesAtStart); }
    void Load(cRegistryStream &stream) override { FPreferences.ReopenFilesAtStart = stream.ReadBool(); }

private:
    tPreferences &FPreferences;
};

cPersistencyManager Store()
{
    return cPersistencyManager(LoadResString(res::CompanyWord), LoadResString(res::ProductName),
                               QStringLiteral("Preferences"));
}

} // namespace

tPreferences LoadPreferences()
{
    tPreferences preferences;
    cPreferencesValue value(preferences);
    Store().Load(value);
    return preferences;
}

void SavePreferences(const tPreferences &preferences)
{
    tPreferences copy = preferences;
    cPreferencesValue value(copy);
    Store().Save(value);
}
