// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's settings: one binary value of typed items, kept in a per-user
// file laid out as company / product / value under the XDG config home.
#include <QByteArray>
#include <QFont>
#include <QString>

#include <cstdint>

// The platform's system-colour code for window text: what a font that never
// had a colour of its own is stored with.
inline constexpr uint32_t clWindowText = 0x80000008u;
inline constexpr uint8_t ANSI_CHARSET = 0;

// What a stored font holds beyond what a QFont knows: Qt fonts have neither
// a colour nor a character set, so they travel beside it.
struct tFontAttributes
{
    uint8_t Charset = ANSI_CHARSET;
    uint32_t Color = clWindowText;
};

// The rectangle item: left, top, width, height.
struct tRectangle
{
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool operator==(const tRectangle &) const = default;
};

// Font heights are stored in pixels at the screen's logical resolution.
int ScreenPixelsPerInch();

// A growable in-memory stream with the typed items of the settings value.
// Integers are little endian; reading past the end raises EReadError.
class cRegistryStream
{
public:
    cRegistryStream() = default;
    explicit cRegistryStream(QByteArray data) : FData(std::move(data)) {}

    const QByteArray &Data() const noexcept { return FData; }
    qsizetype Size() const noexcept { return FData.size(); }
    qsizetype Position() const noexcept { return FPosition; }
    void SetPosition(qsizetype position);
    void Rewind() noexcept { FPosition = 0; }

    void Write(const void *buffer, qsizetype count);
    void Read(void *buffer, qsizetype count);

    void WriteByte(uint8_t value) { Write(&value, 1); }
    uint8_t ReadByte();
    void WriteInt32(int32_t value);
    int32_t ReadInt32();

    // 32-bit byte count, then the ANSI bytes without terminator.
    void WriteString(const QString &text);
    QString ReadString();

    // "1" or "0"; only "1" reads as true.
    void WriteBool(bool value);
    bool ReadBool();

    // Name, charset, colour, height in pixels (negative: character height),
    // pitch, size in points, style bits.
    void WriteFont(const QFont &font, const tFontAttributes &attributes = {});
    // Reads all seven items, then assigns them in that order, so the size
    // decides the final height. Raises EReadError for a size no font can have,
    // leaving Font untouched.
    tFontAttributes ReadFont(QFont &font);

    void WriteRect(int left, int top, int width, int height);
    void WriteRect(const tRectangle &rect) { WriteRect(rect.Left, rect.Top, rect.Width, rect.Height); }
    // The four numbers as stored: whatever they hold, nothing is computed
    // from them here (a QRect would overflow on extreme values).
    tRectangle ReadRect();

private:
    QByteArray FData;
    qsizetype FPosition = 0;
};

// An object that keeps its state in the settings value: Load reads the items
// in the order Save wrote them and applies each at once.
class IPersistentObject
{
public:
    virtual void Save(cRegistryStream &stream) = 0;
    virtual void Load(cRegistryStream &stream) = 0;

protected:
    ~IPersistentObject() = default;
};

class cPersistencyManager
{
public:
    // Creates the company directory when it is missing (failures stay silent:
    // a store that cannot be written reports it when saving).
    cPersistencyManager(const QString &company, const QString &product, const QString &valueName);

    const QString &Company() const noexcept { return FCompany; }
    const QString &Product() const noexcept { return FProduct; }
    const QString &ValueName() const noexcept { return FValueName; }

    // Replaces the stored value whole; the old value survives a crash during
    // the write. Raises EFCreateError/EWriteError naming the file.
    void Save(IPersistentObject &object);
    // False when the value is missing, short or damaged; whatever the object
    // applied before the failure stays applied.
    bool Load(IPersistentObject &object);
    // Removes the product's settings, and the company directory when nothing
    // else is left in it.
    void Uninstall();

    // $XDG_CONFIG_HOME (when absolute) or ~/.config.
    static QString ConfigHome();
    // The company word with "\" and "/" made "_".
    static QString CompanyKeyName(const QString &company);

    QString CompanyDirectory() const;
    QString ProductDirectory() const;
    QString ValueFileName() const;

private:
    QString FCompany;
    QString FProduct;
    QString FValueName;
};
