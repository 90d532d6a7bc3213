// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "ANSI" code page: the locale's character set, converted through iconv.
//
// Decoding never loses a byte: a byte the code page cannot decode becomes the
// lone surrogate U+DC00 + byte, and encoding turns such a unit back into the
// byte, so text saved in the encoding it was read in keeps every byte. So do
// the bytes of a character that would be written back as other bytes (code
// pages that map two sequences to one character).
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>
#include <string>

// The code page in force: the locale's character set, "UTF-8" for the C and
// POSIX locales, or what SetAnsiCodePage chose.
QByteArray AnsiCodePageName();

// Chooses a code page by its iconv name ("WINDOWS-1252"); an empty name goes
// back to the locale's. Throws EConvertError when iconv does not know it.
void SetAnsiCodePage(const QByteArray &name);

// Characters the code page cannot hold become "?", the platform's default.
QByteArray AnsiEncode(const QString &text);
QString AnsiDecode(const QByteArray &bytes);
// Decodes as AnsiDecode does, from Data into Out, until Stop or until fewer
// than four units of Room are left; Data moves past what was decoded. No
// sequence starts at or after Stop, and none before it reads past End (where
// the bytes end, or at least four bytes beyond Stop). -1 (Data unmoved) for
// a code page with shift states, which must be decoded whole with AnsiDecode.
qsizetype AnsiDecodeInto(const char *&data, const char *stop, const char *end, char16_t *out, qsizetype room);
// The number of units AnsiDecode gives for these bytes.
qsizetype AnsiDecodedLength(const char *data, qsizetype size);

// True when the text does not come back unchanged from AnsiEncode/AnsiDecode.
bool HasNonAnsiCharacters(const QString &text);

// True when every unit is a character that a code page read byte by byte
// holds and gives back as it was, so that no text of them loses anything;
// false tells nothing.
bool AnsiKeepsAll(QStringView units);

// UTF-8 with the same byte-keeping rule; surrogates that are not escapes are
// written as three bytes each.
QString Utf8DecodeLossless(const char *data, qsizetype size);
inline QString Utf8DecodeLossless(const QByteArray &bytes)
{
    return Utf8DecodeLossless(bytes.constData(), bytes.size());
}
QByteArray Utf8EncodeLossless(const QString &text);
// Decodes as Utf8DecodeLossless does, as AnsiDecodeInto does with Stop and
// End, until fewer than two units of Room are left.
qsizetype Utf8DecodeLosslessInto(const char *&data, const char *stop, const char *end, char16_t *out,
                                 qsizetype room);
// The number of units Utf8DecodeLossless gives for these bytes.
qsizetype Utf8LosslessLength(const char *data, qsizetype size);

// The escape of one undecodable byte, and back.
inline constexpr char16_t EscapeOfByte(unsigned char byte) noexcept
{
    return char16_t(0xDC00 + byte);
}
inline constexpr bool IsByteEscape(char16_t unit) noexcept
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

class cIconvEncoder;

// AnsiEncode (Ansi true) or Utf8EncodeLossless of a text given in pieces:
// the bytes of the pieces, joined, are those of the whole text encoded at
// once, wherever the pieces are cut.
class cPieceEncoder
{
public:
    explicit cPieceEncoder(bool ansi);
    ~cPieceEncoder();
    cPieceEncoder(const cPieceEncoder &) = delete;
    cPieceEncoder &operator=(const cPieceEncoder &) = delete;
    // Appends the bytes of Piece to Out; Last for the final piece.
    void Encode(QStringView piece, bool last, std::string &out);

private:
    std::unique_ptr<cIconvEncoder> FIconv; // none for UTF-8
    char16_t FCarry = 0;                   // a high surrogate whose pair may follow
};
