// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/PersistentSettings.h"

#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

namespace {

// The main window's items, in its order: font, word wrap, status bar, bounds.
struct tWindowState : IPersistentObject
{
    QFont Font{QStringLiteral("Tahoma"), 10};
    bool WordWrap = false;
    bool StatusBar = true;
    tRectangle Bounds{-1, -1, -1, -1};

    void Save(cRegistryStream &stream) override
    {
        stream.WriteFont(Font);
        stream.WriteBool(WordWrap);
        stream.WriteBool(StatusBar);
        stream.WriteRect(Bounds);
    }
    void Load(cRegistryStream &stream) override
    {
        stream.ReadFont(Font);
        WordWrap = stream.ReadBool();
        StatusBar = stream.ReadBool();
        Bounds = stream.ReadRect();
    }
};

class PersistentSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FHome.isValid());
        FOldXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FHome.path().toLocal8Bit());
        SetAnsiCodePage("WINDOWS-1252");
    }
    void TearDown() override
    {
        qputenv("XDG_CONFIG_HOME", FOldXdg);
        SetAnsiCodePage({});
    }
    QString Home() const { return FHome.path(); }
    QString ValuePath() const { return Home() + QStringLiteral("/Varnholt/Zelmar/Settings"); }
    void WriteValue(const QByteArray &bytes)
    {
        QDir().mkpath(Home() + QStringLiteral("/Varnholt/Zelmar"));
        QFile file(ValuePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray ReadValue() const
    {
        QFile file(ValuePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir FHome;
    QByteArray FOldXdg;
};

int32_t Int32At(const QByteArray &bytes, int offset)
{
    cRegistryStream stream(bytes.mid(offset, 4));
    return stream.ReadInt32();
}

} // namespace

TEST_F(PersistentSettings, ValueLayoutForThirtyOneCharacterFontName)
{
    tWindowState state;
    const QString name = QStringLiteral("Abcdefghijklmnopqrstuvwxyz Mono");
    ASSERT_EQ(name.size(), 31);
    state.Font = QFont(name, 12);
    state.Font.setFixedPitch(true);
    state.Font.setBold(true);
    state.Font.setStrikeOut(true);
    state.WordWrap = true;
    state.StatusBar = false;
    state.Bounds = tRectangle{-20, 30, 640, 480};

    cPersistencyManager store(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                              QStringLiteral("Settings"));
    store.Save(state);

    const QByteArray v = ReadValue();
    const int n = 31;
    ASSERT_EQ(v.size(), 68);
    EXPECT_EQ(Int32At(v, 0), n);
    EXPECT_EQ(v.mid(4, n), name.toLatin1());
    EXPECT_EQ(uint8_t(v[4 + n]), ANSI_CHARSET);
    EXPECT_EQ(uint32_t(Int32At(v, 5 + n)), clWindowText);
    EXPECT_EQ(Int32At(v, 9 + n), -((12 * ScreenPixelsPerInch() + 36) / 72));
    EXPECT_EQ(uint8_t(v[13 + n]), 2); // fixed pitch
    EXPECT_EQ(Int32At(v, 14 + n), 12);
    EXPECT_EQ(uint8_t(v[18 + n]), 1 | 8); // bold, strike-out
    EXPECT_EQ(v[19 + n], '1');
    EXPECT_EQ(v[20 + n], '0');
    EXPECT_EQ(Int32At(v, 21 + n), -20);
    EXPECT_EQ(Int32At(v, 25 + n), 30);
    EXPECT_EQ(Int32At(v, 29 + n), 640);
    EXPECT_EQ(Int32At(v, 33 + n), 480);

    tWindowState loaded;
    EXPECT_TRUE(store.Load(loaded));
    EXPECT_EQ(loaded.Font.family(), name);
    EXPECT_EQ(loaded.Font.pointSize(), 12);
    EXPECT_TRUE(loaded.Font.fixedPitch());
    EXPECT_TRUE(loaded.Font.bold());
    EXPECT_FALSE(loaded.Font.italic());
    EXPECT_TRUE(loaded.Font.strikeOut());
    EXPECT_TRUE(loaded.WordWrap);
    EXPECT_FALSE(loaded.StatusBar);
    EXPECT_EQ(loaded.Bounds, (tRectangle{-20, 30, 640, 480}));
}

TEST_F(PersistentSettings, SaveReplacesTheValueWhole)
{
    cPersistencyManager store(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                              QStringLiteral("Settings"));
    WriteValue(QByteArray(500, 'x'));
    tWindowState state;
    store.Save(state);
    EXPECT_EQ(ReadValue().size(), 37 + 6);
    // Nothing of the temporary file is left beside the value.
    EXPECT_EQ(QDir(Home() + QStringLiteral("/Varnholt/Zelmar")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Settings")});
}

TEST_F(PersistentSettings, ShortValuesLoadOnlyWhatTheyHold)
{
    cPersistencyManager store(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                              QStringLiteral("Settings"));
    tWindowState saved;
    saved.Font = QFont(QStringLiteral("Courier New"), 14);
    saved.WordWrap = true;
    saved.StatusBar = false;
    saved.Bounds = tRectangle{1, 2, 3, 4};
    store.Save(saved);
    const QByteArray full = ReadValue();

    WriteValue({});
    tWindowState empty;
    EXPECT_FALSE(store.Load(empty));
    EXPECT_EQ(empty.Font.family(), QStringLiteral("Tahoma"));
    EXPECT_FALSE(empty.WordWrap);

    // Cut after the font record: the font is applied, the rest keeps defaults.
    WriteValue(full.left(19 + 11));
    tWindowState cut;
    EXPECT_FALSE(store.Load(cut));
    EXPECT_EQ(cut.Font.family(), QStringLiteral("Courier New"));
    EXPECT_EQ(cut.Font.pointSize(), 14);
    EXPECT_FALSE(cut.WordWrap);
    EXPECT_TRUE(cut.StatusBar);
    EXPECT_EQ(cut.Bounds, (tRectangle{-1, -1, -1, -1}));

    // Cut inside the bounds: the flags are applied, the bounds are not.
    WriteValue(full.left(full.size() - 2));
    tWindowState partial;
    EXPECT_FALSE(store.Load(partial));
    EXPECT_TRUE(partial.WordWrap);
    EXPECT_FALSE(partial.StatusBar);
    EXPECT_EQ(partial.Bounds, (tRectangle{-1, -1, -1, -1}));

    // No value at all.
    QFile::remove(ValuePath());
    tWindowState missing;
    EXPECT_FALSE(store.Load(missing));
}

TEST_F(PersistentSettings, DamagedItemsNeverApplyGarbage)
{
    cPersistencyManager store(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                              QStringLiteral("Settings"));
    tWindowState saved;
    store.Save(saved);
    QByteArray value = ReadValue();

    // A word-wrap byte other than "0"/"1" reads as false.
    value[19 + 6] = 'Y';
    value[20 + 6] = 0x01;
    WriteValue(value);
    tWindowState odd;
    odd.WordWrap = true;
    EXPECT_TRUE(store.Load(odd));
    EXPECT_FALSE(odd.WordWrap);
    EXPECT_FALSE(odd.StatusBar);

    // A name length far beyond the value fails without touching the font.
    cRegistryStream huge;
    huge.WriteInt32(0x7FFFFFF0);
    huge.WriteString(QStringLiteral("junk"));
    WriteValue(huge.Data());
    tWindowState longName;
    EXPECT_FALSE(store.Load(longName));
    EXPECT_EQ(longName.Font.family(), QStringLiteral("Tahoma"));

    // A font size no font can have is damage, not a setting.
    store.Save(saved);
    cRegistryStream patch(ReadValue());
    patch.SetPosition(14 + 6);
    patch.WriteInt32(-5);
    WriteValue(patch.Data());
    tWindowState sized;
    sized.Font = QFont(QStringLiteral("Serif"), 9);
    EXPECT_FALSE(store.Load(sized));
    EXPECT_EQ(sized.Font.family(), QStringLiteral("Serif"));
    EXPECT_EQ(sized.Font.pointSize(), 9);
}

TEST_F(PersistentSettings, StreamItemsRoundTripAndReadPastEndFails)
{
    cRegistryStream stream;
    stream.WriteString(QString::fromUtf8("caf\xC3\xA9"));
    stream.WriteString({});
    stream.WriteBool(true);
    stream.WriteRect(tRectangle{5, -6, 70, 80});
    EXPECT_EQ(stream.Data().left(8), QByteArray("\x04\x00\x00\x00"
                                                "caf\xE9",
                                                8));
    stream.Rewind();
    EXPECT_EQ(stream.ReadString(), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(stream.ReadString(), QString());
    EXPECT_TRUE(stream.ReadBool());
    EXPECT_EQ(stream.ReadRect(), (tRectangle{5, -6, 70, 80}));
    try {
        stream.ReadByte();
        FAIL() << "read past the end";
    } catch (const EReadError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Stream read error"));
    }
}

TEST_F(PersistentSettings, FontColourAndCharsetTravelBesideTheFont)
{
    cRegistryStream stream;
    QFont font(QStringLiteral("Mono"), 11);
    font.setItalic(true);
    font.setUnderline(true);
    stream.WriteFont(font, {204, 0x00FF0000u});
    EXPECT_EQ(uint8_t(stream.Data()[13 + 4]), 0); // pitch never chosen: default
    stream.Rewind();
    QFont read;
    const tFontAttributes attributes = stream.ReadFont(read);
    EXPECT_EQ(attributes.Charset, 204);
    EXPECT_EQ(attributes.Color, 0x00FF0000u);
    EXPECT_EQ(read.family(), QStringLiteral("Mono"));
    EXPECT_EQ(read.pointSize(), 11);
    EXPECT_TRUE(read.italic());
    EXPECT_TRUE(read.underline());
    EXPECT_FALSE(read.bold());
}

TEST_F(PersistentSettings, CompanyDirectoryCreatedAtConstructionWithSlashesReplaced)
{
    cPersistencyManager plain(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                              QStringLiteral("Settings"));
    EXPECT_TRUE(QFileInfo(Home() + QStringLiteral("/Varnholt")).isDir());
    EXPECT_FALSE(QFileInfo::exists(Home() + QStringLiteral("/Varnholt/Zelmar")));

    cPersistencyManager slashed(QStringLiteral("A/B\\C"), QStringLiteral("Zelmar"),
                                QStringLiteral("Settings"));
    EXPECT_TRUE(QFileInfo(Home() + QStringLiteral("/A_B_C")).isDir());
    EXPECT_FALSE(QFileInfo::exists(Home() + QStringLiteral("/A")));
    tWindowState state;
    slashed.Save(state);
    EXPECT_TRUE(QFileInfo(Home() + QStringLiteral("/A_B_C/Zelmar/Settings")).isFile());
}

TEST_F(PersistentSettings, UninstallLeavesOtherProductsOfTheCompany)
{
    tWindowState state;
    cPersistencyManager zelmar(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                               QStringLiteral("Settings"));
    cPersistencyManager other(QStringLiteral("Varnholt"), QStringLiteral("Other"),
                              QStringLiteral("Settings"));
    zelmar.Save(state);
    other.Save(state);

    zelmar.Uninstall();
    EXPECT_FALSE(QFileInfo::exists(Home() + QStringLiteral("/Varnholt/Zelmar")));
    EXPECT_TRUE(QFileInfo(Home() + QStringLiteral("/Varnholt/Other/Settings")).isFile());

    other.Uninstall();
    EXPECT_FALSE(QFileInfo::exists(Home() + QStringLiteral("/Varnholt")));
    // Uninstalling what is gone is silent.
    EXPECT_NO_THROW(other.Uninstall());
}

TEST_F(PersistentSettings, SaveFailureNamesTheFile)
{
    // A plain file where the product directory belongs makes the save impossible.
    cPersistencyManager store(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                              QStringLiteral("Settings"));
    QFile blocker(Home() + QStringLiteral("/Varnholt/Zelmar"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    tWindowState state;
    try {
        store.Save(state);
        FAIL() << "save into a file succeeded";
    } catch (const EStreamError &e) {
        EXPECT_TRUE(e.Message().contains(Home() + QStringLiteral("/Varnholt/Zelmar"))) << e.what();
    }
}

// The value goes into a regular file only, through a link to one as well;
// whatever else the name leads to is refused and left as it is.
TEST_F(PersistentSettings, SaveWritesOnlyIntoARegularFile)
{
    cPersistencyManager store(QStringLiteral("Varnholt"), QStringLiteral("Zelmar"),
                              QStringLiteral("Settings"));
    const QString fifo = Home() + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(Home() + QStringLiteral("/Varnholt/Zelmar")));
    ASSERT_TRUE(QFile::link(fifo, ValuePath()));
    tWindowState state;
    try {
        store.Save(state);
        ADD_FAILURE() << "saved into a pipe";
    } catch (const EStreamError &e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Cannot create file \"%1\". Is a named pipe, not a regular file")
                      .arg(ValuePath()));
    }
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_TRUE(QFileInfo(ValuePath()).isSymLink());

    // A link to a regular file is written through.
    const QString real = Home() + QStringLiteral("/real");
    QFile(real).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::remove(ValuePath()));
    ASSERT_TRUE(QFile::link(real, ValuePath()));
    store.Save(state);
    EXPECT_TRUE(QFileInfo(ValuePath()).isSymLink());
    EXPECT_EQ(ReadValue().size(), 37 + 6);
}
