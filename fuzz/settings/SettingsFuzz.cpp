// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a settings value of any bytes either fails as a whole or gives
// settings that are stored and read back unchanged; no value may crash the
// reader or overflow its arithmetic.
#include "FuzzSupport.h"

#include "editor/shell/PersistentSettings.h"

#include <QDir>
#include <QFont>

#include <cstddef>
#include <cstdint>

namespace {

// The items the main window keeps, read and written in its order.
struct tWindowSettings final : IPersistentObject
{
    QFont Font;
    tFontAttributes Attributes;
    bool WordWrap = false;
    bool StatusBar = false;
    // The rectangle item as the reader gives it.
    decltype(cRegistryStream().ReadRect()) Bounds{};

    void Save(cRegistryStream &stream) override
    {
        stream.WriteFont(Font, Attributes);
        stream.WriteBool(WordWrap);
        stream.WriteBool(StatusBar);
        stream.WriteRect(Bounds);
    }
    void Load(cRegistryStream &stream) override
    {
        Attributes = stream.ReadFont(Font);
        WordWrap = stream.ReadBool();
        StatusBar = stream.ReadBool();
        Bounds = stream.ReadRect();
    }
};

bool PitchGiven(const QFont &font)
{
    return font.resolveMask() & QFont::FixedPitchResolved;
}

// The settings as they would be stored, and the font's name as read.
QByteArray Describe(const tWindowSettings &settings)
{
    tWindowSettings copy = settings;
    cRegistryStream stream;
    copy.Save(stream);
    return "family " + fuzz::Hex(settings.Font.family()) + ", stored as " + fuzz::Hex(stream.Data());
}

bool Same(const tWindowSettings &a, const tWindowSettings &b)
{
    const QFont &f = a.Font, &g = b.Font;
    return f.family() == g.family() && f.pointSize() == g.pointSize() && f.bold() == g.bold() &&
           f.italic() == g.italic() && f.underline() == g.underline() && f.strikeOut() == g.strikeOut() &&
           PitchGiven(f) == PitchGiven(g) && (!PitchGiven(f) || f.fixedPitch() == g.fixedPitch()) &&
           a.Attributes.Charset == b.Attributes.Charset && a.Attributes.Color == b.Attributes.Color &&
           a.WordWrap == b.WordWrap && a.StatusBar == b.StatusBar && a.Bounds == b.Bounds;
}

cPersistencyManager &Store()
{
    static cPersistencyManager store = [] {
        // The store lives under the configuration home it finds.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(fuzz::ScratchDirectory()));
        cPersistencyManager manager(QStringLiteral("Fuzz Company"), QStringLiteral("Quorvel"),
                                    QStringLiteral("Settings"));
        if (!QDir().mkpath(manager.ProductDirectory()))
            fuzz::HarnessError("mkpath");
        return manager;
    }();
    return store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    cPersistencyManager &store = Store();
    fuzz::WriteFile(store.ValueFileName().toStdString(), data, size);

    tWindowSettings read;
    if (!store.Load(read))
        return 0;
    store.Save(read);
    tWindowSettings again;
    if (!store.Load(again))
        fuzz::Finding("settings just stored cannot be read", Describe(read));
    if (!Same(read, again))
        fuzz::Finding("settings changed when stored and read again",
                      "read:  " + Describe(read) + "\nagain: " + Describe(again));
    return 0;
}
